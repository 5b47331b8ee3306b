#include "tests/wine/window_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const Twinex* current = nullptr;   // ended when the run fails

LRESULT send_to(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;   // 0 too for a control that is gone or a window that hangs
    SendMessageTimeoutA(h, msg, wp, lp, SMTO_NORMAL, 5000, &result);
    return static_cast<LRESULT>(result);
}

// A visible top-level window of class `cls` of process `pid`.
HWND find_window(DWORD pid, const char* cls)
{
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, cls, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid && IsWindowVisible(h))
            return h;
    }
    return nullptr;
}

}  // namespace

void fail(const std::string& why)
{
    printf("FAIL: %s\n", why.c_str());
    if (HWND b = current ? current->box(0) : nullptr)
        printf("      twinex shows a box: \"%s\"\n", Twinex::box_text(b).c_str());
    if (current)
        TerminateProcess(current->process(), 99);
    fflush(stdout);
    ExitProcess(1);
}

void check(bool ok, const std::string& what)
{
    if (!ok)
        fail(what);
    printf("ok: %s\n", what.c_str());
    fflush(stdout);
}

std::string windows_path(const std::string& p)
{
    std::string w = p.empty() || p[0] != '/' ? p : "Z:" + p;
    std::replace(w.begin(), w.end(), '/', '\\');
    return w;
}

void make_file(const std::string& path, const std::string& content)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (!(std::ofstream(path, std::ios::binary) << content))
        fail("cannot write " + path);
}

void make_old_file(const std::string& path, const std::string& content)
{
    make_file(path, content);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::hours(24));
}

std::string read_file(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// --- Twinex -----------------------------------------------------------------

Twinex::Twinex(const std::string& exe)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_))
        fail("cannot start " + exe);
    current = this;
    remote_ = static_cast<char*>(VirtualAllocEx(pi_.hProcess, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote_ || !wait_for(30000, [&] { return (main_ = find_window(pi_.dwProcessId, "twinex")) != nullptr; }))
        fail("the main window did not appear");
    if (!wait_main())
        fail("the main controls did not appear");
}

// Sends a list-view message whose argument is a pointer: `arg` is copied into
// twinex's memory and back.
template <class T>
LRESULT Twinex::call(int list, UINT msg, WPARAM wp, T& arg) const
{
    if (!WriteProcessMemory(pi_.hProcess, remote_, &arg, sizeof arg, nullptr))
        fail("cannot write into twinex's memory");
    LRESULT r = send_to(control(list), msg, wp, reinterpret_cast<LPARAM>(remote_));
    ReadProcessMemory(pi_.hProcess, remote_, &arg, sizeof arg, nullptr);
    return r;
}

std::string Twinex::text(int id) const
{
    char buf[2048] = "";
    send_to(control(id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

void Twinex::set_text(int id, const std::string& t) const { send_to(control(id), WM_SETTEXT, 0, LPARAM(t.c_str())); }

HWND Twinex::button(const std::string& caption) const
{
    HWND h = FindWindowExA(main_, nullptr, "Button", caption.c_str());
    if (!h)
        fail("no button \"" + caption + "\"");
    return h;
}

bool Twinex::checked(const std::string& name) const { return send_to(button(name), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Twinex::click(const std::string& caption) const { PostMessageA(button(caption), BM_CLICK, 0, 0); }

void Twinex::press(const std::string& caption) const { send_to(button(caption), BM_CLICK, 0, 0); }

std::vector<std::string> Twinex::rows(int list) const
{
    std::vector<std::string> out(static_cast<size_t>(send_to(control(list), LVM_GETITEMCOUNT, 0, 0)));
    for (size_t i = 0; i < out.size(); i++) {
        struct { LVITEMA item; char text[1024]; } arg = {};   // the row's text is written after the item
        arg.item.pszText = remote_ + sizeof arg.item;
        arg.item.cchTextMax = sizeof arg.text - 1;
        call(list, LVM_GETITEMTEXTA, i, arg);
        out[i] = arg.text;
    }
    return out;
}

int Twinex::select(int list, const std::string& row) const
{
    std::vector<std::string> all = rows(list);
    int i = static_cast<int>(std::find(all.begin(), all.end(), row) - all.begin());
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (i == static_cast<int>(all.size()) || !call(list, LVM_SETITEMSTATE, i, item))
        fail("no row \"" + row + "\" to select in list " + std::to_string(list));
    return i;
}

void Twinex::open(int list, const std::string& row) const
{
    RECT r = {LVIR_LABEL, 0, 0, 0};
    call(list, LVM_GETITEMRECT, select(list, row), r);
    LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
    send_to(control(list), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    send_to(control(list), WM_LBUTTONUP, 0, at);
}

HWND Twinex::box(unsigned ms) const
{
    HWND found = nullptr;
    wait_for(ms, [&] { return (found = find_window(pi_.dwProcessId, "#32770")) != nullptr; });
    return found;
}

// A box's message is its longest static text.
std::string Twinex::box_text(HWND box)
{
    std::string best;
    char buf[2048];
    for (HWND h = nullptr; (h = FindWindowExA(box, h, "Static", nullptr)) != nullptr;)
        if (GetWindowTextA(h, buf, sizeof buf) > static_cast<int>(best.size()))
            best = buf;
    return best;
}

void Twinex::answer(HWND box, int button)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    if (!GetDlgItem(box, button) || !wait_for(5000, [&] { return !IsWindow(box); }))
        fail("the box \"" + box_text(box) + "\" did not close on its button " + std::to_string(button));
}

void Twinex::expect_box(const std::string& t, int button, unsigned ms) const
{
    HWND b = box(ms);
    if (!b || box_text(b) != t)
        fail("no box \"" + t + "\"" + (b ? ", but \"" + box_text(b) + "\"" : ""));
    answer(b, button);
}

// Controls are made one after the other by the window thread; a message sent
// to the last one is served once that thread is idle again, so after it every
// control and its contents are in place.
bool Twinex::wait_main() const
{
    return wait_for(WAIT_MS, [&] { return control(LAST_MAIN) != nullptr; }) && (text(LAST_MAIN), true);
}

int Twinex::wait_exit(unsigned ms) const
{
    DWORD code = 0;
    bool ended = WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0 && GetExitCodeProcess(pi_.hProcess, &code);
    return ended ? static_cast<int>(code) : -1;
}

// --- the steps of a scan ----------------------------------------------------

void choose(Twinex& t, const std::string& dir, const std::vector<std::string>& roots, const std::string& output)
{
    t.press("DRIVES");
    std::string z;
    for (const std::string& r : t.rows(CHOOSE))
        z = r.rfind("Z:  [", 0) == 0 ? r : z;
    if (z.empty())
        fail("DRIVES does not list drive Z");
    t.open(CHOOSE, z);
    for (size_t at = 3, end; at < dir.size(); at = end + 1) {
        end = std::min(dir.find('\\', at), dir.size());
        t.open(CHOOSE, dir.substr(at, end - at));
    }
    check(t.text(PATH) == dir, "double clicks in CHOOSE open " + dir);
    for (const std::string& r : roots) {
        t.select(CHOOSE, r);
        t.press("for SCAN");
        check(!t.rows(CHOSEN).empty() && t.rows(CHOSEN).back() == dir + "\\" + r, "for SCAN adds " + r + " to CHOSEN");
    }
    if (!output.empty()) {
        t.select(CHOOSE, output);
        t.press("for OUTPUT");
        check(t.text(OUTPUT) == dir + "\\" + output, "for OUTPUT puts " + output + " in OUTPUT");
    }
}

void set_tick(Twinex& t, const std::string& caption, bool on)
{
    if (t.checked(caption) != on)
        t.press(caption);
    if (t.checked(caption) != on)
        fail("a click does not " + std::string(on ? "tick " : "untick ") + caption);
}

void switch_reference(Twinex& t, const std::string& row)
{
    size_t at = static_cast<size_t>(t.select(CHOSEN, row));
    bool live = IsWindowEnabled(t.button(REFERENCE_BUTTON));
    t.press(REFERENCE_BUTTON);
    std::string want = row.rfind(REF_MARK, 0) == 0 ? row.substr(strlen(REF_MARK)) : REF_MARK + row;
    if (!live || t.rows(CHOSEN).at(at) != want || IsWindowEnabled(t.button(REFERENCE_BUTTON)))
        fail("REFERENCE on/off, live with " + row + " selected, does not make it read " + want + " and grey itself");
}

void check_delete_options(Twinex& t)
{
    bool del = t.checked(DELETE_BOX);
    for (const char* sub : DELETE_OPTIONS)
        if ((IsWindowEnabled(t.button(sub)) != FALSE) != del)
            fail(std::string(sub) + (del ? " is greyed with DELETE ticked" : " is live without DELETE"));
}

void confirm_scan(Twinex& t, const std::string& summary)
{
    // (the question is the last of three lines, or the second one followed by a line end)
    t.expect_box(summary + "\nARE YOU SURE?" + (summary.find('\n') == std::string::npos ? "\n" : ""), IDOK);
    // The panel's fields are made one after the other, << FINISHED >>'s last.
    if (!wait_for(WAIT_MS, [&] { return t.control(FINISHED) != nullptr; }))
        fail("no progress panel after the confirmation");
}

void finish_scan(Twinex& t)
{
    if (!wait_for(SCAN_MS, [&] { return t.text(FINISHED) == "<< FINISHED >>"; }))
        fail("the panel did not show << FINISHED >>");
    check(t.text(ABORT) == "AGAIN", "the finished scan's button reads AGAIN");
}

void leave_scan(Twinex& t)
{
    std::string button = t.text(ABORT);
    t.click(button);
    if (!wait_for(SCAN_MS, [&] { return t.control(ABORT) == nullptr; }) || !t.wait_main())
        fail("the main controls did not come back after " + button);
    check(t.rows(CHOSEN).empty() && t.text(OUTPUT).empty(), "back at the main controls, no roots chosen");
}

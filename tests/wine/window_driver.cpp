#include "tests/wine/window_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wd {

namespace {

Twinex* current = nullptr;   // ended when a scenario fails
std::string fail_context;

constexpr UINT SEND_TIMEOUT_MS = 5000;

LRESULT send(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(h, msg, wp, lp, SMTO_NORMAL, SEND_TIMEOUT_MS, &result))
        fail("no answer to message " + std::to_string(msg));
    return static_cast<LRESULT>(result);
}

// A block of memory inside twinex's process, for the list-view messages
// whose arguments are pointers.
class Remote {
public:
    Remote(HANDLE process, size_t size) : process_(process), size_(size)
    {
        at_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!at_)
            fail("VirtualAllocEx failed");
    }
    ~Remote() { VirtualFreeEx(process_, at_, 0, MEM_RELEASE); }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    char* at(size_t offset = 0) const { return static_cast<char*>(at_) + offset; }
    void write(const void* data, size_t n, size_t offset = 0) const
    {
        if (!WriteProcessMemory(process_, at(offset), data, n, nullptr))
            fail("WriteProcessMemory failed");
    }
    void read(void* data, size_t n, size_t offset = 0) const
    {
        if (!ReadProcessMemory(process_, at(offset), data, n, nullptr))
            fail("ReadProcessMemory failed");
    }
    std::string read_text(size_t offset, size_t max) const
    {
        std::string s(max, '\0');
        read(&s[0], max, offset);
        s.resize(strlen(s.c_str()));
        return s;
    }

private:
    HANDLE process_;
    size_t size_;
    void* at_;
};

constexpr size_t TEXT_AT = 256;   // where a text buffer starts in a Remote block
constexpr size_t TEXT_MAX = 2048;

std::string class_of(HWND h)
{
    char buf[64] = "";
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

struct BoxSearch {
    DWORD pid;
    const char* caption;
    HWND found;
};

BOOL CALLBACK find_box(HWND h, LPARAM lp)
{
    BoxSearch* s = reinterpret_cast<BoxSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != s->pid || !IsWindowVisible(h) || class_of(h) != "#32770")
        return TRUE;
    char title[256] = "";
    GetWindowTextA(h, title, sizeof title);
    if (strcmp(title, s->caption) != 0)
        return TRUE;
    s->found = h;
    return FALSE;
}

struct MainSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_main(HWND h, LPARAM lp)
{
    MainSearch* s = reinterpret_cast<MainSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == s->pid && class_of(h) == "twinex") {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK longest_static(HWND h, LPARAM lp)
{
    std::string* best = reinterpret_cast<std::string*>(lp);
    if (_stricmp(class_of(h).c_str(), "Static") != 0)
        return TRUE;
    char buf[TEXT_MAX] = "";
    DWORD_PTR r = 0;
    SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, SEND_TIMEOUT_MS, &r);
    if (strlen(buf) > best->size())
        *best = buf;
    return TRUE;
}

void write_bmp(const std::string& file, int width, int height, const std::vector<unsigned char>& pixels)
{
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(pixels.size());
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    FILE* f = fopen(file.c_str(), "wb");
    if (!f)
        fail("cannot write " + file);
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&ih, sizeof ih, 1, f);
    fwrite(pixels.data(), 1, pixels.size(), f);
    fclose(f);
}

}  // namespace

void fail(const std::string& why)
{
    printf("FAIL: %s%s\n", fail_context.c_str(), why.c_str());
    fflush(stdout);
    if (current)
        current->~Twinex();
    ExitProcess(1);
}

void check(bool ok, const std::string& what)
{
    if (!ok)
        fail(what);
    printf("ok: %s\n", what.c_str());
    fflush(stdout);
}

void set_context(const std::string& context) { fail_context = context; }

void note(const std::string& what)
{
    printf("   %s\n", what.c_str());
    fflush(stdout);
}

std::string windows_path(const std::string& p)
{
    if (p.empty() || p[0] != '/')
        return p;
    std::string w = "Z:" + p;
    for (char& c : w)
        if (c == '/')
            c = '\\';
    while (w.size() > 3 && w.back() == '\\')
        w.pop_back();
    return w;
}

Twinex::Twinex(const std::string& exe)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_))
        fail("cannot start " + exe);
    pid_ = pi_.dwProcessId;
    current = this;
    for (int i = 0; i < 600 && !main_; i++) {
        MainSearch s = {pid_, nullptr};
        EnumWindows(find_main, reinterpret_cast<LPARAM>(&s));
        main_ = s.found;
        if (!main_)
            Sleep(50);
    }
    if (!main_)
        fail("the main window did not appear");
    if (!wait_main(10000))
        fail("the main controls did not appear");
}

// Controls are created one after the other by the window thread; a message
// sent to the last one is served only once that thread is idle again, so
// after it every control and its contents are in place.
bool Twinex::wait_main(unsigned ms) const
{
    if (!wait_control(126, true, ms))
        return false;
    text(126);
    return true;
}

Twinex::~Twinex()
{
    if (current == this)
        current = nullptr;
    if (pi_.hProcess) {
        if (!ended_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(pi_.hProcess, 99);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
        pi_.hProcess = nullptr;
    }
}

HWND Twinex::need(int id) const
{
    HWND h = control(id);
    if (!h)
        fail("control " + std::to_string(id) + " is missing");
    return h;
}

std::string Twinex::text(int id) const
{
    char buf[TEXT_MAX] = "";
    send(need(id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

void Twinex::set_text(int id, const std::string& t) const
{
    send(need(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str()));
}

bool Twinex::checked(int id) const { return send(need(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool Twinex::enabled(int id) const { return IsWindowEnabled(need(id)) != FALSE; }

void Twinex::click(int id) const
{
    if (!PostMessageA(need(id), BM_CLICK, 0, 0))
        fail("cannot click " + std::to_string(id));
}

std::vector<std::string> Twinex::rows(int id) const
{
    HWND list = need(id);
    int count = static_cast<int>(send(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::string> out;
    Remote mem(pi_.hProcess, TEXT_AT + TEXT_MAX);
    for (int i = 0; i < count; i++) {
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = mem.at(TEXT_AT);
        item.cchTextMax = TEXT_MAX;
        mem.write(&item, sizeof item);
        char zero = 0;
        mem.write(&zero, 1, TEXT_AT);
        send(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(mem.at()));
        out.push_back(mem.read_text(TEXT_AT, TEXT_MAX));
    }
    return out;
}

std::string Twinex::column_caption(int id) const
{
    Remote mem(pi_.hProcess, TEXT_AT + TEXT_MAX);
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT;
    col.pszText = mem.at(TEXT_AT);
    col.cchTextMax = TEXT_MAX;
    mem.write(&col, sizeof col);
    if (!send(need(id), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(mem.at())))
        return "";
    return mem.read_text(TEXT_AT, TEXT_MAX);
}

int Twinex::find_row(int id, const std::string& t) const
{
    std::vector<std::string> r = rows(id);
    for (size_t i = 0; i < r.size(); i++)
        if (r[i] == t)
            return static_cast<int>(i);
    return -1;
}

void Twinex::select_row(int id, int row) const
{
    Remote mem(pi_.hProcess, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    mem.write(&item, sizeof item);
    if (!send(need(id), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(mem.at())))
        fail("cannot select row " + std::to_string(row));
}

void Twinex::double_click_row(int id, int row) const
{
    HWND list = need(id);
    Remote mem(pi_.hProcess, sizeof(RECT));
    RECT r = {};
    r.left = LVIR_LABEL;
    mem.write(&r, sizeof r);
    if (!send(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(mem.at())))
        fail("no rectangle for row " + std::to_string(row));
    mem.read(&r, sizeof r);
    LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
}

void Twinex::select(int id, const std::string& t) const
{
    int row = find_row(id, t);
    if (row < 0)
        fail("no row \"" + t + "\" in list " + std::to_string(id));
    select_row(id, row);
}

void Twinex::open_row(int id, const std::string& t) const
{
    int row = find_row(id, t);
    if (row < 0)
        fail("no row \"" + t + "\" in list " + std::to_string(id));
    select_row(id, row);
    double_click_row(id, row);
}

HWND Twinex::wait_box(unsigned ms, const char* caption) const
{
    for (unsigned waited = 0;; waited += 50) {
        BoxSearch s = {pid_, caption, nullptr};
        EnumWindows(find_box, reinterpret_cast<LPARAM>(&s));
        if (s.found)
            return s.found;
        if (waited >= ms)
            return nullptr;
        Sleep(50);
    }
}

std::string Twinex::box_text(HWND box)
{
    std::string best;
    EnumChildWindows(box, longest_static, reinterpret_cast<LPARAM>(&best));
    return best;
}

void Twinex::answer(HWND box, int button)
{
    HWND b = GetDlgItem(box, button);
    if (!b)
        fail("the box has no button " + std::to_string(button));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(b));
    for (int i = 0; i < 200 && IsWindow(box); i++)
        Sleep(25);
    if (IsWindow(box))
        fail("the box did not close");
}

void Twinex::expect_box(const std::string& t, int button, unsigned ms) const
{
    HWND box = wait_box(ms);
    if (!box)
        fail("no box \"" + t + "\"");
    std::string shown = box_text(box);
    if (shown != t)
        fail("box shows \"" + shown + "\", expected \"" + t + "\"");
    note("box: " + t);
    answer(box, button);
}

bool Twinex::wait_text(int id, const std::string& want, unsigned ms) const
{
    for (unsigned waited = 0;; waited += 50) {
        if (control(id) && text(id) == want)
            return true;
        if (waited >= ms)
            return false;
        Sleep(50);
    }
}

bool Twinex::wait_control(int id, bool present, unsigned ms) const
{
    for (unsigned waited = 0;; waited += 50) {
        if ((control(id) != nullptr) == present)
            return true;
        if (waited >= ms)
            return false;
        Sleep(50);
    }
}

int Twinex::wait_exit(unsigned ms)
{
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0)
        return -1;
    ended_ = true;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<int>(code);
}

bool Twinex::running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

void Twinex::screenshot(const std::string& file) const
{
    Sleep(300);   // let the last texts paint
    RECT window, display = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, r;
    GetWindowRect(main_, &window);
    if (!IntersectRect(&r, &window, &display))
        fail("the window is off the screen");
    int w = r.right - r.left, h = r.bottom - r.top;   // the part of the window on the screen
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> pixels(static_cast<size_t>((w * 3 + 3) & ~3) * h);
    GetDIBits(mem, bmp, 0, h, pixels.data(), &bi, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    write_bmp(file, w, h, pixels);
    note("picture: " + file);
}

}  // namespace wd

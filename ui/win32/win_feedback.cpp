#include <algorithm>
#include <cstring>

#include "ui/win32/win_window.h"

int MessageBoxComplain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3)
{
    std::string text = complain_text(msg1, msg2, msg3);
    UINT style = MB_OK;
    if (n == COMPLAIN_OKCANCEL)
        style = MB_OKCANCEL;
    else if (n == COMPLAIN_RETRYCANCEL)
        style = MB_RETRYCANCEL;
    // No owner: the main window stays live while the box is open, and the
    // scan thread may ask its questions from its own thread. Topmost, so
    // that a click on the window never hides a box that waits for an answer.
    int answer = MessageBoxA(nullptr, text.c_str(), title, style | MB_TOPMOST);
    if (n == COMPLAIN_OKCANCEL)
        return answer == IDOK;
    if (n == COMPLAIN_RETRYCANCEL)
        return answer == IDRETRY;
    return 0;
}

namespace {

// The Complain under way on this thread, seen by its activation hook. A
// nested Complain (a second box from the window thread) has its own.
struct OpenBox {
    WindowFeedback* feedback;
    bool scan_thread;
    HWND box;
};

thread_local OpenBox* open_box = nullptr;

// The first dialog activated after MessageBoxA is called is its box.
LRESULT CALLBACK box_hook(int code, WPARAM wp, LPARAM lp)
{
    OpenBox* ob = open_box;
    if (code == HCBT_ACTIVATE && ob && !ob->box) {
        HWND h = reinterpret_cast<HWND>(wp);
        char cls[16] = "";
        GetClassNameA(h, cls, sizeof cls);
        if (!strcmp(cls, "#32770")) {
            ob->box = h;
            ob->feedback->box_opened(h, ob->scan_thread);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// Closes a box as its Cancel button would (OK where it has none).
void dismiss(HWND box)
{
    int button = GetDlgItem(box, IDCANCEL) ? IDCANCEL : IDOK;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

int clamp_to(int v, int low, int high) { return std::max(low, std::min(v, high)); }

}  // namespace

int WindowFeedback::Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3)
{
    {
        MutexLock lock(mutex_);
        if (ending_)
            return 0;
    }
    bool scan_thread = from_scan_thread();
    if (scan_thread) {
        // The panel behind the box shows the exact counts first.
        DWORD_PTR r = 0;
        SendMessageTimeoutA(hwnd_, WM_TX_FIELDS, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, &r);
    }
    OpenBox ob = {this, scan_thread, nullptr};
    OpenBox* outer = open_box;
    open_box = &ob;
    HHOOK hook = SetWindowsHookExA(WH_CBT, box_hook, nullptr, GetCurrentThreadId());
    int answer = MessageBoxComplain(n, title, msg1, msg2, msg3);
    if (hook)
        UnhookWindowsHookEx(hook);
    open_box = outer;
    MutexLock lock(mutex_);
    if (ob.box)
        boxes_.erase(std::remove(boxes_.begin(), boxes_.end(), ob.box), boxes_.end());
    return ending_ ? 0 : answer;   // a box closed by the program's end was not answered
}

void WindowFeedback::box_opened(HWND box, bool scan_thread)
{
    bool ending;
    {
        MutexLock lock(mutex_);
        boxes_.push_back(box);
        ending = ending_;
    }
    if (ending)
        dismiss(box);
    else if (scan_thread)
        place_box(box);
}

void WindowFeedback::end_questions()
{
    std::vector<HWND> open;
    {
        MutexLock lock(mutex_);
        ending_ = true;
        open = boxes_;
    }
    for (HWND box : open)
        dismiss(box);
}

// Another thread than the live window's own.
bool WindowFeedback::from_scan_thread() const
{
    DWORD owner = hwnd_ ? GetWindowThreadProcessId(hwnd_, nullptr) : 0;
    return owner != 0 && owner != GetCurrentThreadId();
}

// Centred over the window, between the panel's last row and its buttons, so
// that the counts stay readable and ABORT and QUIT stay clickable; kept on
// the screen.
void WindowFeedback::place_box(HWND box) const
{
    if (!hwnd_ || IsIconic(hwnd_))
        return;
    RECT b, client;
    GetWindowRect(box, &b);
    GetClientRect(hwnd_, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd_, &origin);
    int width = static_cast<int>(b.right - b.left), height = static_cast<int>(b.bottom - b.top);
    int left = static_cast<int>(origin.x), top = static_cast<int>(origin.y);
    int x = left + (static_cast<int>(client.right) - width) / 2;
    int y = std::min(top + PANEL_ROWS_BOTTOM + CLIENT_MARGIN, top + PANEL_BUTTONS_TOP - CLIENT_MARGIN - height);
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoA(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &mi)) {
        x = clamp_to(x, static_cast<int>(mi.rcWork.left), static_cast<int>(mi.rcWork.right) - width);
        y = clamp_to(y, static_cast<int>(mi.rcWork.top), static_cast<int>(mi.rcWork.bottom) - height);
    }
    SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Called by the scan thread for every file it meets: the text is stored and
// one message at a time tells the window thread to show what is waiting.
void WindowFeedback::set_field(int index, const char* text)
{
    if (index < 0 || index >= PF_COUNT)
        return;
    MutexLock lock(mutex_);
    text_[index] = text ? text : "";
    dirty_[index] = true;
    if (!posted_ && hwnd_)
        posted_ = PostMessageA(hwnd_, WM_TX_FIELDS, 0, 0) != 0;
}

// Made in a buffer of its own, so that "OUT OF MEMORY" can still be told.
void WindowFeedback::show_fatal(const char* msg)
{
    char text[2048];
    fatal_text(text, sizeof text, msg);
    MessageBoxA(nullptr, text, "twinex", MB_OK);
}

void WindowFeedback::end_program()
{
    if (hwnd_)
        PostMessageA(hwnd_, WM_TX_END, 0, 0);
}

void WindowFeedback::flush()
{
    std::string shown[PF_COUNT];
    bool dirty[PF_COUNT];
    {
        MutexLock lock(mutex_);
        for (int i = 0; i < PF_COUNT; i++) {
            dirty[i] = dirty_[i];
            if (dirty_[i])
                shown[i].swap(text_[i]);
            dirty_[i] = false;
        }
        posted_ = false;
    }
    for (int i = 0; i < PF_COUNT; i++) {
        if (dirty[i] && tControl[i])
            SetWindowTextA(tControl[i], shown[i].c_str());
    }
}

void WindowFeedback::discard()
{
    MutexLock lock(mutex_);
    for (int i = 0; i < PF_COUNT; i++) {
        dirty_[i] = false;
        text_[i].clear();
    }
}

#include "ui/win_window.h"

int MessageBoxComplain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3)
{
    std::string text = complain_text(msg1, msg2, msg3);
    UINT style = MB_OK;
    if (n == COMPLAIN_OKCANCEL)
        style = MB_OKCANCEL;
    else if (n == COMPLAIN_RETRYCANCEL)
        style = MB_RETRYCANCEL;
    // No owner: the main window stays live while the box is open, and the
    // scan thread may ask its questions from its own thread.
    int answer = MessageBoxA(nullptr, text.c_str(), title, style);
    if (n == COMPLAIN_OKCANCEL)
        return answer == IDOK;
    if (n == COMPLAIN_RETRYCANCEL)
        return answer == IDRETRY;
    return 0;
}

int WindowFeedback::Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3)
{
    return MessageBoxComplain(n, title, msg1, msg2, msg3);
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

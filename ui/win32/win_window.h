// The Win32 window of twinex.exe: its module state, the two control sets,
// the window's Feedback and its WindowControls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/common/controls.h"
#include "engine/feedback.h"

// Posted to the main window by the scan thread.
constexpr UINT WM_TX_FIELDS = WM_APP + 1;  // progress texts are waiting
constexpr UINT WM_TX_END = WM_APP + 2;     // a fatal error: end the program

extern char szAppName[7];
extern HWND MainWindow;
extern HINSTANCE hInstance;
extern HWND hControl[MC_COUNT];
extern HWND tControl[PF_COUNT];

// Creates the main controls and their list columns: 1, or 0 after the
// failure's message (a missing control also destroys the window).
int CreateMainControls(HWND hwnd);
void DestroyMainControls();
int SetHeaders();
// Creates the 17 panel fields: 1, or 0 after its message and the window's
// destruction.
int CreateTControls(HWND hwnd);
void DestroyTControls();

// A message box without an owner: kind n of Complain, its answer mapped.
int MessageBoxComplain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3);

// The main window's client area reaches x = 820 (the panel's count fields)
// and y = 545 (the frame of the actions); boxes of the scan thread open
// below the panel's last row (y = 220) and above its buttons (y = 480).
constexpr int CLIENT_RIGHT = 820, CLIENT_BOTTOM = 545, CLIENT_MARGIN = 8;
constexpr int PANEL_ROWS_BOTTOM = 220, PANEL_BUTTONS_TOP = 480;

// Message boxes without an owner; progress texts that the scan thread hands
// over under a lock and the window thread shows, so the scan thread never
// waits for the window except to have the panel up to date before a box.
// Boxes of the scan thread open over the panel, clear of ABORT and QUIT.
class WindowFeedback : public Feedback {
public:
    int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) override;
    void set_field(int index, const char* text) override;
    void end_program() override;
    void show_fatal(const char* msg) override;
    void end_questions() override;

    void attach(HWND hwnd) { hwnd_ = hwnd; }
    // Window thread: shows the waiting texts in the panel fields that exist.
    void flush();
    // Window thread: forgets texts not yet shown (a new panel starts empty).
    void discard();

    // A box of a Complain has been activated (its thread's hook calls).
    void box_opened(HWND box, bool scan_thread);

private:
    bool from_scan_thread() const;
    void place_box(HWND box) const;

    Mutex mutex_;
    HWND hwnd_ = nullptr;
    std::string text_[PF_COUNT];
    bool dirty_[PF_COUNT] = {};
    bool posted_ = false;
    bool ending_ = false;         // end_questions was called
    std::vector<HWND> boxes_;     // boxes open now, on either thread
};

class Win32Controls : public WindowControls {
public:
    Win32Controls(Platform& sys, WindowFeedback& feedback) : sys_(sys), feedback_(feedback) {}
    void attach(HWND hwnd) { hwnd_ = hwnd; }

    std::string text(int index, int max) override;
    void set_text(int index, const char* text) override;
    bool checked(int index) override;
    void set_checked(int index, bool on) override;
    void enable(int index, bool on) override;
    bool list_clear(int index) override;
    bool list_append(int index, const char* text) override;
    bool list_selected(int index, std::string* text) override;
    bool create_main_controls() override;
    void destroy_main_controls() override;
    bool create_panel() override;
    void destroy_panel() override;
    void set_panel_text(int index, const char* text) override;
    void close_window() override;
    void wait_thread(ThreadHandle h) override;

private:
    Platform& sys_;
    WindowFeedback& feedback_;
    HWND hwnd_ = nullptr;
};

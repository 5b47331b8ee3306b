// Operates a running twinex.exe from another process as a user would:
// clicks its buttons, types into its boxes, selects and double-clicks list
// rows, answers its message boxes and reads its texts. Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wd {

// Fails the running scenario: prints the reason and ends the driver.
[[noreturn]] void fail(const std::string& why);
void check(bool ok, const std::string& what);
void note(const std::string& what);
// Text put before the reason of every later failure (which round of a long
// run, with which seed); empty for none.
void set_context(const std::string& context);

// A Unix path ("/work/x") as Wine shows it ("Z:\work\x"); others unchanged.
std::string windows_path(const std::string& p);

// One started twinex.exe and its main window.
class Twinex {
public:
    explicit Twinex(const std::string& exe);
    ~Twinex();

    HWND main() const { return main_; }
    // Control by id (100..126 main controls, 200..216 panel); null when absent.
    HWND control(int id) const { return GetDlgItem(main_, id); }
    HWND need(int id) const;

    std::string text(int id) const;
    void set_text(int id, const std::string& t) const;
    bool checked(int id) const;
    bool enabled(int id) const;
    void click(int id) const;   // posted, so a box it opens does not hold the driver

    // List views (118 CHOOSE_W, 119 CHOSEN_W).
    std::vector<std::string> rows(int id) const;
    std::string column_caption(int id) const;
    int find_row(int id, const std::string& text) const;   // -1 when absent
    void select_row(int id, int row) const;
    void double_click_row(int id, int row) const;
    // Selects the row with `text` and double-clicks it; fails when absent.
    void open_row(int id, const std::string& text) const;
    void select(int id, const std::string& text) const;

    // The message box of this process captioned `caption` that shows up
    // within `ms`; null when none.
    HWND wait_box(unsigned ms, const char* caption = "twinex") const;
    static std::string box_text(HWND box);
    static void answer(HWND box, int button);   // IDOK, IDCANCEL
    // Waits for a box, checks its text and answers it.
    void expect_box(const std::string& text, int button, unsigned ms = 10000) const;

    // Waits until control `id`'s text equals `want`.
    bool wait_text(int id, const std::string& want, unsigned ms) const;
    // Waits until the main controls are all in place (after start, ABORT
    // or AGAIN).
    bool wait_main(unsigned ms) const;
    // Waits until control `id` exists (or, with present false, is gone).
    bool wait_control(int id, bool present, unsigned ms) const;

    // Waits for the process to end; its exit code, or -1 after the timeout.
    int wait_exit(unsigned ms);
    bool running() const;
    // Saves the picture of the main window's part on the screen (with any
    // box in front of it) as a BMP file.
    void screenshot(const std::string& file) const;

private:
    PROCESS_INFORMATION pi_ = {};
    HWND main_ = nullptr;
    DWORD pid_ = 0;
    bool ended_ = false;
};

}  // namespace wd

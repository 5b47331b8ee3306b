// The window as the command logic and the chooser see it: control states by
// index (text, tick, enabled, list rows, selection), the two control sets,
// and the few window-wide acts (close, wait for the scan thread). The Win32
// window gives the real one; the tests give a fake. Nothing here knows a
// toolkit.
#pragma once

#include <string>

#include "platform/platform.h"

// Indices of the main controls (hControl). A control's id is 100 + index.
enum MainControl {
    MC_SCAN = 0, MC_CANCEL, MC_HELP,
    MC_LIST_GROUP, MC_CRLF, MC_CASE, MC_DATES,
    MC_ACTION_GROUP, MC_MOVE, MC_DELETE, MC_REQUEST, MC_SAVE,
    MC_PARENT, MC_DRIVES, MC_REFRESH,
    MC_SELECT_GROUP, MC_FOR_SCAN, MC_FOR_OUTPUT,
    MC_CHOOSE, MC_CHOSEN,
    MC_OUTPUT, MC_PATTERNS, MC_PATH,
    MC_PATH_LABEL, MC_OUTPUT_LABEL, MC_CLEAR_OUTPUT, MC_PATTERNS_LABEL,
    MC_BIN, MC_IDENTICAL, MC_EXCLUDE_LABEL, MC_EXCLUDE, MC_RESTORE,
    MC_REFERENCE,
    MC_COUNT
};

constexpr int MAIN_ID_BASE = 100;    // ids 100..132
constexpr int PANEL_ID_BASE = 200;   // ids 200..216, panel field i has id 200 + i

constexpr int PATTERN_CHARS = 2047;  // the most read from the PATTERNS box
// The most read from the EXCLUDE box: all that an edit box holds, so that
// no exclusion is ever cut off.
constexpr int EXCLUDE_CHARS = 32767;

class WindowControls {
public:
    virtual ~WindowControls() = default;

    // --- main controls, by MainControl index --------------------------
    // The control's text, at most `max` characters.
    virtual std::string text(int index, int max) = 0;
    virtual void set_text(int index, const char* text) = 0;
    virtual bool checked(int index) = 0;
    virtual void set_checked(int index, bool on) = 0;
    virtual void enable(int index, bool on) = 0;
    // List views (MC_CHOOSE, MC_CHOSEN). Each answers false when the
    // control refused.
    virtual bool list_clear(int index) = 0;
    virtual bool list_append(int index, const char* text) = 0;
    // The text of the selected row; false when no row is selected.
    virtual bool list_selected(int index, std::string* text) = 0;

    // --- the two control sets ------------------------------------------
    // Creates the main controls with their list columns. On failure it
    // has shown its message (and may have closed the window): false.
    virtual bool create_main_controls() = 0;
    virtual void destroy_main_controls() = 0;
    // Creates the 17 panel fields; on failure it has shown its message and
    // closed the window: false.
    virtual bool create_panel() = 0;
    virtual void destroy_panel() = 0;
    virtual void set_panel_text(int index, const char* text) = 0;

    // --- the window ----------------------------------------------------------
    // Destroys the window; the program ends once its destruction is handled.
    virtual void close_window() = 0;
    // Returns once the thread has ended, serving the window's messages
    // meanwhile (so commands may arrive while it waits).
    virtual void wait_thread(ThreadHandle h) = 0;
};

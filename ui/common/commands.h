// What the main window's commands do, told against WindowControls so that
// any toolkit (or a test) can stand in: SCAN and its start of the scan
// thread, the rules between the action check boxes, the chooser's buttons,
// the marking of reference roots, RESTORE, ABORT/AGAIN, QUIT, CANCEL and
// Help, and the window's end.
//
// States: Idle (main controls), Scanning (panel, thread running), Finished
// (panel, button "AGAIN"), Stalled (panel, the thread stopped itself during
// collection: ABORT does nothing) and End (window closed).
//
// Message boxes have no owner, so the window stays live while one is open:
// every command is carried out when it is clicked, the command that opened
// the box included (a box is the last thing a command does, except SCAN's
// questions and RESTORE's). SCAN and RESTORE are refused while either one's
// questions are open, and nothing but QUIT and the close box acts while a
// scan thread is waited for. QUIT, CANCEL and the close box end the program
// at once, closing any open box without acting on it.
#pragma once

#include "engine/state.h"
#include "ui/common/chooser.h"
#include "ui/common/controls.h"
#include "ui/common/scan_setup.h"

// The Help box's text under the banner.
extern const char* const help_text;

class Commands {
public:
    Commands(ScanState& st, WindowControls& w);

    // Builds the main controls with their starting states and the drive
    // list in CHOOSE_W: 1 on success, else 0 (its message has been shown).
    int CreateMainControls();

    // A command by control id (100..132 main controls, 200..216 panel).
    void TX_OnCommand(int id);
    // A double click in a list view (MC_CHOOSE or MC_CHOSEN).
    void on_double_click(int index);
    // The selection of a list view (MC_CHOOSE or MC_CHOSEN) has changed.
    void on_select(int index);
    // QUIT, the close box and the scan thread's fatal-error request: stop
    // the scan thread, wait for it and close the window.
    void request_end();
    // The window is being destroyed: wait for any scan thread, close a
    // report it left open and release the scan records.
    void on_destroy();

    // The panel is up (Scanning, Finished or Stalled).
    bool panel_shown() const { return panel_; }
    Chooser& chooser() { return chooser_; }

private:
    void scan();
    PrepareResult ask_scan(ScanChoices& c);
    void start_scan();
    void abort_or_again();
    void rule_move();
    void rule_delete();
    void enable_delete_options(bool on);
    void show_reference_switch();
    void take_extras(const ScanChoices& c);
    void restore();
    void stop_scan_thread();
    void finish_command();
    void close_once();

    ScanState& st_;
    WindowControls& w_;
    Chooser chooser_;
    ThreadHandle thread_ = nullptr;  // the scan thread until it has been waited for
    bool panel_ = false;
    bool asking_ = false;       // SCAN or RESTORE is asking its questions
    // The ticks of "to RECYCLE BIN" and "only IDENTICAL content" at the last
    // SCAN, shown again when the main controls are built anew.
    bool bin_ = false, identical_ = false;
    bool waiting_ = false;      // waiting for the scan thread to end
    bool end_pending_ = false;  // the window is to close when the running command ends
    bool closed_ = false;       // close_window has been asked for
    bool release_after_wait_ = false;  // destroyed while waiting: release the records after
};

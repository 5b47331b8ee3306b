#include "ui/common/commands.h"

#include <cstdio>
#include <vector>

#include "report/restore.h"
#include "report/visible.h"
#include "ui/common/roots.h"
#include "ui/common/scan_job.h"
#include "ui/common/scan_setup.h"

// The contact line, then one paragraph for each control whose caption alone
// does not tell its use, in the order they stand in the window.
const char* const help_text =
    "Finds files of the same name. Questions and faults: twinex maintainers.\n\n"
    "to RECYCLE BIN (with DELETE): the old copies go to the Recycle Bin instead of being deleted. "
    "A file the bin cannot keep stays in its place, marked NOT DELETED with the reason.\n\n"
    "only IDENTICAL content (with DELETE): an old copy is deleted only when its bytes are those of the newest "
    "file; any other stays, marked NOT DELETED - CONTENT DIFFERS.\n\n"
    "EXCLUDE: patterns of names left out of the scan, written as in PATTERNS and separated by ; "
    "(write \\; for a ; inside a name; a blank belongs to the pattern). A directory that fits one is not "
    "entered, a file that fits one is not checked.\n\n"
    "REFERENCE on/off: select a root in CHOSEN and press it to mark the root [REF], or to unmark it. "
    "A file under a [REF] root is never moved or deleted, and a name found only there is not listed. "
    "A move or a delete takes only the names that have a copy under a [REF] root, and then every copy "
    "found elsewhere, older or newer. A [REF] root may lie inside another root: choose it and mark it "
    "first, then choose the root around it. No root may lie inside a [REF] root.\n\n"
    "RESTORE: select a twinfilesNNN.sinkhole in CHOOSE and press RESTORE to put every copy back in its place. "
    "A place that is taken keeps its file, and the copy stays in the sinkhole.";

namespace {

const char* const caption = "twinex";

// The sub-options that only a delete run takes: live while DELETE is ticked.
const int delete_options[] = {MC_REQUEST, MC_SAVE, MC_BIN, MC_IDENTICAL};

// The most places a restore's outcome names; more are counted.
constexpr size_t SHOWN_NOTES = 10;

void tell_restored(Feedback& ui, const std::string& sinkhole, const RestoreResult& r,
                   const std::vector<std::string>& notes)
{
    if (r.no_manifest) {
        ui.Complain(COMPLAIN_NOTICE, caption, "NOTHING TO RESTORE", sinkhole.c_str(), "has no manifest beside it.");
        return;
    }
    char head[96];
    snprintf(head, sizeof head, "%ld FILES RESTORED, %ld LEFT IN THE SINKHOLE", r.restored, r.problems);
    std::string places, more;
    for (size_t i = 0; i < notes.size() && i < SHOWN_NOTES; ++i)
        places += (i ? "\n" : "") + notes[i];
    if (notes.size() > SHOWN_NOTES)
        more = "... and " + std::to_string(notes.size() - SHOWN_NOTES) + " more";
    ui.Complain(COMPLAIN_NOTICE, caption, head, places.empty() ? nullptr : places.c_str(),
                more.empty() ? nullptr : more.c_str());
}

enum CommandId {
    ID_SCAN = MAIN_ID_BASE + MC_SCAN,
    ID_CANCEL = MAIN_ID_BASE + MC_CANCEL,
    ID_HELP = MAIN_ID_BASE + MC_HELP,
    ID_MOVE = MAIN_ID_BASE + MC_MOVE,
    ID_DELETE = MAIN_ID_BASE + MC_DELETE,
    ID_PARENT = MAIN_ID_BASE + MC_PARENT,
    ID_DRIVES = MAIN_ID_BASE + MC_DRIVES,
    ID_REFRESH = MAIN_ID_BASE + MC_REFRESH,
    ID_FOR_SCAN = MAIN_ID_BASE + MC_FOR_SCAN,
    ID_FOR_OUTPUT = MAIN_ID_BASE + MC_FOR_OUTPUT,
    ID_CLEAR_OUTPUT = MAIN_ID_BASE + MC_CLEAR_OUTPUT,
    ID_RESTORE = MAIN_ID_BASE + MC_RESTORE,
    ID_REFERENCE = MAIN_ID_BASE + MC_REFERENCE,
    ID_ABORT = PANEL_ID_BASE + PF_ABORT,
    ID_QUIT = PANEL_ID_BASE + PF_QUIT,
};

}  // namespace

Commands::Commands(ScanState& st, WindowControls& w) : st_(st), w_(w), chooser_(st, w) {}

int Commands::CreateMainControls()
{
    if (!w_.create_main_controls())
        return 0;
    // The list options show the flags of the last scan; the two actions
    // always start unticked, their sub-options greyed.
    w_.set_checked(MC_REQUEST, st_.request_flag != 0);
    w_.set_checked(MC_CASE, st_.i_flag != 0);
    w_.set_checked(MC_CRLF, st_.r_flag != 0);
    w_.set_checked(MC_DATES, st_.t_flag != 0);
    w_.set_checked(MC_DELETE, false);
    w_.set_checked(MC_SAVE, st_.save_flag != 0);
    w_.set_checked(MC_BIN, bin_);
    w_.set_checked(MC_IDENTICAL, identical_);
    enable_delete_options(false);
    show_reference_switch();
    chooser_.type = CHOOSE_DRIVES;
    return SetChooseData(chooser_);
}

void Commands::TX_OnCommand(int id)
{
    if (closed_)
        return;
    if (id == ID_CANCEL || id == ID_QUIT) {
        request_end();
        return;
    }
    // While the scan thread is waited for only the panel exists, and ABORT
    // is already under way.
    if (waiting_)
        return;
    bool main_id = id >= MAIN_ID_BASE && id < MAIN_ID_BASE + MC_COUNT;
    if (main_id == panel_)
        return;   // a late click on a control set that is gone
    // A second SCAN while the first one asks would start a second scan
    // thread once both were confirmed; a restore asked for meanwhile would
    // work on the files that scan is about to act on.
    if ((id == ID_SCAN || id == ID_RESTORE) && asking_)
        return;
    switch (id) {
    case ID_SCAN: scan(); break;
    case ID_HELP: st_.ui->Complain(COMPLAIN_ERROR, caption, "", banner_text(), help_text); break;
    case ID_MOVE: rule_move(); break;
    case ID_DELETE: rule_delete(); break;
    case ID_PARENT: GetParentDirectory(chooser_); break;
    case ID_DRIVES: chooser_.type = CHOOSE_DRIVES; SetChooseData(chooser_); break;
    case ID_REFRESH: SetChooseData(chooser_); break;
    case ID_FOR_SCAN: SelectForScan(chooser_); break;
    case ID_FOR_OUTPUT: SelectForOutput(chooser_, MC_OUTPUT); break;
    case ID_CLEAR_OUTPUT: w_.set_text(MC_OUTPUT, ""); break;
    case ID_RESTORE: restore(); break;
    case ID_REFERENCE: SwitchReference(chooser_); break;
    case ID_ABORT: abort_or_again(); break;
    default: break;   // group boxes, list options, boxes, labels: nothing
    }
    finish_command();
}

void Commands::on_double_click(int index)
{
    if (closed_ || waiting_ || panel_)
        return;
    if (index == MC_CHOOSE)
        HandleMouseClick(chooser_);
    else if (index == MC_CHOSEN)
        DeleteItem(chooser_);
    show_reference_switch();
}

void Commands::on_select(int index)
{
    if (!closed_ && !waiting_ && !panel_ && index == MC_CHOSEN)
        show_reference_switch();
}

// REFERENCE on/off is live only while the root selected in CHOSEN_W may be
// marked or unmarked, so a root never meets a reference root as the rules
// forbid. A rebuilt list has no row selected, and a command may have
// changed the roots: it is set again after each.
void Commands::show_reference_switch()
{
    const Dnode* d = selected_root(chooser_);
    w_.enable(MC_REFERENCE, d && may_switch_reference(st_, d));
}

// An end asked for while the scan thread was waited for is carried out once
// the wait is over.
void Commands::finish_command()
{
    if (!panel_ && !closed_ && !waiting_)
        show_reference_switch();
    if (end_pending_ && !waiting_ && !closed_) {
        end_pending_ = false;
        request_end();
    }
}

// QUIT, CANCEL, the close box and a fatal error on the scan thread. Any box
// open now is closed without acting on it (a deletion question keeps its
// file), so a scan thread that was asking stops at once and is waited for;
// a wait under way (ABORT) ends the program when it is over.
void Commands::request_end()
{
    if (closed_)
        return;
    st_.abort_flag = 1;
    st_.ui->end_questions();
    if (waiting_) {
        end_pending_ = true;
        return;
    }
    if (thread_)
        stop_scan_thread();
    end_pending_ = false;
    close_once();
}

void Commands::close_once()
{
    if (closed_)
        return;
    closed_ = true;
    w_.close_window();
}

void Commands::on_destroy()
{
    closed_ = true;
    if (waiting_) {
        release_after_wait_ = true;   // the wait under way releases them
        return;
    }
    if (thread_)
        stop_scan_thread();
    cleanup(st_);
}

// Sets abort_flag and waits until the scan thread has ended; the window is
// served meanwhile. A thread that sits in a deletion question ends once the
// user has answered it. Only then may its records, its report and the panel
// it writes to go.
void Commands::stop_scan_thread()
{
    st_.abort_flag = 1;
    waiting_ = true;
    w_.wait_thread(thread_);
    waiting_ = false;
    end_scan(st_, thread_);
    thread_ = nullptr;
    if (release_after_wait_)
        cleanup(st_);
}

void Commands::enable_delete_options(bool on)
{
    for (int box : delete_options)
        w_.enable(box, on);
}

void Commands::rule_move()
{
    w_.set_checked(MC_DELETE, false);
    enable_delete_options(false);
}

void Commands::rule_delete()
{
    bool on = w_.checked(MC_DELETE);
    enable_delete_options(on);
    if (on)
        w_.set_checked(MC_MOVE, false);
}

// The Recycle Bin and the content check belong to a delete run alone, so a
// move or a listing never takes them, whatever their greyed ticks show.
void Commands::take_extras(const ScanChoices& c)
{
    bin_ = w_.checked(MC_BIN);
    identical_ = w_.checked(MC_IDENTICAL);
    bool del = c.del && !c.move;
    st_.extra.trash = del && bin_;
    st_.extra.same_content = del && identical_;
    st_.extra.excludes = split_exclusions(w_.text(MC_EXCLUDE, EXCLUDE_CHARS));
}

void Commands::scan()
{
    ScanChoices c;
    c.output = w_.text(MC_OUTPUT, CHOOSER_PATH);
    c.patterns = w_.text(MC_PATTERNS, PATTERN_CHARS);
    c.crlf = w_.checked(MC_CRLF);
    c.case_insensitive = w_.checked(MC_CASE);
    c.datestamps = w_.checked(MC_DATES);
    c.move = w_.checked(MC_MOVE);
    c.del = w_.checked(MC_DELETE);
    c.request = w_.checked(MC_REQUEST);
    c.save = w_.checked(MC_SAVE);
    take_extras(c);
    asking_ = true;
    w_.enable(MC_SCAN, false);
    PrepareResult r = ask_scan(c);
    asking_ = false;
    if (closed_)
        return;
    if (r != PREPARE_GO) {
        w_.enable(MC_SCAN, true);
        return;
    }
    start_scan();
}

// SCAN's questions; the output directory they settle is shown before the
// confirmation is asked.
PrepareResult Commands::ask_scan(ScanChoices& c)
{
    std::string before = c.output;
    PrepareResult r = scan_choose_output(st_, c, *st_.ui);
    if (r != PREPARE_GO || closed_)
        return r;
    if (c.output != before)
        w_.set_text(MC_OUTPUT, c.output.c_str());
    // The confirmation names the delete run's further options.
    std::string detail;
    if (st_.extra.trash)
        detail = "to RECYCLE BIN";
    if (st_.extra.same_content)
        detail += std::string(detail.empty() ? "" : ", ") + "only IDENTICAL content";
    return scan_confirm(st_, c, *st_.ui, detail.empty() ? nullptr : detail.c_str());
}

// RESTORE: the sinkhole selected in CHOOSE_W goes back where its manifest
// says, once the user agrees; the outcome is told in a box. SCAN waits
// meanwhile, as during SCAN's own questions.
void Commands::restore()
{
    std::string sinkhole;
    if (!selected_path(chooser_, &sinkhole, "Not restored."))
        return;
    asking_ = true;
    w_.enable(MC_SCAN, false);
    bool go = st_.ui->Complain(COMPLAIN_OKCANCEL, caption, "RESTORE", sinkhole.c_str(), "ARE YOU SURE?");
    asking_ = false;
    if (closed_)
        return;
    w_.enable(MC_SCAN, true);
    if (!go)
        return;
    std::vector<std::string> notes;
    RestoreResult r = restore_sinkhole(*st_.sys, sinkhole, [&](const std::string& what, const std::string& path) {
        notes.push_back(what + ": " + visible_text(path));
    });
    tell_restored(*st_.ui, sinkhole, r, notes);
}

void Commands::start_scan()
{
    w_.destroy_main_controls();
    if (!w_.create_panel()) {
        closed_ = true;   // the panel's builder has told the user and closed the window
        return;
    }
    panel_ = true;
    w_.set_panel_text(PF_SUMMARY, action_summary(st_));
    if (!start_scan_thread(st_, &thread_)) {
        st_.ui->Complain(COMPLAIN_ERROR, caption, "ERROR: can't create scan thread.", "QUITTING", nullptr);
        close_once();
    }
}

void Commands::abort_or_again()
{
    if (!thread_)
        return;
    // Stalled: the thread gave up during collection on its own account (a
    // pattern error) and cleared hThread; only QUIT leads on.
    if (st_.sys->wait_thread(thread_, 0) && st_.hThread == nullptr)
        return;
    stop_scan_thread();
    w_.destroy_panel();
    panel_ = false;
    cleanup(st_);
    if (end_pending_ || closed_)
        return;   // QUIT or the close box came during the wait
    if (!CreateMainControls()) {
        st_.ui->Complain(COMPLAIN_ERROR, caption, "Can't creat main controls.", "Maybe not enough memory.",
                         "QUITTING");
        close_once();
    }
}

// The scan thread: collection of every chosen root, grouping, and the report
// with its actions, each phase announced in the progress panel and left as
// soon as abort_flag is set.
#include "ui/common/scan_job.h"

#include <new>

#include "engine/collect.h"
#include "engine/group.h"
#include "report/report.h"

namespace {

// Guards hThread between the thread that starts the scan (which stores the
// handle) and the scan thread (which clears it when collection stops early),
// so the clearing can never come before the storing.
Mutex& handle_lock()
{
    static Mutex m;
    return m;
}

void forget_thread_handle(ScanState& st)
{
    MutexLock hold(handle_lock());
    st.hThread = nullptr;   // not closed here: whoever started the thread keeps its handle
}

// Collects every root in dlist order; false when the scan was stopped.
bool collect(ScanState& st)
{
    st.ui->set_field(PF_COLLECT_LABEL, "COLLECTING: ");
    st.ui->set_field(PF_COLLECT_COUNT, "0");
    if (collect_roots(st))
        return true;
    forget_thread_handle(st);
    return false;
}

// The three phases, left as soon as abort_flag is set.
void run_phases(ScanState& st)
{
    if (!collect(st))
        return;
    st.ui->set_field(PF_PROCESS_LABEL, "PROCESSING:");
    st.ui->set_field(PF_PROCESS_COUNT, "0");
    process_files(st);
    if (st.abort_flag)
        return;
    st.ui->set_field(PF_WRITTEN_LABEL, "WRITTEN: ");
    st.ui->set_field(PF_WRITTEN_COUNT, "0");
    output_names(st);
    if (st.abort_flag)
        return;
    st.ui->set_field(PF_ABORT, "AGAIN");
}

}  // namespace

// Memory may run out anywhere in the phases; what was made on the way is
// released as the failure travels up, and the program ends here with the
// report closed as far as written.
unsigned Scan(void* param)
{
    ScanState& st = *static_cast<ScanState*>(param);
    try {
        run_phases(st);
    } catch (const std::bad_alloc&) {
        quit_out_of_memory(st);
    }
    return 0;
}

bool start_scan_thread(ScanState& st, ThreadHandle* handle)
{
    MutexLock hold(handle_lock());
    ThreadHandle h = st.sys->start_thread(Scan, &st);
    st.hThread = h;
    if (handle)
        *handle = h;
    return h != nullptr;
}

void end_scan(ScanState& st, ThreadHandle thread)
{
    st.sys->close_thread(thread);
    forget_thread_handle(st);
    close_report(st);
}

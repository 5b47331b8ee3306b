// The scan thread: collection of every chosen root, grouping, and the report
// with its actions, each phase announced in the progress panel and left as
// soon as abort_flag is set.
#include <new>

#include "engine/name_index.h"
#include "engine/scan.h"
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
    for (Node* n = FirstNode(&st.dlist); n && n->next;) {
        Dnode* d = reinterpret_cast<Dnode*>(n);
        get_names(st, d->dname, d);
        if (st.abort_flag) {   // d may be gone: a pattern error releases the roots
            forget_thread_handle(st);
            return false;
        }
        n = n->next;
    }
    free_name_index(st);
    return true;
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

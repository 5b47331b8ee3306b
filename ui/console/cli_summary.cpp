// The end-of-run summary of the console program.
#include "ui/console/cli_summary.h"

#include <cstdio>

#include "report/visible.h"

namespace {

// "1 group", "3 groups".
std::string count_of(long n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

long root_count(const ScanState& st)
{
    long n = 0;
    for (const Node* d = st.dlist.head; d && d->next; d = d->next)
        ++n;
    return n;
}

std::string found_line(const ScanState& st)
{
    std::string line = count_of(root_count(st), "root", "roots") + ", ";
    if (st.extra.list)
        line += count_of(st.numlisted, "file listed", "files listed") + ", ";
    line += count_of(st.numfiles, "name checked", "names checked");
    if (st.pattern)
        line += ", " + std::to_string(st.numpats) + " fit the pattern";
    return line + ", " + count_of(st.numdups, "group", "groups") + ", " +
           count_of(st.counts.files, "file", "files");
}

// "3 deleted, 3 newest kept, 1 answered no, 1 NOT DELETED - Permission denied".
std::string action_line(const ScanState& st)
{
    const ReportCounts& c = st.counts;
    const char* done = st.m_flag ? " moved" : st.extra.trash ? " moved to the trash" : " deleted";
    std::string line = std::to_string(c.done) + done;
    if (c.newest_kept)
        line += ", " + std::to_string(c.newest_kept) + (st.extra.keep_oldest ? " oldest kept" : " newest kept");
    if (c.reference_kept)
        line += ", " + count_of(c.reference_kept, "reference copy kept", "reference copies kept");
    if (c.answered_no)
        line += ", " + std::to_string(c.answered_no) + " answered no";
    for (const auto& reason : c.left)
        line += ", " + std::to_string(reason.second) + " " + visible_text(reason.first);
    return line;
}

std::string time_line(const ScanState& st, double seconds)
{
    char took[64];
    std::snprintf(took, sizeof took, "done in %.1f s; report: ", seconds);
    std::string line = took + visible_text(st.filename);
    if ((st.m_flag || (st.dom_flag == -1 && st.save_flag)) && !st.sinkholename.empty())
        line += "; sinkhole: " + visible_text(st.sinkholename);
    return line;
}

}  // namespace

std::string run_summary(const ScanState& st, double seconds)
{
    std::string out = "twinex: " + found_line(st) + "\n";
    if (st.m_flag || st.dom_flag == -1)
        out += "twinex: " + action_line(st) + "\n";
    if (st.extra.same_content)
        out += "twinex: " + std::to_string(st.extra.bytes_compared) + " bytes compared for --same-content\n";
    if (st.numunread)
        out += "twinex: " + count_of(st.numunread, "directory", "directories") + " could not be read\n";
    if (st.numrefused)
        out += "twinex: " + count_of(st.numrefused, "listed entry", "listed entries") + " not taken\n";
    return out + "twinex: " + time_line(st, seconds) + "\n";
}

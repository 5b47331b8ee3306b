// The SCAN command up to the confirmation: the output directory, the
// pattern, the option flags and the action summary.
#include "ui/common/scan_setup.h"

#include <cstdlib>

namespace {

// The first root that is not a reference root: the report and a sinkhole
// never go into a reference tree unasked, where the next scan would take
// the saved copies for reference copies.
const Dnode* first_scan_root(ScanState& st)
{
    for (Node* n = FirstNode(&st.dlist); n; n = NextNode(n)) {
        if (!reinterpret_cast<Dnode*>(n)->reference)
            return reinterpret_cast<Dnode*>(n);
    }
    return nullptr;
}

// Fills outputname from the OUTPUT box or, when that is empty, from the
// first scan root if the user agrees; anything but PREPARE_GO ends the
// command. Reference roots alone are nothing to scan: every group would be
// left out.
PrepareResult choose_output(ScanState& st, ScanChoices& c, Feedback& ask)
{
    const Dnode* first = first_scan_root(st);
    if (!first && (c.output.empty() || FirstNode(&st.dlist))) {
        ask.Complain(COMPLAIN_NOTICE, "twinex", "NOTHING TO SCAN", nullptr, nullptr);
        return PREPARE_NOTHING;
    }
    if (!c.output.empty()) {
        st.outputname = c.output;
        return PREPARE_GO;
    }
    // A copy: the root may be dropped from the still live window while the
    // question is open.
    const std::string d = first->dname;
    if (!ask.Complain(COMPLAIN_OKCANCEL, "twinex", "NO OUTPUT CHOSEN", "Do you want to use:-", d.c_str()))
        return PREPARE_CANCELLED;
    st.outputname = d;
    c.output = d;
    return PREPARE_GO;
}

// A pattern that cannot be kept must not turn into no pattern at all: the
// scan would then act on every file instead of the chosen ones.
bool take_pattern(ScanState& st, const ScanChoices& c, Feedback& ask)
{
    free(st.pattern);
    st.pattern = nullptr;
    std::string text = c.patterns.substr(0, PATTERN_MAX);
    if (text.empty() || text[0] == '\0')
        return true;
    st.pattern = makestring(text.c_str());
    if (st.pattern)
        return true;
    ask.Complain(COMPLAIN_ERROR, "twinex", "Can't keep the pattern.", "Maybe not enough memory.", nullptr);
    return false;
}

void set_flags(ScanState& st, const ScanChoices& c)
{
    st.r_flag = c.crlf;
    st.i_flag = c.case_insensitive;
    st.t_flag = c.datestamps;
    st.m_flag = c.move;
    if (st.m_flag) {
        // A move saves every file and asks nothing, whatever the
        // sub-options show.
        st.dom_flag = 1;
        st.request_flag = 0;
        st.save_flag = 1;
    } else if (c.del) {
        st.dom_flag = -1;
        st.request_flag = c.request;
        st.save_flag = c.save;
    } else {
        st.dom_flag = 1;  // request_flag and save_flag keep their values
    }
}

}  // namespace

PrepareResult scan_choose_output(ScanState& st, ScanChoices& c, Feedback& ask)
{
    st.abort_flag = 0;
    return choose_output(st, c, ask);
}

PrepareResult scan_confirm(ScanState& st, ScanChoices& c, Feedback& ask, const char* detail)
{
    if (!take_pattern(st, c, ask))
        return PREPARE_CANCELLED;
    set_flags(st, c);
    const char* sure = "ARE YOU SURE?";
    if (!ask.Complain(COMPLAIN_OKCANCEL, "twinex", action_summary(st), detail ? detail : sure, detail ? sure : nullptr))
        return PREPARE_CANCELLED;
    st.numfiles = 0;
    st.numdups = 0;
    st.numdeleted = 0;
    st.numpats = 0;
    st.numunread = 0;
    st.numrefused = 0;
    st.numlisted = 0;
    return PREPARE_GO;
}

PrepareResult scan_prepare(ScanState& st, ScanChoices& c, Feedback& ask)
{
    PrepareResult r = scan_choose_output(st, c, ask);
    return r == PREPARE_GO ? scan_confirm(st, c, ask) : r;
}

const char* action_summary(const ScanState& st)
{
    if (st.m_flag)
        return "MOVING TWINEX to SINKHOLE";
    if (st.dom_flag == -1)
        return st.save_flag ? "DELETING OLD MODIFIED,  SAVING deleted files in SINKHOLE"
                            : "DELETING OLD MODIFIED without Saving";
    return "LISTING TWINEX ONLY";
}

std::vector<std::string> split_exclusions(const std::string& text)
{
    std::vector<std::string> out;
    std::string piece;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ';') {
            if (!piece.empty())
                out.push_back(piece);
            piece.clear();
            continue;
        }
        piece += text[i];
        if (text[i] == '\\' && i + 1 < text.size())
            piece += text[++i];   // an escaped character, a semicolon too, stays as written
    }
    if (!piece.empty())
        out.push_back(piece);
    return out;
}

// Names left out of a scan: a directory whose name matches an exclusion is
// not entered, a file whose name matches is neither counted nor collected.
#include "engine/exclude.h"

#include "match/match.h"

bool is_excluded(const ScanState& st, const char* name, uint32_t* p_error)
{
    for (const std::string& p : st.extra.excludes) {
        if (match_name(name, p.c_str(), st.i_flag, st.extra.unicode, p_error))
            return true;
        if (*p_error)
            return false;
    }
    return false;
}

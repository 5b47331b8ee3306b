// What counts as one name. A file is grouped by the key of its name, and
// two keys are one when same_name holds for them under the run's case rule.
// Without --unicode and --copies the key is the name itself. With them:
//
// --unicode: a name that is valid UTF-8 and not plain ASCII is keyed by its
//   NFC form, fully case-folded when case is ignored (match/unicode.h). A
//   plain ASCII name keys as itself, which the case rule's ASCII fold makes
//   equal to its Unicode form. A name that is not valid UTF-8 keys as itself.
// --copies: then the copy marks are taken off the key, again and again,
//   until none is left (strip_copy_marks).
//
// The key is made once per file, while collecting. It is kept in the record
// only when it differs from the name under the case rule, so a run without
// these options, and a plain name, cost no memory (record_key, state.h).
#pragma once

#include <string>

#include "engine/state.h"

struct NameRules {
    int i_flag = 1;
    bool unicode = false;
    bool copies = false;
};

// The scan's rules.
NameRules name_rules(const ScanState& st);

// The key of `name`: `name` itself, or a text in `*buf` that differs from
// it under the case rule.
const char* name_key(const char* name, const NameRules& rules, std::string* buf);

// `name` without its copy marks, matched with the case rule `i_flag`, in
// `*out`; false when it carries none. The name is a base and an extension:
// the last dot-separated part, or the last two, each of 1 to 5 letters or
// digits (a dot that starts the name starts no extension). The marks
//   " (N)", "(N)", " - Copy" (also "Kopie", "Copie", "Copia", "Cópia"),
//   " copy", " copy N"
// count right before the extension, in either reading, or at the end of a
// name without one; "Copy of " and "Copy (N) of " only at its very start.
// N is 1 to 4 digits. A mark is taken off only when something of the base
// remains: "(1).txt" stays as it is.
bool strip_copy_marks(const char* name, int i_flag, std::string* out);

// The title of the group that `first` leads: its name, or with --copies its
// name without marks (in `*buf`). The report's group line, the JSON group
// name and the sinkhole's sub-directory use it.
const char* group_title(const ScanState& st, const Fnode* first, std::string* buf);

// With --unicode, the pattern and the exclusions in NFC, as names are
// matched; a text that is not valid UTF-8 stays as it is.
void normalise_patterns(ScanState& st);

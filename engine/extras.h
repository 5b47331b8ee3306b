// Choices of the console program beyond those of the window: names left
// out of the walk, what counts as one name, the content check and the trash
// for delete runs, which copy stays, size limits, a list of files to take
// instead of (or beside) a walk, and the JSON copy of the report. Left at
// their defaults, every run is as before.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ExtraOptions {
    std::vector<std::string> excludes;   // patterns: matching names are neither walked nor collected
    bool same_content = false;           // delete only copies whose bytes equal the kept file's
    bool trash = false;                  // delete runs hand files to the trash
    bool unicode = false;                // names compared as Unicode (engine/name_key.h)
    bool copies = false;                 // copy marks left out of the names compared
    std::string json_path;               // empty: no JSON output
    bool across_roots = false;           // only groups whose files lie under two roots or more
    bool keep_oldest = false;            // delete runs keep the oldest file of each name
    uint64_t min_size = 0;               // files smaller or larger are not collected
    uint64_t max_size = UINT64_MAX;
    bool min_given = false, max_given = false;
    std::string list_name;               // --files-from as shown in the report ("-": standard input)
    FILE* list = nullptr;                // the list being read (not owned); null: no list
    bool list_nul = false;               // its entries end with NUL, not with a line end

    // Written by the scan thread.
    uint64_t bytes_compared = 0;         // bytes compared for same_content
    FILE* json = nullptr;                // the JSON output being written
    FILE* manifest = nullptr;            // the sinkhole's manifest being written
    std::string manifest_path;
};

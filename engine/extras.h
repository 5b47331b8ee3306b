// Choices of the console program beyond those of the window: names left
// out of the walk, what counts as one name, the content check and the trash
// for delete runs, and the JSON copy of the report. Left at their defaults,
// every run is as before.
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

    // Written by the scan thread.
    uint64_t bytes_compared = 0;         // bytes compared for same_content
    FILE* json = nullptr;                // the JSON output being written
    FILE* manifest = nullptr;            // the sinkhole's manifest being written
    std::string manifest_path;
};

// The manifest of a sinkhole: one line for every copy a saving run put in
// it, written as the run goes, so that the run can be undone.
//
// It lies beside the sinkhole, named like it with ".manifest" appended
// (twinfiles000.sinkhole.manifest). Not inside: any name there could be the
// name of a group's sub-directory. The program makes no other name of that
// form, and it is created exclusively, so it never replaces a file.
//
// Text, one record per line, fields separated by a tab:
//     twinex sinkhole manifest 2                        (first line)
//     root  PATH                                        (one line per root of the run)
//     links  followed | not followed                    (whether -L was given)
//     COPY  SIZE  CREATED  ACCESSED  MODIFIED  ORIGINAL (one line per copy)
// COPY is the copy's path inside the sinkhole, ORIGINAL the full path the
// file had; in them and in PATH, "%", tab, and every byte below 0x20 or
// 0x7F is written as % and two hex digits. SIZE is in bytes; the times are
// 100-nanosecond ticks since 1601-01-01 UTC, exactly as the copy carries
// them; CREATED is "-" where the file system keeps no creation time. A run
// that took files from a list writes no root line.
//
// A copy's line is on the disk before the file leaves its place. Version 1
// (written before) has no root and links lines, and restores as before.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/state.h"

extern const char* const manifest_first_line;     // of version 2
extern const char* const manifest_first_line_v1;

// What the lines before the copies tell of the saving run.
struct ManifestRun {
    int version = 0;                  // 0 until the first line is read
    std::vector<std::string> roots;   // as the run had them
    bool links_followed = false;
};

struct ManifestEntry {
    std::string copy;       // relative to the sinkhole
    std::string original;   // full path
    uint64_t size = 0;
    FileTimes times;
};

std::string manifest_path(const std::string& sinkhole);

// Creates the manifest of the run's new sinkhole. On failure the empty
// sinkhole is removed again and the scan stops with a fatal error: no
// saving run acts without a record of its copies.
bool start_manifest(ScanState& st);
// Adds the line of the copy `savename` of `original` (its size and times
// as given), written but not yet on the disk; false with a one-line text
// in `msg` (PATH_BUF bytes).
bool record_copy(ScanState& st, const char* original, const std::string& savename, uint64_t size,
                 const FileTimes& t, char* msg);
// Every line written so far on the disk; 0 or an error number.
int sync_manifest(ScanState& st);
void close_manifest(ScanState& st);

// A line before the copies (the first line included), read into `run`;
// false when the line is not one of those.
bool parse_manifest_head(const std::string& line, ManifestRun* run);
// One copy's line of a manifest (without its line end); false when malformed.
bool parse_manifest_line(const std::string& line, ManifestEntry* e);

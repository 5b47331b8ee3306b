// The manifest of a sinkhole: one line for every copy a saving run put in
// it, written as the run goes, so that the run can be undone.
//
// It lies beside the sinkhole, named like it with ".manifest" appended
// (twinfiles000.sinkhole.manifest). Not inside: any name there could be the
// name of a group's sub-directory. The program makes no other name of that
// form, and it is created exclusively, so it never replaces a file.
//
// Text, one record per line, fields separated by a tab:
//     twinex sinkhole manifest 1                        (first line)
//     COPY  SIZE  CREATED  ACCESSED  MODIFIED  ORIGINAL
// COPY is the copy's path inside the sinkhole, ORIGINAL the full path the
// file had; in both, "%", tab, and every byte below 0x20 or 0x7F is written
// as % and two hex digits. SIZE is in bytes; the times are 100-nanosecond
// ticks since 1601-01-01 UTC, exactly as the copy carries them.
#pragma once

#include <cstdint>
#include <string>

#include "engine/state.h"

extern const char* const manifest_first_line;

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
// Adds the complete copy `savename` of `original`, flushed to the disk;
// false with a one-line text in `msg` (PATH_BUF bytes).
bool record_copy(ScanState& st, const char* original, const std::string& savename, const FileTimes& t, char* msg);
void close_manifest(ScanState& st);

// One line of a manifest (without its line end); false when malformed.
bool parse_manifest_line(const std::string& line, ManifestEntry* e);

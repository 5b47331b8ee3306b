// The groups as JSON, written beside the report as it is written: one
// object, its header facts first, then one element per group and file as
// the writer reaches them, so nothing of it is held in memory.
//
// Names are bytes. A name that is valid UTF-8 is written as it is (with the
// usual JSON escapes). A name that is not is written with each byte of a
// broken sequence replaced by U+FFFD, and the same key with "_bytes"
// appended holds every byte of the real name as two lowercase hex digits
// ("path_bytes": "2f746d702fe9"), from which a reader gets the exact name.
#pragma once

#include <cstdio>
#include <string>

#include "engine/state.h"
#include "report/actions.h"

class JsonOut {
public:
    explicit JsonOut(ScanState& st) : st_(st) {}
    ~JsonOut();   // output left unfinished ends as valid JSON with "complete": false
    JsonOut(const JsonOut&) = delete;
    JsonOut& operator=(const JsonOut&) = delete;

    // Creates the file when one was asked for; false after the fatal error.
    bool open();
    bool on() const { return fp_ != nullptr; }
    void header(const ActionRun& run, int64_t now);
    void group(const char* name);
    void file(const ActionRun& run, const Fnode* f, Outcome o, bool known, const FileStatus& fs);
    void finish(const ActionRun& run);

private:
    void put(const std::string& text);
    void name_field(const char* key, const char* value);
    void close(bool complete);

    ScanState& st_;
    FILE* fp_ = nullptr;
    enum { NOTHING, IN_GROUPS, AFTER_GROUPS } stage_ = NOTHING;
    long groups_ = 0;
    long files_ = 0;   // in the current group
};

// The JSON form of a name: quoted, escaped; `valid` tells whether it was
// valid UTF-8 (when not, broken bytes became U+FFFD).
std::string json_string(const char* text, bool* valid);
// Every byte as two lowercase hex digits.
std::string hex_bytes(const char* text);

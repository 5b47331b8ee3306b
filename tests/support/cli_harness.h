// Running twinex-cli in the test process: answers from a string, its
// output and messages captured, on small real trees.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/tree.h"
#include "ui/console/cli_run.h"

// What was written to a stream opened for reading and writing.
inline std::string contents(FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;)
        s += char(c);
    return s;
}

struct CliResult {
    int status = -1;
    std::string out, err;   // standard output, and the messages
};

// Runs twinex-cli in this process on `sys` or the real system, with
// `typed` as its input (not a terminal).
inline CliResult run_cli(std::vector<std::string> args, Platform& sys = system_platform(), const std::string& typed = "")
{
    args.insert(args.begin(), "twinex-cli");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    CliStreams io{input_with(typed), std::tmpfile(), std::tmpfile(), false, false, true, nullptr, false};
    CliResult r;
    r.status = cli_run((int)args.size(), argv.data(), sys, io);
    r.out = contents(io.out);
    r.err = contents(io.err);
    for (FILE* f : {io.in, io.out, io.err})
        std::fclose(f);
    return r;
}

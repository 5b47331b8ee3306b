// Running twinex-cli in the test process: answers from a string, its
// output and messages captured, on small real trees in a scratch directory.
#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/tree.h"
#include "ui/console/cli_run.h"

namespace fs = std::filesystem;

namespace cli_harness {

inline std::string contents(FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;)
        s += char(c);
    return s;
}

inline std::string file_text(const fs::path& p) { return TestTree::read_path(p.string()); }

// A TestTree whose files are given their age in seconds, and paths as
// std::filesystem paths.
struct TempTree : TestTree {
    fs::path root() const { return TestTree::root(); }
    fs::path file(const std::string& rel, const std::string& data, int age_seconds)
    {
        TestTree::file(rel, data, system_platform().now() - age_seconds);
        return path(rel);
    }
    fs::path dir(const std::string& rel)
    {
        TestTree::dir(rel);
        return path(rel);
    }
};

struct CliResult {
    int status = -1;
    std::string out, err;   // standard output, and the messages
};

// Runs twinex-cli in this process with `typed` as its input (not a
// terminal), on `sys` or the real system.
inline CliResult run_cli(std::vector<std::string> args, const std::string& typed = "",
                         std::atomic<int>* interrupt = nullptr, Platform& sys = system_platform())
{
    args.insert(args.begin(), "twinex-cli");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    CliStreams io{input_with(typed), std::tmpfile(), std::tmpfile(), false, false, true, interrupt, false};
    CliResult r;
    r.status = cli_run((int)args.size(), argv.data(), sys, io);
    r.out = contents(io.out);
    r.err = contents(io.err);
    for (FILE* f : {io.in, io.out, io.err})
        std::fclose(f);
    return r;
}

inline std::string native(const fs::path& p)
{
    return root_form(p.string().c_str());
}

}  // namespace cli_harness

using namespace cli_harness;

// Running twinex-cli in the test process: answers from a string, its
// output and messages captured, on small real trees in a scratch directory.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "ui/console/cli_run.h"

namespace fs = std::filesystem;

namespace cli_harness {

// A stream that starts with `text`, for answers.
inline FILE* input_with(const std::string& text)
{
    FILE* f = std::tmpfile();
    std::fputs(text.c_str(), f);
    std::rewind(f);
    return f;
}

inline std::string contents(FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    return s;
}

inline std::string file_text(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A scratch directory removed at the end of the test.
class TempTree {
public:
    TempTree()
    {
        static int serial = 0;
        root_ = fs::temp_directory_path() /
                ("twinex-cli-test-" + std::to_string((long long)system_platform().now()) + "-" +
                 std::to_string(std::random_device()() % 1000000) + "-" + std::to_string(++serial));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~TempTree()
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    fs::path file(const std::string& rel, const std::string& data, int age_seconds)
    {
        fs::path p = root_ / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << data;
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::seconds(age_seconds));
        return p;
    }
    fs::path dir(const std::string& rel)
    {
        fs::create_directories(root_ / rel);
        return root_ / rel;
    }
    const fs::path& root() const { return root_; }
private:
    fs::path root_;
};

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
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
    CliStreams io;
    io.in = input_with(typed);
    io.out = std::tmpfile();
    io.err = std::tmpfile();
    io.status_line = false;
    io.in_terminal = false;
    io.echo_answers = true;
    io.interrupt = interrupt;
    io.catch_interrupt = false;
    CliResult r;
    r.status = cli_run((int)args.size(), argv.data(), sys, io);
    r.out = contents(io.out);
    r.err = contents(io.err);
    std::fclose(io.in);
    std::fclose(io.out);
    std::fclose(io.err);
    return r;
}

inline std::string native(const fs::path& p)
{
    return root_form(p.string().c_str());
}

}  // namespace cli_harness

using namespace cli_harness;

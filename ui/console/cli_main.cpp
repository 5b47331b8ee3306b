// twinex-cli: runs a whole scan from the terminal.
#include <atomic>
#include <cstdio>
#include <new>

#include "ui/console/cli_run.h"
#include "ui/console/console_feedback.h"

namespace {
std::atomic<int> interrupted{0};
}

int main(int argc, char** argv)
{
    CliStreams io;
    io.in = stdin;
    io.out = stdout;
    io.err = stderr;
    io.status_line = console_is_terminal(stderr);
    io.in_terminal = console_is_terminal(stdin);
    io.echo_answers = !io.in_terminal;
    io.interrupt = &interrupted;
    io.catch_interrupt = true;
    int status = CLI_FATAL;
    try {
        status = cli_run(argc, argv, system_platform(), io);
    } catch (const std::bad_alloc&) {   // the scan thread has ended or never began
        print_fatal_line(stderr, "OUT OF MEMORY");
    }
    std::fflush(stdout);
    return status;
}

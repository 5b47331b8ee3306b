// twinex-cli: runs a whole scan from the terminal.
#include <atomic>
#include <cstdio>

#include "ui/cli_run.h"

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
    int status = cli_run(argc, argv, system_platform(), io);
    std::fflush(stdout);
    return status;
}

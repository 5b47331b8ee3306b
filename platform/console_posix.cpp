// Console services of the POSIX build: Ctrl-C, terminal test, absolute paths.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

std::atomic<int>* interrupt_flag = nullptr;

extern "C" void on_interrupt(int)
{
    // Only an atomic store: nothing else is safe in a signal handler. The
    // handler was installed with SA_RESETHAND, so the next Ctrl-C ends the
    // program.
    if (interrupt_flag)
        interrupt_flag->store(1);
}

std::string current_directory()
{
    std::vector<char> buf(4096);
    for (;;) {
        if (getcwd(buf.data(), buf.size()))
            return buf.data();
        if (errno != ERANGE || buf.size() > (1u << 20))
            return std::string();
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

void console_catch_interrupt(std::atomic<int>* flag)
{
    interrupt_flag = flag;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
}

bool console_is_terminal(FILE* f)
{
    return f && isatty(fileno(f));
}

std::string console_full_path(const char* path)
{
    if (!path || !*path)
        return std::string();
    std::string whole = path;
    if (whole[0] != '/') {
        std::string cwd = current_directory();
        if (cwd.empty())
            return std::string();
        whole = cwd + "/" + whole;
    }
    // Resolve the steps as text, the way the Windows build does: "a/./b"
    // is "a/b", "a/x/../b" is "a/b", and ".." at the root stays at the root.
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < whole.size()) {
        size_t j = whole.find('/', i);
        if (j == std::string::npos)
            j = whole.size();
        std::string part = whole.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += "/" + p;
    return out.empty() ? std::string("/") : out;
}

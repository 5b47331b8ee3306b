// Console services of the Windows build: Ctrl-C, console test, absolute paths.
#include <windows.h>
#include <io.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

std::atomic<int>* interrupt_flag = nullptr;

BOOL WINAPI on_console_event(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    // The first press asks the scan to stop; a second one is left to the
    // system, which ends the program.
    if (!interrupt_flag || interrupt_flag->load())
        return FALSE;
    interrupt_flag->store(1);
    return TRUE;
}

bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_sep(char c)
{
    return c == '\\' || c == '/';
}

// "C:", "C:\", "C:/" and "C:\\\": the whole drive.
bool is_bare_drive(const char* p)
{
    if (!is_letter(p[0]) || p[1] != ':')
        return false;
    for (const char* q = p + 2; *q; ++q)
        if (!is_sep(*q))
            return false;
    return true;
}

}  // namespace

void console_catch_interrupt(std::atomic<int>* flag)
{
    interrupt_flag = flag;
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

// Only a real console counts: the runtime's isatty also says yes for the
// NUL device and any other character device.
bool console_is_terminal(FILE* f)
{
    if (!f)
        return false;
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

std::string console_full_path(const char* path)
{
    if (!path || !*path)
        return std::string();
    if (is_bare_drive(path))
        return std::string(1, path[0]) + ":\\";
    DWORD need = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (need == 0)
        return std::string();
    std::vector<char> buf(need + 1);
    DWORD got = GetFullPathNameA(path, (DWORD)buf.size(), buf.data(), nullptr);
    if (got == 0 || got >= buf.size())
        return std::string();
    return std::string(buf.data(), got);
}

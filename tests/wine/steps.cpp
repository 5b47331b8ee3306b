#include "tests/wine/steps.h"

#include <cstdio>
#include <cstdlib>

namespace wd {

void make_dirs(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); i++)
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

void make_file(const std::string& path, const std::string& content)
{
    make_dirs(path.substr(0, path.rfind('\\')));
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        fail("cannot create " + path);
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string read_file(const std::string& path)
{
    std::string s;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

void remove_tree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// Opens drive Z (the Unix root under Wine) and walks down to `dir`.
void browse_to(Twinex& t, const std::string& dir)
{
    std::string z;
    for (const std::string& r : t.rows(CHOOSE))
        if (r.compare(0, 5, "Z:  [") == 0)
            z = r;
    check(!z.empty(), "drive Z is listed");
    t.open_row(CHOOSE, z);
    check(t.wait_text(PATH, "Z:", 5000), "PATH shows Z:");
    std::string path = "Z:";
    size_t at = 3;
    while (at < dir.size()) {
        size_t end = dir.find('\\', at);
        if (end == std::string::npos)
            end = dir.size();
        std::string name = dir.substr(at, end - at);
        path += "\\" + name;
        t.open_row(CHOOSE, name);
        if (!t.wait_text(PATH, path, 5000))
            fail("PATH did not become " + path);
        at = end + 1;
    }
    note("browsed to " + path);
}

bool wait_rows(Twinex& t, int id, const std::vector<std::string>& want, unsigned ms)
{
    for (unsigned waited = 0; waited < ms; waited += 50) {
        if (t.rows(id) == want)
            return true;
        Sleep(50);
    }
    return t.rows(id) == want;
}

void choose_for_scan(Twinex& t, const std::string& name, const std::vector<std::string>& chosen_after)
{
    t.select(CHOOSE, name);
    t.click(FOR_SCAN);
    check(wait_rows(t, CHOSEN, chosen_after, 5000), name + " is chosen");
}

void choose_for_output(Twinex& t, const std::string& name, const std::string& path)
{
    t.select(CHOOSE, name);
    t.click(FOR_OUTPUT);
    check(t.wait_text(OUTPUT, path, 5000), "OUTPUT shows " + path);
}

void set_tick(Twinex& t, int id, bool on)
{
    if (t.checked(id) != on)
        t.click(id);
    for (int i = 0; i < 100 && t.checked(id) != on; i++)
        Sleep(50);
    check(t.checked(id) == on, "box " + std::to_string(id) + (on ? " ticked" : " unticked"));
}

long number(const std::string& s) { return s.empty() ? -1 : strtol(s.c_str(), nullptr, 10); }

}  // namespace wd

// A window for tests of the command logic and the chooser: control states
// kept in arrays, list views as row vectors with one selection, the control
// sets' existence, and hooks for what happens while the scan thread is
// waited for. Also a Platform with drives, a directory tree and threads that
// end when the test says so.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/feedback.h"
#include "tests/support/stub_platform.h"
#include "ui/common/controls.h"

class FakeWindow : public WindowControls {
public:
    std::string texts[MC_COUNT];
    bool checks[MC_COUNT] = {};
    bool enabled[MC_COUNT] = {};
    std::vector<std::string> rows[MC_COUNT];
    int selection[MC_COUNT] = {};
    std::string panel[PF_COUNT];

    bool main_shown = false;
    bool panel_shown = false;
    bool closed = false;
    int main_builds = 0;

    // Failure injection.
    bool fail_main = false;
    bool fail_panel = false;
    std::set<int> refuse_clear;              // list views whose clearing fails
    std::map<int, size_t> refuse_append_at;  // list view -> row count at which appending fails

    // Called from wait_thread before the thread is let end (clicks that
    // arrive while the window waits).
    std::function<void()> during_wait;
    std::function<void()> on_close;
    bool* thread_done = nullptr;   // set true by wait_thread
    int waits = 0;

    FakeWindow() { std::fill(std::begin(selection), std::end(selection), -1); }

    std::string text(int index, int max) override { return texts[index].substr(0, static_cast<size_t>(max)); }
    void set_text(int index, const char* t) override { texts[index] = t; }
    bool checked(int index) override { return checks[index]; }
    void set_checked(int index, bool on) override { checks[index] = on; }
    void enable(int index, bool on) override { enabled[index] = on; }

    bool list_clear(int index) override
    {
        if (refuse_clear.count(index))
            return false;
        rows[index].clear();
        selection[index] = -1;
        return true;
    }
    bool list_append(int index, const char* t) override
    {
        auto it = refuse_append_at.find(index);
        if (it != refuse_append_at.end() && rows[index].size() >= it->second)
            return false;
        rows[index].push_back(t);
        return true;
    }
    bool list_selected(int index, std::string* t) override
    {
        if (selection[index] < 0)
            return false;
        *t = rows[index][static_cast<size_t>(selection[index])];
        return true;
    }

    bool create_main_controls() override
    {
        if (fail_main)
            return false;
        main_shown = true;
        main_builds++;
        for (int i = 0; i < MC_COUNT; i++) {
            texts[i].clear();
            checks[i] = false;
            enabled[i] = true;
            rows[i].clear();
            selection[i] = -1;
        }
        return true;
    }
    void destroy_main_controls() override { main_shown = false; }
    bool create_panel() override
    {
        if (fail_panel) {
            closed = true;
            return false;
        }
        panel_shown = true;
        for (auto& p : panel)
            p.clear();
        panel[PF_ABORT] = "ABORT";
        panel[PF_QUIT] = "QUIT";
        return true;
    }
    void destroy_panel() override { panel_shown = false; }
    void set_panel_text(int index, const char* t) override { panel[index] = t; }
    void close_window() override
    {
        closed = true;
        if (on_close)
            on_close();
    }
    void wait_thread(ThreadHandle) override
    {
        waits++;
        if (during_wait)
            during_wait();
        if (thread_done)
            *thread_done = true;
    }

    // Selects the row of list view `index` with text `t`; false when none.
    bool select(int index, const std::string& t)
    {
        auto& r = rows[index];
        auto it = std::find(r.begin(), r.end(), t);
        if (it == r.end())
            return false;
        selection[index] = static_cast<int>(it - r.begin());
        return true;
    }
};

// Drives, a directory tree and scan threads that never run: a started
// thread counts as running until `thread_done` is set.
class DrivePlatform : public StubPlatform {
public:
    struct Drive {
        int kind;
        bool available;
    };
    std::map<char, Drive> drives;
    std::set<std::string> unreadable;   // directories whose listing fails
    bool threads_fail = false;
    // A status query by path answers only up to 260 characters, as the
    // ANSI calls of Windows do; the listing itself still tells its entries.
    bool short_stat = false;
    bool thread_done = false;
    int threads_started = 0;
    int threads_closed = 0;

    uint32_t logical_drives() override
    {
        uint32_t mask = 0;
        for (const auto& d : drives)
            mask |= 1u << (d.first - 'A');
        return mask;
    }
    int drive_type(const char* root) override
    {
        auto it = drives.find(root[0]);
        return it == drives.end() ? DRIVE_KIND_NO_ROOT_DIR : it->second.kind;
    }
    bool volume_available(const char* root) override
    {
        auto it = drives.find(root[0]);
        return it != drives.end() && it->second.available && std::string(root).size() == 3;
    }

    bool stat(const char* path, FileStatus* st) override
    {
        if (short_stat && std::string(path).size() > 260)
            return false;
        return StubPlatform::stat(path, st);
    }

    // Lists the directories and files directly below `path` (with "." and
    // ".." first, as a real listing gives them); a drive root is "C:" plus
    // the separator.
    std::unique_ptr<DirListing> open_dir(const char* path) override
    {
        std::string dir = path;
        if (unreadable.count(dir))
            return nullptr;
        std::string prefix = dir;
        if (prefix.empty() || prefix.back() != PATH_SEP)
            prefix += PATH_SEP;
        std::string self = prefix.substr(0, prefix.size() - 1);
        bool is_root = self.size() == 2 && self[1] == ':' && drives.count(self[0]);
        if (!is_root && !dirs.count(self))
            return nullptr;
        auto listing = std::make_unique<Listing>();
        listing->names = {".", ".."};
        listing->is_dir = {true, true};
        for (const auto* set : {&dirs, &files}) {
            for (const auto& p : *set) {
                if (p.size() > prefix.size() && p.compare(0, prefix.size(), prefix) == 0 &&
                    p.find(PATH_SEP, prefix.size()) == std::string::npos) {
                    listing->names.push_back(p.substr(prefix.size()));
                    listing->is_dir.push_back(set == &dirs);
                }
            }
        }
        return listing;
    }

    // Adds a directory and every directory above it (below the drive).
    void add_dir(const std::string& p)
    {
        for (size_t cut = p.find(PATH_SEP); cut != std::string::npos; cut = p.find(PATH_SEP, cut + 1))
            if (cut > 2)
                dirs.insert(p.substr(0, cut));
        dirs.insert(p);
    }

    ThreadHandle start_thread(ThreadProc, void*) override
    {
        if (threads_fail)
            return nullptr;
        threads_started++;
        thread_done = false;
        return &thread_done;
    }
    bool wait_thread(ThreadHandle, unsigned) override { return thread_done; }
    void close_thread(ThreadHandle) override { threads_closed++; }

private:
    struct Listing : DirListing {
        std::vector<std::string> names;
        std::vector<bool> is_dir;
        size_t next_index = 0;
        const char* next() override
        {
            return next_index < names.size() ? names[next_index++].c_str() : nullptr;
        }
        bool entry_status(const char*, FileStatus* st) override
        {
            if (next_index == 0 || next_index > names.size())
                return false;
            *st = FileStatus();
            st->is_directory = is_dir[next_index - 1];
            st->is_file = !st->is_directory;
            return true;
        }
    };
};

// "C:" + separator + the rest, with backslashes turned into this system's
// separator.
inline std::string win(const std::string& p) { return native_path(p); }

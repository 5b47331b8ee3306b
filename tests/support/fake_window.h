// A window for tests of the command logic and the chooser: control states
// kept in arrays, list views as row vectors with one selection, the control
// sets' existence, and hooks for what happens while the scan thread is
// waited for. Also a Platform with drives, directory listings and threads
// that end when the test says so.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
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
    bool main_shown = false, panel_shown = false, closed = false;
    std::function<void()> during_wait;           // while the scan thread is waited for
    bool* thread_done = nullptr;  // set true by wait_thread
    int waits = 0;

    std::string text(int index, int max) override { return texts[index].substr(0, static_cast<size_t>(max)); }
    void set_text(int index, const char* t) override { texts[index] = t; }
    bool checked(int index) override { return checks[index]; }
    void set_checked(int index, bool on) override { checks[index] = on; }
    void enable(int index, bool on) override { enabled[index] = on; }
    bool list_clear(int index) override
    {
        rows[index].clear();
        selection[index] = -1;
        return true;
    }
    bool list_append(int index, const char* t) override
    {
        rows[index].push_back(t);
        return true;
    }
    bool list_selected(int index, std::string* t) override
    {
        if (selection[index] >= 0) *t = rows[index][static_cast<size_t>(selection[index])];
        return selection[index] >= 0;
    }
    bool create_main_controls() override
    {
        for (int i = 0; i < MC_COUNT; i++) texts[i] = "", checks[i] = false, enabled[i] = true, list_clear(i);
        return main_shown = true;
    }
    void destroy_main_controls() override { main_shown = false; }
    bool create_panel() override { return panel_shown = true; }
    void destroy_panel() override { panel_shown = false; }
    void set_panel_text(int index, const char* t) override { panel[index] = t; }
    void close_window() override { closed = true; }
    void wait_thread(ThreadHandle) override
    {
        waits++;
        if (during_wait) during_wait();
        if (thread_done) *thread_done = true;
    }

    // Selects the row of list view `index` with text `t`; false when none.
    bool select(int index, const std::string& t)
    {
        auto it = std::find(rows[index].begin(), rows[index].end(), t);
        selection[index] = it == rows[index].end() ? -1 : static_cast<int>(it - rows[index].begin());
        return selection[index] >= 0;
    }
};

// Drives, directory listings and scan threads that never run: a started
// thread counts as running until `thread_done` is set.
class DrivePlatform : public StubPlatform {
public:
    std::map<char, std::pair<int, bool>> drives;  // kind, available
    // The entries of each directory that can be listed, by its path (a drive
    // root as "C:"); a directory's name ends with '/'. Nothing answers a
    // status query by path: the listing tells its entries' kinds.
    std::map<std::string, std::vector<std::string>> listings;
    bool thread_done = false;
    int threads_started = 0, threads_closed = 0;

    uint32_t logical_drives() override
    {
        uint32_t mask = 0;
        for (const auto& d : drives) mask |= 1u << (d.first - 'A');
        return mask;
    }
    int drive_type(const char* root) override
    {
        return drives.count(root[0]) ? drives[root[0]].first : DRIVE_KIND_NO_ROOT_DIR;
    }
    bool volume_available(const char* root) override
    {
        return drives.count(root[0]) && drives[root[0]].second && std::string(root).size() == 3;
    }
    std::unique_ptr<DirListing> open_dir(const char* path) override
    {
        std::string dir = path;
        if (dir.back() == PATH_SEP) dir.pop_back();
        if (!listings.count(dir)) return nullptr;
        auto listing = std::make_unique<Listing>();
        listing->names = {"./", "../"};  // as a real listing gives them
        listing->names.insert(listing->names.end(), listings[dir].begin(), listings[dir].end());
        return listing;
    }
    ThreadHandle start_thread(ThreadProc, void*) override
    {
        ++threads_started;
        thread_done = false;
        return &thread_done;
    }
    bool wait_thread(ThreadHandle, unsigned) override { return thread_done; }
    void close_thread(ThreadHandle) override { threads_closed++; }

private:
    struct Listing : DirListing {
        std::vector<std::string> names;
        size_t at = 0;
        std::string name;
        const char* next() override
        {
            if (at == names.size()) return nullptr;
            name = names[at++];
            if (name.back() == '/') name.pop_back();
            return name.c_str();
        }
        bool entry_status(const char*, FileStatus* st) override
        {
            *st = FileStatus();
            st->is_directory = names[at - 1].back() == '/';
            st->is_file = !st->is_directory;
            return true;
        }
    };
};

// Real directory trees for tests, made in a fresh temporary directory with
// file times set explicitly, and a harness that runs a whole scan over them
// on the scan thread, speaking through a RecordingFeedback.
//
//     TestTree t;
//     t.file("a/notes.txt", "one", 1000);          // last-write time, seconds since 1970
//     ScanRun run(t);                               // output directory: t.path("out")
//     run.root("a");
//     run.scan();                                   // Scan on its own thread, awaited
//     std::string report = run.report();
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/state.h"
#include "platform/platform.h"
#include "tests/support/fault_platform.h"
#include "tests/support/recording_feedback.h"
#include "ui/common/scan_job.h"

// Dates in reports are local time: tests read them in UTC.
inline void pin_utc()
{
    static char tz[] = "TZ=UTC0";
    putenv(tz);
    tzset();
}

class TestTree {
public:
    explicit TestTree(Platform& sys = system_platform()) : sys_(sys)
    {
        std::random_device rd;
        std::error_code ec;
        for (int i = 0; i < 100 && root_.empty(); ++i) {
            auto p = std::filesystem::temp_directory_path(ec) / ("twinex-tree-" + std::to_string(rd()));
            if (std::filesystem::create_directory(p, ec))
                root_ = p.string();
        }
        while (root_.size() > 1 && (root_.back() == '/' || root_.back() == '\\'))
            root_.pop_back();
    }
    ~TestTree()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    const std::string& root() const { return root_; }

    // The full path of `rel`, whose parts are separated by '/'.
    std::string path(const std::string& rel) const
    {
        std::string p = root_;
        if (!rel.empty())
            p += PATH_SEP;
        for (char c : rel)
            p += c == '/' ? PATH_SEP : c;
        return p;
    }

    void dir(const std::string& rel) const
    {
        std::error_code ec;
        std::filesystem::create_directories(path(rel), ec);
    }

    // A file with its bytes and its times (seconds since 1970); the
    // creation time is set where the system allows it.
    void file(const std::string& rel, const std::string& bytes, int64_t mtime, int64_t atime = -1) const
    {
        size_t cut = rel.rfind('/');
        if (cut != std::string::npos)
            dir(rel.substr(0, cut));
        std::ofstream(path(rel), std::ios::binary) << bytes;
        set_times(rel, mtime, atime < 0 ? mtime : atime);
    }

    void set_times(const std::string& rel, int64_t mtime, int64_t atime) const
    {
        int err = 0;
        FileHandle h = sys_.open_for_times(path(rel).c_str(), true, &err);
        ASSERT_NE(h, nullptr) << path(rel);
        FileTimes t;
        t.creation = t.write = unix_to_ticks(mtime);
        t.access = unix_to_ticks(atime);
        EXPECT_TRUE(sys_.set_file_times(h, t));
        sys_.close_handle(h);
    }

    std::string read(const std::string& rel) const { return read_path(path(rel)); }
    // Its times as a scan reads them (all 0 when it can't), in seconds.
    int64_t mtime(const std::string& rel) const { return ticks_to_unix(times(rel).write); }
    FileTimes times(const std::string& rel) const
    {
        FileStatus fs;
        return sys_.stat(path(rel).c_str(), &fs) ? fs.times : FileTimes();
    }
    bool exists(const std::string& rel) const { return std::filesystem::exists(path(rel)); }
    // True when the platform itself reaches `rel` (long paths may be out of its reach).
    bool reachable(const std::string& rel) const
    {
        FileStatus fs;
        return sys_.stat(path(rel).c_str(), &fs);
    }

    static std::string read_path(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The names in directory `rel`, sorted.
    std::vector<std::string> names(const std::string& rel) const
    {
        std::vector<std::string> out;
        std::error_code ec;
        for (auto& e : std::filesystem::directory_iterator(path(rel), ec))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    Platform& sys_;
    std::string root_;
};

// Seconds since 1970 for a few pinned dates.
constexpr int64_t T_2005_06_14 = 1118757909;   // Tue Jun 14 14:05:09 2005 (UTC)

// The real platform under a fault-injecting layer whose clock is pinned,
// so reports carry a known creation date. With `kinds`, its listings tell
// each entry's kind as listings that know it do (without a status query of
// the walk's own), so that the walk reads times only when it needs them.
class TestPlatform : public FaultPlatform {
public:
    TestPlatform(int64_t now, bool kinds) : FaultPlatform(system_platform()), now_(now), kinds_(kinds) {}
    int64_t now() override { return now_; }
    std::unique_ptr<DirListing> open_dir(const char* path) override
    {
        std::unique_ptr<DirListing> d = FaultPlatform::open_dir(path);
        if (!d || !kinds_)
            return d;
        return std::unique_ptr<DirListing>(new KindListing(std::move(d), path));
    }

private:
    class KindListing : public DirListing {
    public:
        KindListing(std::unique_ptr<DirListing> inner, const char* dir) : inner_(std::move(inner)), dir_(dir) {}
        const char* next() override { return name_ = inner_->next(); }
        bool entry_status(const char* full_path, FileStatus* st) override
        {
            return inner_->entry_status(full_path, st);
        }
        int error() override { return inner_->error(); }
        int entry_kind() override
        {
            FileStatus st;
            std::string p = dir_;
            if (p.empty() || p.back() != PATH_SEP)
                p += PATH_SEP;
            p += name_ ? name_ : "";
            std::error_code ec;   // links tell themselves apart where the listings do
            if (PATH_SEP == '/' && std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec)))
                return ENTRY_LINK;
            if (!system_platform().stat(p.c_str(), &st))
                return ENTRY_UNKNOWN;
            return st.is_file ? ENTRY_FILE : st.is_directory ? ENTRY_DIRECTORY : ENTRY_OTHER;
        }

    private:
        std::unique_ptr<DirListing> inner_;
        std::string dir_;
        const char* name_ = nullptr;
    };

    int64_t now_;
    bool kinds_;
};

// One scan over roots of a TestTree, with the options a test sets on `st`
// and the faults it sets on `fp`. Defaults: a listing run, case insensitive,
// no datestamps, LF line ends, no pattern, no protected directories, the
// output directory "out", the clock at T_2005_06_14, listings that do not
// tell the kinds of their entries.
class ScanRun {
public:
    explicit ScanRun(const TestTree& tree, bool listing_kinds = false)
        : tree_(tree), fp(T_2005_06_14, listing_kinds), st(fp, fb)
    {
        pin_utc();
        st.request_flag = st.r_flag = st.t_flag = st.m_flag = st.save_flag = 0;
        st.i_flag = st.dom_flag = 1;
        tree_.dir("out");
        st.outputname = tree_.path("out");
    }

    void root(const std::string& rel, bool reference = false) { root_path(tree_.path(rel), reference); }
    void roots(std::initializer_list<const char*> rels)
    {
        for (const char* r : rels)
            root(r);
    }
    void root_path(const std::string& p, bool reference = false)
    {
        Dnode* d = static_cast<Dnode*>(calloc(1, sizeof(Dnode)));
        d->dname = makestring(p.c_str());
        d->reference = reference;
        AddTailNode(&st.dlist, &d->node);
    }
    void pattern(const char* p)
    {
        free(st.pattern);
        st.pattern = makestring(p);
    }
    void move() { st.m_flag = 1, st.dom_flag = 1, st.save_flag = 1, st.request_flag = 0; }
    void del(bool save, bool ask) { st.m_flag = 0, st.dom_flag = -1, st.save_flag = save, st.request_flag = ask; }

    // Runs Scan on its own thread and waits for it.
    void scan()
    {
        ThreadHandle h = nullptr;
        ASSERT_TRUE(start_scan_thread(st, &h));
        ASSERT_TRUE(st.sys->wait_thread(h, 60000));
        st.sys->close_thread(h);
    }

    std::string report() const { return TestTree::read_path(st.filename); }

    // The paths of flist in list order, relative to the tree.
    std::vector<std::string> files()
    {
        std::vector<std::string> out;
        for (Node* n = FirstNode(&st.flist); n && n->next; n = n->next)
            out.push_back(relative(reinterpret_cast<Fnode*>(n)->pathname));
        return out;
    }
    std::string relative(const std::string& p) const
    {
        std::string r = p.substr(tree_.root().size() + 1);
        std::replace(r.begin(), r.end(), PATH_SEP, '/');
        return r;
    }

private:
    const TestTree& tree_;

public:
    TestPlatform fp;
    RecordingFeedback fb;
    ScanState st;
};

// The tree most move and delete tests start from: one name in three roots,
// a/notes.txt "AAA" (the oldest), b/notes.txt "BBBB" (the newest) and
// c/notes.txt "CC", collected as b, c, a; a scan over the three roots.
struct ThreeCopies {
    TestTree t;
    ScanRun run{t};
    ThreeCopies()
    {
        t.file("a/notes.txt", "AAA", 1000, 1100);
        t.file("b/notes.txt", "BBBB", 3000, 3100);
        t.file("c/notes.txt", "CC", 2000, 2100);
        run.roots({"a", "b", "c"});
    }
};

// True when `part` occurs in `text`.
inline bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A stream that starts with `text` (answers, or a list of files).
inline FILE* input_with(const std::string& text)
{
    FILE* f = std::tmpfile();
    std::fputs(text.c_str(), f);
    std::rewind(f);
    return f;
}

// While it lives, the desktop trash is the tree's data/Trash.
struct DataHome {
    std::string var;
    explicit DataHome(const TestTree& t) : var("XDG_DATA_HOME=" + t.path("data")) { putenv(&var[0]); }
    ~DataHome()
    {
        static char unset[] = "XDG_DATA_HOME=";
        putenv(unset);
    }
};

// The platform layer against real files in a fresh temporary directory,
// and the fault-injecting layer that tests put in front of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/fault_platform.h"

namespace fs = std::filesystem;

namespace {

const bool ON_WINDOWS = PATH_SEP == '\\';

class PlatformTest : public ::testing::Test {
protected:
    Platform& sys = system_platform();
    std::string dir;

    void SetUp() override
    {
        std::random_device rd;
        fs::path p = fs::temp_directory_path() / ("twinex-platform-" + std::to_string(rd()));
        fs::create_directories(p);
        dir = p.string();
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir, fs::perms::all, ec);
        for (auto& e : fs::recursive_directory_iterator(dir, ec))
            fs::permissions(e.path(), fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }

    std::string path(const std::string& name) const { return dir + PATH_SEP + name; }

    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool exists(const std::string& name) const { return fs::exists(path(name)); }
};

std::string all_byte_values(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return s;
}

// ------------------------------------------------------------ listing, status

TEST_F(PlatformTest, ListingGivesEveryEntryInTheSystemsOrder)
{
    write("b.txt", "bb");
    write("a.txt", "a");
    write(".hidden", "");
    fs::create_directory(path("sub"));

    std::unique_ptr<DirListing> d = sys.open_dir(dir.c_str());
    ASSERT_TRUE(d);
    std::vector<std::string> names;
    for (const char* n = d->next(); n; n = d->next()) {
        names.push_back(n);
        FileStatus st;
        ASSERT_TRUE(d->entry_status(path(n).c_str(), &st)) << n;
        if (names.back() == "b.txt") {
            EXPECT_TRUE(st.is_file);
            EXPECT_EQ(st.size, 2u);
        }
        if (names.back() == "sub" || names.back() == ".") {
            EXPECT_TRUE(st.is_directory && !st.is_file) << n;
        }
    }
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{".", "..", ".hidden", "a.txt", "b.txt", "sub"}));
    EXPECT_EQ(names.size(), 6u);

    // The order is the system's own, not a sorted one.
    std::vector<std::string> theirs;
    for (auto& e : fs::directory_iterator(dir))
        theirs.push_back(e.path().filename().string());
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& n) { return n == "." || n == ".."; }),
                names.end());
    EXPECT_EQ(names, theirs);
}

TEST_F(PlatformTest, ListingOfAFileOrMissingDirectoryFails)
{
    write("f", "x");
    EXPECT_FALSE(sys.open_dir(path("f").c_str()));
    EXPECT_FALSE(sys.open_dir(path("missing").c_str()));
}

// The walk opens sub-directories and reads statuses from a directory it
// has open: what it gets must be what the whole path names.
TEST_F(PlatformTest, PathsBelowAnOpenDirectoryMeanWhatTheWholePathMeans)
{
    fs::create_directories(path("a/b/c"));
    write("a/b/c/f.txt", "fff");
    write("a/x", "");
    if (!ON_WINDOWS)
        fs::create_directory_symlink("b", path("a/to_b"));
    FaultPlatform wrapper(sys);   // a listing of another layer: the whole path is used
    for (bool wrapped : {false, true}) {
        SCOPED_TRACE(wrapped ? "listing of another layer" : "listing of the system");
        std::string top = dir + PATH_SEP;
        std::unique_ptr<DirListing> root = wrapped ? wrapper.open_dir(top.c_str()) : sys.open_dir(top.c_str());
        ASSERT_TRUE(root);
        std::string a = top + "a" + PATH_SEP;
        std::unique_ptr<DirListing> below = sys.open_dir_below(*root, a.c_str(), top.size());
        ASSERT_TRUE(below);
        std::set<std::string> names;
        while (const char* n = below->next())
            names.insert(n);
        EXPECT_EQ(names.count("b") + names.count("x"), 2u);

        std::string f = a + "b" + PATH_SEP + "c" + PATH_SEP + "f.txt";
        FileStatus st, whole;
        ASSERT_TRUE(sys.stat_below(*root, f.c_str(), top.size(), &st));
        ASSERT_TRUE(sys.stat(f.c_str(), &whole));
        EXPECT_TRUE(st.is_file);
        EXPECT_EQ(st.size, 3u);
        EXPECT_EQ(st.times.write, whole.times.write);

        std::string file = a + "x" + PATH_SEP, missing = a + "missing" + PATH_SEP;
        EXPECT_FALSE(sys.open_dir_below(*root, file.c_str(), top.size()));
        EXPECT_FALSE(sys.open_dir_below(*root, missing.c_str(), top.size()));
        if (!ON_WINDOWS) {
            EXPECT_EQ(errno, ENOENT);
        }
        EXPECT_FALSE(sys.stat_below(*root, (a + "missing").c_str(), top.size(), &st));

        if (!ON_WINDOWS) {   // a link is followed, as open_dir and stat follow it
            std::string link = a + "to_b" + PATH_SEP;
            std::unique_ptr<DirListing> through = sys.open_dir_below(*root, link.c_str(), top.size());
            ASSERT_TRUE(through);
            names.clear();
            while (const char* n = through->next())
                names.insert(n);
            EXPECT_EQ(names.count("c"), 1u);
        }
    }
}

TEST_F(PlatformTest, StatTellsFilesFromDirectoriesAndKeepsSizesPast4GB)
{
    FileStatus st;
    EXPECT_TRUE(sys.stat(dir.c_str(), &st));
    EXPECT_TRUE(st.is_directory);
    EXPECT_FALSE(st.is_file);

    write("big", "");
    const uint64_t big = (5ull << 30) + 3;   // sparse: no real disk use
    fs::resize_file(path("big"), big);
    ASSERT_TRUE(sys.stat(path("big").c_str(), &st));
    EXPECT_TRUE(st.is_file);
    EXPECT_EQ(st.size, big);
    EXPECT_GT(st.times.write, unix_to_ticks(946684800));   // after 2000
    EXPECT_GT(st.times.creation, 0);

    EXPECT_FALSE(sys.stat(path("missing").c_str(), &st));
}

TEST_F(PlatformTest, IdentityIsTheSameOnlyForTheSameObject)
{
    write("f", "x");
    write("g", "x");
    fs::create_directory(path("sub"));
    FileId f = sys.identity(path("f").c_str());
    ASSERT_TRUE(f.known);
    EXPECT_TRUE(f == sys.identity((dir + PATH_SEP + "sub" + PATH_SEP + ".." + PATH_SEP + "f").c_str()));
    EXPECT_FALSE(f == sys.identity(path("g").c_str()));
    EXPECT_TRUE(sys.identity(path("sub").c_str()).known);
    FileId missing = sys.identity(path("missing").c_str());
    EXPECT_FALSE(missing.known);
    EXPECT_FALSE(missing == missing);
}

// ------------------------------------------------------------ creating, copying

TEST_F(PlatformTest, CreatingNeverOverwrites)
{
    int err = -1;
    FILE* f = sys.create_new_file(path("new").c_str(), &err);
    ASSERT_TRUE(f);
    EXPECT_EQ(err, 0);
    std::fputs("line\n", f);
    EXPECT_EQ(std::fclose(f), 0);
    EXPECT_EQ(read("new"), "line\n");   // "wb": no line-end translation

    EXPECT_FALSE(sys.create_new_file(path("new").c_str(), &err));
    EXPECT_EQ(err, EEXIST);
    EXPECT_EQ(read("new"), "line\n");

    EXPECT_FALSE(sys.create_new_file(path("no" + std::string(1, PATH_SEP) + "f").c_str(), &err));
    EXPECT_EQ(err, ENOENT);

    EXPECT_EQ(sys.create_directory(path("d").c_str()), 0);
    EXPECT_EQ(sys.create_directory(path("d").c_str()), EEXIST);
    EXPECT_EQ(sys.create_directory(path("new").c_str()), EEXIST);
    EXPECT_EQ(sys.create_directory(path("no" + std::string(1, PATH_SEP) + "d").c_str()), ENOENT);
}

TEST_F(PlatformTest, CopyMakesAnExactNewFileOrNothing)
{
    const std::string data = all_byte_values(300000);   // several buffers' worth
    write("src", data);
    EXPECT_EQ(sys.copy_file_new(path("src").c_str(), path("dst").c_str()), 0);
    EXPECT_EQ(read("dst"), data);

    write("taken", "keep me");
    EXPECT_EQ(sys.copy_file_new(path("src").c_str(), path("taken").c_str()), EEXIST);
    EXPECT_EQ(read("taken"), "keep me");

    write("empty", "");
    EXPECT_EQ(sys.copy_file_new(path("empty").c_str(), path("empty2").c_str()), 0);
    EXPECT_TRUE(exists("empty2"));

    EXPECT_EQ(sys.copy_file_new(path("missing").c_str(), path("dst2").c_str()), ENOENT);
    EXPECT_FALSE(exists("dst2"));
}

TEST_F(PlatformTest, DeleteRemovesOnceThenSaysNotFound)
{
    write("f", "x");
    EXPECT_EQ(sys.delete_file(path("f").c_str()), 0);
    EXPECT_FALSE(exists("f"));
    EXPECT_EQ(sys.delete_file(path("f").c_str()), ENOENT);
}

// ------------------------------------------------------------ times

TEST_F(PlatformTest, TimesRoundTripThroughHandles)
{
    write("f", "data");
    FileTimes want;
    want.creation = unix_to_ticks(915148800) + 1230000;   // 1999, fractions of a second
    want.access = unix_to_ticks(978307200) + 4560000;     // 2001
    want.write = unix_to_ticks(1118750400) + 7890000;     // 2005

    int err = -1;
    FileHandle h = sys.open_for_times(path("f").c_str(), true, &err);
    ASSERT_TRUE(h);
    EXPECT_TRUE(sys.set_file_times(h, want));
    sys.close_handle(h);

    h = sys.open_for_times(path("f").c_str(), false, &err);
    ASSERT_TRUE(h);
    FileTimes got;
    EXPECT_TRUE(sys.get_file_times(h, &got));
    sys.close_handle(h);
    EXPECT_EQ(got.write, want.write);
    EXPECT_EQ(got.access, want.access);
    // Linux keeps no settable creation time, and Wine on a Linux file system
    // reads it back as the write time; Windows itself must keep it.
    if (ON_WINDOWS && got.creation != got.write) {
        EXPECT_EQ(got.creation, want.creation);
    }

    FileStatus st;
    ASSERT_TRUE(sys.stat(path("f").c_str(), &st));
    EXPECT_EQ(st.times.write, want.write);
    EXPECT_EQ(ticks_to_unix(st.times.write), 1118750400);
    EXPECT_EQ(read("f"), "data");   // opening for times never truncates
}

TEST_F(PlatformTest, TimesCanBeSetOnAReadOnlyCopy)
{
    write("ro", "x");
    fs::permissions(path("ro"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(sys.copy_file_new(path("ro").c_str(), path("copy").c_str()), 0);
    int err = -1;
    FileHandle h = sys.open_for_times(path("copy").c_str(), true, &err);
    ASSERT_TRUE(h) << error_text(err);
    FileTimes t;
    t.creation = t.access = t.write = unix_to_ticks(1000000000);
    EXPECT_TRUE(sys.set_file_times(h, t));
    sys.close_handle(h);
    FileStatus st;
    ASSERT_TRUE(sys.stat(path("copy").c_str(), &st));
    EXPECT_EQ(st.times.write, t.write);
}

TEST_F(PlatformTest, OpeningMissingFileForTimesFails)
{
    int err = 0;
    EXPECT_FALSE(sys.open_for_times(path("missing").c_str(), false, &err));
    EXPECT_EQ(err, ENOENT);
    err = 0;
    EXPECT_FALSE(sys.open_for_times(path("missing").c_str(), true, &err));
    EXPECT_EQ(err, ENOENT);
}

TEST(PlatformTime, TicksAndUnixSecondsConvertBothWays)
{
    EXPECT_EQ(unix_to_ticks(0), 116444736000000000LL);
    EXPECT_EQ(ticks_to_unix(116444736000000000LL + 9999999), 0);
    EXPECT_EQ(ticks_to_unix(116444736000000000LL - 1), -1);   // rounded down
    EXPECT_EQ(ticks_to_unix(unix_to_ticks(4102444800LL)), 4102444800LL);   // 2100
}

TEST(PlatformTime, CtimeTextHasTheFixedEnglishForm)
{
    // Noon UTC on Tuesday 14 June 2005 is that same date in every time zone
    // from UTC-11 to UTC+11.
    std::string t = ctime_text(1118750400);
    ASSERT_EQ(t.size(), 24u) << t;
    EXPECT_EQ(t.substr(0, 11), "Tue Jun 14 ");
    EXPECT_EQ(t.substr(20), "2005");
    EXPECT_EQ(t[13], ':');
    EXPECT_EQ(t[16], ':');
    EXPECT_EQ(t[19], ' ');
    // The day keeps its leading zero.
    EXPECT_EQ(ctime_text(1117627200).substr(0, 11), "Wed Jun 01 ");   // 2005-06-01 12:00 UTC
}

TEST(PlatformText, ErrorTextHasNoLineBreak)
{
    for (int e : {ENOENT, EACCES, EEXIST, ENOSPC, EIO}) {
        std::string s = error_text(e);
        EXPECT_FALSE(s.empty());
        EXPECT_EQ(s.find_first_of("\r\n"), std::string::npos) << s;
    }
    EXPECT_NE(error_text(ENOENT), error_text(EACCES));
}

// ------------------------------------------------------------ environment

TEST(PlatformEnv, NameMatchesWithoutRegardToCase)
{
    static char entry[] = "TwinexPlatformProbe=C:\\Some Dir";
    ASSERT_EQ(putenv(entry), 0);
    Platform& sys = system_platform();
    EXPECT_EQ(sys.get_env("TwinexPlatformProbe"), "C:\\Some Dir");
    EXPECT_EQ(sys.get_env("TWINEXPLATFORMPROBE"), "C:\\Some Dir");
    EXPECT_EQ(sys.get_env("twinexplatformprobe"), "C:\\Some Dir");
    EXPECT_EQ(sys.get_env("twinexplatformprob"), "");   // a prefix is not a match
    EXPECT_EQ(sys.get_env("TWINEX_NOT_SET_ANYWHERE"), "");
}

// ------------------------------------------------------------ threads, locks

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> ran{false};
};

unsigned wait_at_gate(void* p)
{
    auto* g = static_cast<Gate*>(p);
    while (!g->open)
        system_platform().sleep_ms(1);
    g->ran = true;
    return 0;
}

TEST(PlatformThread, WaitTellsWhetherTheThreadHasEnded)
{
    Platform& sys = system_platform();
    Gate g;
    ThreadHandle h = sys.start_thread(wait_at_gate, &g);
    ASSERT_TRUE(h);
    EXPECT_FALSE(sys.wait_thread(h, 0));
    EXPECT_FALSE(sys.wait_thread(h, 20));
    g.open = true;
    EXPECT_TRUE(sys.wait_thread(h, 10000));
    EXPECT_TRUE(g.ran);
    EXPECT_TRUE(sys.wait_thread(h, 0));   // stays ended
    sys.close_thread(h);
}

TEST(PlatformThread, ClosingTheHandleLetsTheThreadRunOn)
{
    Platform& sys = system_platform();
    static Gate g;   // outlives the test: the thread may still read it
    ThreadHandle h = sys.start_thread(wait_at_gate, &g);
    ASSERT_TRUE(h);
    sys.close_thread(h);
    g.open = true;
    for (int i = 0; i < 10000 && !g.ran; ++i)
        sys.sleep_ms(1);
    EXPECT_TRUE(g.ran);
    sys.sleep_ms(20);   // let it finish freeing its record
}

struct Counter {
    Mutex m;
    long n = 0;
};

unsigned add_many(void* p)
{
    auto* c = static_cast<Counter*>(p);
    for (int i = 0; i < 100000; ++i) {
        MutexLock hold(c->m);
        ++c->n;
    }
    return 0;
}

TEST(PlatformThread, MutexKeepsCountsExact)
{
    Platform& sys = system_platform();
    Counter c;
    ThreadHandle h = sys.start_thread(add_many, &c);
    ASSERT_TRUE(h);
    add_many(&c);
    ASSERT_TRUE(sys.wait_thread(h, 60000));
    sys.close_thread(h);
    EXPECT_EQ(c.n, 200000);
}

// ------------------------------------------------------------ drives

TEST(PlatformDrives, TheSystemRootIsAFixedAvailableVolume)
{
    Platform& sys = system_platform();
    const char* root = ON_WINDOWS ? "C:\\" : "/";
    EXPECT_EQ(sys.drive_type(root), DRIVE_KIND_FIXED);
    EXPECT_TRUE(sys.volume_available(root));
    if (ON_WINDOWS)
        EXPECT_TRUE(sys.logical_drives() & (1u << ('C' - 'A')));
    else
        EXPECT_EQ(sys.logical_drives(), 0u);
}

// ------------------------------------------------------------ the fault layer

TEST_F(PlatformTest, FaultLayerFailsExactlyTheChosenCalls)
{
    write("f", "x");
    FaultPlatform fp(sys);
    fp.fail(FaultOp::Stat, 2, EACCES);
    fp.fail(FaultOp::DeleteFile, 1, ENOSPC, -1);
    FileStatus st;
    EXPECT_TRUE(fp.stat(path("f").c_str(), &st));
    errno = 0;
    EXPECT_FALSE(fp.stat(path("f").c_str(), &st));
    EXPECT_EQ(errno, EACCES);
    EXPECT_TRUE(fp.stat(path("f").c_str(), &st));
    EXPECT_EQ(fp.calls(FaultOp::Stat), 3);

    EXPECT_EQ(fp.delete_file(path("f").c_str()), ENOSPC);
    EXPECT_EQ(fp.delete_file(path("f").c_str()), ENOSPC);
    EXPECT_TRUE(exists("f"));   // a failed call never reaches the system
    EXPECT_EQ(fp.failures(), 3);

    fp.reset();
    EXPECT_EQ(fp.calls(FaultOp::Stat), 0);
    EXPECT_EQ(fp.delete_file(path("f").c_str()), 0);
}

TEST_F(PlatformTest, FaultLayerCountsReadAndWriteOpensApart)
{
    write("f", "x");
    FaultPlatform fp(sys);
    fp.fail(FaultOp::OpenForWrite, 1, EACCES);
    int err = 0;
    FileHandle r = fp.open_for_times(path("f").c_str(), false, &err);
    EXPECT_TRUE(r);
    FileTimes t;
    fp.fail(FaultOp::GetFileTimes, 1, EIO);
    EXPECT_FALSE(fp.get_file_times(r, &t));
    EXPECT_TRUE(fp.get_file_times(r, &t));
    fp.close_handle(r);
    EXPECT_FALSE(fp.open_for_times(path("f").c_str(), true, &err));
    EXPECT_EQ(err, EACCES);
    FileHandle w = fp.open_for_times(path("f").c_str(), true, &err);
    ASSERT_TRUE(w);
    fp.fail(FaultOp::SetFileTimes, 1, EIO);
    EXPECT_FALSE(fp.set_file_times(w, t));
    fp.close_handle(w);
    EXPECT_EQ(fp.calls(FaultOp::OpenForRead), 1);
    EXPECT_EQ(fp.calls(FaultOp::OpenForWrite), 2);

    fp.fail(FaultOp::CreateNewFile, 1, ENOSPC);
    EXPECT_FALSE(fp.create_new_file(path("n").c_str(), &err));
    EXPECT_EQ(err, ENOSPC);
    EXPECT_FALSE(exists("n"));
    fp.fail(FaultOp::CopyFileNew, 1, ENOSPC);
    EXPECT_EQ(fp.copy_file_new(path("f").c_str(), path("c").c_str()), ENOSPC);
    EXPECT_FALSE(exists("c"));
    fp.fail(FaultOp::CreateDirectory, 1, EACCES);
    EXPECT_EQ(fp.create_directory(path("d").c_str()), EACCES);
    fp.fail(FaultOp::Identity, 1, EACCES);
    EXPECT_FALSE(fp.identity(path("f").c_str()).known);
    EXPECT_TRUE(fp.identity(path("f").c_str()).known);
}

TEST_F(PlatformTest, FaultLayerRunsCallbacksAroundTheChosenCall)
{
    write("f", "x");
    write("g", "y");
    FaultPlatform fp(sys);
    // A file vanishes just before its second status query.
    fp.before(FaultOp::Stat, 2, [&] { fs::remove(path("f")); });
    FileStatus st;
    EXPECT_TRUE(fp.stat(path("f").c_str(), &st));
    EXPECT_FALSE(fp.stat(path("f").c_str(), &st));

    // A copy comes out short right after it was made.
    fp.after(FaultOp::CopyFileNew, 1, [&] { write("c", ""); });
    EXPECT_EQ(fp.copy_file_new(path("g").c_str(), path("c").c_str()), 0);
    EXPECT_EQ(read("c"), "");

    // Listings pass through, and their status queries can fail.
    fp.fail(FaultOp::EntryStatus, 1, EACCES, -1);
    std::unique_ptr<DirListing> d = fp.open_dir(dir.c_str());
    ASSERT_TRUE(d);
    int names = 0;
    for (const char* n = d->next(); n; n = d->next()) {
        ++names;
        EXPECT_FALSE(d->entry_status(path(n).c_str(), &st));
    }
    EXPECT_GE(names, 2);
    EXPECT_EQ(fp.calls(FaultOp::EntryStatus), names);
    fp.fail(FaultOp::OpenDir, 2, ENOENT);
    EXPECT_FALSE(fp.open_dir(dir.c_str()));
}

}  // namespace

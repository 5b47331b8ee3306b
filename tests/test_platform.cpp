// The platform layer against real files in a fresh temporary directory:
// creating, copying, renaming and removing without ever replacing anything;
// times; the report's writes on a full disk. (Listings and statuses are
// read by every scan: test_collect, test_report.)
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tree.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

Platform& sys = system_platform();

// ------------------------------------------------------------ making, copying, removing

// Each making call succeeds on a free name, and fails with the system's
// reason where the name is taken or the way to it missing; nothing that
// existed is replaced or changed.
TEST(PlatformLayer, NothingExistingIsEverReplacedAndFailuresSayWhy)
{
    TestTree t;
    t.file("taken", "keep me", 1000);
    t.file("empty", "", 1000);
    t.dir("full/sub");
    auto p = [&](const char* rel) { return t.path(rel); };
    auto create = [&](const char* rel) {
        int err = -1;
        FILE* f = sys.create_new_file(p(rel).c_str(), &err);
        return f ? std::fputs("line\n", f) < 0 || std::fclose(f) != 0 || err : err;
    };
    struct Case {
        const char* what;
        int err, want;   // want -1: any failure
    };
    auto check = [](const Case& c) {
        EXPECT_TRUE(c.want < 0 ? c.err != 0 : c.err == c.want) << c.what << ": " << error_text(c.err);
    };
    const Case cases[] = {
        {"new file", create("new"), 0},
        {"new file on a taken name", create("taken"), EEXIST},
        {"new file in a missing directory", create("no/f"), ENOENT},
        {"directory", sys.create_directory(p("d").c_str()), 0},
        {"directory on a taken name", sys.create_directory(p("taken").c_str()), EEXIST},
        {"directory in a missing one", sys.create_directory(p("no/d").c_str()), ENOENT},
        {"removal", sys.delete_file(p("empty").c_str()), 0},
        {"removal of a missing file", sys.delete_file(p("missing").c_str()), ENOENT},
        {"removal of a directory", sys.remove_directory(p("d").c_str()), 0},
        {"removal of a directory that is not empty", sys.remove_directory(p("full").c_str()), ENOTEMPTY},
    };
    for (const Case& c : cases)
        check(c);

    // Making and opening by name in a held directory.
    int err = -1;
    DirHandle top = sys.open_dir_path(t.root().c_str(), nullptr, &err);
    ASSERT_TRUE(top) << error_text(err);
    auto open_at = [&](const char* name, bool dir) {
        int e = 0;
        FileStatus s;
        void* h = dir ? sys.open_dir_at(top, name, false, nullptr, &e) : sys.open_file_at(top, name, false, &s, &e);
        dir ? sys.close_dir(h) : sys.close_handle(h);
        return h ? 0 : e;
    };
    const Case held_cases[] = {
        {"directory in a held one", sys.make_dir_at(top, "d2"), 0},
        {"directory in a held one on a taken name", sys.make_dir_at(top, "taken"), EEXIST},
        {"directory held by the name of a file", open_at("taken", true), ENOTDIR},
        {"missing file held", open_at("missing", false), ENOENT},
    };
    for (const Case& c : held_cases)
        check(c);
    sys.close_dir(top);
    EXPECT_EQ(t.names(""), (Names{"d2", "full", "new", "taken"}));
    EXPECT_EQ(t.read("taken"), "keep me");
    EXPECT_EQ(t.read("new"), "line\n");   // "wb": no line-end translation
}

// ------------------------------------------------------------ acting through a directory

// A directory and a file opened to act in and on: never through a link
// unless asked; a copy, a rename and a removal by name in a held
// directory that replace nothing, and a removal that goes only while the
// name still leads to the file held.
TEST(PlatformLayer, ActsThroughAHeldDirectoryReachOnlyTheFileHeld)
{
    TestTree t;
    std::string data(300000, '\0');   // several buffers' worth of every byte value
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 256);
    t.file("d/src", data, 1000);
    t.file("d/taken", "keep me", 1000);
    t.file("d/victim", "to go", 1000);
    t.file("d/stranger", "not to go", 1000);
    t.dir("d/sub");
    std::error_code ec;
    fs::create_directory_symlink(t.path("d/sub"), t.path("d/dirlink"), ec);
    fs::create_symlink(t.path("d/src"), t.path("d/filelink"), ec);
    bool links = !ec && fs::is_symlink(fs::symlink_status(t.path("d/filelink"), ec));   // Wine claims to make them
    int err = 0;
    FileId id;
    DirHandle d = sys.open_dir_path(t.path("d").c_str(), &id, &err);
    ASSERT_TRUE(d && id.known) << error_text(err);
    FileStatus st;
    FileHandle src = sys.open_file_at(d, "src", false, &st, &err);
    ASSERT_TRUE(src && st.is_file && st.size == data.size() && st.id.known);
    if (PATH_SEP == '\\') {   // Windows keeps others from what is held: no renaming, removing, writing
        std::string f = t.path("d/src"), elsewhere = t.path("elsewhere");
        EXPECT_TRUE(std::rename(f.c_str(), elsewhere.c_str()) && sys.delete_file(f.c_str()) &&
                    !std::ofstream(f, std::ios::app).is_open() &&
                    std::rename(t.path("d").c_str(), elsewhere.c_str()))
            << "another program renamed, removed or wrote to a file or directory held open";
    }
    FileHandle out = nullptr, dir_as_file = sys.open_file_at(d, "sub", false, &st, &err);
    DirHandle via_link = links ? sys.open_dir_at(d, "dirlink", false, nullptr, &err) : nullptr;
    FileHandle file_link = links ? sys.open_file_at(d, "filelink", false, &st, &err) : nullptr;
    EXPECT_FALSE(dir_as_file || via_link || file_link) << "a directory, or a link, opened as asked not to";
    DirHandle followed = links ? sys.open_dir_at(d, "dirlink", true, nullptr, &err) : nullptr;
    EXPECT_EQ(bool(followed), links);
    sys.close_dir(followed);
    EXPECT_EQ(sys.copy_to_new(d, "src", src, d, "taken", &out), EEXIST);
    ASSERT_EQ(sys.copy_to_new(d, "src", src, d, "copy", &out), 0);
    EXPECT_EQ(sys.flush_handle(out), 0);
    sys.close_handle(out);
    EXPECT_EQ(sys.rename_at(d, "src", src, d, "taken"), EEXIST);
    FileHandle victim = sys.open_file_at(d, "victim", false, &st, &err);
    std::error_code refused;   // on Windows: the victim is held
    fs::rename(t.path("d/victim"), t.path("d/victim.away"), refused);
    if (!refused)
        fs::rename(t.path("d/stranger"), t.path("d/victim"));
    EXPECT_EQ(bool(refused), PATH_SEP == '\\');
    EXPECT_EQ(sys.remove_file_at(d, "victim", victim), refused ? 0 : ERR_NOT_THE_FILE);
    sys.close_handle(victim);
    EXPECT_EQ(sys.rename_at(d, "src", src, d, "renamed"), 0);
    sys.close_handle(src);
    EXPECT_EQ(sys.flush_dir(d), 0);
    sys.close_dir(d);
    std::string stranger = refused ? "d/stranger" : "d/victim";
    EXPECT_EQ(t.read("d/taken") + "|" + t.read(stranger), "keep me|not to go");
    EXPECT_TRUE(t.read("d/copy") == data && t.read("d/renamed") == data) << "a copy or rename is not exact";
    EXPECT_EQ(t.exists("d/victim.away"), !refused);
}

// ------------------------------------------------------------ times

// The copy an action makes of the file held in its directory gets its
// times through the handle that made it, to the tick, though it is
// read-only; and is flushed.
TEST(PlatformLayer, TimesRoundTripToTheTickOnAReadOnlyCopy)
{
    TestTree t;
    t.file("f", "data", 1000);
    fs::permissions(t.path("f"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    FileTimes want;
    want.creation = unix_to_ticks(915148800) + 1230000;   // 1999, fractions of a second
    want.access = unix_to_ticks(978307200) + 4560000;     // 2001
    want.write = unix_to_ticks(1118750400) + 7890000;     // 2005
    int err = -1;
    FileStatus st;
    DirHandle d = sys.open_dir_path(t.root().c_str(), nullptr, &err);
    FileHandle held = d ? sys.open_file_at(d, "f", false, &st, &err) : nullptr, made = nullptr;
    ASSERT_TRUE(held) << error_text(err);
    ASSERT_EQ(sys.copy_to_new(d, "f", held, d, "copy", &made), 0);
    EXPECT_TRUE(sys.set_file_times(made, want));
    EXPECT_EQ(sys.flush_handle(made), 0);
    for (FileHandle done : {made, held})
        sys.close_handle(done);
    sys.close_dir(d);
    ASSERT_TRUE(sys.stat(t.path("copy").c_str(), &st));
    EXPECT_EQ(st.times.write, want.write);
    EXPECT_EQ(st.times.access, want.access);
    // Linux keeps no settable creation time, and Wine on a Linux file
    // system reads it back as the write time; Windows itself must keep it.
    EXPECT_TRUE(PATH_SEP == '/' || st.times.creation == st.times.write || st.times.creation == want.creation);
    EXPECT_EQ(t.read("copy"), "data");
    EXPECT_EQ(fs::status(t.path("copy")).permissions() & fs::perms::owner_write, fs::perms::none) << "not read-only";
    EXPECT_EQ(ticks_to_unix(unix_to_ticks(4102444800LL)), 4102444800LL);   // 2100
    EXPECT_EQ(ticks_to_unix(unix_to_ticks(0) + 9999999), 0);
    EXPECT_EQ(ticks_to_unix(unix_to_ticks(0) - 1), -1);   // rounded down
}

// ------------------------------------------------------------ the report's writes

// A full disk shows at the write that overflows the buffer, at the flush or
// at the close: each says so, and the close ends the stream either way.
TEST(PlatformLayer, AFullDiskIsToldByTheWriteTheFlushOrTheClose)
{
    FILE* f = std::fopen("/dev/full", "wb");
    if (!f)
        GTEST_SKIP() << "no /dev/full here";
    std::string big(1 << 20, 'x');
    EXPECT_EQ(sys.write_file(f, "x", 1), 0);   // buffered
    EXPECT_EQ(sys.flush_file(f), ENOSPC);
    EXPECT_EQ(sys.write_file(f, big.data(), big.size()), ENOSPC);
    EXPECT_EQ(sys.write_file(f, "y", 1), 0);
    EXPECT_EQ(sys.close_file(f), ENOSPC);
}

}  // namespace

// Free names for reports, sinkholes and copies: the first free serial
// number wins, nothing in the way is ever replaced, and the name always
// fits its buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "report/tfile.h"
#include "tests/support/stub_platform.h"
#include "tests/support/tree.h"

namespace {

std::string name(const char* p) { return p ? std::string(p) : std::string("<null>"); }

// Without a stream nothing is made; anything at a name takes it; gaps are
// used again; 1 to 7 digits; a name with no room for one digit asks nothing.
TEST(UniqueNames, FirstFreeNumberWithinTheBuffer)
{
    StubPlatform sys;
    const std::string pre = native_path("C:\\out\\twinfiles");
    sys.dirs = {native_path("C:\\out"), pre + "000.txt"};
    sys.files = {pre + "002.txt"};
    EXPECT_EQ(name(tfile(sys, pre.c_str(), ".txt", nullptr, 3)), pre + "001.txt");
    EXPECT_EQ(name(tdir(sys, pre.c_str(), ".txt", 3)), pre + "001.txt");
    EXPECT_EQ(name(tdir(sys, pre.c_str(), ".txt", 3)), pre + "003.txt");
    EXPECT_EQ(name(tfile(sys, pre.c_str(), ".s", nullptr, 12)), pre + "0000000.s");
    EXPECT_EQ(name(tfile(sys, pre.c_str(), ".s", nullptr, -5)), pre + "0.s");

    std::string p1022(1022, 'p'), p1023(1023, 'p');
    EXPECT_EQ(name(tfile(sys, p1022.c_str(), "", nullptr, 3)), p1022 + "0");
    sys.stat_calls = sys.create_dir_calls = 0;
    FILE* fp = reinterpret_cast<FILE*>(&sys);   // must not be read back as a stream
    EXPECT_EQ(tfile(sys, p1023.c_str(), "", &fp, 3), nullptr);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(tdir(sys, p1022.c_str(), ".", 1), nullptr);
    EXPECT_EQ(sys.stat_calls + sys.create_dir_calls, 0) << "no room, yet the disk was asked";
}

// On the disk: a name that appears between the test and the open is kept,
// as is one whose creation fails, and the search goes on; the stream is a
// new file written as is; without the parent nothing is made.
TEST(UniqueNames, OnTheDiskNothingIsReplaced)
{
    TestTree t;
    FaultPlatform sys(system_platform());
    t.file("twinfiles000.txt", "keep", 1);
    sys.before(FaultOp::CreateNewFile, 1, [&] { t.file("twinfiles001.txt", "intruder", 1); });
    sys.fail(FaultOp::CreateNewFile, 2, ENOSPC);
    sys.fail(FaultOp::CreateDirectory, 1, EACCES);
    FILE* fp = nullptr;
    std::string pre = t.path("twinfiles");
    ASSERT_EQ(name(tfile(sys, pre.c_str(), ".txt", &fp, 3)), pre + "003.txt");
    ASSERT_NE(fp, nullptr);
    fputs("line\n", fp);
    fclose(fp);
    EXPECT_EQ(t.read("twinfiles000.txt") + t.read("twinfiles001.txt") + t.read("twinfiles003.txt"),
              "keepintruderline\n");
    EXPECT_FALSE(t.exists("twinfiles002.txt"));
    EXPECT_EQ(name(tdir(sys, pre.c_str(), ".sinkhole", 3)), pre + "001.sinkhole");
    std::string orphan = t.path("absent/twinfiles");
    EXPECT_EQ(tfile(sys, orphan.c_str(), ".txt", &fp, 1), nullptr);
    EXPECT_EQ(fp, nullptr);
    EXPECT_FALSE(t.exists("absent"));
}

}  // namespace

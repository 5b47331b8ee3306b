#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "report/tfile.h"
#include "tests/support/fault_platform.h"
#include "tests/support/stub_platform.h"

namespace fs = std::filesystem;

namespace {

const std::string OUT = native_path("C:\\out");
const std::string PREFIX = OUT + PATH_SEP + "twinfiles";

std::string name(const char* p) { return p ? std::string(p) : std::string("<null>"); }

struct UniqueNames : ::testing::Test {
    StubPlatform sys;
    void SetUp() override { sys.dirs.insert(OUT); }
};

}  // namespace

TEST_F(UniqueNames, FirstFreeNumberWinsAndGapsAreReused)
{
    EXPECT_EQ(name(tfile(sys, PREFIX.c_str(), ".txt", nullptr, 3)), PREFIX + "000.txt");
    // Without a stream nothing is created: the same name again.
    EXPECT_EQ(name(tfile(sys, PREFIX.c_str(), ".txt", nullptr, 3)), PREFIX + "000.txt");

    sys.files.insert(PREFIX + "000.txt");
    sys.files.insert(PREFIX + "001.txt");
    EXPECT_EQ(name(tfile(sys, PREFIX.c_str(), ".txt", nullptr, 3)), PREFIX + "002.txt");
    sys.files.erase(PREFIX + "000.txt");
    EXPECT_EQ(name(tfile(sys, PREFIX.c_str(), ".txt", nullptr, 3)), PREFIX + "000.txt");

    sys.dirs.insert(PREFIX + "000.txt");  // a directory is taken too
    EXPECT_EQ(name(tfile(sys, PREFIX.c_str(), ".txt", nullptr, 3)), PREFIX + "002.txt");

    EXPECT_EQ(name(tfile(sys, PREFIX.c_str(), nullptr, nullptr, 3)), PREFIX + "000");
}

TEST_F(UniqueNames, DirectoriesSkipAnythingInTheWay)
{
    EXPECT_EQ(name(tdir(sys, PREFIX.c_str(), ".sinkhole", 3)), PREFIX + "000.sinkhole");
    EXPECT_TRUE(sys.dirs.count(PREFIX + "000.sinkhole"));
    sys.files.insert(PREFIX + "001.sinkhole");
    EXPECT_EQ(name(tdir(sys, PREFIX.c_str(), ".sinkhole", 3)), PREFIX + "002.sinkhole");
    sys.dirs.erase(PREFIX + "000.sinkhole");
    EXPECT_EQ(name(tdir(sys, PREFIX.c_str(), ".sinkhole", 3)), PREFIX + "000.sinkhole");

    // Wider numbers carry into every digit.
    for (int i = 0; i < 12; ++i)
        tdir(sys, PREFIX.c_str(), ".s", 2);
    EXPECT_EQ(name(tdir(sys, PREFIX.c_str(), ".s", 2)), PREFIX + "12.s");
}

TEST_F(UniqueNames, MissingParentTriesEveryNumberThenFails)
{
    std::string orphan = native_path("C:\\nowhere\\twinfiles");
    EXPECT_EQ(tdir(sys, orphan.c_str(), ".sinkhole", 3), nullptr);
    EXPECT_EQ(sys.create_dir_calls, 1000);
}

TEST_F(UniqueNames, DigitCountIsClamped)
{
    // 0 or less acts as 1: ten candidates, then none.
    for (int i = 0; i < 10; ++i) {
        char* got = tdir(sys, PREFIX.c_str(), "", i % 2 ? 0 : -5);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(std::string(got), PREFIX + char('0' + i));
    }
    EXPECT_EQ(tdir(sys, PREFIX.c_str(), "", 0), nullptr);
    // 8 or more acts as 7.
    EXPECT_EQ(name(tfile(sys, PREFIX.c_str(), ".txt", nullptr, 12)), PREFIX + "0000000.txt");
}

TEST_F(UniqueNames, NameMustFitItsBuffer)
{
    std::string p1022(1022, 'p'), p1023(1023, 'p'), p1018(1018, 'p');
    // Room for exactly one digit.
    EXPECT_EQ(name(tfile(sys, p1022.c_str(), "", nullptr, 3)), p1022 + "0");
    EXPECT_EQ(name(tdir(sys, p1022.c_str(), nullptr, 3)), p1022 + "0");
    EXPECT_EQ(name(tfile(sys, p1018.c_str(), ".txt", nullptr, 3)), p1018 + "0.txt");
    // No room at all: nothing is asked of the disk.
    sys.stat_calls = sys.create_dir_calls = 0;
    FILE* fp = reinterpret_cast<FILE*>(&sys);  // must not be read back as a stream
    EXPECT_EQ(tfile(sys, p1023.c_str(), "", &fp, 3), nullptr);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(tdir(sys, p1023.c_str(), "", 3), nullptr);
    EXPECT_EQ(tfile(sys, p1018.c_str(), ".txts", nullptr, 1), nullptr);
    EXPECT_EQ(sys.stat_calls + sys.create_dir_calls, 0);
}

// --- on the real file system ---------------------------------------------

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() /
               ("twinex-tfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { std::error_code ec; fs::remove_all(path, ec); }
    std::string prefix() const { return (path / "twinfiles").string(); }
};

std::string read_all(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary);
    out << text;
}

}  // namespace

TEST(UniqueNamesOnDisk, StreamIsANewEmptyFile)
{
    TempDir dir;
    Platform& sys = system_platform();
    fs::create_directory(dir.path / "twinfiles001.txt");  // a directory is taken
    write_file(dir.path / "twinfiles000.txt", "keep");
    FILE* fp = nullptr;
    char* got = tfile(sys, dir.prefix().c_str(), ".txt", &fp, 3);
    ASSERT_NE(got, nullptr);
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(std::string(got), dir.prefix() + "002.txt");
    fputs("line\n", fp);
    fclose(fp);
    EXPECT_EQ(read_all(dir.path / "twinfiles002.txt"), "line\n");  // "wb": no translation
    EXPECT_EQ(read_all(dir.path / "twinfiles000.txt"), "keep");

    char* d = tdir(sys, dir.prefix().c_str(), ".sinkhole", 3);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(fs::is_directory(dir.path / "twinfiles000.sinkhole"));
}

// The file appears just after its name was tested and before it is opened.
TEST(UniqueNamesOnDisk, NameAppearingBeforeTheOpenIsKept)
{
    TempDir dir;
    FaultPlatform sys(system_platform());
    sys.before(FaultOp::CreateNewFile, 1, [&] { write_file(dir.path / "twinfiles000.txt", "intruder"); });
    FILE* fp = nullptr;
    char* got = tfile(sys, dir.prefix().c_str(), ".txt", &fp, 3);
    ASSERT_NE(got, nullptr);
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    EXPECT_EQ(std::string(got), dir.prefix() + "001.txt");
    EXPECT_EQ(read_all(dir.path / "twinfiles000.txt"), "intruder");
    EXPECT_EQ(sys.calls(FaultOp::CreateNewFile), 2);
}

// Any failure to create a candidate moves on to the next number.
TEST(UniqueNamesOnDisk, FailedCreationTriesTheNextNumber)
{
    TempDir dir;
    FaultPlatform sys(system_platform());
    sys.fail(FaultOp::CreateDirectory, 1, EACCES);
    sys.fail(FaultOp::CreateNewFile, 1, ENOSPC, 2);
    char* d = tdir(sys, dir.prefix().c_str(), ".sinkhole", 3);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::string(d), dir.prefix() + "001.sinkhole");
    FILE* fp = nullptr;
    char* f = tfile(sys, dir.prefix().c_str(), ".txt", &fp, 3);
    ASSERT_NE(f, nullptr);
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    EXPECT_EQ(std::string(f), dir.prefix() + "002.txt");
}

TEST(UniqueNamesOnDisk, MissingParentOpensNothing)
{
    TempDir dir;
    std::string prefix = (dir.path / "absent" / "twinfiles").string();
    FILE* fp = nullptr;
    EXPECT_EQ(tfile(system_platform(), prefix.c_str(), ".txt", &fp, 1), nullptr);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(tdir(system_platform(), prefix.c_str(), ".sinkhole", 1), nullptr);
    EXPECT_FALSE(fs::exists(dir.path / "absent"));
}

// Every call of the move and delete paths made to fail in turn, each with a
// full disk, a denied access and a vanished file, and the exact result
// checked: the whole body of the report (each file's marker, the copy
// failure line with its text, the totals), the count of removed files,
// every original's bytes in place or in one complete copy with its times,
// and a run that goes on to its end. Failures to create the report, the
// sinkhole or a group's sub-directory end the program, having touched
// nothing they should not have.
//
// A first run without faults traces the calls; then each call of the kind
// under test is made to fail, one per run, and the trace of that run names
// the file it hit, from which the expected outcome follows.
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/trace_platform.h"
#include "tests/support/tree.h"

namespace {

enum class Kind { Move, DeleteSaving, Delete };

// The steps of an action, by what they do for the user.
enum class Role { OpenTimes, ReadTimes, ChooseName, Copy, OpenCopy, SetTimes, Delete };

struct Original {
    const char* rel;
    const char* bytes;
    int64_t mtime;
};

// Two groups; b holds the newest file of each name. Every file's bytes are
// its own, so a copy tells whose it is.
const Original ORIGINALS[] = {
    {"a/notes.txt", "notes from a", 1000}, {"b/notes.txt", "notes from b, newest", 3000},
    {"c/notes.txt", "notes from c", 2000}, {"a/Makefile", "all: a", 1000},
    {"b/Makefile", "all: b (newest)", 2000}, {"c/unique.doc", "only one", 500},
};

const Original* original_at(const TestTree& t, const std::string& path)
{
    for (const Original& o : ORIGINALS)
        if (t.path(o.rel) == path)
            return &o;
    return nullptr;
}

FaultOp op_of(Role r)
{
    switch (r) {
    case Role::OpenTimes: return FaultOp::OpenForRead;
    case Role::ReadTimes: return FaultOp::GetFileTimes;
    case Role::ChooseName: return FaultOp::Stat;
    case Role::Copy: return FaultOp::CopyFileNew;
    case Role::OpenCopy: return FaultOp::OpenForWrite;
    case Role::SetTimes: return FaultOp::SetFileTimes;
    case Role::Delete: return FaultOp::DeleteFile;
    }
    return FaultOp::Count;
}

bool under(const std::string& path, const std::string& dir)
{
    return path.compare(0, dir.size() + 1, dir + PATH_SEP) == 0;
}

// The numbers of the calls that play `role` in a trace. A status query in
// the sinkhole is a look for a free copy name, unless it checks the copy
// just made.
std::vector<TracePlatform::Call> calls_of(const std::vector<TracePlatform::Call>& trace, Role role,
                                          const std::string& sinkhole)
{
    std::vector<TracePlatform::Call> out;
    std::string just_copied;
    for (const TracePlatform::Call& c : trace) {
        if (c.op == FaultOp::CopyFileNew)
            just_copied = c.to;
        if (c.op != op_of(role))
            continue;
        if (role == Role::ChooseName) {
            if (c.path == just_copied) {
                just_copied.clear();
                continue;
            }
            if (!under(c.path, sinkhole))
                continue;
        }
        out.push_back(c);
    }
    return out;
}

// What the report and the disk must show for one file.
struct Expected {
    enum { Kept, Done, CopyFailed, NotDeleted } what = Kept;
    std::string text;   // the copy failure's text or the removal's error
    bool copy = false;  // a complete copy is in the sinkhole
};

struct Scenario {
    TestTree t;
    ScanRun run{t};
    TracePlatform trace{run.fp};
    Kind kind;

    explicit Scenario(Kind k) : kind(k)
    {
        for (const Original& o : ORIGINALS)
            t.file(o.rel, o.bytes, o.mtime);
        run.st.sys = &trace;
        if (k == Kind::Move)
            run.move();
        else
            run.del(k == Kind::DeleteSaving, false);
        for (const char* r : {"a", "b", "c"})
            run.root(r);
    }
    bool saving() const { return kind != Kind::Delete; }
    const char* word() const { return kind == Kind::Move ? "MOVED" : "DELETED"; }
    std::string sinkhole() const { return t.path("out/twinfiles000.sinkhole"); }

    // The outcome without faults: a move takes every file, a delete all but
    // the newest of each name.
    Expected normal(const std::string& rel) const
    {
        Expected e;
        bool kept = kind != Kind::Move && rel.compare(0, 2, "b/") == 0;
        if (!kept) {
            e.what = Expected::Done;
            e.copy = saving();
        }
        return e;
    }

    std::string file_lines(const std::string& rel, const Expected& e) const
    {
        std::string path = t.path(rel);
        switch (e.what) {
        case Expected::Done:
            return std::string(kind == Kind::Move ? "<< FILE MOVED >>" : "<< FILE DELETED >>") + path + "\n";
        case Expected::NotDeleted:
            return "<< NOT DELETED - " + e.text + " >>" + path + "\n";
        case Expected::CopyFailed:
            return path + "\n<< COPY TO SINKHOLE FAILED: " + e.text + ", NOT " + word() + " >>\n";
        default:
            return path + "\n";
        }
    }

    // The groups as flist holds them, each file written as expected; with
    // `stop_at` >= 0 the body ends after that group's underline.
    std::string body(const std::map<std::string, Expected>& expected, int stop_at = -1)
    {
        std::string out, group;
        int g = -1;
        for (const std::string& rel : run.files()) {
            std::string name = rel.substr(rel.rfind('/') + 1);
            if (name != group) {
                if (g >= 0)
                    out += "\n";
                group = name;
                out += name + "\n" + std::string(name.size(), '=') + "\n";
                if (++g == stop_at)
                    return out;
            }
            out += file_lines(rel, expected.at(rel));
        }
        return out + "\n";
    }

    std::string closing(int removed) const
    {
        std::string out = std::string("\n\nNUMBER OF FILES ") + word() + ": " + std::to_string(removed) + "\n\n";
        if (saving())
            out += std::string("\n\n") + word() + " FILES SAVED IN:  " + run.st.sinkholename + "\n\n";
        return out;
    }
};

size_t count_of_text(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

struct Copy {
    std::string bytes;
    int64_t mtime;
};

std::vector<Copy> copies_below(const std::string& dir)
{
    std::vector<Copy> out;
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        FileStatus st;
        std::string p = it->path().string();
        if (it->is_regular_file(ec) && system_platform().stat(p.c_str(), &st))
            out.push_back(Copy{TestTree::read_path(p), ticks_to_unix(st.times.write)});
    }
    return out;
}

// Each original is in place, untouched, exactly when it should be, and has
// one complete copy with its last-write time in the sinkhole exactly when
// it should; the sinkhole holds nothing else.
void check_disk(Scenario& s, const std::map<std::string, Expected>& expected)
{
    std::vector<Copy> copies = copies_below(s.sinkhole());
    size_t wanted = 0;
    for (const Original& o : ORIGINALS) {
        SCOPED_TRACE(o.rel);
        auto it = expected.find(o.rel);
        Expected e = it == expected.end() ? Expected() : it->second;
        ASSERT_EQ(s.t.exists(o.rel), e.what != Expected::Done);
        if (s.t.exists(o.rel)) {
            EXPECT_EQ(s.t.read(o.rel), o.bytes);
        }
        int found = 0;
        for (const Copy& c : copies) {
            if (c.bytes == o.bytes) {
                ++found;
                EXPECT_EQ(c.mtime, o.mtime) << "the copy lost its time";
            }
        }
        EXPECT_EQ(found, e.copy ? 1 : 0);
        wanted += e.copy;
    }
    EXPECT_EQ(copies.size(), wanted) << "something else is in the sinkhole";
}

// The file a traced call worked for: the original itself, or for the calls
// on a copy, the original that copy was made from.
std::string victim_of(const std::vector<TracePlatform::Call>& trace, const TracePlatform::Call& hit, Role role)
{
    bool on_copy = role == Role::OpenCopy || role == Role::SetTimes;
    if (on_copy || role == Role::ChooseName) {
        std::string from;
        for (const TracePlatform::Call& c : trace) {
            if (c.op == hit.op && c.n == hit.n)
                break;
            if (on_copy && c.op == FaultOp::CopyFileNew && c.to == hit.path)
                from = c.path;
            if (!on_copy && c.op == FaultOp::OpenForRead)
                from = c.path;
        }
        return from;
    }
    return hit.path;
}

// How the failure of `hit` changes its file's outcome. `taken` says whether
// the name looked at, for a copy name, was in use.
Expected faulted(Expected e, Role role, const std::string& path, const std::string& copy, int err, bool taken)
{
    Expected out = e;
    out.what = Expected::CopyFailed;
    out.copy = false;
    switch (role) {
    case Role::OpenTimes: out.text = "ERROR:   couldn't open \"" + path + "\" for read"; break;
    case Role::ReadTimes: out.text = "ERROR:   couldn't get datestamps from \"" + path + "\""; break;
    case Role::ChooseName:
        if (!taken)
            return e;   // it was free anyway
        out.text = "ERROR:   can't copy \"" + path + "\" to sinkhole";
        break;
    case Role::Copy: out.text = "ERROR:   can't copy \"" + path + "\" to sinkhole"; break;
    case Role::OpenCopy: out.text = "ERROR:   Can't open \"" + copy + "\" to write its datestamp"; break;
    case Role::SetTimes:
        out.text = "ERROR:   copying \"" + path + "\" to sinkhole, couldn't write its datestamp";
        break;
    case Role::Delete:
        out.what = Expected::NotDeleted;
        out.text = error_text(err);
        out.copy = e.copy;
        break;
    }
    return out;
}

std::string rel_of(const TestTree& t, const std::string& path)
{
    const Original* o = original_at(t, path);
    return o ? o->rel : "";
}

// The calls of `role` in a run without faults.
std::vector<TracePlatform::Call> dry_run(Kind kind, Role role)
{
    Scenario s(kind);
    s.run.scan();
    return calls_of(s.trace.calls(), role, s.sinkhole());
}

const char* const ROLE_NAMES[] = {"OpenTimes", "ReadTimes", "ChooseName", "Copy", "OpenCopy", "SetTimes", "Delete"};
const char* const KIND_NAMES[] = {"Move", "DeleteSaving", "Delete"};

std::string error_name(int err)
{
    return err == ENOSPC ? "NoSpace" : err == EACCES ? "Denied" : "Vanished";
}

class StepFails : public ::testing::TestWithParam<std::tuple<Kind, Role, int>> {};

TEST_P(StepFails, OnlyItsFileIsKeptAndTheReportSaysWhy)
{
    Kind kind = std::get<0>(GetParam());
    Role role = std::get<1>(GetParam());
    int err = std::get<2>(GetParam());
    std::vector<TracePlatform::Call> targets = dry_run(kind, role);
    ASSERT_FALSE(targets.empty()) << "no such call in this run";
    for (const TracePlatform::Call& target : targets) {
        SCOPED_TRACE("call " + std::to_string(target.n) + " on " + target.path);
        Scenario s(kind);
        s.run.fp.fail(op_of(role), target.n, err);
        s.run.scan();
        ASSERT_EQ(s.run.fp.failures(), 1);
        std::vector<TracePlatform::Call> trace = s.trace.calls();
        const TracePlatform::Call* hit = nullptr;
        for (const TracePlatform::Call& c : trace)
            if (c.op == op_of(role) && c.n == target.n)
                hit = &c;
        ASSERT_NE(hit, nullptr);
        std::string victim = victim_of(trace, *hit, role);
        ASSERT_NE(rel_of(s.t, victim), "") << "the failed call worked for no original";

        std::map<std::string, Expected> expected;
        int removed = 0;
        for (const std::string& rel : s.run.files()) {
            Expected e = s.normal(rel);
            if (rel == rel_of(s.t, victim))
                e = faulted(e, role, victim, hit->path, err, target.ok);
            expected[rel] = e;
            removed += e.what == Expected::Done;
        }
        std::string report = s.run.report();
        EXPECT_TRUE(ends_with(report, s.body(expected) + s.closing(removed))) << report;
        EXPECT_EQ(s.run.st.numdeleted, removed);
        check_disk(s, expected);
        EXPECT_EQ(s.run.fb.field(PF_COPYING), "");
        EXPECT_EQ(s.run.fb.field(PF_FINISHED), "<< FINISHED >>");
        EXPECT_EQ(s.run.fb.end_requests(), 0);
        if (::testing::Test::HasFailure())
            return;
    }
}

const int ERRORS[] = {ENOSPC, EACCES, ENOENT};

std::string step_name(const ::testing::TestParamInfo<std::tuple<Kind, Role, int>>& info)
{
    return std::string(KIND_NAMES[int(std::get<0>(info.param))]) + ROLE_NAMES[int(std::get<1>(info.param))] +
           error_name(std::get<2>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Saving, StepFails,
                         ::testing::Combine(::testing::Values(Kind::Move, Kind::DeleteSaving),
                                            ::testing::Values(Role::OpenTimes, Role::ReadTimes, Role::ChooseName,
                                                              Role::Copy, Role::OpenCopy, Role::SetTimes,
                                                              Role::Delete),
                                            ::testing::ValuesIn(ERRORS)),
                         step_name);
INSTANTIATE_TEST_SUITE_P(NotSaving, StepFails,
                         ::testing::Combine(::testing::Values(Kind::Delete), ::testing::Values(Role::Delete),
                                            ::testing::ValuesIn(ERRORS)),
                         step_name);

// ------------------------------------------------ what a run makes itself

// Every original is still in place, untouched, and nothing was copied.
void check_untouched(Scenario& s)
{
    for (const Original& o : ORIGINALS) {
        ASSERT_TRUE(s.t.exists(o.rel)) << o.rel;
        EXPECT_EQ(s.t.read(o.rel), o.bytes) << o.rel;
    }
}

void check_quit(Scenario& s, const std::string& message)
{
    RecordingFeedback::Message m = s.run.fb.last_message();
    EXPECT_EQ(m.msg1.value_or(""), message);
    EXPECT_EQ(m.msg2.value_or(""), "QUITTING...");
    EXPECT_EQ(s.run.fb.end_requests(), 1);
    EXPECT_TRUE(s.run.st.fatal);
    EXPECT_NE(s.run.st.abort_flag, 0);
    EXPECT_EQ(s.run.fb.field(PF_FINISHED), "");
}

class CreationFails : public ::testing::TestWithParam<std::tuple<Kind, int>> {};

// One failed attempt costs only that name: the next free number is used.
TEST_P(CreationFails, OneFailedAttemptTakesTheNextName)
{
    Kind kind = std::get<0>(GetParam());
    int err = std::get<1>(GetParam());
    for (FaultOp op : {FaultOp::CreateNewFile, FaultOp::CreateDirectory}) {
        if (op == FaultOp::CreateDirectory && kind == Kind::Delete)
            continue;
        Scenario s(kind);
        s.run.fp.fail(op, 1, err);
        s.run.scan();
        bool report = op == FaultOp::CreateNewFile;
        EXPECT_EQ(s.run.st.filename, s.t.path(report ? "out/twinfiles001.txt" : "out/twinfiles000.txt"));
        if (s.saving()) {
            EXPECT_EQ(s.run.st.sinkholename,
                      s.t.path(report ? "out/twinfiles000.sinkhole" : "out/twinfiles001.sinkhole"));
        }
        EXPECT_EQ(s.run.fb.field(PF_FINISHED), "<< FINISHED >>");
        EXPECT_EQ(s.run.st.numdeleted, kind == Kind::Move ? 5 : 3);
    }
}

TEST_P(CreationFails, NoReportEndsTheProgramBeforeAnyAction)
{
    Scenario s(std::get<0>(GetParam()));
    s.run.fp.fail(FaultOp::CreateNewFile, 1, std::get<1>(GetParam()), -1);
    s.run.scan();
    check_quit(s, "Can't open an output file");
    check_untouched(s);
    EXPECT_EQ(s.t.names("out"), std::vector<std::string>()) << "a report or sinkhole was made";
    EXPECT_EQ(s.run.st.numdeleted, 0);
}

TEST_P(CreationFails, NoSinkholeEndsTheProgramWithAnEmptyReport)
{
    Scenario s(std::get<0>(GetParam()));
    if (!s.saving())
        GTEST_SKIP() << "a delete run without saving makes no sinkhole";
    s.run.fp.fail(FaultOp::CreateDirectory, 1, std::get<1>(GetParam()), -1);
    s.run.scan();
    check_quit(s, "Can't create sinkhole");
    check_untouched(s);
    EXPECT_EQ(s.t.names("out"), std::vector<std::string>{"twinfiles000.txt"});
    EXPECT_EQ(s.run.report(), "");
}

// The first group is acted on in full; the program ends at the second,
// whose files stay where they are; the report ends with its underline.
TEST_P(CreationFails, NoGroupDirectoryEndsTheProgramAtThatGroup)
{
    Scenario s(std::get<0>(GetParam()));
    if (!s.saving())
        GTEST_SKIP() << "a delete run without saving makes no sub-directories";
    s.run.fp.fail(FaultOp::CreateDirectory, 3, std::get<1>(GetParam()));   // sinkhole, group 1, group 2
    s.run.scan();
    std::vector<std::string> files = s.run.files();
    ASSERT_EQ(files.size(), 5u);
    std::string first_group = files[0].substr(files[0].rfind('/') + 1);
    std::string second_group = first_group == "notes.txt" ? "Makefile" : "notes.txt";
    check_quit(s, "Can't create sinkhole sub-directory \"" + s.sinkhole() + PATH_SEP + second_group + "\"");
    std::map<std::string, Expected> expected;
    int removed = 0;
    for (const std::string& rel : files) {
        bool in_first = rel.substr(rel.rfind('/') + 1) == first_group;
        expected[rel] = in_first ? s.normal(rel) : Expected();
        removed += expected[rel].what == Expected::Done;
    }
    EXPECT_TRUE(ends_with(s.run.report(), s.body(expected, 1))) << s.run.report();
    EXPECT_EQ(s.run.st.numdeleted, removed);
    check_disk(s, expected);
}

std::string creation_name(const ::testing::TestParamInfo<std::tuple<Kind, int>>& info)
{
    return std::string(KIND_NAMES[int(std::get<0>(info.param))]) + error_name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(AllRuns, CreationFails,
                         ::testing::Combine(::testing::Values(Kind::Move, Kind::DeleteSaving, Kind::Delete),
                                            ::testing::ValuesIn(ERRORS)),
                         creation_name);

}  // namespace

namespace {

// A disk that fills half-way through a copy leaves a partial file under the
// copy's name: it is removed, and the file stays where it is.
TEST(StepFailsPartway, CopyCutShortByAFullDiskLeavesNothingBehind)
{
    Scenario s(Kind::Move);
    std::string partial;
    s.run.fp.before(FaultOp::CopyFileNew, 1, [&] {
        // The first copy goes to the first group's directory, under number 000.
        std::vector<std::string> groups = s.t.names("out/twinfiles000.sinkhole");
        ASSERT_EQ(groups.size(), 1u);
        const std::string& g = groups[0];
        size_t dot = g.rfind('.');
        std::string name = dot == std::string::npos ? g + "000" : g.substr(0, dot) + "000" + g.substr(dot);
        partial = "out/twinfiles000.sinkhole/" + g + "/" + name;
        std::ofstream(s.t.path(partial), std::ios::binary) << "par";
    });
    s.run.fp.fail(FaultOp::CopyFileNew, 1, ENOSPC);
    s.run.scan();
    ASSERT_FALSE(partial.empty());
    for (const Copy& c : copies_below(s.sinkhole()))   // the name went to the next file, complete
        EXPECT_NE(c.bytes, "par") << "the partial copy stays";
    std::string report = s.run.report();
    EXPECT_EQ(count_of_text(report, "\" to sinkhole, NOT MOVED >>\n"), 1u) << report;
    EXPECT_EQ(s.run.st.numdeleted, 4);
    for (const Original& o : ORIGINALS) {
        std::vector<Copy> copies = copies_below(s.sinkhole());
        bool saved = false;
        for (const Copy& c : copies)
            saved = saved || c.bytes == o.bytes;
        EXPECT_TRUE(s.t.exists(o.rel) || saved) << o.rel << " is lost";
    }
}

}  // namespace

namespace {

// The same file reached through two roots, while every identity query made
// after the collection fails: without knowing that the two paths are one
// file, a delete run must still not remove the file it keeps.
TEST(IdentityUnknown, TheKeptFileIsNeverRemovedThroughAnotherPath)
{
    for (int err : ERRORS) {
        SCOPED_TRACE(error_text(err));
        TestTree t;
        t.file("a/x.txt", "only copy", 1000);
        ScanRun run(t);
        run.del(false, false);
        run.root("a");
        run.root("a");
        run.fp.before(FaultOp::CreateNewFile, 1,
                      [&] { run.fp.fail(FaultOp::Identity, run.fp.calls(FaultOp::Identity) + 1, err, -1); });
        run.scan();
        EXPECT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
        ASSERT_TRUE(t.exists("a/x.txt")) << run.report();
        EXPECT_EQ(run.st.numdeleted, 0);
    }
}

}  // namespace

namespace {

// The delete step with --same-content and with --trash: each call that step
// makes, failed in turn, leaves the one file it worked for in place with the
// reason in the report; the other older copy goes as usual, and the kept
// file is never touched.
enum class Extra { SameContent, Trash };

class ExtraDeleteStepFails : public ::testing::TestWithParam<std::tuple<Extra, FaultOp, int>> {};

struct ExtraScenario {
    TestTree t;
    std::string data = "XDG_DATA_HOME=" + t.path("data");
    ScanRun run{t};

    explicit ExtraScenario(Extra extra)
    {
        putenv(&data[0]);
        t.file("a/x.txt", "same bytes", 1000);
        t.file("b/x.txt", "same bytes", 3000);
        t.file("c/x.txt", "same bytes", 2000);
        run.del(false, false);
        run.st.extra.same_content = extra == Extra::SameContent;
        run.st.extra.trash = extra == Extra::Trash;
        for (const char* r : {"a", "b", "c"})
            run.root(r);
    }
    ~ExtraScenario()
    {
        static char unset[] = "XDG_DATA_HOME=";
        putenv(unset);
    }
};

TEST_P(ExtraDeleteStepFails, OnlyItsFileStaysWithTheReason)
{
    Extra extra = std::get<0>(GetParam());
    FaultOp op = std::get<1>(GetParam());
    int err = std::get<2>(GetParam());
    if (extra == Extra::Trash && PATH_SEP == '\\')
        GTEST_SKIP() << "the Recycle Bin is the shell's";
    int calls = 0;
    {
        ExtraScenario dry(extra);
        dry.run.scan();
        ASSERT_EQ(dry.run.st.numdeleted, 2) << dry.run.report();
        calls = dry.run.fp.calls(op);
    }
    int first = op == FaultOp::CreateNewFile ? 2 : 1;   // the report is the first new file
    ASSERT_GE(calls, first) << "no such call in this run";
    for (int n = first; n <= calls; ++n) {
        SCOPED_TRACE("call " + std::to_string(n));
        ExtraScenario s(extra);
        s.run.fp.fail(op, n, err);
        s.run.scan();
        std::string report = s.run.report();
        EXPECT_EQ(s.run.fb.field(PF_FINISHED), "<< FINISHED >>");
        EXPECT_EQ(s.t.read("b/x.txt"), "same bytes");
        ASSERT_NE(s.t.exists("a/x.txt"), s.t.exists("c/x.txt")) << report;
        std::string stays = s.t.exists("a/x.txt") ? "a/x.txt" : "c/x.txt";
        EXPECT_EQ(s.t.read(stays), "same bytes");
        EXPECT_TRUE(report.find(error_text(err) + " >>" + s.t.path(stays) + "\n") != std::string::npos) << report;
        EXPECT_EQ(s.run.st.numdeleted, 1);
        if (extra == Extra::Trash) {
            EXPECT_EQ(s.t.names("data/Trash/files").size(), 1u);
            EXPECT_EQ(s.t.names("data/Trash/info").size(), 1u) << "an info file without its file";
        }
        if (::testing::Test::HasFailure())
            return;
    }
}

std::string extra_name(const ::testing::TestParamInfo<std::tuple<Extra, FaultOp, int>>& info)
{
    static const std::map<FaultOp, const char*> ops = {
        {FaultOp::OpenForReading, "Open"}, {FaultOp::ReadBytes, "Read"}, {FaultOp::DeleteFile, "Delete"},
        {FaultOp::CreateDirectory, "MakeTrash"}, {FaultOp::CreateNewFile, "Info"}, {FaultOp::RenameNew, "Rename"}};
    return std::string(std::get<0>(info.param) == Extra::SameContent ? "SameContent" : "Trash") +
           ops.at(std::get<1>(info.param)) + error_name(std::get<2>(info.param));
}

INSTANTIATE_TEST_SUITE_P(SameContent, ExtraDeleteStepFails,
                         ::testing::Combine(::testing::Values(Extra::SameContent),
                                            ::testing::Values(FaultOp::OpenForReading, FaultOp::ReadBytes,
                                                              FaultOp::DeleteFile),
                                            ::testing::ValuesIn(ERRORS)),
                         extra_name);
INSTANTIATE_TEST_SUITE_P(Trash, ExtraDeleteStepFails,
                         ::testing::Combine(::testing::Values(Extra::Trash),
                                            ::testing::Values(FaultOp::CreateDirectory, FaultOp::CreateNewFile,
                                                              FaultOp::RenameNew),
                                            ::testing::ValuesIn(ERRORS)),
                         extra_name);

}  // namespace

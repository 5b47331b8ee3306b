// One run of each kind, and the same run with one call of one step failing,
// in turn for every call of that step: reaching the file through its
// directory, reading its status, the copy and its checks, setting the
// copy's times, bringing copies, directories and the manifest to the disk,
// the rename within a volume, the removal, and the steps of a removal by
// --same-content and --trash. Moves and saving deletes run both within one
// volume (renames) and across two (copies). Each step fails with one error
// number, the removal (whose error the report names) with three. Whatever
// fails, a file is removed only when what the user asked to keep of it is in
// place, and the report is the usual one with the failure's reason in place
// of that file's mark. Then the fatal ends: the files a run makes itself
// (the report, the sinkhole, its manifest, its sub-directories) that can't
// be made or written, and memory running out.
#include <algorithm>
#include <fstream>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/golden.h"

namespace {

enum class Kind { Move, MoveAcross, DeleteSaving, DeleteSavingAcross, Delete, SameContent, Trash, Count };
const struct {
    const char *name, *golden;   // the report of a run without faults
} KINDS[] = {{"Move", "fault_move.txt"}, {"MoveAcross", "fault_move.txt"}, {"DeleteSaving", "fault_delete_saving.txt"},
             {"DeleteSavingAcross", "fault_delete_saving.txt"}, {"Delete", "fault_delete.txt"},
             {"SameContent", "fault_same_content.txt"}, {"Trash", "fault_trash.txt"}};

struct Original {
    const char *rel, *bytes;
    int64_t mtime;
};

// Two groups, met in this order as each root holds one name of theirs; b
// and e hold the newest. The notes are alike (for --same-content): a copy
// tells whose it is by its bytes and time together.
const Original ORIGINALS[] = {
    {"a/notes.txt", "notes", 1000},    {"b/notes.txt", "notes", 3000}, {"c/sub/notes.txt", "notes", 2000},
    {"c/unique.doc", "only one", 500}, {"d/Makefile", "all: d", 1000}, {"e/Makefile", "all: e (newest)", 2000},
};

struct Scenario {
    TestTree t;
    DataHome home{t};
    ScanRun run{t};
    Kind kind;

    explicit Scenario(Kind k) : kind(k)
    {
        for (const Original& o : ORIGINALS)
            t.file(o.rel, o.bytes, o.mtime);
        if (k == Kind::Move || k == Kind::MoveAcross)
            run.move();
        else
            run.del(k == Kind::DeleteSaving || k == Kind::DeleteSavingAcross, false);
        if (k == Kind::MoveAcross || k == Kind::DeleteSavingAcross)
            run.fp.other_volume(t.path("out"));
        run.st.extra.same_content = k == Kind::SameContent;
        run.st.extra.trash = k == Kind::Trash;
        for (const char* r : {"a", "b", "c", "d", "e"})
            run.root(r);
    }
    bool moving() const { return kind == Kind::Move || kind == Kind::MoveAcross; }
    bool saving() const { return moving() || kind == Kind::DeleteSaving || kind == Kind::DeleteSavingAcross; }
    std::string word() const { return moving() ? "MOVED" : "DELETED"; }
    std::string done_line(const std::string& rel) const
    {
        std::string mark = moving() ? "MOVED" : kind == Kind::Trash ? "MOVED TO TRASH" : "DELETED";
        return "\n<< FILE " + mark + " >>" + t.path(rel) + "\n";
    }
};

// What became of an original.
enum class Fate { Untouched, Done, CopyFailed, KeptBack };

// Each original is in place, untouched, unless it was removed; a removed
// one has one whole copy with its time where the user asked for one, a kept
// one at most the copy made before the failure, and nothing else is kept.
void check_disk(const Scenario& s, const std::map<std::string, Fate>& fate)
{
    std::vector<std::pair<std::string, int64_t>> kept;   // bytes and last-write time
    std::error_code ec;
    std::string place = s.t.path(s.kind == Kind::Trash ? "data/Trash/files" : "out/twinfiles000.sinkhole");
    for (std::filesystem::recursive_directory_iterator it(place, ec), end; !ec && it != end; it.increment(ec)) {
        FileStatus st;
        std::string p = it->path().string();
        if (it->is_regular_file(ec) && system_platform().stat(p.c_str(), &st))
            kept.emplace_back(TestTree::read_path(p), ticks_to_unix(st.times.write));
    }
    size_t matched = 0;
    for (const Original& o : ORIGINALS) {
        SCOPED_TRACE(o.rel);
        Fate f = fate.at(o.rel);
        ASSERT_EQ(s.t.exists(o.rel), f != Fate::Done);
        EXPECT_TRUE(f == Fate::Done || s.t.read(o.rel) == o.bytes) << "the file was changed";
        size_t n = std::count(kept.begin(), kept.end(), std::make_pair(std::string(o.bytes), o.mtime));
        matched += n;
        if (f == Fate::Done)
            EXPECT_EQ(n, s.saving() || s.kind == Kind::Trash ? 1u : 0u) << "the file's bytes are lost";
        else
            EXPECT_LE(n, f == Fate::KeptBack && s.saving() ? 1u : 0u);
    }
    EXPECT_EQ(matched, kept.size()) << "a partial or changed copy is kept";
    EXPECT_TRUE(s.kind != Kind::Trash || s.t.names("data/Trash/info").size() == kept.size())
        << "an info file without its file";
    for (const std::string& n : s.t.names("out/twinfiles000.sinkhole/notes.txt")) {
        EXPECT_TRUE(n.size() == 12 && n.compare(0, 5, "notes") == 0 && n.compare(8, 4, ".txt") == 0)
            << n << ": copies are not named by their file";
    }
}

// How a step goes wrong: a call fails; a failed copy also leaves part of
// the file under the copy's name; a copy comes out short; the original is
// written to while it is copied; a call of a flush made one file at a time,
// as where the volume cannot be flushed at once. `quiet`: a failure the run
// may get around (a rename refused across volumes becomes a copy; a flush
// of the volume becomes flushes of each file; a flush after the act).
enum class Twist { None, PartLeft, CutShort, Touched, Piecemeal };

struct Step {
    unsigned kinds;   // bits 1 << Kind
    const char* name;
    FaultOp op;
    int err;
    Twist twist = Twist::None;
    bool quiet = false;
};

constexpr unsigned bit(Kind k)
{
    return 1u << int(k);
}
constexpr unsigned WITHIN = bit(Kind::Move) | bit(Kind::DeleteSaving),
                   ACROSS = bit(Kind::MoveAcross) | bit(Kind::DeleteSavingAcross), SAVING = WITHIN | ACROSS,
                   DELETE = bit(Kind::Delete), SAME = bit(Kind::SameContent), TRASH = bit(Kind::Trash),
                   ALL = SAVING | DELETE | SAME | TRASH;

const Step STEPS[] = {
    {ALL, "OpenDirectory", FaultOp::OpenDirAt, EACCES},
    {ALL, "OpenFile", FaultOp::OpenFileAt, EACCES},
    {ALL, "Status", FaultOp::HandleStatus, EIO},
    {ACROSS, "Copy", FaultOp::CopyToNew, ENOSPC, Twist::PartLeft},
    {ACROSS, "CopyCutShort", FaultOp::CopyToNew, 0, Twist::CutShort},
    {ACROSS, "CopyOfAFileWrittenTo", FaultOp::CopyToNew, 0, Twist::Touched},
    {ACROSS, "SetCopyTimes", FaultOp::SetFileTimes, EPERM},
    {SAVING, "FlushVolume", FaultOp::FlushVolume, EIO, Twist::None, true},
    {ACROSS, "FlushCopy", FaultOp::FlushHandle, EIO, Twist::Piecemeal},
    {SAVING, "FlushDirectory", FaultOp::FlushDir, EIO, Twist::Piecemeal, true},
    {SAVING, "FlushManifest", FaultOp::SyncStream, EIO},
    {WITHIN, "Rename", FaultOp::RenameAt, EACCES},
    {WITHIN, "RenameRefusedAcrossVolumes", FaultOp::RenameAt, EXDEV, Twist::None, true},
    {ACROSS | DELETE | SAME, "RemoveDenied", FaultOp::RemoveFileAt, EACCES},
    {ACROSS | DELETE, "RemoveNoSpace", FaultOp::RemoveFileAt, ENOSPC},
    {ACROSS | DELETE, "RemoveVanished", FaultOp::RemoveFileAt, ENOENT},
    {SAME, "ReadToCompare", FaultOp::ReadBytes, EIO},
    {TRASH, "MakeTrash", FaultOp::CreateDirectory, EACCES},
    {TRASH, "WriteTrashInfo", FaultOp::CreateNewFile, ENOSPC},
    {TRASH, "FlushTrashInfo", FaultOp::SyncStream, EIO},
    {TRASH, "MoveToTrash", FaultOp::RenameAt, EACCES},
};

// The lines the report may give the file at `p` when `step` failed for it.
std::vector<std::string> failure_lines(const Scenario& s, const Step& step, const std::string& p)
{
    std::string q = "\"" + p + "\"", e = error_text(step.err);
    auto copy_failed = [&](const std::string& why) {
        return p + "\n<< COPY TO SINKHOLE FAILED: ERROR:   " + why + ", NOT " + s.word() + " >>\n";
    };
    auto kept = [&](const std::string& why) { return "<< NOT " + s.word() + " - " + why + " >>" + p + "\n"; };
    std::string changed = kept("FILE CHANGED SINCE SCAN");
    std::string unflushed = copy_failed("can't bring the sinkhole's record of " + q + " to the disk");
    switch (step.op) {
    case FaultOp::OpenDirAt: return {changed};
    case FaultOp::OpenFileAt: return {copy_failed("couldn't open " + q + " for read"), changed};
    case FaultOp::HandleStatus:   // the copy's or the original's, before or after the copy
        return {copy_failed("couldn't get datestamps from " + q), copy_failed(q + " changed while it was copied"),
                copy_failed("copy of " + q + " in sinkhole is incomplete"), changed};
    case FaultOp::CopyToNew:
        if (step.twist == Twist::CutShort)
            return {copy_failed("copy of " + q + " in sinkhole is incomplete")};
        if (step.twist == Twist::Touched)
            return {copy_failed(q + " changed while it was copied")};
        return {copy_failed("can't copy " + q + " to sinkhole")};
    case FaultOp::SetFileTimes: return {copy_failed("copying " + q + " to sinkhole, couldn't write its datestamp")};
    case FaultOp::FlushHandle: return {copy_failed("can't bring the copy of " + q + " to the disk")};
    case FaultOp::FlushDir: return {unflushed};
    case FaultOp::FlushVolume: return {};
    case FaultOp::SyncStream:
        return {unflushed, kept("CAN'T WRITE TRASH INFO: " + e)};
    case FaultOp::RemoveFileAt: return {"<< NOT DELETED - " + e + " >>" + p + "\n"};
    case FaultOp::RenameAt:
        if (s.kind == Kind::Trash)
            return {"<< NOT DELETED - CAN'T MOVE TO TRASH: " + e + " >>" + p + "\n"};
        return {"<< NOT DELETED - " + e + " >>" + p + "\n"};
    case FaultOp::ReadBytes: return {kept("CAN'T COMPARE CONTENT: " + e)};
    case FaultOp::CreateDirectory: return {kept("CAN'T MAKE TRASH " + s.t.path("data/Trash") + ": " + e)};
    case FaultOp::CreateNewFile: return {kept("CAN'T WRITE TRASH INFO: " + e)};
    default: return {};
    }
}

// The line of the report that names `path`, with its line end ("" when none does).
std::string line_of(const std::string& report, const std::string& path)
{
    size_t at = report.find(path + "\n");
    if (at == std::string::npos)
        return std::string();
    size_t start = report.rfind('\n', at) + 1;
    return report.substr(start, at + path.size() + 1 - start);
}

// The report is the usual one but for the files the failure kept back
// (or kept for another reason), each with a line the step allows in place
// of its usual one, and the count of removed files; the disk agrees.
void check(const Scenario& s, const Step* step)
{
    std::string report = s.run.report(), expected = golden(KINDS[int(s.kind)].golden, s.t);
    std::map<std::string, Fate> fate;
    int done = 0, kept_back = 0;
    for (const Original& o : ORIGINALS) {
        std::string normal = line_of(expected, s.t.path(o.rel)), instead;
        bool removed = normal == s.done_line(o.rel).substr(1);
        fate[o.rel] = removed ? Fate::Done : Fate::Untouched;
        if (normal.empty() || has(report, "\n" + normal)) {
            done += removed;
            continue;
        }
        for (const std::string& line : step ? failure_lines(s, *step, s.t.path(o.rel)) : std::vector<std::string>())
            if (has(report, "\n" + line))
                instead = line;
        ASSERT_NE(instead, "") << o.rel << " is neither as usual nor kept with the failure's reason:\n" << report;
        expected.replace(expected.find("\n" + normal) + 1, normal.size(), instead);
        if (removed)
            fate[o.rel] = has(instead, "<< COPY TO SINKHOLE") ? Fate::CopyFailed : Fate::KeptBack;
        kept_back += removed;
    }
    std::string count = "NUMBER OF FILES " + s.word() + ": ";
    size_t at = expected.find(count + std::to_string(done + kept_back) + "\n");
    if (at != std::string::npos)
        expected.replace(at + count.size(), std::to_string(done + kept_back).size(), std::to_string(done));
    EXPECT_TRUE(kept_back || !step || step->quiet || step->op == FaultOp::HandleStatus ||
                step->op == FaultOp::OpenFileAt)
        << "the failure went unreported:\n" << report;
    EXPECT_EQ(report, expected);
    EXPECT_EQ(s.run.st.numdeleted, done);
    check_disk(s, fate);
    EXPECT_EQ(s.run.fb.field(PF_FINISHED), "<< FINISHED >>");
    EXPECT_EQ(s.run.fb.end_requests(), 0);
}

// The calls of `op` that the actions of a run of `kind` without faults make
// (that run checked): the first after the report is created, and the last.
std::pair<int, int> action_calls(Kind kind, FaultOp op, Twist twist = Twist::None)
{
    Scenario s(kind);
    if (twist == Twist::Piecemeal)
        s.run.fp.fail(FaultOp::FlushVolume, 1, ENOSYS, -1);
    int before = 0;
    s.run.fp.before(FaultOp::CreateNewFile, 1, [&] { before = s.run.fp.calls(op); });
    s.run.scan();
    check(s, nullptr);
    return {before + 1, s.run.fp.calls(op)};
}

// Every step of every kind that has it, each of its calls failing in turn.
TEST(StepFails, EachCallInTurnLosesNothingAndIsReported)
{
    for (int k = 0; k < int(Kind::Count); ++k) {
        for (const Step& step : STEPS) {
            Kind kind = Kind(k);
            if (!(step.kinds & 1u << k) || (kind == Kind::Trash && PATH_SEP == '\\'))
                continue;   // on Windows the Recycle Bin is the shell's
            SCOPED_TRACE(std::string(KINDS[k].name) + ", " + step.name);
            std::pair<int, int> calls = action_calls(kind, step.op, step.twist);
            if (step.op == FaultOp::SyncStream)
                --calls.second;   // the last brings the finished report to the disk
            EXPECT_GE(calls.second, calls.first) << "no such call in this run";
            for (int n = calls.first; n <= calls.second && !HasFailure(); ++n) {
                SCOPED_TRACE("call " + std::to_string(n));
                Scenario s(kind);
                FaultPlatform& fp = s.run.fp;
                FaultPlatform::Call struck;
                fp.before(step.op, n, [&] {
                    struck = fp.last(step.op);
                    if (step.twist == Twist::PartLeft)
                        std::ofstream(struck.to, std::ios::binary) << "par";
                });
                if (step.twist == Twist::CutShort)
                    fp.after(step.op, n, [&] { std::filesystem::resize_file(struck.to, 2); });
                if (step.twist == Twist::Piecemeal)
                    fp.fail(FaultOp::FlushVolume, 1, ENOSYS, -1);
                if (step.twist == Twist::Touched)   // its bytes as they were: only its time tells
                    fp.after(step.op, n, [&] { s.t.set_times(s.run.relative(struck.path), 5000, 5000); });
                if (step.err)
                    fp.fail(step.op, n, step.err);
                s.run.scan();
                check(s, &step);
            }
        }
    }
}

// The files a run makes itself: a report, sinkhole or manifest that can't be
// made, a group's sub-directory, the report that can no longer be written
// (a write, the flush before an action, the close), and memory running out.
// Each ends the program with "QUITTING..." before the next action; the
// report holds what was written before, and names every file removed but
// the one whose line could not be written.
TEST(OwnFiles, OneThatCannotBeMadeOrWrittenEndsTheProgramBeforeTheNextAction)
{
    int writes = action_calls(Kind::Move, FaultOp::WriteFile).second;
    const std::vector<std::string> all = {"twinfiles000.sinkhole", "twinfiles000.sinkhole.manifest",
                                          "twinfiles000.txt"};
    const std::string report_at = "out/twinfiles000.txt";
    struct {
        FaultOp op;
        int nth, times, err;   // err 0: memory runs out
        std::string quit, named;   // the message and the path it names
        std::vector<std::string> out;   // what the output directory holds
    } cases[] = {
        {FaultOp::CreateNewFile, 1, -1, EACCES, "Can't open an output file", "", {}},
        {FaultOp::CreateDirectory, 1, -1, EACCES, "Can't create sinkhole", "", {"twinfiles000.txt"}},
        {FaultOp::CreateNewFile, 2, 1, EACCES, "Can't create sinkhole manifest", "out/twinfiles000.sinkhole.manifest",
         {"twinfiles000.txt"}},
        {FaultOp::CreateDirectory, 3, 1, EACCES, "Can't create sinkhole sub-directory",
         "out/twinfiles000.sinkhole/Makefile", all},
        {FaultOp::WriteFile, 1, 1, ENOSPC, "Can't write the output file", report_at, all},
        {FaultOp::WriteFile, writes / 2, 1, ENOSPC, "Can't write the output file", report_at, all},
        {FaultOp::WriteFile, writes, 1, ENOSPC, "Can't write the output file", report_at, all},
        {FaultOp::FlushFile, 3, 1, EIO, "Can't write the output file", report_at, all},
        {FaultOp::CloseFile, 1, 1, ENOSPC, "Can't write the output file", report_at, all},
        {FaultOp::OpenDir, 3, 1, 0, "OUT OF MEMORY", "", {}},
        {FaultOp::RenameAt, 2, 1, 0, "OUT OF MEMORY", "", all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quit + ", call " + std::to_string(c.nth));
        Scenario s(Kind::Move);
        if (c.err)
            s.run.fp.fail(c.op, c.nth, c.err, c.times);
        else
            s.run.fp.before(c.op, c.nth, [] { throw std::bad_alloc(); });
        s.run.scan();
        std::string why = c.named.empty() ? "" : " \"" + s.t.path(c.named) + "\"";
        if (c.named == report_at)
            why += ": " + error_text(c.err);
        RecordingFeedback::Message m = s.run.fb.last_message();
        EXPECT_EQ(m.msg1.value_or(""), c.quit + why);
        EXPECT_EQ(m.msg2.value_or(""), "QUITTING...");
        EXPECT_EQ(s.run.fb.end_requests(), 1);
        EXPECT_TRUE(s.run.st.fatal && s.run.fb.field(PF_FINISHED).empty()) << "the run ended as if all went well";
        EXPECT_EQ(s.run.st.report, nullptr) << "the report was left open";
        EXPECT_EQ(s.t.names("out"), c.out);
        std::string report = s.run.report(), normal = golden(KINDS[0].golden, s.t);
        EXPECT_EQ(report, normal.substr(0, report.size())) << "not the usual report as far as it goes";
        // A file gone from its place is in the report, or at least in the
        // sinkhole's manifest: the report of its batch could not be written.
        std::map<std::string, Fate> fate;
        std::string manifest = TestTree::read_path(s.t.path("out/twinfiles000.sinkhole.manifest"));
        for (const Original& o : ORIGINALS) {
            fate[o.rel] = s.t.exists(o.rel) ? Fate::KeptBack : Fate::Done;
            EXPECT_TRUE(fate[o.rel] == Fate::KeptBack || has(report, s.done_line(o.rel)) ||
                        has(manifest, "\t" + s.t.path(o.rel) + "\n"))
                << o.rel << " was removed without a record";
        }
        check_disk(s, fate);
    }
}

}  // namespace

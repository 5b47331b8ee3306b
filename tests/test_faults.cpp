// Move and delete runs with one step of the file actions failing in turn
// (open for the times, read the times, the status queries behind the copy's
// name and the checks, the copy, opening the copy, setting its times, the
// removal, the identity query), each with a full disk, a denied access and a
// vanished file. After every run each original file's bytes are still in
// place or complete in the sinkhole, nothing partial is left there, the
// report says what happened to each file, and the run went on to its end.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tree.h"

namespace {

enum class Kind { Move, DeleteSaving, Delete };

const char* kind_name(Kind k)
{
    return k == Kind::Move ? "move" : k == Kind::DeleteSaving ? "delete and save" : "delete";
}

const char* op_name(FaultOp op)
{
    switch (op) {
    case FaultOp::OpenForRead: return "open for times";
    case FaultOp::GetFileTimes: return "read times";
    case FaultOp::Stat: return "status";
    case FaultOp::CopyFileNew: return "copy";
    case FaultOp::OpenForWrite: return "open copy";
    case FaultOp::SetFileTimes: return "set times";
    case FaultOp::DeleteFile: return "delete";
    case FaultOp::Identity: return "identity";
    default: return "?";
    }
}

// Every file's relative path and bytes; each file's bytes are its own.
using Files = std::map<std::string, std::string>;

Files make_tree(TestTree& t)
{
    struct {
        const char* rel;
        const char* bytes;
        int64_t mtime;
    } files[] = {{"a/notes.txt", "notes from a", 1000},  {"b/notes.txt", "notes from b, newest", 3000},
                 {"c/notes.txt", "notes from c", 2000},  {"a/Makefile", "all: a", 1000},
                 {"b/Makefile", "all: b (newest)", 2000}, {"c/unique.doc", "only one", 500}};
    Files f;
    for (const auto& e : files) {
        t.file(e.rel, e.bytes, e.mtime);
        f[e.rel] = e.bytes;
    }
    return f;
}

// The newest file of each name, the one a delete run keeps.
bool is_kept(const std::string& rel)
{
    return rel == "b/notes.txt" || rel == "b/Makefile";
}

// The contents of every file below `dir`, recursively.
void contents_below(const std::string& dir, std::vector<std::string>& out)
{
    std::error_code ec;
    namespace fs = std::filesystem;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            out.push_back(TestTree::read_path(it->path().string()));
}

// The file line of `path` in the report: the text in front of the path, or
// "?" when the path has no line.
std::string marker_of(const std::string& report, const std::string& path)
{
    size_t end = 0;
    while ((end = report.find(path + "\n", end)) != std::string::npos) {
        size_t start = report.rfind('\n', end);
        start = start == std::string::npos ? 0 : start + 1;
        std::string marker = report.substr(start, end - start);
        if (marker.empty() || marker.rfind("<< ", 0) == 0)
            return marker;
        end += path.size();
    }
    return "?";
}

void check_run(const TestTree& t, const Files& originals, ScanRun& run, Kind kind)
{
    std::vector<std::string> saved;
    for (const std::string& name : t.names("out"))
        if (name.find(".sinkhole") != std::string::npos)
            contents_below(t.path("out/" + name), saved);
    std::string report = run.report();
    int removed = 0;
    for (const auto& e : originals) {
        SCOPED_TRACE(e.first);
        bool in_place = t.exists(e.first);
        if (in_place) {
            EXPECT_EQ(t.read(e.first), e.second);
        }
        bool in_sinkhole = std::find(saved.begin(), saved.end(), e.second) != saved.end();
        if (kind != Kind::Delete || is_kept(e.first)) {
            EXPECT_TRUE(in_place || in_sinkhole) << "the file's bytes are lost";
        }
        if (kind != Kind::Move && is_kept(e.first)) {
            EXPECT_TRUE(in_place) << "the newest file was not kept";
        }
        if (e.first == "c/unique.doc")
            continue;
        std::string marker = marker_of(report, t.path(e.first));
        bool done = marker == "<< FILE MOVED >>" || marker == "<< FILE DELETED >>";
        EXPECT_EQ(done, !in_place) << "report says \"" << marker << "\"";
        removed += !in_place;
    }
    for (const std::string& bytes : saved) {
        bool whole = false;
        for (const auto& e : originals)
            whole = whole || e.second == bytes;
        EXPECT_TRUE(whole) << "a partial copy stays in the sinkhole: \"" << bytes << "\"";
    }
    EXPECT_EQ(run.st.numdeleted, removed);
    EXPECT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
    EXPECT_EQ(run.fb.end_requests(), 0);
}

// The report names the failure where one was injected into the actions.
void check_told(const std::string& report, FaultOp op, int err, Kind kind)
{
    if (op == FaultOp::DeleteFile) {
        EXPECT_NE(report.find("<< NOT DELETED - " + error_text(err) + " >>"), std::string::npos) << report;
    } else if (kind != Kind::Delete && op != FaultOp::Stat && op != FaultOp::Identity) {
        EXPECT_NE(report.find("<< COPY TO SINKHOLE FAILED: ERROR:   "), std::string::npos) << report;
    }
}

void run_with_faults(Kind kind)
{
    const FaultOp ops[] = {FaultOp::OpenForRead,  FaultOp::GetFileTimes,  FaultOp::Stat,
                           FaultOp::CopyFileNew,  FaultOp::OpenForWrite,  FaultOp::SetFileTimes,
                           FaultOp::DeleteFile,   FaultOp::Identity};
    const int errors[] = {ENOSPC, EACCES, ENOENT};
    for (FaultOp op : ops) {
        for (int err : errors) {
            for (int nth = 1; nth <= 4; ++nth) {
                SCOPED_TRACE(std::string(kind_name(kind)) + ", " + op_name(op) + " call " + std::to_string(nth) +
                             " fails: " + error_text(err));
                TestTree t;
                Files originals = make_tree(t);
                ScanRun run(t);
                if (kind == Kind::Move)
                    run.move();
                else
                    run.del(kind == Kind::DeleteSaving, false);
                for (const char* r : {"a", "b", "c"})
                    run.root(r);
                run.fp.fail(op, nth, err);
                run.scan();
                check_run(t, originals, run, kind);
                if (run.fp.failures() == 0)
                    break;   // fewer calls than that: later numbers change nothing
                check_told(run.report(), op, err, kind);
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}

TEST(Faults, EachStepOfAMoveFailingInTurnLosesNothing)
{
    run_with_faults(Kind::Move);
}

TEST(Faults, EachStepOfADeleteWithSavingFailingInTurnLosesNothing)
{
    run_with_faults(Kind::DeleteSaving);
}

TEST(Faults, EachStepOfADeleteFailingInTurnKeepsTheNewest)
{
    run_with_faults(Kind::Delete);
}

// A status query that wrongly says a copy name is free must not cost the
// copy already saved under that name.
TEST(Faults, TakenCopyNameIsNeverRemoved)
{
    for (int nth = 1; nth <= 12; ++nth) {
        SCOPED_TRACE("status call " + std::to_string(nth) + " fails");
        TestTree t;
        Files originals = make_tree(t);
        ScanRun run(t);
        run.move();
        for (const char* r : {"a", "b", "c"})
            run.root(r);
        run.fp.fail(FaultOp::Stat, nth, ENOENT);
        run.scan();
        check_run(t, originals, run, Kind::Move);
        if (::testing::Test::HasFailure())
            return;
    }
}

// A copy that comes out short is not taken for a saved file.
TEST(Faults, ShortCopyIsRemovedAndTheFileStays)
{
    TestTree t;
    Files originals = make_tree(t);
    ScanRun run(t);
    run.move();
    for (const char* r : {"a", "b", "c"})
        run.root(r);
    // Cut the first copy short right after it was made.
    run.fp.after(FaultOp::CopyFileNew, 1, [&] {
        for (const std::string& g : t.names("out/twinfiles000.sinkhole"))
            for (const std::string& c : t.names("out/twinfiles000.sinkhole/" + g))
                std::filesystem::resize_file(t.path("out/twinfiles000.sinkhole/" + g + "/" + c), 3);
    });
    run.scan();
    check_run(t, originals, run, Kind::Move);
    EXPECT_NE(run.report().find("in sinkhole is incomplete, NOT MOVED >>"), std::string::npos) << run.report();
}

}  // namespace

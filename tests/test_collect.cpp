// Collection and grouping over real trees: the ordering rule, grouping and
// numbering, files whose time cannot be read, the pattern and the counts,
// paths too long, an abort, and the indexed collection against an
// independent walk. Then what counts as one name (--unicode, --copies), and
// the scan state's small rules.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <list>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/collect.h"
#include "engine/group.h"
#include "engine/name_key.h"
#include "engine/status_reads.h"
#include "match/unicode.h"
#include "tests/support/stub_platform.h"
#include "tests/support/tree.h"

namespace {

using Names = std::vector<std::string>;

// Files given as "path:time" (time in seconds, 1 when not given).
void files(const TestTree& t, std::initializer_list<const char*> list)
{
    for (const char* f : list) {
        const char* time = std::strchr(f, ':');
        t.file(std::string(f, std::strcspn(f, ":")), "", time ? std::atoi(time + 1) : 1);
    }
}

// Collection only, on the test thread.
void collect(ScanRun& run, std::initializer_list<const char*> roots)
{
    for (const char* r : roots) run.root(r);
    collect_roots(run.st);
}

// Met in root order: a group's newest file leads, of equal times the one met
// last; a newcomer that is not newer goes directly behind the first. Groups
// (names equal but for letter case, by default) keep the order in which
// their names were first met; unique names go.
TEST(Collect, NewestFirstGroupsNumberedUniqueNamesDropped)
{
    TestTree t;
    files(t, {"a/x:5", "b/x:7", "b/y", "c/x:7", "c/z", "d/x:3", "d/sub/Y:2"});
    for (bool kinds : {false, true}) {
        ScanRun run(t, kinds);
        collect(run, {"a", "b", "c", "d"});
        EXPECT_EQ(run.files(), (Names{"c/x", "d/x", "b/x", "a/x", "d/sub/Y", "b/y", "c/z"})) << kinds;
        process_files(run.st);
        std::string groups;
        for (Node* n = FirstNode(&run.st.flist); n && n->next; n = n->next) {
            const Fnode* f = reinterpret_cast<Fnode*>(n);
            groups += run.relative(f->pathname) + " " + std::to_string(f->num) + ",";
        }
        EXPECT_EQ(groups, "c/x 0,d/x 1,b/x 2,a/x 3,d/sub/Y 0,b/y 1,");
        EXPECT_EQ(run.st.numdups, 2);
        EXPECT_EQ(run.fb.field(PF_PROCESS_COUNT), "2");
    }
}

// Ranked by a time nobody knows, such a file could lead its group, and a
// delete run would then keep it and refuse every older copy.
TEST(Collect, FileWhoseTimeCannotBeReadIsLeftOut)
{
    for (const bool newcomer : {true, false}) {  // the newcomer b/x, the first a/x
        TestTree t;
        files(t, {"a/x:100", "b/x:300", "c/x:200"});
        ScanRun run(t, true);
        run.fp.fail_path(FaultOp::Stat, t.path(newcomer ? "b/x" : "a/x"), EIO);
        collect(run, {"a", "b", "c"});
        EXPECT_EQ(run.files(), newcomer ? (Names{"c/x", "a/x"}) : (Names{"b/x", "c/x"}));
        EXPECT_EQ(run.fb.messages().size(), 1u);
        EXPECT_EQ(run.fb.last_message().text,
                  "WARNING: Can't get datestamp of file\n" + t.path(newcomer ? "b/x" : "a/x") + "\n");
        EXPECT_EQ(run.st.numfiles, 3);
    }
}

// Only files whose own names fit the pattern are collected, every regular
// file counted (hidden ones too); a root given with a trailing separator gets no second one,
// one that cannot be opened says nothing. A bad pattern stops the scan at
// the first file, before any report.
TEST(Collect, PatternFiltersByTheFilesOwnNameOrStopsTheScan)
{
    TestTree t;
    files(t, {"a/notes.txt", "a/txt/other.doc", "b/NOTES.TXT:2", "b/c.txt:2", "b/.profile"});
    t.dir("empty");
    ScanRun run(t);
    run.pattern("*.txt");
    run.root_path(t.path("a") + PATH_SEP);
    collect(run, {"b", "empty", "missing"});
    EXPECT_EQ(run.files(), (Names{"b/NOTES.TXT", "a/notes.txt", "b/c.txt"}));
    EXPECT_STREQ(reinterpret_cast<Fnode*>(FirstNode(&run.st.flist)->next)->fname, "notes.txt");
    EXPECT_EQ(std::make_pair(run.st.numfiles, run.st.numpats), std::make_pair(5, 3));
    EXPECT_EQ(run.fb.message_count(), 0u);
    ScanRun bad(t);
    bad.pattern("[abc");
    bad.root("empty");
    bad.root("a");
    bad.scan();
    EXPECT_EQ(bad.fb.last_message().text, "PATTERN ERROR: \"[\" without a later matching \"]\"\naborting...\n");
    EXPECT_EQ(bad.st.numfiles, 1);
    EXPECT_TRUE(FirstNode(&bad.st.flist) == nullptr && FirstNode(&bad.st.dlist) == nullptr && bad.st.filename.empty());
}

// A path longer than the buffer is skipped, never cut, with one warning for
// the whole scan.
TEST(Collect, PathsTooLongAreSkippedWithOneWarning)
{
    TestTree t;
    std::string far = "a";
    while (t.path(far).size() < size_t(PATH_BUF) + 300) far += "/" + std::string(200, 'n');
    t.dir(far);
    if (!t.reachable(far)) GTEST_SKIP() << "this system limits the path length";
    for (const std::string& f : {far + "/x", far + "/y", std::string("a/x"), std::string("b/x")})
        t.file(f, "", f.size());
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_EQ(run.files(), (Names{"b/x", "a/x"}));
    EXPECT_EQ(run.st.numfiles, 2);
    EXPECT_EQ(run.fb.messages().size(), 1u);
    EXPECT_EQ(*run.fb.last_message().msg1, "WARNING: Path too long, not scanned");
    EXPECT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
}

TEST(Collect, AbortDuringCollectionKeepsOnlyCompleteRecords)
{
    TestTree t;
    for (int i = 0; i < 20; ++i) t.file("a/s" + std::to_string(i / 7) + "/f" + std::to_string(i % 7), "", 100 + i);
    t.file("b/f1", "", 1);
    ScanRun run(t);
    run.fp.before(FaultOp::EntryStatus, 11, [&] { run.st.abort_flag = 1; });
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_EQ(run.st.hThread, nullptr);
    size_t records = 0;
    for (Node* n = FirstNode(&run.st.flist); n && n->next; n = n->next, ++records) EXPECT_EQ(n->next->prev, n);
    EXPECT_LE(records, 10u);
    EXPECT_TRUE(run.fb.field_texts(PF_PROCESS_LABEL).empty());          // no grouping, no report
    EXPECT_EQ(reinterpret_cast<Dnode*>(run.st.dlist.prev)->numfiles, 0);  // root b never reached
}

// ABORT while the pool reads statuses, slowly: no status is asked for once
// those under way are answered, and no group is formed. Freeing the
// records while statuses are still read waits for the reads to end.
TEST(Collect, AbortWhileStatusesAreReadStopsAtOnce)
{
    TestTree t;
    for (int i = 0; i < 400; ++i) t.file("r/d" + std::to_string(i / 10) + "/f" + std::to_string(i % 10), "", 100 + i);
    ScanRun run(t, true);
    run.fp.before(FaultOp::Stat, 30, [&] { run.st.abort_flag = 1; });
    run.fp.before(FaultOp::Stat, 1, [&] { system_platform().sleep_ms(2); }, -1);
    run.root("r");
    run.scan();
    EXPECT_LE(run.fp.calls(FaultOp::Stat), 30 + int(StatusReads::THREADS) - 1);
    EXPECT_TRUE(run.fb.field_texts(PF_PROCESS_LABEL).empty());
    for (Node* n = FirstNode(&run.st.flist); n && n->next; n = n->next) EXPECT_EQ(n->next->prev, n);

    ScanRun early(t, true);
    early.fp.before(FaultOp::Stat, 1, [&] { system_platform().sleep_ms(100); });
    early.root("r");
    get_names(early.st, t.path("r").c_str(), reinterpret_cast<Dnode*>(FirstNode(&early.st.dlist)));
    for (int i = 0; i < 10000 && early.fp.calls(FaultOp::Stat) == 0; ++i) system_platform().sleep_ms(1);
    cleanup(early.st);   // a status read into a record freed would be an error under the sanitizer
    EXPECT_GE(early.fp.calls(FaultOp::Stat), 1);
}

// The pool holds few directories open: beyond StatusReads::MAX_HELD, the
// files of a directory left are read by path, so that a wide tree never
// runs the walk out of descriptors. Counted while every read waits until
// the walk has opened the last directory.
TEST(Collect, DirectoriesHeldForStatusReadsAreFew)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory("/proc/self/fd", ec))
        GTEST_SKIP() << "open descriptors are not listed here";
    auto open_now = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    TestTree t;
    const int dirs = int(StatusReads::MAX_HELD) + 60;
    for (int d = 0; d < dirs; ++d) t.file("r/d" + std::to_string(d) + "/x", "", 1 + d);
    ScanRun run(t, true);
    const long before = open_now();
    long most = 0;
    Mutex m;
    run.fp.before(FaultOp::Stat, 1, [&] {
        for (int i = 0; i < 10000 && run.fp.calls(FaultOp::OpenDir) <= dirs; ++i) system_platform().sleep_ms(1);
        MutexLock hold(m);
        most = std::max(most, long(open_now()));
    }, -1);
    run.root("r");
    run.scan();
    EXPECT_EQ(run.st.numdups, 1);
    EXPECT_GT(most, before);
    EXPECT_LE(most, before + long(StatusReads::MAX_HELD) + 16);
}

struct Met {
    std::string path, name;
    std::filesystem::file_time_type time;
};

// The list rule read plainly over a list: walk from the head to the first
// equal name; a file at least as new goes in front of it, any other directly
// behind it; a new name goes to the end. Only a..z fold onto A..Z.
Names plain_order(const std::vector<Met>& met, int fold, bool newest_first)
{
    auto up = [fold](char c) { return fold && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    auto same = [&](const std::string& a, const std::string& b) {
        auto equal = [&](char x, char y) { return up(x) == up(y); };
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), equal);
    };
    std::list<const Met*> l;
    for (const Met& m : met) {
        auto it = std::find_if(l.begin(), l.end(), [&](const Met* e) { return same(e->name, m.name); });
        if (it != l.end() && !(newest_first && (*it)->time <= m.time)) ++it;  // behind it, unless it leads now
        l.insert(it, &m);
    }
    Names out;
    for (const Met* m : l) out.push_back(m->path);
    return out;
}

// Random trees, one with enough names to make the index grow, against a walk
// by the standard library; listings that tell the kinds of their entries or
// not, and the system's own.
TEST(Collect, IndexedCollectionMatchesAPlainWalkOfTheList)
{
    static const char* const stems[] = {"a", "A", "z", "Z", "readme", "README", "ReadMe",
                                        "x.txt", "X.TXT", "a@", "a`", "[", "{"};
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        TestTree t;
        for (int i = 0; i < (seed == 4 ? 1000 : 150); ++i) {
            std::string rel = "r" + std::to_string(rng() % 3);
            for (unsigned k = rng() % 4; k > 0; --k) rel += "/sub" + std::to_string(rng() % 3);
            std::string name = stems[rng() % 13];
            if (seed == 4 || rng() % 3 == 0) name += std::to_string(rng() % (seed == 4 ? 900 : 40));
            t.file(rel + "/" + name, "", 1000 + int64_t(rng() % 4));  // many equal times
        }
        std::vector<Met> met;
        for (const char* r : {"r0", "r1", "r2"}) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(t.path(r)))
                if (e.is_regular_file())
                    met.push_back(Met{e.path().string(), e.path().filename().string(), e.last_write_time()});
        }
        for (int fold = 0; fold <= 1; ++fold) {
            for (int dom = 0; dom <= 1; ++dom) {
                ScanRun run(t, (seed + unsigned(dom)) % 2 == 0);
                if (fold == dom) run.st.sys = &system_platform();
                run.st.i_flag = fold;
                run.st.dom_flag = static_cast<signed char>(dom);
                collect(run, {"r0", "r1", "r2"});
                Names got;
                for (Node* n = FirstNode(&run.st.flist); n && n->next; n = n->next)
                    got.push_back(reinterpret_cast<Fnode*>(n)->pathname);
                EXPECT_EQ(got, plain_order(met, fold, dom != 0)) << "seed " << seed << ", fold/newest: " << fold << dom;
            }
        }
    }
}

// A file listed twice is taken once, in a small group and in a large one,
// and so is a file of a directory a walk read.
TEST(Collect, AListedFileIsTakenOnce)
{
    for (int copies : {2, 40}) {
        TestTree t;
        std::string list;
        for (int i = 0; i < copies; ++i) {
            t.file("d" + std::to_string(i) + "/x", "", 1000 + i);
            list += t.path("d" + std::to_string(i) + "/x") + "\n";
        }
        t.file("r/x", "", 1);
        list += t.path("d0/x") + "\n" + t.path("r/x") + "\n";
        std::FILE* in = input_with(list);
        ScanRun run(t);
        run.root("r");
        run.st.extra.list = in;
        run.scan();
        std::fclose(in);
        EXPECT_EQ(run.files().size(), size_t(copies + 1));
        EXPECT_EQ(run.st.numlisted, copies);
    }
}

// Links below a root are followed only when asked, and every directory is
// walked once however many links lead to it: a file is never listed as an
// older copy of itself.
TEST(Collect, LinksFollowedOnlyWhenAskedAndEachDirectoryWalkedOnce)
{
    if (PATH_SEP != '/')
        GTEST_SKIP() << "directory links are not made here on Windows";
    for (bool follow : {false, true}) {
        TestTree t;
        t.file("r/a/x.txt", "older", 1000);
        t.file("r/b/x.txt", "newer", 2000);
        t.file("r/c/y.txt", "c", 3000);
        t.file("ext/sub/y.txt", "outside", 400);
        namespace fs = std::filesystem;
        fs::create_directory_symlink("../b", t.path("r/a/tob"));
        fs::create_directory_symlink("../a", t.path("r/b/toa"));
        fs::create_directory_symlink(".", t.path("r/a/self"));
        fs::create_directory_symlink("../../ext/sub", t.path("r/c/out"));
        for (bool kinds : {false, true}) {   // listings that tell links apart, and those that do not
            ScanRun run(t, kinds);
            run.st.follow_links = follow;
            run.root("r");
            run.scan();
            Names files = run.files();
            for (std::string& f : files)   // r/a and r/b may first be reached through the other's link
                f = f == "r/a/tob/x.txt" ? "r/b/x.txt" : f == "r/b/toa/x.txt" ? "r/a/x.txt" : f;
            std::sort(files.begin(), files.end());
            EXPECT_EQ(files, follow ? (Names{"r/a/x.txt", "r/b/x.txt", "r/c/out/y.txt", "r/c/y.txt"})
                                    : (Names{"r/a/x.txt", "r/b/x.txt"}));
            EXPECT_EQ(run.st.numunread, 0);
        }
    }
}

// ------------------------------------------------------------ one name

enum : unsigned { U = 1, C = 2, S = 4 };   // --unicode, --copies, -s (else case ignored)

#define NFD_CAFE "cafe\xCC\x81"
#define KELVIN "\xE2\x84\xAA"
const struct Pair {
    const char *a, *b;
    unsigned rules;
    bool one;
} pairs[] = {
    // Unicode: NFC, and full case folding when case is ignored; not NFKC
    {"\xC3\x9C" "bersicht.docx", "\xC3\xBC" "bersicht.docx", U, true},
    {"\xC3\x9C" "bersicht.docx", "\xC3\xBC" "bersicht.docx", 0, false},
    {"\xC3\x9C" "bersicht.docx", "\xC3\xBC" "bersicht.docx", U | S, false},
    {"STRASSE", "stra\xC3\x9F" "e", U, true}, {"stra\xC3\x9F" "e", "STRA\xE1\xBA\x9E" "E", U, true},
    {"STRASSE", "stra\xC3\x9F" "e", U | S, false},
    {"\xCE\xA3", "\xCF\x83", U, true}, {"\xCF\x83", "\xCF\x82", U, true}, {"\xCE\xA3", "\xCF\x82", U, true},
    {"\xC4\xB0", "I", U, false}, {"I", "\xC4\xB1", U, false}, {"\xC4\xB0", "\xC4\xB1", U, false}, {"i", "I", U, true},
    {NFD_CAFE ".txt", "CAF\xC3\x89.txt", U, true}, {NFD_CAFE ".txt", "caf\xC3\xA9.txt", U | S, true},
    {NFD_CAFE ".txt", "caf\xC3\xA9.txt", 0, false}, {NFD_CAFE ".txt", "CAF\xC3\x89.txt", U | S, false},
    {"kit.txt", KELVIN "IT.TXT", U, true}, {"Kit.txt", KELVIN "it.txt", U | S, true},
    {"\xE2\x91\xA0.txt", "1.txt", U, false},
    // names that are not UTF-8 compare as without --unicode
    {"caf\xE9.txt", "CAF\xE9.TXT", U, true}, {"caf\xE9.txt", "caf\xC9.txt", U, false},
    {"caf\xE9.txt", "caf\xC3\xA9.txt", U, false},
    // copy marks, with and without a number, right before the extension
    {"x (1).pdf", "x.pdf", C, true}, {"x (1).pdf", "x (2).pdf", C, true}, {"x(1).pdf", "x.pdf", C, true},
    {"x (1).pdf", "x.pdf", 0, false}, {"a (1) (2).txt", "a.txt", C, true}, {"x (1234).txt", "x.txt", C, true},
    {"x (12345).txt", "x.txt", C, false}, {"x ().txt", "x.txt", C, false},
    {"report - Copy.pdf", "report.pdf", C, true}, {"report - Copy (2).pdf", "report.pdf", C, true},
    {"report - Copy - Copy.pdf", "report.pdf", C, true}, {"report - Kopie.pdf", "report.pdf", C, true},
    {"report - Copie.pdf", "report - Copia.pdf", C, true}, {"report - C\xC3\xB3pia.pdf", "report.pdf", C, true},
    {"Copy of report.pdf", "report.pdf", C, true}, {"Copy (2) of report.pdf", "report.pdf", C, true},
    {"report copy.pdf", "report.pdf", C, true}, {"report copy 2.pdf", "report.pdf", C, true},
    {"report copy 12345.pdf", "report.pdf", C, false}, {"report - COPY.pdf", "report.pdf", C, true},
    {"report - COPY.pdf", "report.pdf", C | S, false}, {"copy of report.pdf", "report.pdf", C | S, false},
    // either reading of the extension; a name without one; a leading dot
    {"a (1).tar.gz", "a.tar.gz", C, true}, {"x copy.tar.gz", "x.tar.gz", C, true}, {".bashrc (1)", ".bashrc", C, true},
    {"notes (1)", "notes", C, true}, {"a (1).longext", "a.longext", C, false},
    // something must remain; a mark elsewhere is part of the name
    {"(1).txt", "(2).txt", C, false}, {"Copy of .txt", ".txt", C, false},
    {"my (1) notes.txt", "my notes.txt", C, false}, {"my Copy of report.pdf", "my report.pdf", C, false},
    {"report_v1.pdf", "report_v2.pdf", C, false},
    // both: the marks come off the Unicode form
    {"\xC3\x9C" "bersicht - Kopie.docx", "\xC3\xBC" "bersicht.docx", U | C, true},
    {"report - C\xC3\x93PIA.pdf", "report.pdf", U | C, true},
};

// Pairs that must and must not be one name, for each option and case rule.
// The same table runs on Linux and under Wine: both builds must agree. A
// plain ASCII name keys as itself, which must be its Unicode form.
TEST(Names, PairsThatAreOneNameAndPairsThatAreNot)
{
    for (const Pair& p : pairs) {
        NameRules r;
        r.i_flag = (p.rules & S) ? 0 : 1;
        r.unicode = (p.rules & U) != 0;
        r.copies = (p.rules & C) != 0;
        std::string ka, kb, form;
        EXPECT_EQ(same_name(name_key(p.a, r, &ka), name_key(p.b, r, &kb), r.i_flag), p.one)
            << "'" << p.a << "' and '" << p.b << "', rules " << p.rules;
        for (const char* n : {p.a, p.b}) {
            if (is_ascii(n) && !r.copies) {
                EXPECT_TRUE(unicode_form(n, r.i_flag, &form) && same_name(form.c_str(), n, r.i_flag)) << n;
            }
        }
    }
}

// A scan with --copies: the group is titled by its first (newest) file's
// name without marks, in the report and as the sinkhole's sub-directory;
// every file keeps its own name, its copy in the sinkhole too.
TEST(Names, CopiesGroupUnderTheTitleWithoutMarks)
{
    TestTree t;
    files(t, {"a/x (2).pdf:30", "b/x - Copy.pdf:10", "c/x (1).pdf:20", "c/y.pdf"});
    ScanRun run(t);
    run.move();
    run.st.extra.copies = true;
    run.roots({"a", "b", "c"});
    run.scan();
    std::string report = run.report();
    EXPECT_NE(report.find("\nCOPY MARKS IGNORED\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\nx.pdf\n=====\n<< FILE MOVED >>" + t.path("a/x (2).pdf")), std::string::npos) << report;
    EXPECT_EQ(t.names("out/twinfiles000.sinkhole/x.pdf"), (Names{"x (1)000.pdf", "x (2)000.pdf", "x - Copy000.pdf"}));
}

// With --unicode a whole scan groups the Unicode spellings of a name and
// matches the pattern, typed decomposed, against the composed names.
TEST(Names, UnicodeScanGroupsSpellingsAndMatchesTheComposedPattern)
{
    if (PATH_SEP == '\\')
        GTEST_SKIP() << "the test program reads names in the old code page on Windows (tests/release: utf8_names.sh)";
    TestTree t;
    files(t, {"a/\xC3\x9C" "bersicht.docx:2", "b/\xC3\xBC" "bersicht.docx", "a/" NFD_CAFE ".txt", "b/CAF\xC3\x89.txt:2",
              "b/cafe.txt"});
    ScanRun run(t);
    run.st.extra.unicode = true;
    run.pattern("*[(" NFD_CAFE ")(bersicht)]*");
    run.roots({"a", "b"});
    run.scan();
    std::string report = run.report();
    EXPECT_NE(report.find("\nNUMBER FOUND:   2\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\nUNICODE NAMES\n\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\n\xC3\x9C" "bersicht.docx\n="), std::string::npos) << report;
    EXPECT_NE(report.find("\nCAF\xC3\x89.txt\n=========\n"), std::string::npos) << report;
    EXPECT_EQ(run.st.numpats, 4);
}

// ------------------------------------------------------------ the scan state

// Protected directories: a plain prefix test in the order WINDIR,
// SYSTEMROOT, PROGRAMFILES. Bytes above 127 never fold. A box's lines: the
// first two end with a line feed, the whole is cut to its buffer.
TEST(State, ProtectedDirectoriesFoldingAndBoxTexts)
{
    StubPlatform sys;
    sys.env = {{"windir", "C:\\WINDOWS"}, {"SystemRoot", "C:\\WINDOWS"}};
    RecordingFeedback fb;
    ScanState st(sys, fb);
    EXPECT_EQ(is_protected(st, "C:\\WINDOWS\\X.DLL"), nullptr);
    read_protected_dirs(st);
    st.programfiles = "C:\\Program Files";
    EXPECT_STREQ(is_protected(st, "C:\\WINDOWSOLD\\X.DLL"), "WINDIR");
    EXPECT_EQ(is_protected(st, "c:\\windows\\x.dll"), nullptr);
    EXPECT_STREQ(is_protected(st, "C:\\Program Files\\a"), "PROGRAMFILES");
    st.windir.clear();
    EXPECT_STREQ(is_protected(st, "C:\\WINDOWS\\X.DLL"), "SYSTEMROOT");
    EXPECT_TRUE(same_name("\xC4.txt", "\xC4.TXT", 1) && !same_name("\xC4.txt", "\xE4.txt", 1));
    EXPECT_EQ(complain_text(nullptr, "", "c") + complain_text("%s", nullptr, nullptr), "\nc%s\n");
    EXPECT_EQ(complain_text("head", std::string(3000, 'x').c_str(), "tail").size(), 2047u);
}

}  // namespace

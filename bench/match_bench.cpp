// Matcher benchmark: the remembering matcher against the plain backtracking
// recursion, in the same run. For each case: handler entries of both, time
// per call of both, and the ratio plain / remembering (above 1: remembering
// is faster). Build: target match_bench; run: bench/match.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

#include "match/match.h"
#include "match/match_internal.h"

namespace {

struct Outcome {
    unsigned long long entries = 0;  // summed over the names
    int matches = 0;
    double seconds = 0;              // per pass over the names, best of three
};

Outcome run_pass(const char* pattern, const std::vector<std::string>& names, int flag, bool remember)
{
    Outcome o;
    for (const std::string& n : names) {
        MatchRun run;
        run.remember = remember;
        uint32_t code = 0;
        o.matches += match_run(n.c_str(), pattern, flag, nullptr, &code, &run);
        o.entries += run.entries;
    }
    return o;
}

// Processor seconds per pass (time spent waiting for a busy machine does
// not count): passes repeated for about 20 ms.
double time_batch(const char* pattern, const std::vector<std::string>& names, int flag, bool remember)
{
    long passes = 0;
    const std::clock_t start = std::clock();
    double elapsed = 0;
    do {
        run_pass(pattern, names, flag, remember);
        ++passes;
        elapsed = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    } while (elapsed < 0.02);
    return elapsed / static_cast<double>(passes);
}

// Best of ten batches each, the two ways taking turns (and turns at going
// first) so that a busy machine slows both alike.
void time_both(const char* pattern, const std::vector<std::string>& names, int flag, bool run_plain,
               Outcome* kept, Outcome* plain)
{
    kept->seconds = plain->seconds = 1e30;
    for (int round = 0; round < 10; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool remember = (round + turn) % 2 == 0;  // who goes first alternates
            if (!remember && !run_plain) continue;
            Outcome* o = remember ? kept : plain;
            o->seconds = std::min(o->seconds, time_batch(pattern, names, flag, remember));
        }
    }
}

void report(const char* label, const char* pattern, const std::vector<std::string>& names,
            int flag, bool run_plain)
{
    Outcome kept = run_pass(pattern, names, flag, true);
    Outcome plain;
    if (run_plain) plain = run_pass(pattern, names, flag, false);
    time_both(pattern, names, flag, run_plain, &kept, &plain);
    const double per_name = 1e6 / static_cast<double>(names.size());
    std::printf("%-22s %-24s remembering %9llu entries %9.3f us", label, pattern, kept.entries,
                kept.seconds * per_name);
    if (!run_plain) {
        std::printf("   plain: not run (too slow)\n");
        return;
    }
    std::printf("   plain %10llu entries %11.3f us   ratio %9.2f%s\n", plain.entries,
                plain.seconds * per_name, plain.seconds / kept.seconds,
                plain.matches == kept.matches ? "" : "   RESULTS DIFFER");
}

// Typical file names: about a third match each ordinary pattern.
std::vector<std::string> ordinary_names()
{
    const char* stems[] = {"report", "notes", "IMG_", "setup", "a", "readme", "report2026", "data"};
    const char* tails[] = {".txt", ".doc", ".TXT", ".jpg", ".txt.bak", ".c", "", ".docx"};
    std::vector<std::string> names;
    for (int k = 0; k < 2000; ++k) {
        std::string n = stems[k % 8];
        n += std::to_string(k % 97);
        n += tails[(k / 8) % 8];
        names.push_back(n);
    }
    return names;
}

}  // namespace

int main()
{
    std::printf("time per name; entries summed over the names\n\n");
    const std::vector<std::string> a40{std::string(40, 'a')}, a200{std::string(200, 'a')};
    report("worst, 40 a", "*a*a*b", a40, 0, true);
    report("worst, 40 a", "*a*a*a*b", a40, 0, true);
    report("worst, 40 a", "*a*a*a*a*a*a*b", a40, 0, true);
    report("worst, 200 a", "*a*a*a*b", a200, 0, true);
    report("worst, 200 a", "*a*a*a*a*a*a*a*a*a*b", a200, 0, false);
    report("group star, 40 a", "[(a*)]*a*a*b", a40, 0, true);
    report("sets, 40 a", "*[ab]*[ab]*[ab]*c", a40, 0, true);
    report("set chain, 20 a", "[a?][a?][a?][a?][a?][a?][a?][a?][a?][a?][a?][a?]b",
           {std::string(20, 'a')}, 0, true);
    std::printf("\n");
    const std::vector<std::string> names = ordinary_names();
    for (int flag = 0; flag <= 1; ++flag) {
        const char* label = flag ? "2000 names, no case" : "2000 names, case";
        report(label, "*.txt", names, flag, true);
        report(label, "*.[(txt)(doc)]", names, flag, true);
        report(label, "report??.*", names, flag, true);
    }
    return 0;
}

// Makes a tree of empty files for the benchmarks:
//
//   twinex-gen-tree DIR FILES [--long | --grouped | --backup] [--seed N]
//
// About 60% of the files have a name of their own; the others share their
// name with 1 to 49 more files (small groups are the most common). With
// --grouped it is the other way round, as in a folder of backups of
// backups: about 70% of the files share their name with others. With
// --backup, as on a backup drive, about 60% of the files share their name,
// and the directories are fewer and fuller: one per 50 files in all (2,000
// for 100k files), every one holding files. Otherwise files lie in one
// directory per 16 files, 3 to 8 levels below DIR, and the directories
// above them hold none. With --long, directory and file names are long and
// hold non-ASCII bytes (UTF-8 and single bytes of 0x80 to 0xFF). The same
// arguments always make the same tree.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

struct Rng {
    uint64_t s;
    uint64_t next()
    {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ull;
    }
    uint32_t below(uint32_t n) { return (uint32_t)((next() >> 11) % n); }
    double unit() { return (double)(next() >> 11) / (double)(1ull << 53); }
};

const char* const words[] = {
    "report", "photo", "invoice", "notes", "backup", "draft", "scan", "track", "letter", "data",
    "config", "readme", "index", "image", "budget", "thesis", "summary", "minutes", "song", "clip",
};
const char* const exts[] = {"txt", "jpg", "pdf", "doc", "mp3", "png", "csv", "xml", "html", "dat"};
const char* const dir_words[] = {
    "projects", "home", "archive", "src", "music", "pictures", "work", "old", "shared", "misc",
};
// Non-ASCII pieces for the long variant: UTF-8 and raw single bytes.
const char* const odd_pieces[] = {
    "\xc3\xa9t\xc3\xa9", "gr\xc3\xbc\xc3\x9f" "e", "\xe6\x97\xa5\xe6\x9c\xac", "caf\xe9", "na\xefve", "\xa7\xb6\xff",
};

template <size_t N>
const char* pick(Rng& r, const char* const (&list)[N])
{
    return list[r.below(N)];
}

std::string long_piece(Rng& r, size_t min_len)
{
    std::string s;
    while (s.size() < min_len) {
        if (!s.empty())
            s += r.below(2) ? "_" : " ";
        s += r.below(3) == 0 ? pick(r, odd_pieces) : pick(r, words);
    }
    return s;
}

std::string dir_component(Rng& r, bool long_names)
{
    std::string c = pick(r, dir_words);
    c += "_" + std::to_string(r.below(5));
    if (long_names)
        c += "_" + long_piece(r, 35 + r.below(30));
    return c;
}

std::string file_name(Rng& r, long serial, bool long_names)
{
    std::string n = pick(r, words);
    n += "_" + std::to_string(serial);
    if (long_names)
        n += "_" + long_piece(r, 20 + r.below(25));
    return n + "." + pick(r, exts);
}

// Directory paths below the root, made on disk with their parents: `count`
// of the deepest ones, or with `every`, `count` directories in all, each of
// which gets files.
bool make_dirs(Platform& sys, const std::string& root, long count, Rng& r, bool long_names, bool every,
               std::vector<std::string>* dirs)
{
    std::set<std::string> made;
    while ((long)dirs->size() < count) {
        int depth = 3 + (int)r.below(6);
        std::string path = root;
        bool fresh = false;
        for (int level = 0; level < depth && (long)dirs->size() < count; ++level) {
            path += PATH_SEP;
            path += dir_component(r, long_names);
            fresh = made.insert(path).second;
            if (fresh) {
                int err = sys.create_directory(path.c_str());
                if (err && err != EEXIST) {
                    std::fprintf(stderr, "can't create %s: %s\n", path.c_str(), error_text(err).c_str());
                    return false;
                }
                if (every)
                    dirs->push_back(path);
            }
        }
        if (fresh && !every)
            dirs->push_back(path);
    }
    return true;
}

// Group sizes: most names alone, the rest in groups of 2 to 50, small ones
// the most common (and none larger than the number of directories). Of 100
// names, `shared` have copies (5: about 40% of the files in groups; 10:
// about 60%; 15: about 70%).
std::vector<int> group_sizes(long files, int most, Rng& r, unsigned shared)
{
    std::vector<int> sizes;
    long left = files;
    while (left > 0) {
        int k = 1;
        if (r.below(100) >= 100 - shared) {
            double u = r.unit();
            k = 2 + (int)(48 * u * u * u);
        }
        if (k > most)
            k = most;
        if (k > left)
            k = (int)left;
        sizes.push_back(k);
        left -= k;
    }
    return sizes;
}

bool make_file(Platform& sys, const std::string& path, int* err)
{
    FILE* f = sys.create_new_file(path.c_str(), err);
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

bool make_files(Platform& sys, const std::vector<std::string>& dirs, const std::vector<int>& sizes, Rng& r,
                bool long_names)
{
    long serial = 0;
    for (int k : sizes) {
        std::string name = file_name(r, serial++, long_names);
        for (int copy = 0; copy < k;) {
            std::string path = dirs[r.below((uint32_t)dirs.size())] + PATH_SEP + name;
            int err = 0;
            if (make_file(sys, path, &err)) {
                ++copy;
            } else if (err != EEXIST) {   // EEXIST: that directory has one already, try another
                std::fprintf(stderr, "can't create %s: %s\n", path.c_str(), error_text(err).c_str());
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: twinex-gen-tree DIR FILES [--long | --grouped | --backup] [--seed N]\n");
        return 2;
    }
    std::string root = argv[1];
    long files = std::atol(argv[2]);
    bool long_names = false;
    unsigned shared = 5;
    long files_per_dir = 16;
    bool every_dir = false;
    uint64_t seed = 88172645463325252ull;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--long") == 0)
            long_names = true;
        else if (std::strcmp(argv[i], "--grouped") == 0)
            shared = 15;
        else if (std::strcmp(argv[i], "--backup") == 0)
            shared = 10, files_per_dir = 50, every_dir = true;
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
            seed += std::strtoull(argv[++i], nullptr, 10);
    }
    Platform& sys = system_platform();
    int err = sys.create_directory(root.c_str());
    if (err && err != EEXIST) {
        std::fprintf(stderr, "can't create %s: %s\n", root.c_str(), error_text(err).c_str());
        return 1;
    }
    Rng r{seed};
    std::vector<std::string> dirs;
    long dir_count = files / files_per_dir > 8 ? files / files_per_dir : 8;
    if (!make_dirs(sys, root, dir_count, r, long_names, every_dir, &dirs))
        return 1;
    std::vector<int> sizes = group_sizes(files, (int)dirs.size(), r, shared);
    if (!make_files(sys, dirs, sizes, r, long_names))
        return 1;
    std::printf("%ld files in %zu directories under %s\n", files, dirs.size(), root.c_str());
    return 0;
}

// Restoring a sinkhole from its manifest, one line at a time.
#include "report/restore.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "report/content.h"
#include "report/manifest.h"
#include "report/trash.h"

namespace {

// The manifest read line by line through the platform.
class LineReader {
public:
    LineReader(Platform& sys, FileHandle h) : sys_(sys), h_(h) {}
    ~LineReader() { sys_.close_handle(h_); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line without its end; false at the end or on an error (err()).
    bool next(std::string* line)
    {
        line->clear();
        for (;;) {
            if (pos_ == len_ && !fill())
                return !line->empty();
            char c = buf_[pos_++];
            if (c == '\n')
                return true;
            *line += c;
        }
    }
    int err() const { return err_; }

private:
    bool fill()
    {
        uint32_t got = 0;
        err_ = sys_.read_bytes(h_, buf_, sizeof buf_, &got);
        pos_ = 0;
        len_ = err_ ? 0 : got;
        return len_ > 0;
    }

    Platform& sys_;
    FileHandle h_;
    char buf_[1 << 14];
    uint32_t pos_ = 0, len_ = 0;
    int err_ = 0;
};

enum class Step { Restored, Back, Taken, Missing, Failed };

std::string parent_of(const std::string& path)
{
    size_t cut = path.find_last_of(PATH_SEP);
    return cut == std::string::npos || cut == 0 ? std::string() : path.substr(0, cut);
}

std::string name_of(const std::string& path)
{
    return path.substr(path.find_last_of(PATH_SEP) + 1);
}

// The steps of a relative path.
std::vector<std::string> steps_of(const std::string& rel)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t end = rel.find(PATH_SEP, start);
        out.push_back(rel.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return out;
        start = end + 1;
    }
}

// A copy's path must stay inside the sinkhole: no empty, "." or ".." step.
bool inside(const std::string& rel)
{
    for (const std::string& part : steps_of(rel))
        if (part.empty() || part == "." || part == "..")
            return false;
    return true;
}

// A directory held open, closed when it goes out of scope.
struct HeldDir {
    Platform& sys;
    DirHandle d = nullptr;
    FileId id;
    explicit HeldDir(Platform& s) : sys(s) {}
    ~HeldDir() { sys.close_dir(d); }
    HeldDir(const HeldDir&) = delete;
    HeldDir& operator=(const HeldDir&) = delete;

    // Steps down into `name`, never through a link; makes it first when
    // `make` and it is missing (its parent then brought to the disk).
    int down(const std::string& name, bool make)
    {
        int err = 0;
        FileId next_id;
        DirHandle next = sys.open_dir_at(d, name.c_str(), false, &next_id, &err);
        if (!next && err == ENOENT && make) {
            err = sys.make_dir_at(d, name.c_str());
            if (!err)
                err = sys.flush_dir(d);
            if (!err)
                next = sys.open_dir_at(d, name.c_str(), false, &next_id, &err);
        }
        sys.close_dir(d);
        d = next;
        id = next_id;
        return d ? 0 : err;
    }
};

// The recorded root that `dir` lies in or is, or null.
const std::string* root_above(const ManifestRun& run, const std::string& dir)
{
    for (const std::string& r : run.roots) {
        bool below = dir.compare(0, r.size(), r) == 0 &&
                     (dir.size() == r.size() || r.back() == PATH_SEP || dir[r.size()] == PATH_SEP);
        if (below)
            return &r;
    }
    return nullptr;
}

// Opens the directory the original lay in, making what is missing. Below a
// root the saving run recorded, unless it followed links, every directory
// is reached by its name in its parent and never through a link, so a link
// put in since cannot lead the restore elsewhere. Elsewhere (an older
// manifest, a file that lay under no root) the path is followed as it is.
int open_original_dir(Platform& sys, const ManifestRun& run, const std::string& dir, HeldDir* held)
{
    int err = 0;
    const std::string* root = root_above(run, dir);
    if (!root || run.links_followed) {
        err = make_directories(sys, dir);
        if (!err)
            held->d = sys.open_dir_path(dir.c_str(), &held->id, &err);
        return err;
    }
    std::string top = root->back() == PATH_SEP ? *root : *root + PATH_SEP;
    held->d = sys.open_dir_path(top.c_str(), &held->id, &err);
    if (!held->d || dir.size() <= top.size())
        return err;
    for (const std::string& name : steps_of(dir.substr(top.size())))
        if ((err = held->down(name, true)) != 0)
            return err;
    return 0;
}

// A copy in the sinkhole, held open in its directory.
struct HeldCopy {
    HeldDir dir;
    FileHandle h = nullptr;
    FileStatus st;
    std::string name;
    explicit HeldCopy(Platform& s) : dir(s) {}
    ~HeldCopy() { dir.sys.close_handle(h); }

    bool open(const std::string& sinkhole, const std::string& rel)
    {
        int err = 0;
        std::vector<std::string> steps = steps_of(rel);
        name = steps.back();
        steps.pop_back();
        dir.d = dir.sys.open_dir_path(sinkhole.c_str(), &dir.id, &err);
        for (const std::string& s : steps)
            if (!dir.d || dir.down(s, false) != 0)
                return false;
        h = dir.d ? dir.sys.open_file_at(dir.d, name.c_str(), false, &st, &err) : nullptr;
        return h != nullptr;
    }
};

// A place already holding the copy's bytes: the copy is a spare (a restore
// broken off before the copy left the sinkhole, or a file whose removal
// failed in the saving run), and leaves the sinkhole.
Step drop_spare(Platform& sys, HeldCopy& copy, FileHandle there, std::string* why)
{
    uint64_t n = 0;
    std::string ignored;
    if (compare_files(sys, copy.h, there, &n, &ignored) != Sameness::Equal)
        return Step::Taken;
    int err = sys.remove_file_at(copy.dir.d, copy.name.c_str(), copy.h);
    if (err) {
        *why = error_text(err);
        return Step::Failed;
    }
    return Step::Back;
}

// The copy made anew at its place, with its times and all its bytes, and
// on the disk; false with nothing of it left there.
bool copy_back(Platform& sys, HeldCopy& copy, HeldDir& to, const std::string& name, const ManifestEntry& e,
               std::string* why)
{
    FileHandle made = nullptr;
    int err = sys.copy_to_new(copy.dir.d, copy.name.c_str(), copy.h, to.d, name.c_str(), &made);
    if (err) {
        *why = error_text(err);
        return false;   // a target that existed is never removed: nothing was made
    }
    FileStatus placed;
    bool ok = sys.set_file_times(made, e.times) && sys.handle_status(made, &placed) && placed.size == e.size;
    if (!ok)
        *why = "CAN'T SET ITS TIMES OR INCOMPLETE";
    else if ((err = sys.flush_handle(made)) != 0 || (err = sys.flush_dir(to.d)) != 0)
        *why = error_text(err);
    if (!ok || err)
        sys.remove_file_at(to.d, name.c_str(), made);   // made exclusively above: ours
    sys.close_handle(made);
    return ok && !err;
}

// Puts the held copy at its free place: renamed there within one volume,
// else copied and on the disk before the sinkhole's copy goes.
Step put_back(Platform& sys, HeldCopy& copy, HeldDir& to, const std::string& name, const ManifestEntry& e,
              std::string* why)
{
    int err = sys.rename_at(copy.dir.d, copy.name.c_str(), copy.h, to.d, name.c_str());
    if (err == 0) {
        sys.flush_dir(to.d);   // renamed as a whole: either name holds it
        return Step::Restored;
    }
    if (err == EEXIST)
        return Step::Taken;
    if (err != EXDEV) {
        *why = error_text(err);
        return Step::Failed;
    }
    if (!copy_back(sys, copy, to, name, e, why))
        return Step::Failed;
    err = sys.remove_file_at(copy.dir.d, copy.name.c_str(), copy.h);
    if (err) {
        *why = "RESTORED, BUT THE COPY STAYS: " + error_text(err);
        return Step::Failed;
    }
    return Step::Restored;
}

Step restore_one(Platform& sys, const std::string& sinkhole, const ManifestRun& run, const ManifestEntry& e,
                 std::string* why)
{
    HeldCopy copy(sys);
    FileStatus os;
    if (!copy.open(sinkhole, e.copy))
        return sys.stat(e.original.c_str(), &os) ? Step::Back : Step::Missing;
    HeldDir to(sys);
    int err = open_original_dir(sys, run, parent_of(e.original), &to);
    if (err || !to.d) {
        *why = error_text(err ? err : ENOENT);
        return Step::Failed;
    }
    std::string name = name_of(e.original);
    FileStatus there_st;
    FileHandle there = sys.open_file_at(to.d, name.c_str(), false, &there_st, &err);
    if (there) {
        Step s = drop_spare(sys, copy, there, why);
        sys.close_handle(there);
        return s;
    }
    if (err != ENOENT)
        return Step::Taken;   // a link, a directory or a file that cannot be read
    return put_back(sys, copy, to, name, e, why);
}

// The sub-directories of the sinkhole that are empty go.
void remove_empty_groups(Platform& sys, const std::string& sinkhole)
{
    std::vector<std::string> names;
    if (std::unique_ptr<DirListing> d = sys.open_dir(sinkhole.c_str())) {
        while (const char* name = d->next())
            if (std::string(name) != "." && std::string(name) != "..")
                names.push_back(name);
    }
    for (const std::string& n : names)
        sys.remove_directory((sinkhole + PATH_SEP + n).c_str());   // fails on a non-empty one
}

void account(Step s, const ManifestEntry& e, const std::string& sinkhole, const std::string& why,
             const RestoreNote& note, RestoreResult* r)
{
    switch (s) {
    case Step::Restored: ++r->restored; return;
    case Step::Back: ++r->back; return;
    case Step::Taken: note("PLACE TAKEN, NOT RESTORED", e.original); break;
    case Step::Missing: note("COPY MISSING", sinkhole + PATH_SEP + e.copy); break;
    case Step::Failed: note("CAN'T RESTORE (" + why + ")", e.original); break;
    }
    ++r->problems;
}

// Every line of the open manifest `h`, which is closed at the end.
void restore_lines(Platform& sys, const std::string& sinkhole, const std::string& manifest, FileHandle h,
                   const RestoreNote& note, RestoreResult* r)
{
    LineReader in(sys, h);
    ManifestRun run;
    std::string line;
    long number = 0;
    bool copies = false;   // the lines before the copies are over
    while (in.next(&line)) {
        ManifestEntry e;
        std::string why;
        ++number;
        if (!copies && parse_manifest_head(line, &run))
            continue;
        copies = true;
        if (run.version == 0 || !parse_manifest_line(line, &e) || !inside(e.copy)) {
            note("BAD LINE " + std::to_string(number) + " IN THE MANIFEST", manifest);
            ++r->problems;
            continue;
        }
        account(restore_one(sys, sinkhole, run, e, &why), e, sinkhole, why, note, r);
    }
    if (in.err()) {
        note("CAN'T READ THE MANIFEST (" + error_text(in.err()) + ")", manifest);
        ++r->problems;
    }
}

}  // namespace

RestoreResult restore_sinkhole(Platform& sys, const std::string& given, const RestoreNote& note)
{
    RestoreResult r;
    std::string sinkhole = given;
    while (sinkhole.size() > 1 && sinkhole.back() == PATH_SEP)
        sinkhole.pop_back();
    std::string manifest = manifest_path(sinkhole);
    int err = 0;
    FileHandle h = sys.open_for_reading(manifest.c_str(), &err);
    if (!h) {
        r.no_manifest = err == ENOENT;
        if (!r.no_manifest) {
            note("CAN'T READ THE MANIFEST (" + error_text(err) + ")", manifest);
            ++r.problems;
        }
        return r;
    }
    restore_lines(sys, sinkhole, manifest, h, note, &r);   // the manifest is closed after it
    if (r.problems == 0) {
        remove_empty_groups(sys, sinkhole);
        int gone = sys.delete_file(manifest.c_str());
        if (gone) {
            note("EVERYTHING IS BACK, BUT THE MANIFEST STAYS (" + error_text(gone) + ")", manifest);
            ++r.problems;
        }
    }
    return r;
}

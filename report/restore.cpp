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

// A copy's path must stay inside the sinkhole: no empty, "." or ".." step.
bool inside(const std::string& rel)
{
    size_t start = 0;
    for (;;) {
        size_t end = rel.find(PATH_SEP, start);
        std::string part = rel.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

bool set_times(Platform& sys, const std::string& path, const FileTimes& t)
{
    int err = 0;
    FileHandle h = sys.open_for_times(path.c_str(), true, &err);
    if (!h)
        return false;
    bool ok = sys.set_file_times(h, t);
    sys.close_handle(h);
    return ok;
}

// A place already holding the copy's bytes: the copy is a spare (a restore
// broken off before the copy left the sinkhole, or a file whose removal
// failed in the saving run), and leaves the sinkhole.
Step drop_spare(Platform& sys, const std::string& copy, const ManifestEntry& e, std::string* why)
{
    uint64_t n = 0;
    std::string ignored;
    if (compare_files(sys, copy.c_str(), e.original.c_str(), &n, &ignored) != Sameness::Equal)
        return Step::Taken;
    int err = sys.delete_file(copy.c_str());
    if (err) {
        *why = error_text(err);
        return Step::Failed;
    }
    return Step::Back;
}

// The copy made at its place, with its times and all its bytes; false
// with nothing of it left there.
bool put_back(Platform& sys, const std::string& copy, const ManifestEntry& e, std::string* why)
{
    int err = make_directories(sys, parent_of(e.original));
    if (!err)
        err = sys.copy_file_new(copy.c_str(), e.original.c_str());
    if (err) {
        *why = error_text(err);
        return false;   // a target that existed is never removed: copy_file_new made nothing
    }
    FileStatus placed;
    bool ok = set_times(sys, e.original, e.times) && sys.stat(e.original.c_str(), &placed) &&
              placed.size == e.size;
    if (!ok) {
        sys.delete_file(e.original.c_str());   // made exclusively above: ours
        *why = "CAN'T SET ITS TIMES OR INCOMPLETE";
    }
    return ok;
}

Step restore_one(Platform& sys, const std::string& sinkhole, const ManifestEntry& e, std::string* why)
{
    std::string copy = sinkhole + PATH_SEP + e.copy;
    FileStatus cs, os;
    bool have_copy = sys.stat(copy.c_str(), &cs) && cs.is_file;
    bool taken = sys.stat(e.original.c_str(), &os);
    if (!have_copy)
        return taken ? Step::Back : Step::Missing;
    if (taken)
        return os.is_file ? drop_spare(sys, copy, e, why) : Step::Taken;
    if (!put_back(sys, copy, e, why))
        return Step::Failed;
    int err = sys.delete_file(copy.c_str());
    if (err) {
        *why = "RESTORED, BUT THE COPY STAYS: " + error_text(err);
        return Step::Failed;
    }
    return Step::Restored;
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
    std::string line;
    long number = 0;
    while (in.next(&line)) {
        ManifestEntry e;
        std::string why;
        if (++number == 1 && line == manifest_first_line)
            continue;
        if (number == 1 || !parse_manifest_line(line, &e) || !inside(e.copy)) {
            note("BAD LINE " + std::to_string(number) + " IN THE MANIFEST", manifest);
            ++r->problems;
            continue;
        }
        account(restore_one(sys, sinkhole, e, &why), e, sinkhole, why, note, r);
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

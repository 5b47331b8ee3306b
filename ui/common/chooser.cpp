#include "ui/common/chooser.h"

#include <cstring>
#include <string>

#include "ui/common/roots.h"

const char* const unreadable_mark = " <UNREADABLE>";
const char* const chosen_reference_mark = "[REF] ";

namespace {

const char* const caption = "twinex";

bool ends_with(const std::string& s, char ch) { return !s.empty() && s.back() == ch; }

// The directory the PATH box shows, without the unreadable mark.
std::string path_box(Chooser& c)
{
    size_t mark = strlen(unreadable_mark);
    std::string text = c.w.text(MC_PATH, CHOOSER_PATH + static_cast<int>(mark));
    if (!c.marked.empty() && text == c.marked)
        text.resize(text.size() - mark);
    return text.substr(0, CHOOSER_PATH);
}

// A root as CHOSEN_W shows it: its path, after the mark for a reference root.
std::string chosen_row(const Dnode* d)
{
    return std::string(d->reference ? chosen_reference_mark : "") + d->dname;
}

void set_path(Chooser& c, const std::string& text)
{
    c.marked.clear();
    c.w.set_text(MC_PATH, text.c_str());
}

// A directory that cannot be listed says so after its path, so that an
// empty list is never left without a word.
void mark_unreadable(Chooser& c, const std::string& dir)
{
    c.marked = dir + unreadable_mark;
    c.w.set_text(MC_PATH, c.marked.c_str());
}

// A listed entry that is a directory. The listing's own status comes first:
// it answers also for entries whose full path is too long for a status
// query by path.
bool listed_directory(Chooser& c, DirListing& dir, const std::string& full)
{
    FileStatus fs;
    if (dir.entry_status(full.c_str(), &fs))
        return fs.is_directory;
    return isdirectory(c.st, full.c_str()) != 0;
}

// "C:" plus the separator: the root of a drive.
std::string drive_root(char letter)
{
    std::string root(1, letter);
    root += ':';
    root += PATH_SEP;
    return root;
}

// The chooser holds paths of at most 260 characters; a longer one could not
// be shown whole in the PATH box nor read back from it, so it is refused.
bool fits_chooser(Chooser& c, const std::string& path, const char* refusal)
{
    if (path.size() <= static_cast<size_t>(CHOOSER_PATH))
        return true;
    c.st.ui->Complain(COMPLAIN_ERROR, caption, "PATH TOO LONG", path.c_str(), refusal);
    return false;
}

int fill_drives(Chooser& c)
{
    uint32_t mask = c.st.sys->logical_drives();
    for (int d = 0; d < 32; d++) {
        if (!(mask & (1u << d)))
            continue;
        std::string row = drive_row(*c.st.sys, static_cast<char>('A' + d));
        if (!c.w.list_append(MC_CHOOSE, row.c_str())) {
            std::string line = "Can't add " + row + " to CHOOSE_W";
            c.st.ui->Complain(COMPLAIN_ERROR, caption, "Initialization of controls failed.",
                              line.c_str(), "Maybe not enough memory.");
            return 0;
        }
    }
    set_path(c, "");
    return 1;
}

int fill_directory(Chooser& c)
{
    std::string shown = path_box(c);
    std::string path = shown;
    if (ends_with(path, ':'))
        path += PATH_SEP;
    std::unique_ptr<DirListing> dir = c.st.sys->open_dir(path.c_str());
    if (!dir) {
        mark_unreadable(c, shown);   // CHOOSE_W stays empty; PARENT or DRIVES lead on
        return 0;
    }
    if (c.w.text(MC_PATH, CHOOSER_PATH) != shown)
        set_path(c, shown);   // readable again: the mark goes
    if (!ends_with(path, PATH_SEP))
        path += PATH_SEP;
    while (const char* name = dir->next()) {
        if (!strcmp(name, ".") || !strcmp(name, ".."))
            continue;
        std::string full = path + name;
        if (!listed_directory(c, *dir, full))
            continue;
        if (!c.w.list_append(MC_CHOOSE, name)) {
            std::string line = "Can't add " + full + " to CHOOSE_W";
            c.st.ui->Complain(COMPLAIN_ERROR, caption, "Initialization of controls failed.",
                              line.c_str(), "Maybe not enough memory.");
            return 0;
        }
    }
    return 1;
}

}  // namespace

bool selected_path(Chooser& c, std::string* out, const char* refusal)
{
    std::string path;
    if (c.type == CHOOSE_DIRECTORY) {
        path = path_box(c);
        if (!ends_with(path, PATH_SEP))
            path += PATH_SEP;
    }
    std::string row;
    if (!GetSelectedItem(c, MC_CHOOSE, &row))
        return false;
    path += row;
    if (c.type == CHOOSE_DRIVES) {
        if (path.size() < 2 || path[1] != ':')
            return false;
        if (!drive_isavailable(c.st, drive_root(path[0]).c_str()))
            return false;
        path.resize(2);
    }
    if (!fits_chooser(c, path, refusal))
        return false;
    *out = path;
    return true;
}

const char* drive_kind_text(int kind)
{
    switch (kind) {
    case DRIVE_KIND_REMOVABLE: return "REMOVABLE DRIVE";
    case DRIVE_KIND_FIXED: return "FIXED DRIVE";
    case DRIVE_KIND_REMOTE: return "REMOTE DRIVE";
    case DRIVE_KIND_CDROM: return "CDROM DRIVE";
    case DRIVE_KIND_RAMDISK: return "RAMDISK";
    case DRIVE_KIND_NO_ROOT_DIR: return "DOES NOT EXIST!";
    default: return "UNKNOWN DRIVE TYPE";
    }
}

std::string drive_row(Platform& sys, char letter)
{
    std::string root = drive_root(letter);
    std::string row(1, letter);
    row += ":  [ ";
    row += drive_kind_text(sys.drive_type(root.c_str()));
    row += " ]";
    if (!sys.volume_available(root.c_str()))
        row += " <UNAVAILABLE>";
    return row;
}

int drive_isavailable(ScanState& st, const char* drive)
{
    return st.sys->volume_available(drive) ? 1 : 0;
}

int SetChooseData(Chooser& c)
{
    if (!c.w.list_clear(MC_CHOOSE)) {
        c.st.ui->Complain(COMPLAIN_ERROR, caption, "Can't clear CHOOSE_W listview window.", nullptr, nullptr);
        return 0;
    }
    return c.type == CHOOSE_DRIVES ? fill_drives(c) : fill_directory(c);
}

int GetSelectedItem(Chooser& c, int w_num, std::string* item)
{
    return c.w.list_selected(w_num, item) ? 1 : 0;
}

void HandleMouseClick(Chooser& c)
{
    std::string path = path_box(c);
    std::string row;
    if (!GetSelectedItem(c, MC_CHOOSE, &row) || row.empty())
        return;
    if (c.type == CHOOSE_DRIVES) {
        if (!drive_isavailable(c.st, drive_root(row[0]).c_str()))
            return;
        path = drive_root(row[0]);
        path.pop_back();
    } else {
        if (!ends_with(path, PATH_SEP))
            path += PATH_SEP;
        path += row;
        if (!fits_chooser(c, path, "Not opened."))
            return;
    }
    set_path(c, path);
    c.type = CHOOSE_DIRECTORY;
    SetChooseData(c);
}

void GetParentDirectory(Chooser& c)
{
    if (c.type != CHOOSE_DIRECTORY)
        return;
    std::string path = path_box(c);
    size_t cut = std::string::npos;
    for (size_t i = path.size(); i-- > 1;) {
        if (path[i] == PATH_SEP) {
            cut = i;
            break;
        }
    }
    if (cut != std::string::npos) {
        path.resize(cut);
    } else {
        c.type = CHOOSE_DRIVES;
        path.clear();
    }
    set_path(c, path);
    SetChooseData(c);
}

void SelectForOutput(Chooser& c, int w_num)
{
    std::string path;
    if (selected_path(c, &path, "Not chosen for output."))
        c.w.set_text(w_num, path.c_str());
}

void SelectForScan(Chooser& c)
{
    std::string path;
    if (!selected_path(c, &path, "Not added to chosen list."))
        return;
    switch (add_root_quiet(c.st, path.c_str())) {
    case ROOT_ADDED:
        if (!c.w.list_append(MC_CHOSEN, path.c_str()))
            c.st.ui->Complain(COMPLAIN_ERROR, caption, "Can't add to chosen list", path.c_str(),
                              "Maybe not enough memory.");
        break;
    case ROOT_ADDED_REPLACING:   // the roots below it are gone: shown first, then told
        RebuildChosenList(c);
        tell_roots_dropped(c.st, path.c_str());
        break;
    default:   // already chosen, or refused with its own message
        break;
    }
}

Dnode* selected_root(Chooser& c)
{
    std::string row;
    if (!GetSelectedItem(c, MC_CHOSEN, &row))
        return nullptr;
    for (Node* n = c.st.dlist.head; n && n->next; n = n->next) {
        Dnode* d = reinterpret_cast<Dnode*>(n);
        if (chosen_row(d) == row)
            return d;
    }
    return nullptr;
}

void DeleteItem(Chooser& c)
{
    Dnode* d = selected_root(c);
    if (!d)
        return;
    remove_root(c.st, d->dname);
    RebuildChosenList(c);
}

// The reference roots a marked root covers go; the list shows it before
// the box tells of them.
void SwitchReference(Chooser& c)
{
    Dnode* d = selected_root(c);
    bool dropped = false;
    if (!d || !switch_reference(c.st, d, &dropped))
        return;
    RebuildChosenList(c);
    if (dropped)
        tell_roots_dropped(c.st, d->dname);
}

int RebuildChosenList(Chooser& c)
{
    if (!c.w.list_clear(MC_CHOSEN)) {
        c.st.ui->Complain(COMPLAIN_ERROR, caption, "Can't clear CHOSEN listview window.", nullptr, nullptr);
        return 0;
    }
    for (Node* n = c.st.dlist.head; n && n->next; n = n->next) {
        const Dnode* d = reinterpret_cast<const Dnode*>(n);
        if (!c.w.list_append(MC_CHOSEN, chosen_row(d).c_str())) {
            std::string line = std::string("Can't add ") + d->dname + " to CHOSEN list";
            c.st.ui->Complain(COMPLAIN_ERROR, caption, line.c_str(), nullptr, "Maybe not enough memory.");
            return 0;
        }
    }
    return 1;
}

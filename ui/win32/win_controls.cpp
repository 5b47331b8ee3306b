#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "engine/state.h"
#include "ui/win32/win_window.h"

HWND hControl[MC_COUNT];
HWND tControl[PF_COUNT];

namespace {

struct ControlLayout {
    const char* cls;
    const char* caption;
    DWORD style;
    int x, y, width, height;
};

constexpr DWORD PUSH = BS_PUSHBUTTON | BS_CENTER | WS_TABSTOP;
constexpr DWORD CHECK = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD GROUP = BS_GROUPBOX;
constexpr DWORD LIST = LVS_REPORT | LVS_SINGLESEL | LVS_AUTOARRANGE;
constexpr DWORD EDIT = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD READONLY = EDIT | ES_READONLY;

// The main controls in index order (each group box before what it frames).
const ControlLayout main_layout[MC_COUNT] = {
    {"button", "SCAN", PUSH, 454, 465, 90, 39},
    {"button", "CANCEL", PUSH, 660, 465, 90, 39},
    {"button", "Help", PUSH, 557, 465, 90, 39},
    {"button", "List Options", GROUP, 8, 400, 170, 105},
    {"button", "[RETURN] + NLs", CHECK, 14, 425, 155, 20},
    {"button", "Case Insensitive", CHECK, 14, 450, 155, 20},
    {"button", "Datestamps", CHECK, 14, 475, 155, 20},
    {"button", "Actions while Scanning", GROUP, 180, 400, 270, 145},
    {"button", "MOVE TWINEX to SINKHOLE", CHECK, 186, 420, 258, 20},
    {"button", "DELETE Old Modified Files", CHECK, 186, 440, 258, 20},
    {"button", "REQUEST EACH DELETION", CHECK, 186, 460, 258, 20},
    {"button", "SAVE DELETED FILES", CHECK, 186, 480, 258, 20},
    {"button", "PARENT", PUSH, 640, 8, 110, 29},
    {"button", "DRIVES", PUSH, 640, 48, 110, 29},
    {"button", "REFRESH", PUSH, 640, 88, 110, 29},
    {"button", "SELECT", GROUP, 618, 240, 132, 130},
    {"button", "for SCAN", PUSH, 624, 265, 120, 39},
    {"button", "for OUTPUT", PUSH, 624, 320, 120, 39},
    {"SysListView32", "", LIST, 314, 8, 300, 360},
    {"SysListView32", "", LIST, 8, 8, 300, 360},
    {"edit", "", READONLY, 550, 400, 200, 20},
    {"edit", "", EDIT, 550, 425, 200, 20},
    {"edit", "", READONLY, 55, 374, 695, 20},
    {"static", "PATH", SS_LEFT, 8, 374, 45, 20},
    {"static", "OUTPUT", SS_RIGHT, 450, 400, 74, 20},
    {"button", "X", PUSH, 526, 400, 20, 20},
    {"static", "PATTERNS", SS_RIGHT, 450, 425, 90, 20},
    {"button", "to RECYCLE BIN", CHECK, 186, 500, 258, 20},
    {"button", "only IDENTICAL content", CHECK, 186, 520, 258, 20},
    {"static", "EXCLUDE", SS_RIGHT, 450, 515, 90, 20},
    {"edit", "", EDIT, 550, 515, 200, 20},
    {"button", "RESTORE", PUSH, 640, 200, 110, 29},
    {"button", "REFERENCE on/off", PUSH, 8, 512, 170, 29},
};

// The progress panel: two buttons, then label and value rows.
const ControlLayout panel_layout[PF_COUNT] = {
    {"button", "ABORT", PUSH, 560, 480, 90, 29},
    {"button", "QUIT", PUSH, 660, 480, 90, 29},
    {"static", "", SS_LEFT, 8, 20, 700, 20},
    {"static", "", SS_LEFT, 8, 60, 200, 20},
    {"static", "", SS_LEFT, 220, 60, 600, 20},
    {"static", "", SS_LEFT, 8, 80, 200, 20},
    {"static", "", SS_LEFT, 220, 80, 600, 20},
    {"static", "", SS_LEFT, 8, 100, 200, 20},
    {"static", "", SS_LEFT, 220, 100, 600, 20},
    {"static", "", SS_LEFT, 8, 120, 110, 20},
    {"static", "", SS_LEFT, 120, 120, 70, 20},
    {"static", "", SS_LEFT, 220, 120, 500, 20},
    {"static", "", SS_LEFT, 8, 140, 200, 20},
    {"static", "", SS_LEFT, 220, 140, 500, 20},
    {"static", "", SS_LEFT, 8, 160, 700, 20},
    {"static", "", SS_LEFT, 220, 160, 500, 20},
    {"static", "", SS_LEFT, 220, 200, 500, 20},
};

HWND create_control(HWND parent, const ControlLayout& s, int id)
{
    return CreateWindowExA(0, s.cls, s.caption, WS_CHILD | WS_VISIBLE | s.style, s.x, s.y, s.width, s.height,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hInstance, nullptr);
}

// Creates a set in index order; a failed control leaves null and creation
// goes on. Returns the index of the first missing control, or -1.
int create_set(HWND parent, const ControlLayout* layout, HWND* handles, int count, int id_base)
{
    for (int i = 0; i < count; i++)
        handles[i] = create_control(parent, layout[i], id_base + i);
    for (int i = 0; i < count; i++) {
        if (!handles[i])
            return i;
    }
    return -1;
}

void destroy_set(HWND* handles, int count)
{
    for (int i = 0; i < count; i++) {
        if (handles[i]) {
            DestroyWindow(handles[i]);
            handles[i] = nullptr;
        }
    }
}

// Stops the window with a "creation failed" message naming the index.
int creation_failed(HWND hwnd, bool main_set, int index)
{
    char line[PATH_BUF];
    if (main_set)
        snprintf(line, sizeof line, "Creation of main controls failed, hControl[%d]", index);
    else
        snprintf(line, sizeof line, "Creation of thread controls failed, tControl[%d]", index);
    MessageBoxComplain(COMPLAIN_ERROR, "twinex", line, "Maybe not enough memory.", "QUITTING");
    DestroyWindow(hwnd);
    return 0;
}

bool insert_column(HWND list, const char* caption)
{
    LVCOLUMNA col = {};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = 1024;
    col.pszText = const_cast<char*>(caption);
    col.iSubItem = 0;
    return SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&col)) != -1;
}

}  // namespace

int CreateMainControls(HWND hwnd)
{
    int missing = create_set(hwnd, main_layout, hControl, MC_COUNT, MAIN_ID_BASE);
    if (missing >= 0)
        return creation_failed(hwnd, true, missing);
    return SetHeaders();
}

void DestroyMainControls() { destroy_set(hControl, MC_COUNT); }

int SetHeaders()
{
    if (!insert_column(hControl[MC_CHOOSE], "                    CHOOSE (Drive or Directory)")) {
        MessageBoxComplain(COMPLAIN_ERROR, "twinex", "Initialization of controls failed. Insert column CHOOSE_W.",
                     "Maybe not enough memory.", nullptr);
        return 0;
    }
    if (!insert_column(hControl[MC_CHOSEN], "                    CHOSEN (Paths to be scanned)")) {
        MessageBoxComplain(COMPLAIN_ERROR, "twinex", "Initialization of controls failed. Insert column CHOSEN_W.",
                     "Maybe not enough memory.", nullptr);
        return 0;
    }
    return 1;
}

int CreateTControls(HWND hwnd)
{
    int missing = create_set(hwnd, panel_layout, tControl, PF_COUNT, PANEL_ID_BASE);
    if (missing >= 0)
        return creation_failed(hwnd, false, missing);
    return 1;
}

void DestroyTControls() { destroy_set(tControl, PF_COUNT); }

// --- Win32Controls ---------------------------------------------------------

std::string Win32Controls::text(int index, int max)
{
    std::vector<char> buf(static_cast<size_t>(max) + 1, '\0');
    GetWindowTextA(hControl[index], buf.data(), max + 1);
    return buf.data();
}

void Win32Controls::set_text(int index, const char* text) { SetWindowTextA(hControl[index], text); }

bool Win32Controls::checked(int index)
{
    return SendMessageA(hControl[index], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Controls::set_checked(int index, bool on)
{
    SendMessageA(hControl[index], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Controls::enable(int index, bool on) { EnableWindow(hControl[index], on ? TRUE : FALSE); }

bool Win32Controls::list_clear(int index)
{
    return SendMessageA(hControl[index], LVM_DELETEALLITEMS, 0, 0) != 0;
}

bool Win32Controls::list_append(int index, const char* text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageA(hControl[index], LVM_GETITEMCOUNT, 0, 0));
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(text);
    return SendMessageA(hControl[index], LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) != -1;
}

bool Win32Controls::list_selected(int index, std::string* text)
{
    LRESULT row = SendMessageA(hControl[index], LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0)
        return false;
    char buf[CHOOSER_PATH + 1] = "";
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(row);
    item.iSubItem = 0;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    if (!SendMessageA(hControl[index], LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return false;
    *text = item.pszText ? item.pszText : "";
    return true;
}

bool Win32Controls::create_main_controls() { return CreateMainControls(hwnd_) != 0; }

void Win32Controls::destroy_main_controls() { DestroyMainControls(); }

bool Win32Controls::create_panel()
{
    feedback_.discard();
    return CreateTControls(hwnd_) != 0;
}

void Win32Controls::destroy_panel()
{
    DestroyTControls();
    feedback_.discard();
}

void Win32Controls::set_panel_text(int index, const char* text)
{
    if (index >= 0 && index < PF_COUNT && tControl[index])
        SetWindowTextA(tControl[index], text);
}

void Win32Controls::close_window() { DestroyWindow(hwnd_); }

// Polls the thread and serves the window's messages in between, so the
// window repaints and the scan thread's last progress texts are shown. A
// quit message met meanwhile is posted again once the wait is over.
void Win32Controls::wait_thread(ThreadHandle h)
{
    bool quit = false;
    WPARAM quit_code = 0;
    while (!sys_.wait_thread(h, 20)) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quit_code = msg.wParam;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quit_code));
}

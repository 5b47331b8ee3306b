// twinex.exe: the entry point, the main window's class, creation and message
// routing. Every command goes to Commands; the window's Feedback carries the
// scan thread's texts and questions.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "engine/state.h"
#include "ui/common/commands.h"
#include "ui/win32/win_window.h"

char szAppName[7] = "twinex";
HWND MainWindow = nullptr;
HINSTANCE hInstance = nullptr;

namespace {

// The window module's one scan state and the pieces around it.
struct App {
    WindowFeedback feedback;
    ScanState st{system_platform(), feedback};
    Win32Controls controls{system_platform(), feedback};
    Commands commands{st, controls};
};

App* app = nullptr;

}  // namespace

int Register(HINSTANCE hInst);
HWND Create(HINSTANCE hInst, int nCmdShow);
LRESULT CALLBACK WndProc(HWND hwnd, UINT Message, WPARAM wParam, LPARAM lParam);

int TX_OnCreate(HWND hwnd, LPCREATESTRUCTA)
{
    InitCommonControls();
    app->controls.attach(hwnd);
    app->feedback.attach(hwnd);
    read_protected_dirs(app->st);
    return app->commands.CreateMainControls();
}

void TX_OnDestroy(HWND)
{
    app->commands.on_destroy();
    PostQuitMessage(0);
}

LRESULT TX_OnNotify(HWND hwnd, WPARAM idFrom, NMHDR* pnmhdr)
{
    if (pnmhdr && pnmhdr->code == static_cast<UINT>(LVN_ITEMCHANGED) && hControl[MC_CHOSEN] &&
        pnmhdr->hwndFrom == hControl[MC_CHOSEN])
        app->commands.on_select(MC_CHOSEN);
    if (pnmhdr && pnmhdr->code == static_cast<UINT>(NM_DBLCLK)) {
        if (hControl[MC_CHOOSE] && pnmhdr->hwndFrom == hControl[MC_CHOOSE])
            app->commands.on_double_click(MC_CHOOSE);
        else if (hControl[MC_CHOSEN] && pnmhdr->hwndFrom == hControl[MC_CHOSEN])
            app->commands.on_double_click(MC_CHOSEN);
    }
    return DefWindowProcA(hwnd, WM_NOTIFY, idFrom, reinterpret_cast<LPARAM>(pnmhdr));
}

void TX_OnCommand(HWND, int id, HWND, UINT) { app->commands.TX_OnCommand(id); }

void TX_OnParentNotify(HWND, UINT, HWND, int) {}

void TX_OnRButton(HWND, BOOL, int, int, UINT) {}

LRESULT CALLBACK WndProc(HWND hwnd, UINT Message, WPARAM wParam, LPARAM lParam)
{
    switch (Message) {
    case WM_CREATE:
        return TX_OnCreate(hwnd, reinterpret_cast<LPCREATESTRUCTA>(lParam)) ? 0 : -1;
    case WM_DESTROY:
        TX_OnDestroy(hwnd);
        return 0;
    case WM_NOTIFY:
        return TX_OnNotify(hwnd, wParam, reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        TX_OnCommand(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_RBUTTONDOWN:
        TX_OnRButton(hwnd, FALSE, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)),
                     static_cast<UINT>(wParam));
        return 0;
    case WM_PARENTNOTIFY:
        TX_OnParentNotify(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        // The close box is QUIT: a running scan is stopped and waited for
        // before the window goes.
        app->commands.request_end();
        return 0;
    case WM_TX_FIELDS:
        app->feedback.flush();
        return 0;
    case WM_TX_END:
        app->commands.request_end();
        return 0;
    default:
        return DefWindowProcA(hwnd, Message, wParam, lParam);
    }
}

namespace {

constexpr DWORD main_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

// Where the default size would cut the controls or the panel, the window
// grows to show the whole client area (with the controls' own margin at
// the right and bottom), and moves as far as needed to stay on the screen.
void fit_client_area(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const int need_w = CLIENT_RIGHT + CLIENT_MARGIN, need_h = CLIENT_BOTTOM + CLIENT_MARGIN;
    if (client.right >= need_w && client.bottom >= need_h)
        return;
    RECT frame = {0, 0, std::max<int>(client.right, need_w), std::max<int>(client.bottom, need_h)};
    AdjustWindowRectEx(&frame, main_style, FALSE, 0);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT at;
    GetWindowRect(hwnd, &at);
    int x = at.left, y = at.top;
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi)) {
        x = std::max<int>(mi.rcWork.left, std::min<int>(x, mi.rcWork.right - width));
        y = std::max<int>(mi.rcWork.top, std::min<int>(y, mi.rcWork.bottom - height));
    }
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int Register(HINSTANCE hInst)
{
    WNDCLASSEXA wex = {};
    wex.cbSize = sizeof wex;
    wex.style = CS_HREDRAW | CS_VREDRAW;
    wex.lpfnWndProc = WndProc;
    wex.cbClsExtra = 0;
    wex.cbWndExtra = 0;
    wex.hInstance = hInst;
    wex.hIcon = LoadIconA(hInst, "LARGE_ICON");
    wex.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wex.lpszMenuName = nullptr;
    wex.lpszClassName = szAppName;
    wex.hIconSm = LoadIconA(hInst, "SMALL_ICON");
    return RegisterClassExA(&wex);
}

HWND Create(HINSTANCE hInst, int nCmdShow)
{
    hInstance = hInst;
    HWND hwnd = CreateWindowExA(0, szAppName, szAppName, main_style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, hInst,
                                nullptr);
    if (!hwnd) {
        // A window torn down during its creation has posted the quit
        // message, which would close the box at once; the program ends
        // right after the box anyway.
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        app->feedback.Complain(COMPLAIN_NOTICE, "Create", "Can't create main window", nullptr, nullptr);
        return nullptr;
    }
    fit_client_area(hwnd);
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);
    return hwnd;
}

int WINAPI WinMain(HINSTANCE hInst, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
{
    static App the_app;
    app = &the_app;
    if (!hPrevInstance && !Register(hInst))
        return 0;
    SetMessageQueue(20);
    MainWindow = Create(hInst, nCmdShow);
    if (!MainWindow)
        return 0;
    MSG Msg = {};
    while (GetMessageA(&Msg, nullptr, 0, 0)) {
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
    return static_cast<int>(Msg.wParam);
}

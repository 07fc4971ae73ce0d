// A tiny window for the driver's self-test: a few controls whose reactions are visible from
// outside (texts, focus, exit codes, message boxes, a painted colour).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver_target_ids.h"

namespace {

HWND g_main;
HWND g_status;
HWND g_last_key;
int g_clicks;

// Keys are reported through the status label so the self-test can see what arrived, with which
// modifiers, at which control.
void ReportKey(const MSG& msg) {
    char buf[128];
    HWND focus = GetFocus();
    int focus_id = focus ? GetDlgCtrlID(focus) : 0;
    bool extended = (msg.lParam & (1L << 24)) != 0;
    std::snprintf(buf, sizeof buf, "key %s vk=%02X ext=%d mods=%s%s%s focus=%d",
                  msg.message == WM_SYSKEYDOWN ? "sys" : "down", static_cast<unsigned>(msg.wParam),
                  extended ? 1 : 0, (GetKeyState(VK_CONTROL) & 0x8000) ? "C" : "",
                  (GetKeyState(VK_SHIFT) & 0x8000) ? "S" : "",
                  (GetKeyState(VK_MENU) & 0x8000) ? "A" : "", focus_id);
    SetWindowTextA(g_last_key, buf);
}

void SetStatus(const char* text) {
    SetWindowTextA(g_status, text);
}

void ShowBox(HWND owner, const char* caption, UINT type, int from_id) {
    char text[300];
    char typed[200] = "";
    GetDlgItemTextA(g_main, kIdEditName, typed, sizeof typed);
    std::snprintf(text, sizeof text, "你好, %s", typed);
    int answer = MessageBoxA(owner, text, caption, type);
    char buf[64];
    std::snprintf(buf, sizeof buf, "box %d answered %d", from_id, answer);
    SetStatus(buf);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        int id = LOWORD(wp);
        if (HIWORD(wp) != BN_CLICKED && id != IDOK && id != IDCANCEL)
            return 0;
        switch (id) {
        case kIdButtonHello: {
            ++g_clicks;
            char buf[64];
            std::snprintf(buf, sizeof buf, "clicked %d", g_clicks);
            SetStatus(buf);
            return 0;
        }
        case kIdButtonOwnedBox:
            ShowBox(hwnd, "目标提示", MB_OK | MB_ICONINFORMATION, id);
            return 0;
        case kIdButtonUnownedBox:
            ShowBox(nullptr, "Unowned box", MB_YESNO | MB_ICONQUESTION, id);
            return 0;
        case kIdButtonQuit: {
            // Quits with the number typed in the code box, so any DWORD can be checked.
            char typed[32] = "";
            GetDlgItemTextA(hwnd, kIdEditCode, typed, sizeof typed);
            PostQuitMessage(static_cast<int>(std::strtoul(typed, nullptr, 10)));
            return 0;
        }
        case IDOK: {
            // Enter from the dialog navigation: tell which edit box it came from.
            HWND focus = GetFocus();
            char buf[64];
            std::snprintf(buf, sizeof buf, "enter in %d", focus ? GetDlgCtrlID(focus) : 0);
            SetStatus(buf);
            return 0;
        }
        case IDCANCEL:
            PostQuitMessage(kExitEscape);
            return 0;
        }
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT swatch = {kSwatchLeft, kSwatchTop, kSwatchLeft + kSwatchSize,
                       kSwatchTop + kSwatchSize};
        HBRUSH brush = CreateSolidBrush(kSwatchColour);
        FillRect(dc, &swatch, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE:
        // Alt+F4 and the close box end up here.
        PostQuitMessage(kExitClose);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND AddChild(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    HWND child = CreateWindowExA(std::strcmp(cls, "Edit") == 0 ? WS_EX_CLIENTEDGE : 0, cls, text,
                                 WS_CHILD | WS_VISIBLE | style, x, y, w, h, g_main,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return child;
}

} // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kTargetClass;
    RegisterClassA(&wc);

    RECT outer = {0, 0, kClientWidth, kClientHeight};
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&outer, style, FALSE);
    g_main =
        CreateWindowExA(0, kTargetClass, kTargetCaption, style, 100, 80, outer.right - outer.left,
                        outer.bottom - outer.top, nullptr, nullptr, inst, nullptr);

    // Tab order is creation order: name, code, hello, owned box, unowned box, quit.
    HWND first = AddChild("Edit", "", WS_TABSTOP | ES_AUTOHSCROLL, 10, 10, 200, 24, kIdEditName);
    AddChild("Edit", "", WS_TABSTOP | ES_AUTOHSCROLL, 10, 40, 200, 24, kIdEditCode);
    AddChild("Button", "Hello", WS_TABSTOP | BS_PUSHBUTTON, 10, 80, 90, 28, kIdButtonHello);
    AddChild("Button", "Owned box", WS_TABSTOP | BS_PUSHBUTTON, 110, 80, 90, 28, kIdButtonOwnedBox);
    AddChild("Button", "Unowned box", WS_TABSTOP | BS_PUSHBUTTON, 210, 80, 90, 28,
             kIdButtonUnownedBox);
    AddChild("Button", "Quit", WS_TABSTOP | BS_PUSHBUTTON, 310, 80, 60, 28, kIdButtonQuit);
    g_status = AddChild("Static", "就绪", SS_LEFT, 10, 116, 280, 20, kIdStatus);
    g_last_key = AddChild("Static", "", SS_LEFT, 10, 140, 280, 20, kIdLastKey);

    ShowWindow(g_main, show);
    UpdateWindow(g_main);
    SetFocus(first);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            if (msg.hwnd == g_main || IsChild(g_main, msg.hwnd))
                ReportKey(msg);
        }
        if (IsDialogMessageA(g_main, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

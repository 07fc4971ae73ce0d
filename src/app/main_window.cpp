#include "app/main_window.h"

#include "app/fatal_error.h"
#include "app/labels.h"
#include "app/lifecycle.h"
#include "app/probe.h"
#include "job/save_folder.h"
#include "job/start_request.h"
#include "partner/partner_status.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <atomic>

namespace app {
namespace {

constexpr const char* kMainWindowClass = "FennrowMainWindow";
constexpr int kWindowWidth = 348;
constexpr int kWindowHeight = 366;
constexpr UINT kTimerPeriodMs = 1500;
constexpr UINT kControlRequest = WM_APP + 10;
constexpr Colour kBlack = 0x00000000;

enum class Kind { Label, Timer, TransparentLabel, Button, EditBox, FileDialog };

struct Component {
    Control control;
    Kind kind;
    int left, top, width, height;
    const char* text;
    UINT alignment; // transparent labels: DT_LEFT, DT_CENTER or DT_RIGHT
    Colour colour;
};

constexpr const char kExplanation[] =
    "本程序需要配合CHK文件恢复专家使用，使用前请先下载CHK文件恢复专家。并且选择好需要恢复的文件类"
    "型。\r\n\r\n\r\n软件原理：读取CHK文件恢复专家的列表目录，然后根据输入的文件类型更改后缀，并且"
    "复"
    "制到保存目录。";

// The window's components in creation order.
constexpr Component kComponents[] = {
    {Control::标签1, Kind::Label, 207, 174, 128, 144, kExplanation, DT_LEFT, 0x00E03058},
    {Control::时钟1, Kind::Timer, 0, 0, 0, 0, nullptr, 0, 0},
    {Control::透明标签4, Kind::TransparentLabel, 40, 8, 272, 24, "CHK文件恢复专家未运行", DT_LEFT,
     0x000000FF},
    {Control::按钮3, Kind::Button, 248, 112, 56, 47, "打开目录", 0, 0},
    {Control::透明标签3, Kind::TransparentLabel, 7, 89, 256, 27, "恢复状态", DT_CENTER, 0x0080E000},
    {Control::透明标签2, Kind::TransparentLabel, 8, 112, 64, 48, "文件类型：", DT_RIGHT, kBlack},
    {Control::按钮2, Kind::Button, 248, 41, 56, 47, "更改", 0, 0},
    {Control::透明标签1, Kind::TransparentLabel, 8, 39, 64, 48, "保存目录：", DT_RIGHT, kBlack},
    {Control::编辑框1, Kind::EditBox, 72, 43, 160, 40, "D:\\CHK恢复\\", 0, 0},
    {Control::通用对话框1, Kind::FileDialog, 0, 0, 0, 0, nullptr, 0, 0},
    {Control::编辑框2, Kind::EditBox, 72, 119, 160, 40, "", 0, 0},
    {Control::按钮1, Kind::Button, 72, 174, 128, 160, "开始工作", 0, 0},
};

std::atomic<HWND> g_mainWindow{nullptr};
HWND g_lastFocus = nullptr;   // UI thread only
std::string g_dialogFileName; // UI thread only: the file dialog's file-name value

HWND ControlWindow(Control control) {
    HWND main = g_mainWindow.load();
    return main != nullptr ? GetDlgItem(main, ControlId(control)) : nullptr;
}

// ---- edit boxes: one line of text centred in the box's height --------------------------------

int LineHeight(HWND edit) {
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    return metrics.tmHeight;
}

// The bands above and below the text line belong to the frame: painted in the box's background.
void PaintEditBands(HWND edit) {
    RECT window, client;
    GetWindowRect(edit, &window);
    GetClientRect(edit, &client);
    MapWindowPoints(edit, nullptr, reinterpret_cast<POINT*>(&client), 2);
    OffsetRect(&client, -window.left, -window.top);
    int edge = GetSystemMetrics(SM_CXEDGE);
    RECT inner{edge, edge, window.right - window.left - edge, window.bottom - window.top - edge};
    HDC dc = GetWindowDC(edit);
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(edit), WM_CTLCOLOREDIT,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(edit)));
    if (brush == nullptr) {
        brush = GetSysColorBrush(COLOR_WINDOW);
    }
    RECT above{inner.left, inner.top, inner.right, client.top};
    RECT below{inner.left, client.bottom, inner.right, inner.bottom};
    RECT left{inner.left, client.top, client.left, client.bottom};
    RECT right{client.right, client.top, inner.right, client.bottom};
    for (const RECT& band : {above, below, left, right}) {
        if (band.right > band.left && band.bottom > band.top) {
            FillRect(dc, &band, brush);
        }
    }
    ReleaseDC(edit, dc);
}

// Key code as the key-down event reports it: keypad digits as main digits, keypad - . / as the
// main keys' codes.
int EventKeyCode(WPARAM virtualKey) {
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9) {
        return static_cast<int>('0' + (virtualKey - VK_NUMPAD0));
    }
    switch (virtualKey) {
    case VK_SUBTRACT:
        return 189;
    case VK_DECIMAL:
        return 190;
    case VK_DIVIDE:
        return 191;
    }
    return static_cast<int>(virtualKey);
}

int ModifierState() {
    return (GetKeyState(VK_CONTROL) < 0 ? 1 : 0) + (GetKeyState(VK_SHIFT) < 0 ? 2 : 0) +
           (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

LRESULT CALLBACK EditBoxProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR isFileTypeBox) {
    switch (message) {
    case WM_NCCALCSIZE: {
        LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
        RECT* client = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                              : reinterpret_cast<RECT*>(lParam);
        int spare = (client->bottom - client->top) - LineHeight(edit);
        if (spare > 0) {
            client->top += spare / 2;
            client->bottom = client->top + LineHeight(edit);
        }
        return result;
    }
    case WM_NCPAINT: {
        LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
        PaintEditBands(edit);
        return result;
    }
    case WM_SETFONT: {
        LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
        SetWindowPos(edit, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        return result;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // The key-down event runs before the box itself receives the key.
        if (isFileTypeBox) {
            job::FileTypeBoxKeyDown(EventKeyCode(wParam), ModifierState());
        }
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

// ---- creation ---------------------------------------------------------------------------------

HWND CreateComponent(HWND parent, const Component& component, HFONT font) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const char* className = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD extendedStyle = 0;
    switch (component.kind) {
    case Kind::Timer:
        SetTimer(parent, static_cast<UINT_PTR>(ControlId(component.control)), kTimerPeriodMs,
                 nullptr);
        return parent;
    case Kind::FileDialog:
        g_dialogFileName.clear();
        return parent;
    case Kind::Label:
        className = kOpaqueLabelClass;
        break;
    case Kind::TransparentLabel:
        className = kTransparentLabelClass;
        style |= TransparentLabelStyle(component.alignment);
        break;
    case Kind::Button:
        className = "Button";
        style |= WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
        break;
    case Kind::EditBox:
        className = "Edit";
        style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
        extendedStyle = WS_EX_CLIENTEDGE;
        break;
    }
    HWND window =
        CreateWindowExA(extendedStyle, className, component.text, style, component.left,
                        component.top, component.width, component.height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(component.control))),
                        instance, nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    if (component.kind == Kind::Label || component.kind == Kind::TransparentLabel) {
        SetLabelColour(window, component.colour);
    }
    if (component.kind == Kind::EditBox) {
        SetWindowSubclass(window, EditBoxProc, 1, component.control == Control::编辑框2);
    }
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Each new control goes to the top of the z-order: the Tab cycle is the reverse of the
    // creation order.
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return window;
}

// ---- control operations, carried out on the UI thread -----------------------------------------

enum class Operation { GetText, SetText, SetColour, ShowDialog, GetFileName };

struct ControlRequest {
    Operation operation = Operation::GetText;
    Control control = Control::标签1;
    const std::string* textIn = nullptr;
    Colour colour = 0;
    std::string textOut;
    bool result = false;
};

SaveDialogFunction g_saveDialog = GetSaveFileNameA;

ControlRequest Request(Operation operation, Control control) {
    ControlRequest request;
    request.operation = operation;
    request.control = control;
    return request;
}

bool RunSaveDialog() {
    char name[MAX_PATH] = {};
    lstrcpynA(name, g_dialogFileName.c_str(), MAX_PATH);
    OPENFILENAMEA settings{};
    settings.lStructSize = sizeof settings;
    settings.hwndOwner = g_mainWindow.load();
    settings.lpstrFile = name;
    settings.nMaxFile = MAX_PATH;
    settings.lpstrInitialDir = "D:\\";
    settings.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!g_saveDialog(&settings)) {
        return false;
    }
    g_dialogFileName = name;
    return true;
}

void Execute(ControlRequest& request) {
    HWND window = ControlWindow(request.control);
    switch (request.operation) {
    case Operation::GetText:
        request.textOut = window != nullptr ? ReadWindowText(window) : std::string();
        break;
    case Operation::SetText:
        if (window != nullptr) {
            SetWindowTextA(window, request.textIn->c_str());
            if (request.control != Control::编辑框1 && request.control != Control::编辑框2) {
                RepaintLabel(window);
            }
        }
        break;
    case Operation::SetColour:
        if (window != nullptr) {
            SetLabelColour(window, request.colour);
            RepaintLabel(window);
        }
        break;
    case Operation::ShowDialog:
        request.result = g_mainWindow.load() != nullptr && RunSaveDialog();
        break;
    case Operation::GetFileName:
        request.textOut = g_dialogFileName;
        break;
    }
}

void Perform(ControlRequest& request) {
    if (IsUiThread()) {
        Execute(request);
        return;
    }
    // A sent message: the UI thread serves it from any of its loops, modal ones included. Once
    // the window is gone the send fails at once and the request does nothing.
    HWND main = g_mainWindow.load();
    if (main != nullptr) {
        SendMessageA(main, kControlRequest, 0, reinterpret_cast<LPARAM>(&request));
    }
}

// ---- the window -------------------------------------------------------------------------------

void OnCommand(HWND, int id, HWND, UINT code) {
    if (code != BN_CLICKED) {
        return;
    }
    if (id == ControlId(Control::按钮1)) {
        job::StartRequest();
    } else if (id == ControlId(Control::按钮2)) {
        job::ChooseSaveFolder();
    } else if (id == ControlId(Control::按钮3)) {
        job::OpenSaveFolder();
    }
}

void RestoreFocus(HWND window) {
    HWND target = g_lastFocus != nullptr && IsChild(window, g_lastFocus)
                      ? g_lastFocus
                      : GetDlgItem(window, ControlId(Control::按钮1));
    SetFocus(target);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kControlRequest:
        Execute(*reinterpret_cast<ControlRequest*>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == static_cast<WPARAM>(ControlId(Control::时钟1))) {
            partner::RefreshPartnerStatus();
        }
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window, focus)) {
                g_lastFocus = focus;
            }
        } else {
            RestoreFocus(window);
        }
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(window);
        return 0;
    case WM_DESTROY:
        g_mainWindow.store(nullptr);
        KillTimer(window, static_cast<UINT_PTR>(ControlId(Control::时钟1)));
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    RegisterLabelClasses(instance);
    return RegisterClassA(&windowClass) != 0;
}

} // namespace

void ReplaceSaveDialogForTests(SaveDialogFunction function) {
    g_saveDialog = function;
}

bool CreateMainWindow() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!ProbeAllows("CreateMainWindow") || !RegisterMainWindowClass(instance)) {
        return false;
    }
    int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
    HWND window = CreateWindowExA(
        0, kMainWindowClass, "Fennrow",
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left, top,
        kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    RECT frame;
    GetWindowRect(window, &frame);
    if (frame.right - frame.left != kWindowWidth || frame.bottom - frame.top != kWindowHeight) {
        SetWindowPos(window, nullptr, left, top, kWindowWidth, kWindowHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    g_mainWindow.store(window);

    for (const Component& component : kComponents) {
        if (CreateComponent(window, component, font) == nullptr) {
            DestroyWindow(window);
            return false;
        }
    }
    for (const Component& component : kComponents) {
        if (HWND control = GetDlgItem(window, ControlId(component.control))) {
            ShowWindow(control, SW_SHOWNA);
        }
    }
    MainWindowCreated();
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    UpdateWindow(window);
    return true;
}

bool MainWindowExists() {
    return g_mainWindow.load() != nullptr;
}

bool TranslateMainWindowKeys(const MSG& message) {
    HWND main = g_mainWindow.load();
    if (main == nullptr || message.message != WM_KEYDOWN ||
        (message.hwnd != main && !IsChild(main, message.hwnd))) {
        return false;
    }
    bool control = GetKeyState(VK_CONTROL) < 0;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    if (message.wParam == VK_TAB && !control) {
        if (HWND next = GetNextDlgTabItem(main, GetFocus(), shift)) {
            SetFocus(next);
        }
        return true;
    }
    if (message.wParam == VK_ESCAPE && !control && !shift) {
        // The same as the close button.
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    return false;
}

std::string GetControlText(Control control) {
    ControlRequest request = Request(Operation::GetText, control);
    Perform(request);
    return request.textOut;
}

void SetControlText(Control control, const std::string& text) {
    ControlRequest request = Request(Operation::SetText, control);
    request.textIn = &text;
    Perform(request);
}

void SetControlTextColour(Control control, Colour colour) {
    ControlRequest request = Request(Operation::SetColour, control);
    request.colour = colour;
    Perform(request);
}

bool ShowFileDialog(Control control) {
    ControlRequest request = Request(Operation::ShowDialog, control);
    Perform(request);
    return request.result;
}

std::string GetDialogFileName(Control control) {
    ControlRequest request = Request(Operation::GetFileName, control);
    Perform(request);
    return request.textOut;
}

} // namespace app

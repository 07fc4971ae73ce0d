#include "e2e_driver.h"

#include <cstdio>
#include <cstring>

namespace e2e {
namespace {

// Cross-process messages must never block the test if the other side hangs.
constexpr UINT kSendTimeoutMs = 2000;

bool Matches(std::string_view want, const std::string& have) {
    return want.empty() || want == have;
}

std::string WindowCaption(HWND hwnd) {
    // GetWindowTextA asks another process's window for its stored text without sending.
    char buf[512] = "";
    int n = GetWindowTextA(hwnd, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

bool SendInputs(std::vector<INPUT>& inputs) {
    if (inputs.empty())
        return true;
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return sent == inputs.size();
}

INPUT KeyInput(WORD vk, bool up, bool extended) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

void AddKeyPress(std::vector<INPUT>* inputs, WORD vk, unsigned modifiers, bool extended) {
    if (modifiers & kCtrl)
        inputs->push_back(KeyInput(VK_CONTROL, false, false));
    if (modifiers & kShift)
        inputs->push_back(KeyInput(VK_SHIFT, false, false));
    if (modifiers & kAlt)
        inputs->push_back(KeyInput(VK_MENU, false, false));
    inputs->push_back(KeyInput(vk, false, extended));
    inputs->push_back(KeyInput(vk, true, extended));
    if (modifiers & kAlt)
        inputs->push_back(KeyInput(VK_MENU, true, false));
    if (modifiers & kShift)
        inputs->push_back(KeyInput(VK_SHIFT, true, false));
    if (modifiers & kCtrl)
        inputs->push_back(KeyInput(VK_CONTROL, true, false));
}

LPARAM KeyLParam(WORD vk, bool up, bool alt, bool extended) {
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    LPARAM lp = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
    if (extended)
        lp |= 1L << 24;
    if (alt)
        lp |= 1L << 29;
    if (up)
        lp |= (1L << 30) | (1L << 31);
    return lp;
}

HWND TopLevel(HWND hwnd) {
    HWND root = GetAncestor(hwnd, GA_ROOT);
    return root ? root : hwnd;
}

// Runs fn while our input state is joined with the window's thread, so SetFocus and friends
// may act on it.
template <class Fn> bool WithAttachedInput(HWND hwnd, Fn fn) {
    DWORD theirs = GetWindowThreadProcessId(hwnd, nullptr);
    DWORD ours = GetCurrentThreadId();
    bool attached = theirs != ours && AttachThreadInput(ours, theirs, TRUE);
    bool ok = fn();
    if (attached)
        AttachThreadInput(ours, theirs, FALSE);
    return ok;
}

bool WriteBmp(HDC src, const RECT& r, const std::wstring& path) {
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC mem = CreateCompatibleDC(src);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h; // bottom-up, as BMP files store it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        DeleteDC(mem);
        return false;
    }
    HGDIOBJ old = SelectObject(mem, bmp);
    bool ok = BitBlt(mem, 0, 0, w, h, src, r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
    if (ok) {
        DWORD row = static_cast<DWORD>((w * 3 + 3) & ~3);
        DWORD image = row * static_cast<DWORD>(h);
        BITMAPFILEHEADER fh = {};
        fh.bfType = 0x4D42; // "BM"
        fh.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        fh.bfSize = fh.bfOffBits + image;
        bi.bmiHeader.biSizeImage = image;
        FILE* f = _wfopen(path.c_str(), L"wb");
        ok = f != nullptr;
        if (f) {
            ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
                 std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                 std::fwrite(bits, 1, image, f) == image;
            ok = std::fclose(f) == 0 && ok;
        }
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    return ok;
}

struct TopWindowsCtx {
    DWORD pid;
    std::vector<HWND> found;
};

// Enumeration callbacks are named functions: the 32-bit build needs them stdcall.
BOOL CALLBACK CollectTopWindow(HWND hwnd, LPARAM lp) {
    auto* c = reinterpret_cast<TopWindowsCtx*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == c->pid && IsWindowVisible(hwnd))
        c->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectBoxPart(HWND child, LPARAM lp) {
    auto* info = reinterpret_cast<MessageBoxInfo*>(lp);
    std::string cls = ClassName(child);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (!(style & WS_VISIBLE))
        return TRUE;
    if (cls == "Button") {
        info->buttons.push_back({GetDlgCtrlID(child), Text(child)});
    } else if (cls == "Static" && (style & SS_TYPEMASK) != SS_ICON) {
        std::string t = Text(child);
        if (!t.empty()) {
            if (!info->text.empty())
                info->text += '\n';
            info->text += t;
        }
    }
    return TRUE;
}

} // namespace

// ---- processes ------------------------------------------------------------------------------

bool Launch(const std::wstring& exe, const std::wstring& args, const std::wstring& work_dir,
            Process* out, DWORD idle_timeout_ms) {
    *out = Process{};
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty())
        cmd += L" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        work_dir.empty() ? nullptr : work_dir.c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    out->handle = pi.hProcess;
    out->pid = pi.dwProcessId;
    out->main_thread_id = pi.dwThreadId;
    // Not fatal when it times out: a console or busy program is never idle.
    WaitForInputIdle(pi.hProcess, idle_timeout_ms);
    return true;
}

bool WaitExit(const Process& p, DWORD timeout_ms, DWORD* exit_code) {
    if (!p.handle || WaitForSingleObject(p.handle, timeout_ms) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    if (!GetExitCodeProcess(p.handle, &code))
        return false;
    if (exit_code)
        *exit_code = code;
    return true;
}

bool IsRunning(const Process& p) {
    return p.handle && WaitForSingleObject(p.handle, 0) == WAIT_TIMEOUT;
}

void Kill(const Process& p, DWORD exit_code) {
    if (!IsRunning(p))
        return;
    TerminateProcess(p.handle, exit_code);
    WaitForSingleObject(p.handle, 5000);
}

void Release(Process* p) {
    if (!p->handle)
        return;
    Kill(*p);
    CloseHandle(p->handle);
    *p = Process{};
}

std::wstring ExeDir() {
    wchar_t buf[MAX_PATH] = L"";
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring path(buf, n);
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// ---- waiting --------------------------------------------------------------------------------

bool WaitUntil(const std::function<bool()>& pred, DWORD timeout_ms, DWORD interval_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(interval_ms);
    }
}

// ---- finding windows ------------------------------------------------------------------------

std::vector<HWND> TopWindows(DWORD pid) {
    TopWindowsCtx ctx{pid, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND FindTopWindow(DWORD pid, std::string_view cls, std::string_view caption, DWORD timeout_ms) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopWindows(pid)) {
                if (Matches(cls, ClassName(hwnd)) && Matches(caption, WindowCaption(hwnd))) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        timeout_ms);
    return found;
}

HWND FindMessageBox(DWORD pid, std::string_view caption, DWORD timeout_ms) {
    return FindTopWindow(pid, "#32770", caption, timeout_ms);
}

bool WaitGone(HWND hwnd, DWORD timeout_ms) {
    return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, timeout_ms);
}

// ---- reading and writing controls -----------------------------------------------------------

HWND Child(HWND parent, int control_id) {
    return GetDlgItem(parent, control_id);
}

int ControlId(HWND hwnd) {
    return hwnd ? GetDlgCtrlID(hwnd) : 0;
}

std::string Text(HWND hwnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len))
        return {};
    // The length in bytes may be overstated, never understated; leave room for the terminator.
    std::string buf(static_cast<size_t>(len) + 2, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return {};
    buf.resize(std::strlen(buf.c_str()));
    return buf;
}

std::wstring TextW(HWND hwnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len))
        return {};
    std::wstring buf(static_cast<size_t>(len) + 2, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return {};
    buf.resize(wcslen(buf.c_str()));
    return buf;
}

bool SetText(HWND hwnd, std::string_view text) {
    std::string copy(text);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
           result != 0;
}

std::string ClassName(HWND hwnd) {
    char buf[256] = "";
    int n = GetClassNameA(hwnd, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

RECT WindowRect(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT ClientRect(HWND hwnd) {
    RECT r = {};
    GetClientRect(hwnd, &r);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

POINT Centre(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool IsEnabled(HWND hwnd) {
    return IsWindowEnabled(hwnd) != 0;
}

bool IsShown(HWND hwnd) {
    return IsWindowVisible(hwnd) != 0;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.caption = WindowCaption(box);
    EnumChildWindows(box, CollectBoxPart, reinterpret_cast<LPARAM>(&info));
    return info;
}

// ---- focus ----------------------------------------------------------------------------------

HWND FocusedWindow(HWND any_window_of_thread) {
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    DWORD tid = GetWindowThreadProcessId(any_window_of_thread, nullptr);
    if (!tid || !GetGUIThreadInfo(tid, &gti))
        return nullptr;
    return gti.hwndFocus;
}

int FocusedControlId(HWND any_window_of_thread) {
    return ControlId(FocusedWindow(any_window_of_thread));
}

// Returns once the window's thread has handled what was sent to it before (activation, raising).
static void SyncWithThread(HWND hwnd) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
}

static bool OwnedBy(HWND hwnd, HWND owner) {
    for (HWND o = GetWindow(hwnd, GW_OWNER); o; o = GetWindow(o, GW_OWNER)) {
        if (o == owner)
            return true;
    }
    return false;
}

// True when nothing but the window's own boxes lies above it.
static bool OnTop(HWND top) {
    for (HWND z = GetTopWindow(nullptr); z; z = GetWindow(z, GW_HWNDNEXT)) {
        if (z == top)
            return true;
        if (IsWindowVisible(z) && !OwnedBy(z, top))
            return false;
    }
    return false;
}

bool BringToForeground(HWND hwnd, DWORD timeout_ms) {
    HWND top = TopLevel(hwnd);
    if (GetForegroundWindow() == top && OnTop(top))
        return true;
    SetForegroundWindow(top);
    // The foreground changes at once; the window is raised when its own thread gets to it, and
    // a click sent before that may land on whatever was on top.
    bool raised = WaitUntil(
        [&] {
            SyncWithThread(top);
            return GetForegroundWindow() == top && OnTop(top);
        },
        timeout_ms / 2);
    if (raised)
        return true;
    // Some systems refuse the foreground to a process without input: join its input first.
    WithAttachedInput(top, [&] {
        BringWindowToTop(top);
        SetForegroundWindow(top);
        return true;
    });
    return WaitUntil(
        [&] {
            SyncWithThread(top);
            return GetForegroundWindow() == top;
        },
        timeout_ms / 2);
}

bool FocusControl(HWND control, DWORD timeout_ms) {
    if (!BringToForeground(control, timeout_ms))
        return false;
    WithAttachedInput(control, [&] { return SetFocus(control) != nullptr; });
    return WaitUntil([&] { return FocusedWindow(control) == control; }, timeout_ms);
}

// ---- mouse ----------------------------------------------------------------------------------

bool ClickAt(POINT screen) {
    if (!SetCursorPos(screen.x, screen.y))
        return false;
    // Absolute coordinates are 0..65535 over the primary screen.
    int w = GetSystemMetrics(SM_CXSCREEN);
    int h = GetSystemMetrics(SM_CYSCREEN);
    std::vector<INPUT> inputs(3);
    for (INPUT& in : inputs) {
        in.type = INPUT_MOUSE;
        in.mi.dx = static_cast<LONG>((screen.x * 65535LL + w / 2) / (w > 1 ? w - 1 : 1));
        in.mi.dy = static_cast<LONG>((screen.y * 65535LL + h / 2) / (h > 1 ? h - 1 : 1));
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return SendInputs(inputs);
}

bool Click(HWND control) {
    if (!IsWindow(control))
        return false;
    BringToForeground(control);
    return ClickAt(Centre(WindowRect(control)));
}

bool ClickMessage(HWND button) {
    return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

// ---- keyboard -------------------------------------------------------------------------------

bool PressKey(WORD vk, unsigned modifiers, bool extended) {
    std::vector<INPUT> inputs;
    AddKeyPress(&inputs, vk, modifiers, extended);
    return SendInputs(inputs);
}

bool TypeText(std::string_view ascii) {
    std::vector<INPUT> inputs;
    for (char ch : ascii) {
        SHORT scan = VkKeyScanA(ch);
        if (scan == -1)
            return false;
        unsigned mods = kNone;
        if (scan & 0x100)
            mods |= kShift;
        if (scan & 0x200)
            mods |= kCtrl;
        if (scan & 0x400)
            mods |= kAlt;
        AddKeyPress(&inputs, static_cast<WORD>(scan & 0xFF), mods, false);
    }
    return SendInputs(inputs);
}

bool PostKey(HWND target, WORD vk, unsigned modifiers, bool extended) {
    bool alt = (modifiers & kAlt) != 0;
    UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
    return PostMessageA(target, down, vk, KeyLParam(vk, false, alt, extended)) &&
           PostMessageA(target, up, vk, KeyLParam(vk, true, alt, extended));
}

bool PostText(HWND target, std::string_view text) {
    for (char ch : text) {
        if (!PostMessageA(target, WM_CHAR, static_cast<unsigned char>(ch), 1))
            return false;
    }
    return true;
}

// ---- pixels and screenshots -----------------------------------------------------------------

COLORREF PixelOnScreen(HWND hwnd, POINT client_pt) {
    POINT p = client_pt;
    if (!ClientToScreen(hwnd, &p))
        return CLR_INVALID;
    HDC screen = GetDC(nullptr);
    if (!screen)
        return CLR_INVALID;
    COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool CaptureScreenBmp(const RECT& screen_rect, const std::wstring& path) {
    HDC screen = GetDC(nullptr);
    if (!screen)
        return false;
    bool ok = WriteBmp(screen, screen_rect, path);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool CaptureWindowBmp(HWND hwnd, const std::wstring& path) {
    return CaptureScreenBmp(WindowRect(hwnd), path);
}

} // namespace e2e

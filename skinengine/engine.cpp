// SkinH_EL.dll: installs a skin on the windows of the calling thread. A thread-local CBT hook
// catches windows created later; existing ones are found by enumeration. Top-level windows with
// a caption get their frame, title bar and client background painted from the skin; their push
// buttons and edit boxes are subclassed too. Dialog boxes ("#32770") and every other control
// class (labels above all) are left alone.
#include "engine_internal.h"

#include <commctrl.h>

#include <atomic>
#include <vector>

namespace engine {
namespace {

using namespace skinfmt;

constexpr UINT_PTR kSubclassId = 0x46534B4E;

SRWLOCK g_lock = SRWLOCK_INIT;
Palette g_palette{};
bool g_haveSkin = false;
std::atomic<bool> g_aero{false};
std::vector<std::pair<DWORD, HHOOK>> g_hooks; // one CBT hook per skinned thread
std::vector<HWND> g_windows;                  // every window we subclassed, for unloading
UINT g_refreshMessage = 0;                    // asks a window's own thread to refresh it

struct Shared {
    Shared() { AcquireSRWLockShared(&g_lock); }
    ~Shared() { ReleaseSRWLockShared(&g_lock); }
};
struct Exclusive {
    Exclusive() { AcquireSRWLockExclusive(&g_lock); }
    ~Exclusive() { ReleaseSRWLockExclusive(&g_lock); }
};

LRESULT CALLBACK TopLevelProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

bool HasClass(HWND hwnd, const wchar_t* name) {
    wchar_t buffer[64] = {};
    return GetClassNameW(hwnd, buffer, 64) > 0 && lstrcmpiW(buffer, name) == 0;
}

using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);

// Looked up by name: not every import library of the toolchain lists this one.
GetWindowSubclassFn GetWindowSubclassEntry() {
    static const GetWindowSubclassFn entry = [] {
        HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
        return comctl != nullptr ? reinterpret_cast<GetWindowSubclassFn>(reinterpret_cast<void*>(
                                       GetProcAddress(comctl, "GetWindowSubclass")))
                                 : nullptr;
    }();
    return entry;
}

WindowState* StateOf(HWND hwnd, SUBCLASSPROC proc) {
    DWORD_PTR ref = 0;
    const GetWindowSubclassFn getSubclass = GetWindowSubclassEntry();
    if (getSubclass == nullptr || !getSubclass(hwnd, proc, kSubclassId, &ref))
        return nullptr;
    return reinterpret_cast<WindowState*>(ref);
}

bool IsSkinnedTopLevel(HWND hwnd) {
    return hwnd != nullptr && StateOf(hwnd, TopLevelProc);
}

bool Subclass(HWND hwnd, SUBCLASSPROC proc, Kind kind) {
    if (StateOf(hwnd, proc) != nullptr)
        return false;
    auto* state = new WindowState{};
    state->kind = kind;
    if (kind == Kind::TopLevel)
        state->active = GetActiveWindow() == hwnd;
    if (!SetWindowSubclass(hwnd, proc, kSubclassId, reinterpret_cast<DWORD_PTR>(state))) {
        delete state;
        return false;
    }
    Exclusive lock;
    g_windows.push_back(hwnd);
    return true;
}

void Unsubclass(HWND hwnd, SUBCLASSPROC proc, WindowState* state) {
    RemoveWindowSubclass(hwnd, proc, kSubclassId);
    delete state;
    Exclusive lock;
    std::erase(g_windows, hwnd);
}

// Dialog boxes keep the system look; everything with a real caption is skinned.
bool WantsTopLevelSkin(HWND hwnd, LONG_PTR style) {
    if (style & WS_CHILD)
        return false;
    if ((style & WS_CAPTION) != WS_CAPTION)
        return false;
    return !HasClass(hwnd, L"#32770");
}

// Which control kind to skin, if any. Labels ("Static", the program's transparent labels) and
// every other class are never touched.
bool ControlKind(HWND hwnd, LONG_PTR style, Kind& kind) {
    if (HasClass(hwnd, L"Button")) {
        const LONG_PTR type = style & BS_TYPEMASK;
        if ((type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) || (style & (BS_BITMAP | BS_ICON)))
            return false;
        kind = Kind::PushButton;
        return true;
    }
    if (HasClass(hwnd, L"Edit")) {
        kind = Kind::EditBox;
        return true;
    }
    return false;
}

void SkinControl(HWND hwnd, LONG_PTR style) {
    Kind kind{};
    if (!ControlKind(hwnd, style, kind))
        return;
    Subclass(hwnd, kind == Kind::PushButton ? ButtonProc : EditProc, kind);
}

using DwmSetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);

// With desktop composition the system would draw the frame itself; ask for plain
// non-client painting so ours shows. Bound at run time: older systems have no dwmapi.
void DisableComposedFrame(HWND hwnd) {
    static DwmSetWindowAttributeFn setAttribute = [] {
        HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
        return dwm != nullptr ? reinterpret_cast<DwmSetWindowAttributeFn>(reinterpret_cast<void*>(
                                    GetProcAddress(dwm, "DwmSetWindowAttribute")))
                              : nullptr;
    }();
    if (setAttribute != nullptr) {
        const DWORD disabled = 1;                          // DWMNCRP_DISABLED
        setAttribute(hwnd, 2, &disabled, sizeof disabled); // DWMWA_NCRENDERING_POLICY
    }
}

void UpdateFrameRegion(HWND hwnd, WindowState& state) {
    RECT window{};
    GetWindowRect(hwnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const bool wanted = AeroEnabled() && HasSkinnedCaption(hwnd) && !IsZoomed(hwnd);
    if (wanted) {
        if (state.regionWidth == width && state.regionHeight == height)
            return;
        state.regionWidth = width;
        state.regionHeight = height;
        SetWindowRgn(hwnd, MakeFrameRegion(width, height, CurrentPalette().frameRadius), TRUE);
    } else if (state.regionWidth != 0) {
        state.regionWidth = 0;
        state.regionHeight = 0;
        SetWindowRgn(hwnd, nullptr, TRUE);
    }
}

void Refresh(HWND hwnd) {
    if (WindowState* state = StateOf(hwnd, TopLevelProc))
        UpdateFrameRegion(hwnd, *state);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SkinTopLevel(HWND hwnd) {
    if (Subclass(hwnd, TopLevelProc, Kind::TopLevel))
        DisableComposedFrame(hwnd);
}

BOOL CALLBACK SkinChild(HWND child, LPARAM) {
    SkinControl(child, GetWindowLongPtrW(child, GWL_STYLE));
    return TRUE;
}

BOOL CALLBACK SkinThreadWindow(HWND hwnd, LPARAM) {
    if (!WantsTopLevelSkin(hwnd, GetWindowLongPtrW(hwnd, GWL_STYLE)))
        return TRUE;
    SkinTopLevel(hwnd);
    EnumChildWindows(hwnd, SkinChild, 0);
    Refresh(hwnd);
    return TRUE;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        auto hwnd = reinterpret_cast<HWND>(wParam);
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        bool haveSkin = false;
        {
            Shared lock;
            haveSkin = g_haveSkin;
        }
        if (haveSkin && create != nullptr) {
            const LONG_PTR style = static_cast<LONG_PTR>(static_cast<DWORD>(create->style));
            if (style & WS_CHILD) {
                HWND root = create->hwndParent != nullptr ? GetAncestor(create->hwndParent, GA_ROOT)
                                                          : nullptr;
                if (IsSkinnedTopLevel(root))
                    SkinControl(hwnd, style);
            } else if (WantsTopLevelSkin(hwnd, style)) {
                SkinTopLevel(hwnd);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool EnsureThreadHook() {
    const DWORD thread = GetCurrentThreadId();
    {
        Shared lock;
        for (const auto& entry : g_hooks)
            if (entry.first == thread)
                return true;
    }
    HHOOK hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, thread);
    if (hook == nullptr)
        return false;
    Exclusive lock;
    g_hooks.emplace_back(thread, hook);
    return true;
}

int CaptionHit(HWND hwnd, POINT screen) {
    const CaptionLayout layout = LayoutCaption(hwnd);
    if (!layout.valid)
        return 0;
    RECT window{};
    GetWindowRect(hwnd, &window);
    const POINT p{screen.x - window.left, screen.y - window.top};
    if (PtInRect(&layout.close, p))
        return HTCLOSE;
    if (PtInRect(&layout.maximise, p))
        return HTMAXBUTTON;
    if (PtInRect(&layout.minimise, p))
        return HTMINBUTTON;
    if (PtInRect(&layout.icon, p))
        return HTSYSMENU;
    if (PtInRect(&layout.caption, p))
        return HTCAPTION;
    return 0;
}

// Our caption buttons sit where we draw them, so we track their presses ourselves.
void TrackCaptionButton(HWND hwnd, int code) {
    WindowState* state = StateOf(hwnd, TopLevelProc);
    if (state == nullptr)
        return;
    state->pressedCaptionButton = code;
    PaintNonClient(hwnd, *state);
    SetCapture(hwnd);
    const bool unicode = IsWindowUnicode(hwnd) != FALSE;
    bool inside = true;
    bool released = false;
    POINT last{};
    MSG msg{};
    while (GetCapture() == hwnd) {
        const BOOL got =
            unicode ? GetMessageW(&msg, nullptr, 0, 0) : GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (msg.hwnd == hwnd && (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP)) {
            POINT p{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
            ClientToScreen(hwnd, &p);
            last = p;
            const bool now = CaptionHit(hwnd, p) == code;
            if (msg.message == WM_LBUTTONUP) {
                inside = now;
                released = true;
                break;
            }
            if (now != inside) {
                inside = now;
                state->pressedCaptionButton = inside ? code : 0;
                PaintNonClient(hwnd, *state);
            }
            continue;
        }
        TranslateMessage(&msg);
        if (unicode)
            DispatchMessageW(&msg);
        else
            DispatchMessageA(&msg);
        if (!IsWindow(hwnd))
            return;
    }
    if (GetCapture() == hwnd)
        ReleaseCapture();
    state = StateOf(hwnd, TopLevelProc);
    if (state == nullptr)
        return;
    state->pressedCaptionButton = 0;
    state->hotCaptionButton = inside ? code : 0;
    PaintNonClient(hwnd, *state);
    if (!released || !inside)
        return;
    WPARAM command = SC_CLOSE;
    if (code == HTMINBUTTON)
        command = SC_MINIMIZE;
    else if (code == HTMAXBUTTON)
        command = IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE;
    SendMessageW(hwnd, WM_SYSCOMMAND, command, MAKELPARAM(last.x, last.y));
}

constexpr UINT kNcUahDrawCaption = 0x00AE; // themed caption drawing by the default procedure
constexpr UINT kNcUahDrawFrame = 0x00AF;

LRESULT CALLBACK TopLevelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR ref) {
    auto* state = reinterpret_cast<WindowState*>(ref);
    if (msg == g_refreshMessage && g_refreshMessage != 0) {
        Refresh(hwnd);
        return 1;
    }
    switch (msg) {
    case WM_NCDESTROY: {
        Unsubclass(hwnd, TopLevelProc, state);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    case WM_CREATE: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        DisableComposedFrame(hwnd);
        UpdateFrameRegion(hwnd, *state);
        return result;
    }
    case WM_ERASEBKGND:
        PaintClientBackground(hwnd, reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PRINTCLIENT:
        // Children (transparent labels) ask for our background in their own DC.
        PaintClientBackground(hwnd, reinterpret_cast<HDC>(wParam));
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    case WM_CTLCOLOREDIT: {
        const Palette palette = CurrentPalette();
        auto dc = reinterpret_cast<HDC>(wParam);
        const COLORREF back = Resolve(palette, kEditBackground);
        SetTextColor(dc, Resolve(palette, kEditText));
        SetBkColor(dc, back);
        SetDCBrushColor(dc, back);
        return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    default:
        break;
    }
    if (!HasSkinnedCaption(hwnd))
        return DefSubclassProc(hwnd, msg, wParam, lParam);

    switch (msg) {
    case WM_NCPAINT:
        PaintNonClient(hwnd, *state);
        return 0;
    case kNcUahDrawCaption:
    case kNcUahDrawFrame:
        return 0;
    case WM_NCACTIVATE: {
        state->active = wParam != FALSE;
        // -1 keeps the default procedure from drawing its own caption first.
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, -1);
        if (IsWindowVisible(hwnd))
            PaintNonClient(hwnd, *state);
        return result;
    }
    case WM_SETTEXT:
    case WM_SETICON:
    case WM_STYLECHANGED: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        if (IsWindowVisible(hwnd))
            PaintNonClient(hwnd, *state);
        return result;
    }
    case WM_PRINT: {
        if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd))
            return 0;
        if (!(lParam & PRF_NONCLIENT))
            break;
        auto dc = reinterpret_cast<HDC>(wParam);
        PrintNonClient(hwnd, *state, dc);
        RECT window{};
        GetWindowRect(hwnd, &window);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        POINT old{};
        OffsetViewportOrgEx(dc, origin.x - window.left, origin.y - window.top, &old);
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam & ~PRF_NONCLIENT);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
        return result;
    }
    case WM_NCHITTEST: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        switch (result) {
        case HTCAPTION:
        case HTCLOSE:
        case HTMINBUTTON:
        case HTMAXBUTTON:
        case HTSYSMENU:
        case HTHELP: {
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            const int ours = CaptionHit(hwnd, p);
            return ours != 0 ? ours : result;
        }
        default:
            return result;
        }
    }
    case WM_NCMOUSEMOVE: {
        const int hot = (wParam == HTCLOSE || wParam == HTMINBUTTON || wParam == HTMAXBUTTON)
                            ? static_cast<int>(wParam)
                            : 0;
        if (hot != state->hotCaptionButton) {
            state->hotCaptionButton = hot;
            PaintNonClient(hwnd, *state);
        }
        if (!state->trackingNcLeave) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_NONCLIENT, hwnd, 0};
            state->trackingNcLeave = TrackMouseEvent(&track) != FALSE;
        }
        break;
    }
    case WM_NCMOUSELEAVE:
        state->trackingNcLeave = false;
        if (state->hotCaptionButton != 0) {
            state->hotCaptionButton = 0;
            PaintNonClient(hwnd, *state);
        }
        break;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCLOSE || wParam == HTMINBUTTON || wParam == HTMAXBUTTON) {
            TrackCaptionButton(hwnd, static_cast<int>(wParam));
            return 0;
        }
        break;
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCLOSE || wParam == HTMINBUTTON || wParam == HTMAXBUTTON)
            return 0;
        break;
    case WM_WINDOWPOSCHANGED: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        UpdateFrameRegion(hwnd, *state);
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// Redraw a push button in our look after the button class has drawn its own.
void RepaintButton(HWND hwnd) {
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd))
        return;
    WindowState* state = StateOf(hwnd, ButtonProc);
    if (state == nullptr)
        return;
    if (HDC dc = GetDC(hwnd)) {
        RenderPushButton(hwnd, *state, dc);
        ReleaseDC(hwnd, dc);
    }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR ref) {
    auto* state = reinterpret_cast<WindowState*>(ref);
    switch (msg) {
    case WM_NCDESTROY:
        Unsubclass(hwnd, ButtonProc, state);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        if (HDC dc = BeginPaint(hwnd, &paint)) {
            RenderPushButton(hwnd, *state, dc);
            EndPaint(hwnd, &paint);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PRINTCLIENT:
        RenderPushButton(hwnd, *state, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_PRINT:
        if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd))
            return 0;
        if (lParam & PRF_CLIENT)
            RenderPushButton(hwnd, *state, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_MOUSEMOVE:
        if (!state->hot) {
            state->hot = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&track);
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            RepaintButton(hwnd);
            return result;
        }
        break;
    case WM_MOUSELEAVE: {
        state->hot = false;
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        RepaintButton(hwnd);
        return result;
    }
    // The button class paints straight away on these; our look goes over it at once.
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_UPDATEUISTATE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case BM_SETCHECK: {
        // The state record may be gone after this call (a click can destroy the button).
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        RepaintButton(hwnd);
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void RepaintEditFrame(HWND hwnd) {
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd))
        return;
    if (HDC dc = GetWindowDC(hwnd)) {
        PaintEditFrame(hwnd, dc);
        ReleaseDC(hwnd, dc);
    }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR ref) {
    auto* state = reinterpret_cast<WindowState*>(ref);
    switch (msg) {
    case WM_NCDESTROY:
        Unsubclass(hwnd, EditProc, state);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    case WM_NCPAINT:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_STYLECHANGED: {
        // The box draws its own frame (and whatever its owner adds); we recolour the border.
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        RepaintEditFrame(hwnd);
        return result;
    }
    case WM_PRINT: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        if ((lParam & PRF_NONCLIENT) && (!(lParam & PRF_CHECKVISIBLE) || IsWindowVisible(hwnd)))
            PaintEditFrame(hwnd, reinterpret_cast<HDC>(wParam));
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// Unloading: drop the hooks and give the windows of this thread their own look back.
void Shutdown() {
    std::vector<std::pair<DWORD, HHOOK>> hooks;
    std::vector<HWND> windows;
    {
        Exclusive lock;
        hooks.swap(g_hooks);
        windows = g_windows;
        g_haveSkin = false;
    }
    for (const auto& entry : hooks)
        UnhookWindowsHookEx(entry.second);
    const DWORD thread = GetCurrentThreadId();
    for (HWND hwnd : windows) {
        if (!IsWindow(hwnd) || GetWindowThreadProcessId(hwnd, nullptr) != thread)
            continue;
        SUBCLASSPROC procs[] = {TopLevelProc, ButtonProc, EditProc};
        for (SUBCLASSPROC proc : procs) {
            if (WindowState* state = StateOf(hwnd, proc)) {
                const bool hadRegion = state->regionWidth != 0;
                Unsubclass(hwnd, proc, state);
                if (hadRegion)
                    SetWindowRgn(hwnd, nullptr, TRUE);
                RedrawWindow(hwnd, nullptr, nullptr,
                             RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            }
        }
    }
}

} // namespace

Palette CurrentPalette() {
    Shared lock;
    return g_palette;
}

bool AeroEnabled() {
    return g_aero.load();
}

} // namespace engine

extern "C" int WINAPI SkinH_AttachRes(const unsigned char* data, int size, const char* password,
                                      int, int, int) {
    (void)password; // our skins are not encrypted
    if (data == nullptr || size <= 0)
        return 0;
    skinfmt::Palette palette{};
    if (!skinfmt::ParseSkin(data, static_cast<std::size_t>(size), palette))
        return 0;
    if (!engine::EnsureThreadHook())
        return 0;
    {
        engine::Exclusive lock;
        engine::g_palette = palette;
        engine::g_haveSkin = true;
    }
    EnumThreadWindows(GetCurrentThreadId(), engine::SkinThreadWindow, 0);
    return 1;
}

extern "C" int WINAPI SkinH_SetAero(int enable) {
    engine::g_aero = enable != 0;
    std::vector<HWND> windows;
    {
        engine::Shared lock;
        windows = engine::g_windows;
    }
    // Each window is refreshed by its own thread; a hung thread does not hold us up.
    for (HWND hwnd : windows) {
        if (IsWindow(hwnd) && !(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) &&
            engine::g_refreshMessage != 0)
            SendMessageTimeoutW(hwnd, engine::g_refreshMessage, 0, 0,
                                SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, nullptr);
    }
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        engine::g_refreshMessage = RegisterWindowMessageW(L"SkinH_EL.Refresh");
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // At process exit (reserved != null) the windows go with the process: nothing to undo.
        engine::Shutdown();
    }
    return TRUE;
}

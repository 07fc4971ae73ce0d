// Operates a Windows program's windows from another process, as a person at the keyboard and
// mouse would, for the end-to-end tests. Every wait takes a time-out in milliseconds and returns
// instead of hanging. Texts are ANSI (code page 936) unless a function says wide.
//
// Under Wine 8 on Xvfb without a window manager (Managed=N) real input works: SetForegroundWindow
// from the test process, SendInput keys (with modifiers and the extended bit) to the focused
// control, and SetCursorPos + SendInput clicks at the window under the cursor. Keys go to the
// foreground window's focus, and activating a plain window gives the focus to the window itself
// unless the program moves it on; use FocusControl or Click on a control first. BM_CLICK and
// posted WM_KEY* / WM_CHAR remain as fallbacks; posted keys carry no modifier state.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// ---- processes ------------------------------------------------------------------------------

struct Process {
    HANDLE handle = nullptr;
    DWORD pid = 0;
    DWORD main_thread_id = 0;
};

// Starts exe (a full or relative path) in work_dir (empty: ours) with the given arguments (the
// program name is put in front). Waits, bounded, until the program is idle for input.
bool Launch(const std::wstring& exe, const std::wstring& args, const std::wstring& work_dir,
            Process* out, DWORD idle_timeout_ms = 10000);
// True when the process ended within the time-out; *exit_code gets its code (-1 is 0xFFFFFFFF).
bool WaitExit(const Process& p, DWORD timeout_ms, DWORD* exit_code);
bool IsRunning(const Process& p);
// Cleanup fallback: ends the process if it still runs and waits for it, bounded.
void Kill(const Process& p, DWORD exit_code = 0xDEAD);
// Kills the process if still running and closes its handle.
void Release(Process* p);
// The folder of the running test program, with a trailing backslash.
std::wstring ExeDir();

// ---- waiting --------------------------------------------------------------------------------

// Polls pred every interval_ms until it is true (returns true) or timeout_ms passed (false).
bool WaitUntil(const std::function<bool()>& pred, DWORD timeout_ms, DWORD interval_ms = 20);

// ---- finding windows ------------------------------------------------------------------------

// Visible top-level windows of the process (EnumWindows order: top of the Z order first).
std::vector<HWND> TopWindows(DWORD pid);
// A visible top-level window of the process whose class and caption match (an empty string
// matches anything); polls until timeout_ms. nullptr when none appeared.
HWND FindTopWindow(DWORD pid, std::string_view cls, std::string_view caption, DWORD timeout_ms);
// A visible message box ("#32770") of the process, owned or unowned, optionally by caption.
HWND FindMessageBox(DWORD pid, std::string_view caption, DWORD timeout_ms);
// True when the window is gone or hidden within the time-out.
bool WaitGone(HWND hwnd, DWORD timeout_ms);

// ---- reading and writing controls -----------------------------------------------------------

HWND Child(HWND parent, int control_id);
int ControlId(HWND hwnd);
// ANSI bytes as the program holds them (WM_GETTEXT via SendMessageTimeoutA).
std::string Text(HWND hwnd);
std::wstring TextW(HWND hwnd);
bool SetText(HWND hwnd, std::string_view text);
std::string ClassName(HWND hwnd);
RECT WindowRect(HWND hwnd); // screen coordinates
RECT ClientRect(HWND hwnd); // client area in screen coordinates
POINT Centre(const RECT& r);
bool IsEnabled(HWND hwnd);
bool IsShown(HWND hwnd);

struct BoxButton {
    int id;
    std::string text;
};
struct MessageBoxInfo {
    std::string caption;
    std::string text; // the message (the static controls that are not icons, joined by '\n')
    std::vector<BoxButton> buttons;
};
MessageBoxInfo ReadMessageBox(HWND box);

// ---- focus ----------------------------------------------------------------------------------

// The window with the keyboard focus in the GUI thread that owns hwnd (GetGUIThreadInfo).
HWND FocusedWindow(HWND any_window_of_thread);
// Its control ID, 0 when nothing has the focus.
int FocusedControlId(HWND any_window_of_thread);
// Makes hwnd's top-level window the foreground window and checks it, bounded.
bool BringToForeground(HWND hwnd, DWORD timeout_ms = 2000);
// Gives the keyboard focus to a control of another thread (AttachThreadInput + SetFocus).
bool FocusControl(HWND control, DWORD timeout_ms = 2000);

// ---- mouse ----------------------------------------------------------------------------------

// Moves the real cursor to the screen point and presses and releases the left button there
// (SetCursorPos + SendInput).
bool ClickAt(POINT screen);
// Brings the control's window to the front, then clicks its centre with the mouse.
bool Click(HWND control);
// Fallback without the mouse: BM_CLICK posted to the button.
bool ClickMessage(HWND button);

// ---- keyboard -------------------------------------------------------------------------------

enum Modifier : unsigned { kNone = 0, kCtrl = 1, kShift = 2, kAlt = 4 };

// Real keyboard input (SendInput) to whatever has the focus: modifiers down, key down, key up,
// modifiers up. extended sets KEYEVENTF_EXTENDEDKEY (keypad Enter is VK_RETURN extended).
bool PressKey(WORD vk, unsigned modifiers = kNone, bool extended = false);
// Types printable ASCII through SendInput as key presses (Shift where the layout needs it).
bool TypeText(std::string_view ascii);
// Fallback without SendInput: posts WM_KEYDOWN/WM_KEYUP (WM_SYSKEY* with Alt) with a proper
// lParam to the window. Modifier keys cannot be pressed this way; only the Alt context bit is set.
bool PostKey(HWND target, WORD vk, unsigned modifiers = kNone, bool extended = false);
// Fallback for text: posts WM_CHAR for each byte.
bool PostText(HWND target, std::string_view text);

// ---- pixels and screenshots -----------------------------------------------------------------

// The colour on the screen at a point of the window's client area (screen DC GetPixel): what
// is really shown, so the window must be uncovered. CLR_INVALID when it cannot be read.
// (PrintWindow is no substitute for another process's window: under Wine 8 it yields black.)
COLORREF PixelOnScreen(HWND hwnd, POINT client_pt);
// Saves a rectangle of the screen as a 24-bit BMP file.
bool CaptureScreenBmp(const RECT& screen_rect, const std::wstring& path);
// Saves the window with its frame.
bool CaptureWindowBmp(HWND hwnd, const std::wstring& path);

} // namespace e2e

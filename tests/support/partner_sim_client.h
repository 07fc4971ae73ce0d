// Starts and steers partner_sim.exe (the stand-in partner program) from a test process.
// Every wait here is bounded; nothing blocks forever on a stuck simulator.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace partner_sim {

inline constexpr wchar_t kDialogClass[] = L"#32770";
inline constexpr wchar_t kPartnerTitle[] = L"CHK文件恢复专家永久免费版";
inline constexpr wchar_t kControlClass[] = L"FennrowPartnerSimControl";
inline constexpr ULONG_PTR kCommandMagic = 0x46534D43;
inline constexpr DWORD kDefaultTimeoutMs = 10000;

struct StartOptions {
    std::vector<std::string> items{}; // UTF-8 paths of the first list box
    bool noList = false;              // start without any list box (items are ignored)
    bool secondList = false;          // also create a second list box with secondItems
    std::vector<std::string> secondItems{};
    std::wstring title{};    // empty: the partner's real title
    bool labelFirst = false; // a static child ahead of the first list box
    DWORD timeoutMs = kDefaultTimeoutMs;
};

// One running simulator. Not copyable; the destructor kills a simulator still running and
// removes its temporary folder.
struct Sim {
    HANDLE process = nullptr;
    DWORD pid = 0;
    std::wstring id;      // title of its control window
    std::wstring tempDir; // list files written for it
    HWND dialog = nullptr;
    HWND control = nullptr;
    int fileCounter = 0;

    Sim() = default;
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;
    ~Sim();
};

// UTF-8 <-> UTF-16 and the 936 code page (what Fennrow, an ANSI program, sees).
std::string FromU8(std::u8string_view s);
std::wstring Utf8ToWide(std::string_view s);
std::string WideToCp936(std::wstring_view s);

// Writes one UTF-8 path per line (CR LF when crlf, else LF), with a final newline when there is
// at least one item. Returns false when the file cannot be written.
bool WriteListFile(const std::wstring& path, const std::vector<std::string>& items,
                   bool crlf = true);

// partner_sim.exe beside the running test program.
std::wstring SimulatorPath();

// Starts the simulator and waits until its dialog is visible, its list boxes exist and its
// control window answers. On failure everything started is cleaned up and false is returned.
bool Start(Sim& sim, const StartOptions& options);

// Sends one command (UTF-8 text, see partner_sim.cpp) and returns true when it answered 1.
bool SendCommand(Sim& sim, std::string_view command, DWORD timeoutMs = kDefaultTimeoutMs);

// Writes the items to a new list file in the simulator's folder and sends `verb FILE`
// (verb is "items" or "add-list").
bool SendListCommand(Sim& sim, std::string_view verb, const std::vector<std::string>& items);

// Sends `close` and waits for the process to end; the exit code goes to *exitCode.
bool Close(Sim& sim, DWORD* exitCode = nullptr, DWORD timeoutMs = kDefaultTimeoutMs);

// Terminates the process (if running), waits for it and removes the temporary folder.
void Kill(Sim& sim);

// Waits until the process has ended; true when it did within the time-out.
bool WaitForExit(Sim& sim, DWORD timeoutMs, DWORD* exitCode = nullptr);

// A top-level "#32770" window with exactly this title; pid 0 accepts any process.
HWND FindPartnerDialog(const wchar_t* title = kPartnerTitle, DWORD pid = 0);

// The dialog's first direct child of class "ListBox" (or the n-th, counted from 0).
HWND ListBox(HWND dialog, int n = 0);
int ListBoxCount(HWND dialog);

// Reads the list box of another process with the wide messages. False on a time-out or error,
// and when an item got longer between LB_GETTEXTLEN and LB_GETTEXT (the buffer has 64K
// characters to spare for that case).
bool ReadItems(HWND list, std::vector<std::wstring>& items, DWORD timeoutMs = 2000);
bool ReadItem(HWND list, int index, std::wstring& text, DWORD timeoutMs = 2000);

} // namespace partner_sim

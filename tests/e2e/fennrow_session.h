// One started Fennrow for an end-to-end test: a fresh folder holding a copy of the program, the
// running process, its main window and the probe log (for fennrow_probe.exe).
#pragma once

#include "e2e_driver.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace fennrow_test {

// Control IDs of the main window: 1001 + the position in the creation order.
enum ControlId : int {
    kExplanationLabel = 1001, // 标签1
    kIndicator = 1003,        // 透明标签4
    kOpenFolderButton = 1004, // 按钮3
    kStatusLine = 1005,       // 透明标签3
    kTypeCaption = 1006,      // 透明标签2
    kChangeButton = 1007,     // 按钮2
    kFolderCaption = 1008,    // 透明标签1
    kFolderBox = 1009,        // 编辑框1
    kTypeBox = 1011,          // 编辑框2
    kStartButton = 1012,      // 按钮1
};

constexpr DWORD kStartTimeoutMs = 30000;

struct SessionOptions {
    bool probe = false;                             // run fennrow_probe.exe instead
    std::map<std::string, std::string> environment; // extra variables (probe steering)
    bool waitForWindow = true;
};

// Options for fennrow_probe.exe with the given steering variables.
inline SessionOptions ProbeOptions(std::map<std::string, std::string> environment = {},
                                   bool waitForWindow = true) {
    SessionOptions options;
    options.probe = true;
    options.environment = std::move(environment);
    options.waitForWindow = waitForWindow;
    return options;
}

struct Session {
    std::wstring folder; // fresh folder holding the program, trailing backslash
    std::wstring exe;    // the program's full path
    std::wstring probeLog;
    e2e::Process process;
    HWND window = nullptr;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    HWND Control(int id) const { return e2e::Child(window, id); }
    std::string ControlText(int id) const { return e2e::Text(Control(id)); }
    // Lines the probes wrote, in order.
    std::vector<std::string> ProbeSteps() const;
    // Waits for the process to end; its exit code, or 0xDEADDEAD after the time-out.
    DWORD WaitForExitCode(DWORD timeoutMs = 15000);
};

// Starts a fresh copy of the program; false (with the session cleaned up) when its window did not
// appear in time.
bool Start(Session& session, const SessionOptions& options = {});

// A new empty folder under the system temp folder, trailing backslash.
std::wstring MakeTempFolder(const wchar_t* prefix);
void RemoveTree(const std::wstring& folder);
std::string ToAnsi(const std::wstring& text);
// UTF-8, as the partner simulator takes its list.
std::string ToUtf8(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
// Writes FILE0000.CHK … into `folder` (made if missing), each holding text that names it.
std::vector<std::wstring> MakeSampleFiles(const std::wstring& folder, int count);

} // namespace fennrow_test

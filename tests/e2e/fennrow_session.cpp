#include "fennrow_session.h"

#include <shellapi.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace fennrow_test {

std::string ToAnsi(const std::wstring& text) {
    int bytes = WideCharToMultiByte(936, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(936, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes,
                        nullptr, nullptr);
    return out;
}

std::string ToUtf8(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes,
                        nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(const std::string& text) {
    int chars =
        MultiByteToWideChar(936, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(936, 0, text.c_str(), static_cast<int>(text.size()), out.data(), chars);
    return out;
}

std::wstring MakeTempFolder(const wchar_t* prefix) {
    static std::atomic<int> counter{0};
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    for (;;) {
        std::wstring folder = std::wstring(base) + prefix + L"-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter++) + L"\\";
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            return folder;
        }
    }
}

void RemoveTree(const std::wstring& folder) {
    if (folder.empty()) {
        return;
    }
    std::wstring from = folder;
    if (from.back() == L'\\') {
        from.pop_back();
    }
    from.push_back(L'\0'); // double NUL for SHFileOperation
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> MakeSampleFiles(const std::wstring& folder, int count) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"FILE%04d.CHK", i);
        paths.push_back(folder + name);
        WriteFileBytes(paths.back(), "content of " + ToAnsi(paths.back()));
    }
    return paths;
}

Session::~Session() {
    e2e::Release(&process);
    // The program may still hold its folder for a moment after it was killed.
    for (int attempt = 0; attempt < 20 && Exists(folder); ++attempt) {
        RemoveTree(folder);
        if (Exists(folder)) {
            Sleep(50);
        }
    }
}

std::vector<std::string> Session::ProbeSteps() const {
    std::vector<std::string> steps;
    std::istringstream lines(ReadFileBytes(probeLog));
    for (std::string line; std::getline(lines, line);) {
        steps.push_back(line);
    }
    return steps;
}

DWORD Session::WaitForExitCode(DWORD timeoutMs) {
    DWORD code = 0xDEADDEAD;
    if (!e2e::WaitExit(process, timeoutMs, &code)) {
        return 0xDEADDEAD;
    }
    return code;
}

bool Start(Session& session, const SessionOptions& options) {
    const wchar_t* name = options.probe ? L"fennrow_probe.exe" : L"fennrow.exe";
    session.folder = MakeTempFolder(L"fennrow-e2e");
    session.exe = session.folder + name;
    session.probeLog = session.folder + L"probe.log";
    if (!CopyFileW((e2e::ExeDir() + name).c_str(), session.exe.c_str(), FALSE)) {
        return false;
    }
    // The child inherits our environment: set the probe's variables for the launch only.
    std::vector<std::pair<std::string, std::string>> set;
    if (options.probe) {
        set.emplace_back("FENNROW_PROBE_LOG", ToAnsi(session.probeLog));
    }
    for (const auto& [key, value] : options.environment) {
        set.emplace_back(key, value);
    }
    for (const auto& [key, value] : set) {
        SetEnvironmentVariableA(key.c_str(), value.c_str());
    }
    bool launched = e2e::Launch(session.exe, L"", session.folder, &session.process, 15000);
    for (const auto& [key, value] : set) {
        SetEnvironmentVariableA(key.c_str(), nullptr);
    }
    if (!launched) {
        return false;
    }
    if (!options.waitForWindow) {
        return true;
    }
    session.window =
        e2e::FindTopWindow(session.process.pid, "FennrowMainWindow", "Fennrow", kStartTimeoutMs);
    return session.window != nullptr;
}

} // namespace fennrow_test

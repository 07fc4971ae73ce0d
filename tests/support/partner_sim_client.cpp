#include "support/partner_sim_client.h"

#include <string>

namespace partner_sim {

namespace {

constexpr size_t kReadSlack = 65536;

ULONGLONG Deadline(DWORD timeoutMs) {
    return GetTickCount64() + timeoutMs;
}
bool Expired(ULONGLONG deadline) {
    return GetTickCount64() >= deadline;
}

// Quoting for CommandLineToArgvW: backslashes only matter before a quote.
std::wstring QuoteArg(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

void RemoveTempDir(Sim& sim) {
    if (sim.tempDir.empty())
        return;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((sim.tempDir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((sim.tempDir + L"\\" + fd.cFileName).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(sim.tempDir.c_str());
    sim.tempDir.clear();
}

std::wstring NewListPath(Sim& sim) {
    return sim.tempDir + L"\\list" + std::to_wstring(++sim.fileCounter) + L".txt";
}

} // namespace

Sim::~Sim() {
    Kill(*this);
}

std::string FromU8(std::u8string_view s) {
    return std::string(s.begin(), s.end());
}

std::wstring Utf8ToWide(std::string_view s) {
    if (s.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string WideToCp936(std::wstring_view s) {
    if (s.empty())
        return {};
    int n = WideCharToMultiByte(936, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(936, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

bool WriteListFile(const std::wstring& path, const std::vector<std::string>& items, bool crlf) {
    std::string text;
    for (const auto& item : items) {
        text += item;
        text += crlf ? "\r\n" : "\n";
    }
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = text.empty() ||
              (WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size());
    CloseHandle(f);
    return ok;
}

std::wstring SimulatorPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return path.substr(0, slash + 1) + L"partner_sim.exe";
}

HWND FindPartnerDialog(const wchar_t* title, DWORD pid) {
    for (HWND h = FindWindowExW(nullptr, nullptr, kDialogClass, title); h;
         h = FindWindowExW(nullptr, h, kDialogClass, title)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (pid == 0 || owner == pid)
            return h;
    }
    return nullptr;
}

HWND ListBox(HWND dialog, int n) {
    HWND h = FindWindowExW(dialog, nullptr, L"ListBox", nullptr);
    for (int i = 0; h && i < n; ++i)
        h = FindWindowExW(dialog, h, L"ListBox", nullptr);
    return h;
}

int ListBoxCount(HWND dialog) {
    int n = 0;
    for (HWND h = FindWindowExW(dialog, nullptr, L"ListBox", nullptr); h;
         h = FindWindowExW(dialog, h, L"ListBox", nullptr))
        ++n;
    return n;
}

bool ReadItem(HWND list, int index, std::wstring& text, DWORD timeoutMs) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0, SMTO_NORMAL,
                             timeoutMs, &len) ||
        static_cast<LRESULT>(len) == LB_ERR)
        return false;
    // Across processes the whole current text is copied back whatever the buffer size, so an
    // item that grew since LB_GETTEXTLEN would overrun an exact buffer: keep room to spare.
    std::wstring buf(len + 1 + kReadSlack, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(buf.data()), SMTO_NORMAL, timeoutMs, &got) ||
        static_cast<LRESULT>(got) == LB_ERR || got > len)
        return false;
    buf.resize(got);
    text = std::move(buf);
    return true;
}

bool ReadItems(HWND list, std::vector<std::wstring>& items, DWORD timeoutMs) {
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, timeoutMs, &count) ||
        static_cast<LRESULT>(count) == LB_ERR)
        return false;
    items.clear();
    items.reserve(count);
    for (DWORD_PTR i = 0; i < count; ++i) {
        std::wstring text;
        if (!ReadItem(list, static_cast<int>(i), text, timeoutMs))
            return false;
        items.push_back(std::move(text));
    }
    return true;
}

bool SendCommand(Sim& sim, std::string_view command, DWORD timeoutMs) {
    if (!sim.control)
        return false;
    COPYDATASTRUCT cds{};
    cds.dwData = kCommandMagic;
    cds.cbData = static_cast<DWORD>(command.size());
    cds.lpData = const_cast<char*>(command.data());
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(sim.control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                             SMTO_NORMAL, timeoutMs, &result))
        return false;
    return result == 1;
}

bool SendListCommand(Sim& sim, std::string_view verb, const std::vector<std::string>& items) {
    std::wstring path = NewListPath(sim);
    if (!WriteListFile(path, items))
        return false;
    std::string command(verb);
    int n = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string utf8Path(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), utf8Path.data(), n,
                        nullptr, nullptr);
    command += ' ';
    command += utf8Path;
    return SendCommand(sim, command);
}

bool WaitForExit(Sim& sim, DWORD timeoutMs, DWORD* exitCode) {
    if (!sim.process)
        return false;
    if (WaitForSingleObject(sim.process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode && !GetExitCodeProcess(sim.process, exitCode))
        return false;
    return true;
}

void Kill(Sim& sim) {
    if (sim.process) {
        if (WaitForSingleObject(sim.process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(sim.process, 1);
            WaitForSingleObject(sim.process, kDefaultTimeoutMs);
        }
        CloseHandle(sim.process);
        sim.process = nullptr;
    }
    sim.pid = 0;
    sim.dialog = nullptr;
    sim.control = nullptr;
    RemoveTempDir(sim);
}

bool Close(Sim& sim, DWORD* exitCode, DWORD timeoutMs) {
    bool sent = SendCommand(sim, "close", timeoutMs);
    bool ended = sent && WaitForExit(sim, timeoutMs, exitCode);
    Kill(sim);
    return ended;
}

bool Start(Sim& sim, const StartOptions& options) {
    Kill(sim);
    static int counter = 0;
    sim.id = L"fennrow-sim-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH)
        return false;
    sim.tempDir = std::wstring(temp, n) + sim.id;
    if (!CreateDirectoryW(sim.tempDir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;

    std::wstring exe = SimulatorPath();
    std::wstring cmd = QuoteArg(exe) + L" --id " + QuoteArg(sim.id);
    if (!options.noList) {
        std::wstring path = NewListPath(sim);
        if (!WriteListFile(path, options.items))
            return false;
        cmd += L" --list " + QuoteArg(path);
    }
    if (options.secondList) {
        std::wstring path = NewListPath(sim);
        if (!WriteListFile(path, options.secondItems))
            return false;
        cmd += L" --second-list " + QuoteArg(path);
    }
    if (!options.title.empty())
        cmd += L" --title " + QuoteArg(options.title);
    if (options.noList)
        cmd += L" --no-list";
    if (options.labelFirst)
        cmd += L" --label-first";

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    CloseHandle(pi.hThread);
    sim.process = pi.hProcess;
    sim.pid = pi.dwProcessId;

    const wchar_t* title = options.title.empty() ? kPartnerTitle : options.title.c_str();
    int lists = (options.noList ? 0 : 1) + (options.secondList ? 1 : 0);
    ULONGLONG deadline = Deadline(options.timeoutMs);
    while (!Expired(deadline)) {
        if (WaitForSingleObject(sim.process, 0) != WAIT_TIMEOUT)
            break; // ended early: bad arguments or an unreadable list
        sim.dialog = FindPartnerDialog(title, sim.pid);
        sim.control = FindWindowW(kControlClass, sim.id.c_str());
        if (sim.dialog && sim.control && IsWindowVisible(sim.dialog) &&
            ListBoxCount(sim.dialog) == lists && SendCommand(sim, "ping", options.timeoutMs))
            return true;
        Sleep(20);
    }
    Kill(sim);
    return false;
}

} // namespace partner_sim

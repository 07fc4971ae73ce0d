// fennrow_bench: one measurement of one case per call, printed as "RESULT key value" lines that
// bench/run.sh collects over several rounds into medians. Run it through bench/run.sh.
//
// fennrow_bench.exe --case CASE --data FOLDER\ [--items N] [--runs N]
//   small-fennrow  a copy run of Fennrow over N small files, from the start request to its end;
//                  meanwhile the main window's answer time, the timer and the memory are watched
//   small-ref      the work each pass must do, in a tight loop, with each kind timed
//   small-bare     CopyFileA over the same files
//   big-fennrow    Fennrow copying FOLDER\big.bin (one list item)
//   big-bare       CopyFileA of FOLDER\big.bin
//   startup        launch to window shown: Fennrow and a minimal window program, N times each
//   prepare        writes the N small files and big.bin (1 GiB) once
#include "fennrow_session.h"
#include "support/partner_sim_client.h"

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace fennrow_test;

namespace {

constexpr int kMaxPasses = 7000;
constexpr long long kBigSize = 1LL << 30;
constexpr DWORD kSmallSize = 4096;
const char kPartnerReady[] = "CHK文件恢复专家已运行  可使用";

struct Options {
    std::wstring caseName;
    std::wstring data; // trailing backslash
    int items = 7000;
    int runs = 5;
};

LARGE_INTEGER g_frequency;

double NowMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(g_frequency.QuadPart);
}

void Result(const char* key, double value) {
    std::printf("RESULT %s %.4f\n", key, value);
    std::fflush(stdout);
}

std::wstring SmallSource(const Options& options, int index) {
    wchar_t name[32];
    std::swprintf(name, 32, L"FILE%05d.CHK", index);
    return options.data + L"small\\" + name;
}

std::wstring SmallTargetName(int index) {
    wchar_t name[32];
    std::swprintf(name, 32, L"FILE%05d.dat", index);
    return name;
}

int CountFiles(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

bool WriteSizedFile(const std::wstring& path, long long size, unsigned seed) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::vector<unsigned> block(1 << 18); // 1 MiB
    bool ok = true;
    for (long long done = 0; ok && done < size;) {
        for (unsigned& word : block) {
            seed = seed * 1664525u + 1013904223u;
            word = seed;
        }
        DWORD chunk = static_cast<DWORD>(std::min<long long>(size - done, 1 << 20));
        DWORD written = 0;
        ok = WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
        done += chunk;
    }
    CloseHandle(file);
    return ok;
}

bool Prepare(const Options& options) {
    CreateDirectoryW((options.data + L"small").c_str(), nullptr);
    for (int i = 0; i < options.items; ++i) {
        std::wstring path = SmallSource(options, i);
        if (!Exists(path) && !WriteSizedFile(path, kSmallSize, static_cast<unsigned>(i) + 1)) {
            return false;
        }
    }
    std::wstring big = options.data + L"big.bin";
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (GetFileAttributesExW(big.c_str(), GetFileExInfoStandard, &info) &&
        (static_cast<long long>(info.nFileSizeHigh) << 32 | info.nFileSizeLow) == kBigSize) {
        return true;
    }
    return WriteSizedFile(big, kBigSize, 7);
}

bool StartPartner(partner_sim::Sim& sim, const std::vector<std::wstring>& items) {
    partner_sim::StartOptions start;
    for (const std::wstring& item : items) {
        start.items.push_back(ToUtf8(item));
    }
    start.timeoutMs = 120000;
    return partner_sim::Start(sim, start);
}

std::vector<std::wstring> SmallItems(const Options& options) {
    std::vector<std::wstring> items;
    for (int i = 0; i < options.items; ++i) {
        items.push_back(SmallSource(options, i));
    }
    return items;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    std::size_t at =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

// ---- Fennrow ----------------------------------------------------------------------------------

// Watches a running Fennrow: the round trip of a message to its main window from this process,
// the timer (its tick rewrites the partner indicator, which we keep overwriting with a marker)
// and its private memory.
struct Watcher {
    HWND window = nullptr;
    HWND indicator = nullptr;
    HANDLE process = nullptr;
    std::atomic<bool> stop{false};
    std::vector<double> roundTrips, ticks;
    std::vector<std::pair<double, double>> memory; // time, private MiB
    std::thread pinger, ticker, sampler;

    void Start() {
        pinger = std::thread([this] {
            while (!stop) {
                double sent = NowMs();
                DWORD_PTR answer = 0;
                if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) {
                    roundTrips.push_back(NowMs() - sent);
                }
                Sleep(50);
            }
        });
        ticker = std::thread([this] {
            e2e::SetText(indicator, "-");
            while (!stop) {
                Sleep(20);
                if (e2e::Text(indicator) != "-") {
                    ticks.push_back(NowMs());
                    e2e::SetText(indicator, "-");
                }
            }
        });
        sampler = std::thread([this] {
            while (!stop) {
                memory.emplace_back(NowMs(), PrivateMiB(process));
                Sleep(200);
            }
        });
    }
    void Stop() {
        stop = true;
        pinger.join();
        ticker.join();
        sampler.join();
    }
    static double PrivateMiB(HANDLE process) {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof counters)) {
            return -1;
        }
        // Wine fills PagefileUsage (the private bytes) but not PrivateUsage for other processes.
        return static_cast<double>(std::max(counters.PrivateUsage, counters.PagefileUsage)) /
               (1024.0 * 1024.0);
    }
};

// Starts Fennrow with the partner showing `items`, starts a run into `destinationRoot`\dat\ and
// waits for its end. Returns the milliseconds from the start request to the end, or -1.
double FennrowRun(const std::vector<std::wstring>& items, const std::wstring& destinationRoot,
                  bool watch, DWORD timeoutMs, DWORD pollMs) {
    partner_sim::Sim sim;
    if (!StartPartner(sim, items)) {
        std::fprintf(stderr, "partner_sim did not start\n");
        return -1;
    }
    Session session;
    if (!Start(session)) {
        std::fprintf(stderr, "Fennrow did not start\n");
        return -1;
    }
    if (!e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kPartnerReady; }, 10000)) {
        std::fprintf(stderr, "Fennrow did not see the partner\n");
        return -1;
    }
    e2e::SetText(session.Control(kFolderBox), ToAnsi(destinationRoot));
    e2e::SetText(session.Control(kTypeBox), "dat");
    std::wstring destination = destinationRoot + L"dat\\";
    int count = static_cast<int>(std::min<std::size_t>(items.size(), kMaxPasses));
    // The end: the status line shows the last item copied in an earlier pass, and that pass's
    // own copy (the last) has arrived.
    std::string lastShown =
        ToAnsi(items[static_cast<std::size_t>(count < kMaxPasses ? count - 1 : count - 2)]);
    std::wstring lastItem = items[static_cast<std::size_t>(count - 1)];
    std::wstring lastTarget = destination +
                              lastItem.substr(lastItem.rfind(L'\\') + 1,
                                              lastItem.rfind(L'.') - lastItem.rfind(L'\\') - 1) +
                              L".dat";

    Watcher watcher;
    watcher.window = session.window;
    watcher.indicator = session.Control(kIndicator);
    watcher.process = session.process.handle;
    Sleep(500);
    double idle = Watcher::PrivateMiB(session.process.handle);
    if (watch) {
        watcher.Start();
    }
    double started = NowMs();
    e2e::ClickMessage(session.Control(kStartButton));
    // Asked in the cheaper order: in a full folder looking for a missing file reads the whole
    // folder; with one large file the messages to Fennrow would steal time from its copy.
    bool fileFirst = items.size() == 1;
    bool ended = e2e::WaitUntil(
        [&] {
            if (fileFirst) {
                return Exists(lastTarget) && session.ControlText(kStatusLine) == lastShown;
            }
            return session.ControlText(kStatusLine) == lastShown && Exists(lastTarget);
        },
        timeoutMs, pollMs);
    double elapsed = NowMs() - started;
    if (watch) {
        watcher.Stop();
    }
    if (!ended) {
        std::fprintf(stderr, "the run did not end in time\n");
        return -1;
    }
    int copied = CountFiles(destination);
    if (copied != count) {
        std::fprintf(stderr, "copied %d files, expected %d\n", copied, count);
        return -1;
    }
    if (watch) {
        Result("rtt_p50_ms", Percentile(watcher.roundTrips, 0.50));
        Result("rtt_p99_ms", Percentile(watcher.roundTrips, 0.99));
        Result("rtt_max_ms", Percentile(watcher.roundTrips, 1.0));
        Result("rtt_count", static_cast<double>(watcher.roundTrips.size()));
        std::vector<double> intervals;
        for (std::size_t i = 1; i < watcher.ticks.size(); ++i) {
            intervals.push_back(watcher.ticks[i] - watcher.ticks[i - 1]);
        }
        Result("tick_p50_ms", Percentile(intervals, 0.5));
        Result("tick_max_ms", Percentile(intervals, 1.0));
        Result("tick_count", static_cast<double>(intervals.size()));
        double peak = idle, early = -1, late = -1;
        for (const auto& [at, mib] : watcher.memory) {
            peak = std::max(peak, mib);
            if (early < 0 && at - started >= 0.1 * elapsed) {
                early = mib;
            }
            if (at - started <= 0.98 * elapsed) {
                late = mib;
            }
        }
        Result("mem_idle_mib", idle);
        Result("mem_peak_mib", peak);
        Result("mem_at10pct_mib", early);
        Result("mem_at98pct_mib", late);
    }
    return elapsed;
}

// ---- the reference: the work of each pass, no more ----------------------------------------------

constexpr UINT kSetStatus = WM_APP + 1;
constexpr UINT kGetType = WM_APP + 2;
HWND g_refLabel = nullptr;
HWND g_refEdit = nullptr;

LRESULT CALLBACK RefLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(label, &paint);
        RECT area;
        GetClientRect(label, &area);
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        char text[1024];
        int length = GetWindowTextA(label, text, sizeof text);
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextA(dc, text, length, &area, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, old);
        EndPaint(label, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    return DefWindowProcA(label, message, wParam, lParam);
}

LRESULT CALLBACK RefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kSetStatus:
        SetWindowTextA(g_refLabel, reinterpret_cast<const char*>(lParam));
        RedrawWindow(g_refLabel, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    case kGetType: {
        auto* out = reinterpret_cast<std::string*>(lParam);
        int length = GetWindowTextLengthA(g_refEdit);
        out->assign(static_cast<std::size_t>(length) + 1, '\0');
        out->resize(static_cast<std::size_t>(GetWindowTextA(g_refEdit, out->data(), length + 1)));
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND StartReferenceWindow(std::thread& uiThread) {
    std::atomic<HWND> created{nullptr};
    uiThread = std::thread([&created] {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA windowClass{};
        windowClass.hInstance = instance;
        windowClass.lpfnWndProc = RefWindowProc;
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = "FennrowBenchReference";
        RegisterClassA(&windowClass);
        windowClass.lpfnWndProc = RefLabelProc;
        windowClass.hbrBackground = nullptr;
        windowClass.lpszClassName = "FennrowBenchLabel";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, "FennrowBenchReference", "reference",
                                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 10,
                                      10, 348, 366, nullptr, nullptr, instance, nullptr);
        g_refLabel = CreateWindowExA(0, "FennrowBenchLabel", "", WS_CHILD | WS_VISIBLE, 7, 89, 256,
                                     27, window, nullptr, instance, nullptr);
        g_refEdit = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "dat", WS_CHILD | WS_VISIBLE, 72, 119,
                                    160, 40, window, nullptr, instance, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        created = window;
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    });
    e2e::WaitUntil([&] { return created.load() != nullptr; }, 10000, 5);
    return created.load();
}

// Two messages, as a list item must be read across processes (see the program's reading).
std::string ReadItem(HWND list, int index, std::vector<wchar_t>& buffer) {
    if (index < 0) {
        return {};
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0,
                             SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, 5000, &length) ||
        static_cast<LONG_PTR>(length) < 1) {
        return {};
    }
    if (buffer.size() < length + 1) {
        buffer.resize(length + 1);
    }
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, 5000, &copied) ||
        static_cast<LONG_PTR>(copied) < 1) {
        return {};
    }
    int chars = static_cast<int>(copied);
    int bytes = WideCharToMultiByte(CP_ACP, 0, buffer.data(), chars, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, buffer.data(), chars, text.data(), bytes, nullptr, nullptr);
    return text;
}

bool ReferenceRun(const Options& options, const std::wstring& destination) {
    partner_sim::Sim sim;
    if (!StartPartner(sim, SmallItems(options))) {
        std::fprintf(stderr, "partner_sim did not start\n");
        return false;
    }
    HWND list = partner_sim::ListBox(sim.dialog);
    std::thread uiThread;
    HWND window = StartReferenceWindow(uiThread);
    std::string folder = ToAnsi(destination);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<wchar_t> buffer;
    double lists = 0, status = 0, box = 0, copy = 0, move = 0;
    int passes = 0;
    double started = NowMs();
    for (int pass = 1; pass <= kMaxPasses; ++pass) {
        double t0 = NowMs();
        std::string first = ReadItem(list, 0, buffer);
        std::string current = ReadItem(list, pass - 1, buffer);
        std::string previous = ReadItem(list, pass - 2, buffer);
        double t1 = NowMs();
        SendMessageA(window, kSetStatus, 0, reinterpret_cast<LPARAM>(previous.c_str()));
        double t2 = NowMs();
        lists += t1 - t0;
        status += t2 - t1;
        if (first.empty() || current.empty()) {
            break;
        }
        std::size_t slash = current.rfind('\\');
        std::size_t dot = current.rfind('.');
        std::string base = current.substr(slash + 1, dot - slash - 1);
        std::string type;
        SendMessageA(window, kGetType, 0, reinterpret_cast<LPARAM>(&type));
        double t3 = NowMs();
        std::string partial = folder + "~partial.tmp";
        CopyFileA(current.c_str(), partial.c_str(), TRUE);
        double t4 = NowMs();
        MoveFileExA(partial.c_str(), (folder + base + "." + type).c_str(), 0);
        double t5 = NowMs();
        box += t3 - t2;
        copy += t4 - t3;
        move += t5 - t4;
        ++passes;
    }
    double elapsed = NowMs() - started;
    PostMessageA(window, WM_CLOSE, 0, 0);
    uiThread.join();
    int copied = CountFiles(destination);
    if (copied != passes) {
        std::fprintf(stderr, "reference copied %d files in %d passes\n", copied, passes);
        return false;
    }
    Result("small_ref_ms", elapsed);
    Result("small_ref_pass_ms", elapsed / passes);
    Result("ref_lists_pass_ms", lists / passes);
    Result("ref_status_pass_ms", status / passes);
    Result("ref_box_pass_ms", box / passes);
    Result("ref_copy_pass_ms", copy / passes);
    Result("ref_move_pass_ms", move / passes);
    return true;
}

bool BareRun(const Options& options, const std::wstring& destination) {
    CreateDirectoryW(destination.c_str(), nullptr);
    int count = std::min(options.items, kMaxPasses);
    std::vector<std::string> sources, targets;
    for (int i = 0; i < count; ++i) {
        sources.push_back(ToAnsi(SmallSource(options, i)));
        targets.push_back(ToAnsi(destination + SmallTargetName(i)));
    }
    double started = NowMs();
    for (int i = 0; i < count; ++i) {
        CopyFileA(sources[static_cast<std::size_t>(i)].c_str(),
                  targets[static_cast<std::size_t>(i)].c_str(), TRUE);
    }
    double elapsed = NowMs() - started;
    if (CountFiles(destination) != count) {
        std::fprintf(stderr, "bare loop copied too few files\n");
        return false;
    }
    Result("small_bare_ms", elapsed);
    Result("small_bare_pass_ms", elapsed / count);
    return true;
}

// ---- start-up -----------------------------------------------------------------------------------

struct WindowSearch {
    DWORD pid;
    bool found;
};

BOOL CALLBACK FindShownWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds from CreateProcess to a visible top-level window of the new process, or -1.
double TimeToWindow(const std::wstring& exe, const std::wstring& folder) {
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    double started = NowMs();
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        return -1;
    }
    WindowSearch search{info.dwProcessId, false};
    double shown = -1;
    while (NowMs() - started < 30000) {
        EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            shown = NowMs() - started;
            break;
        }
        Sleep(1);
    }
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return shown;
}

bool Startup(const Options& options) {
    std::wstring folder = MakeTempFolder(L"fennrow-bench-start");
    std::wstring fennrow = folder + L"fennrow.exe";
    std::wstring minimal = folder + L"bench_min_window.exe";
    if (!CopyFileW((e2e::ExeDir() + L"fennrow.exe").c_str(), fennrow.c_str(), FALSE) ||
        !CopyFileW((e2e::ExeDir() + L"bench_min_window.exe").c_str(), minimal.c_str(), FALSE)) {
        return false;
    }
    // The first start writes the skin engine beside the program; measure the later ones.
    TimeToWindow(fennrow, folder);
    TimeToWindow(minimal, folder);
    bool ok = true;
    for (int run = 0; run < options.runs; ++run) {
        double f = TimeToWindow(fennrow, folder);
        double m = TimeToWindow(minimal, folder);
        ok = ok && f >= 0 && m >= 0;
        Result("startup_fennrow_ms", f);
        Result("startup_minimal_ms", m);
    }
    Sleep(200);
    RemoveTree(folder);
    return ok;
}

bool ParseOptions(Options& options) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i + 1 < count; i += 2) {
        std::wstring name = arguments[i], value = arguments[i + 1];
        if (name == L"--case") {
            options.caseName = value;
        } else if (name == L"--data") {
            options.data = value;
        } else if (name == L"--items") {
            options.items = _wtoi(value.c_str());
        } else if (name == L"--runs") {
            options.runs = _wtoi(value.c_str());
        } else {
            return false;
        }
    }
    LocalFree(arguments);
    if (!options.data.empty() && options.data.back() != L'\\') {
        options.data += L'\\';
    }
    return !options.caseName.empty() && !options.data.empty() && options.items > 1;
}

} // namespace

int main() {
    QueryPerformanceFrequency(&g_frequency);
    Options options;
    if (!ParseOptions(options)) {
        std::fprintf(stderr,
                     "usage: fennrow_bench --case CASE --data FOLDER [--items N] [--runs N]\n");
        return 2;
    }
    const std::wstring& c = options.caseName;
    std::wstring out = options.data + L"out-" + c + L"\\";
    RemoveTree(out);
    CreateDirectoryW(out.c_str(), nullptr);
    bool ok = false;
    if (c == L"prepare") {
        ok = Prepare(options);
    } else if (c == L"small-fennrow") {
        double ms = FennrowRun(SmallItems(options), out, true, 1800000, 20);
        ok = ms >= 0;
        Result("small_fennrow_ms", ms);
        Result("small_fennrow_pass_ms", ms / std::min(options.items, kMaxPasses));
    } else if (c == L"small-ref") {
        ok = ReferenceRun(options, out);
    } else if (c == L"small-bare") {
        ok = BareRun(options, out);
    } else if (c == L"big-fennrow") {
        double ms = FennrowRun({options.data + L"big.bin"}, out, false, 600000, 2);
        ok = ms >= 0;
        Result("big_fennrow_mibs", ms > 0 ? 1024.0 * 1000.0 / ms : -1);
    } else if (c == L"big-bare") {
        std::wstring target = out + L"big.dat";
        double started = NowMs();
        ok =
            CopyFileA(ToAnsi(options.data + L"big.bin").c_str(), ToAnsi(target).c_str(), TRUE) != 0;
        double ms = NowMs() - started;
        Result("big_bare_mibs", ok ? 1024.0 * 1000.0 / ms : -1);
    } else if (c == L"startup") {
        ok = Startup(options);
    }
    RemoveTree(out);
    return ok ? 0 : 1;
}

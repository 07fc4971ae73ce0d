// Reliability and bad input: faults while a run works, load, what the user may type and what a
// broken or hostile partner may list. In every case: no crash, no hang, no file overwritten or
// left half-written under a final name, nothing written outside the destination folder, and
// every listed file either copied or counted in the report at the end of the run.
//
// FENNROW_SLOW_TESTS=1 runs the load case with 7000 items per run (about 20 minutes under Wine);
// FENNROW_SMALL_DRIVE (e.g. "R:\") names a small drive for the disk-full case (run-suite.sh
// mounts one when the machine allows it).
#include "fennrow_session.h"
#include "support/partner_sim_client.h"

#include <gtest/gtest.h>

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace fennrow_test;

namespace {

constexpr const char* kNoListText = "请先在CHK文件恢复专家中搜索并且选择所需要恢复的";
constexpr const char* kIndicatorReady = "CHK文件恢复专家已运行  可使用";

bool SlowTests() {
    const char* value = std::getenv("FENNROW_SLOW_TESTS");
    return value != nullptr && std::string(value) == "1";
}

// Every file below `folder` (trailing backslash), as paths relative to it.
void CollectFiles(const std::wstring& folder, const std::wstring& prefix,
                  std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + name + L"\\");
            CollectFiles(folder + name + L"\\", prefix + name + L"\\", out);
        } else {
            out.push_back(prefix + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The long-path form: no trailing dots or spaces are dropped from the components, so folders
// such as "jpg." that the file system accepted can be looked into as they are.
std::wstring Literal(const std::wstring& path) {
    return path.rfind(L"\\\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

std::vector<std::wstring> TreeOf(const std::wstring& folder) {
    std::vector<std::wstring> entries;
    CollectFiles(Literal(folder), L"", entries);
    return entries;
}

std::string ReadLiteral(const std::wstring& path) {
    return ReadFileBytes(Literal(path));
}

// Removes what RemoveTree may leave: entries whose names only the long-path form reaches.
void RemoveLiteralTree(const std::wstring& folder) {
    std::vector<std::wstring> entries = TreeOf(folder);
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        std::wstring path = Literal(folder + *entry);
        if (entry->ends_with(L"\\")) {
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(Literal(folder).c_str());
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const std::wstring& entry : TreeOf(folder)) {
        if (entry.find(L'\\') == std::wstring::npos) {
            names.push_back(entry);
        }
    }
    return names;
}

bool IsPartial(const std::wstring& name) {
    return name.ends_with(L".fennrow-partial");
}

int ThreadCount(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == pid;
    }
    CloseHandle(snapshot);
    return count;
}

struct ProcessStats {
    unsigned long long memory = 0; // private bytes, or the working set where those are not kept
    unsigned long handles = 0;
};

// From the system's process list: Wine answers GetProcessMemoryInfo and GetProcessHandleCount
// with zeros for another process, but fills this list (memory from the host's view).
ProcessStats StatsOf(DWORD pid) {
    using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    ProcessStats stats;
    if (query == nullptr) {
        return stats;
    }
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    while (query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                 &needed) != 0) {
        if (buffer.size() >= (64u << 20)) {
            return stats;
        }
        buffer.resize(buffer.size() * 2);
    }
    for (std::size_t offset = 0;;) {
        auto* info = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(info->UniqueProcessId) == pid) {
            stats.memory = info->PrivatePageCount != 0 ? info->PrivatePageCount
                                                       : info->VirtualMemoryCounters.WorkingSetSize;
            stats.handles = info->HandleCount;
            return stats;
        }
        if (info->NextEntryOffset == 0) {
            return stats;
        }
        offset += info->NextEntryOffset;
    }
}

// "有 N 个文件未能复制" in the report at the end of a run; -1 when the text is no such report.
int ReportedFailures(const std::string& text) {
    const std::string head = "有 ";
    if (text.rfind(head, 0) != 0 || text.find(" 个文件未能复制") == std::string::npos) {
        return -1;
    }
    return std::atoi(text.c_str() + head.size());
}

void WriteBigFile(const std::wstring& path, int megabytes, char seed) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string chunk(1 << 20, seed);
    for (int i = 0; i < megabytes; ++i) {
        chunk[0] = static_cast<char>(i);
        DWORD written = 0;
        WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
    }
    CloseHandle(file);
}

// A stand-in partner inside the test process, for faults that must strike at one exact list
// message: the first time Fennrow asks for the length of item `index` (its read of that item as
// the current one), the list vanishes or stops answering for a while.
struct FakePartner {
    enum class Fault { Vanish, Hang };

    std::vector<std::wstring> items;
    int faultIndex = -1;
    Fault fault = Fault::Vanish;
    DWORD hangMs = 0;

    std::thread thread;
    std::atomic<HWND> dialog{nullptr};
    std::atomic<bool> struck{false};
    std::atomic<DWORD> threadId{0};
    HWND list = nullptr;
    WNDPROC listProc = nullptr;

    static FakePartner*& Current() {
        static FakePartner* current = nullptr;
        return current;
    }

    static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        FakePartner* self = Current();
        if (message == LB_GETTEXTLEN && static_cast<int>(wParam) == self->faultIndex &&
            !self->struck.exchange(true)) {
            if (self->fault == Fault::Vanish) {
                CallWindowProcW(self->listProc, window, LB_RESETCONTENT, 0, 0);
            } else {
                Sleep(self->hangMs);
            }
        }
        return CallWindowProcW(self->listProc, window, message, wParam, lParam);
    }

    bool Start() {
        Current() = this;
        thread = std::thread([this] {
            threadId = GetCurrentThreadId();
            HWND window = CreateWindowExW(0, L"#32770", partner_sim::kPartnerTitle,
                                          WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 0, 300, 300,
                                          nullptr, nullptr, nullptr, nullptr);
            list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | LBS_HASSTRINGS, 0, 0,
                                   280, 250, window, nullptr, nullptr, nullptr);
            for (const std::wstring& item : items) {
                SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            }
            listProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListProc)));
            dialog = window;
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            DestroyWindow(window);
        });
        return e2e::WaitUntil([&] { return dialog.load() != nullptr; }, 5000);
    }

    ~FakePartner() {
        if (thread.joinable()) {
            PostThreadMessageW(threadId, WM_QUIT, 0, 0);
            thread.join();
        }
        Current() = nullptr;
    }
};

class Reliability : public ::testing::Test {
  protected:
    void SetUp() override {
        found = MakeTempFolder(L"found");
        saveRoot = MakeTempFolder(L"save");
        ASSERT_TRUE(Start(session));
    }
    void TearDown() override {
        for (HWND box : e2e::TopWindows(session.process.pid)) {
            if (e2e::ClassName(box) == "#32770") {
                e2e::ClickMessage(e2e::Child(box, IDOK));
            }
        }
        partner_sim::Kill(sim);
        RemoveTree(found);
        RemoveTree(saveRoot);
        RemoveLiteralTree(saveRoot);
    }

    // Sample files FILE0000.CHK … in `found` + subfolder; each content names its file.
    std::vector<std::wstring> MakeSources(int count, const std::wstring& subfolder = L"") {
        return MakeSampleFiles(found + subfolder, count);
    }

    bool WaitForIndicator() {
        return e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kIndicatorReady; },
                              5000);
    }

    bool StartPartner(const std::vector<std::string>& utf8Items) {
        partner_sim::StartOptions options;
        options.items = utf8Items;
        options.timeoutMs = 60000;
        return partner_sim::Start(sim, options) && WaitForIndicator();
    }
    bool StartPartner(const std::vector<std::wstring>& items) {
        std::vector<std::string> utf8;
        for (const std::wstring& item : items) {
            utf8.push_back(ToUtf8(item));
        }
        return StartPartner(utf8);
    }

    // Fills both boxes and clicks the start button (the same request as Enter in the type box).
    void RequestStart(const std::string& folder, const std::string& type) {
        e2e::SetText(session.Control(kFolderBox), folder);
        e2e::SetText(session.Control(kTypeBox), type);
        e2e::SetText(session.Control(kStatusLine), "");
        ASSERT_TRUE(e2e::ClickMessage(session.Control(kStartButton)));
    }

    bool WaitForStatus(const std::wstring& path, DWORD timeoutMs) {
        std::string expected = ToAnsi(path);
        return e2e::WaitUntil([&] { return session.ControlText(kStatusLine) == expected; },
                              timeoutMs, 50);
    }

    // The plain notice "信息：" (the report at the end of a run or the missing-list notice):
    // its text, after closing it; "" when none came.
    std::string TakePlainNotice(DWORD timeoutMs) {
        HWND box = e2e::FindMessageBox(session.process.pid, "信息：", timeoutMs);
        if (box == nullptr) {
            return {};
        }
        std::string text = e2e::ReadMessageBox(box).text;
        e2e::ClickMessage(e2e::Child(box, IDOK));
        e2e::WaitGone(box, 5000);
        return text;
    }

    // No partial copy left anywhere below the save root, and every file in `destination` holds
    // exactly the bytes of one of `sources`. Returns how many files it holds.
    int ExpectIntactCopies(const std::wstring& destination,
                           const std::vector<std::wstring>& sources) {
        std::set<std::string> contents;
        for (const std::wstring& source : sources) {
            contents.insert(ReadFileBytes(source));
        }
        for (const std::wstring& entry : TreeOf(saveRoot)) {
            EXPECT_FALSE(IsPartial(entry)) << ToUtf8(entry);
        }
        int count = 0;
        for (const std::wstring& name : FilesIn(destination)) {
            ++count;
            EXPECT_EQ(contents.count(ReadLiteral(destination + name)), 1u)
                << "damaged: " << ToUtf8(name);
        }
        return count;
    }

    // What the program shows and what lies below the save root, for failure messages.
    std::string Describe() {
        std::string text = e2e::IsRunning(session.process) ? "\nrunning" : "\nNOT RUNNING";
        text += "\nboxes:";
        for (HWND box : e2e::TopWindows(session.process.pid)) {
            if (e2e::ClassName(box) == "#32770") {
                e2e::MessageBoxInfo info = e2e::ReadMessageBox(box);
                text += " [" + info.caption + ": " + info.text + "]";
            }
        }
        text += "\nstatus: " + session.ControlText(kStatusLine) + "\nunder the save root:";
        for (const std::wstring& entry : TreeOf(saveRoot)) {
            text += "\n  " + ToAnsi(entry);
            if (!entry.ends_with(L"\\")) {
                text += " (" + std::to_string(ReadLiteral(saveRoot + entry).size()) + " bytes)";
            }
        }
        return text;
    }

    bool Responsive() {
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(session.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                   &answer) != 0;
    }

    Session session;
    partner_sim::Sim sim;
    std::wstring found, saveRoot;
};

// ---- faults ---------------------------------------------------------------------------------

// Fennrow killed while it copies the second of three files: the first keeps its full copy, no
// final name holds part of the second, and the next run finishes the list with the leftover
// removed.
TEST_F(Reliability, KilledInTheMiddleOfAListTheNextRunCompletesIt) {
    std::vector<std::wstring> items = MakeSources(3);
    ASSERT_NO_FATAL_FAILURE(WriteBigFile(items[1], 512, 'b'));
    ASSERT_TRUE(StartPartner(items));
    RequestStart(ToAnsi(saveRoot), "jpg");
    std::wstring destination = saveRoot + L"jpg\\";
    // A partial copy seen after FILE0000.jpg exists belongs to the second file.
    bool caught = e2e::WaitUntil(
        [&] {
            if (!Exists(destination + L"FILE0000.jpg")) {
                return false;
            }
            for (const std::wstring& name : FilesIn(destination)) {
                if (IsPartial(name)) {
                    return true;
                }
            }
            return false;
        },
        30000, 1);
    e2e::Kill(session.process);
    if (!caught) {
        GTEST_SKIP() << "the second copy finished before it could be interrupted";
    }
    // Whatever the moment the kill struck: every final name holds a whole copy.
    for (int i = 0; i < 3; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"FILE%04d.jpg", i);
        if (i == 0 || Exists(destination + name)) {
            EXPECT_EQ(ReadFileBytes(destination + name), ReadFileBytes(items[i])) << i;
        }
    }

    Session next;
    ASSERT_TRUE(Start(next));
    std::swap(session.process, next.process);
    session.window = next.window;
    ASSERT_TRUE(WaitForIndicator());
    RequestStart(ToAnsi(saveRoot), "jpg");
    ASSERT_TRUE(WaitForStatus(items[2], 120000));
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 500), nullptr);
    std::vector<std::wstring> names = FilesIn(destination);
    EXPECT_EQ(names.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"FILE%04d.jpg", i);
        EXPECT_EQ(ReadFileBytes(destination + name), ReadFileBytes(items[i])) << i;
    }
}

TEST_F(Reliability, PartnerTerminatedDuringTheRunEndsItWithTheNotice) {
    std::vector<std::wstring> items = MakeSources(3000); // the run must outlast the kill
    ASSERT_TRUE(StartPartner(items));
    RequestStart(ToAnsi(saveRoot), "jpg");
    std::wstring destination = saveRoot + L"jpg\\";
    ASSERT_TRUE(e2e::WaitUntil([&] { return FilesIn(destination).size() >= 10; }, 30000, 5));
    ASSERT_TRUE(TerminateProcess(sim.process, 9));
    EXPECT_EQ(TakePlainNotice(20000), kNoListText);
    EXPECT_TRUE(Responsive());
    EXPECT_LT(ExpectIntactCopies(destination, items), 3000);
}

TEST_F(Reliability, PartnerNotAnsweringEndsTheRunWithinItsBoundAndTheWindowAnswers) {
    // Long enough that the run cannot end before the partner stops answering.
    std::vector<std::wstring> items = MakeSources(3000);
    ASSERT_TRUE(StartPartner(items));
    RequestStart(ToAnsi(saveRoot), "jpg");
    std::wstring destination = saveRoot + L"jpg\\";
    ASSERT_TRUE(e2e::WaitUntil([&] { return FilesIn(destination).size() >= 10; }, 30000, 5));
    // The partner stops answering for 40 s; each list message is bound to 5 s.
    ASSERT_TRUE(partner_sim::SendCommand(sim, "hang 40000"));
    EXPECT_TRUE(Responsive());
    HWND box = e2e::FindMessageBox(session.process.pid, "信息：", 30000);
    ASSERT_NE(box, nullptr) << "the run did not end while the partner hung";
    EXPECT_EQ(e2e::ReadMessageBox(box).text, kNoListText);
    EXPECT_TRUE(Responsive());
    e2e::ClickMessage(e2e::Child(box, IDOK));
    EXPECT_LT(ExpectIntactCopies(destination, items), 3000);
}

// Faults that strike exactly between the check of item 0 and the read of the current item: the
// run must not end as if the list were done.
struct FakeFaultCase {
    const char* name;
    FakePartner::Fault fault;
};

class PartnerFaultAtTheCurrentItem : public Reliability,
                                     public ::testing::WithParamInterface<FakeFaultCase> {};

TEST_P(PartnerFaultAtTheCurrentItem, EndsTheRunWithTheNotice) {
    std::vector<std::wstring> items = MakeSources(5);
    FakePartner partner;
    partner.items = items;
    partner.faultIndex = 2;
    partner.fault = GetParam().fault;
    partner.hangMs = 20000;
    ASSERT_TRUE(partner.Start());
    ASSERT_TRUE(WaitForIndicator());
    RequestStart(ToAnsi(saveRoot), "jpg");
    EXPECT_EQ(TakePlainNotice(40000), kNoListText) << "the run ended silently";
    EXPECT_TRUE(partner.struck);
    std::wstring destination = saveRoot + L"jpg\\";
    EXPECT_EQ(ExpectIntactCopies(destination, items), 2);
}

INSTANTIATE_TEST_SUITE_P(Faults, PartnerFaultAtTheCurrentItem,
                         ::testing::Values(FakeFaultCase{"ListVanishes",
                                                         FakePartner::Fault::Vanish},
                                           FakeFaultCase{"PartnerHangs", FakePartner::Fault::Hang}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Reliability, DestinationRemovedDuringTheRunFailuresAreReported) {
    std::vector<std::wstring> items = MakeSources(3000); // the run must outlast the removal
    ASSERT_TRUE(StartPartner(items));
    RequestStart(ToAnsi(saveRoot), "jpg");
    std::wstring destination = saveRoot + L"jpg\\";
    ASSERT_TRUE(e2e::WaitUntil([&] { return FilesIn(destination).size() >= 20; }, 30000, 5));
    // Files keep arriving while the folder is removed: remove until it stays gone.
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            RemoveTree(destination);
            return !Exists(saveRoot + L"jpg");
        },
        20000, 10));
    std::string report = TakePlainNotice(120000);
    int failures = ReportedFailures(report);
    EXPECT_GT(failures, 0) << report;
    // The rest of the list after the removal: each item failed and was counted.
    int left = ExpectIntactCopies(destination, items);
    EXPECT_EQ(left, 0);
    EXPECT_LT(failures, 3000);
    EXPECT_TRUE(e2e::IsRunning(session.process));
}

TEST_F(Reliability, DiskFullFailuresAreReportedAndNothingIsHalfWritten) {
    const char* drive = std::getenv("FENNROW_SMALL_DRIVE");
    if (drive == nullptr || *drive == '\0') {
        GTEST_SKIP() << "NOT TESTED: no small drive (FENNROW_SMALL_DRIVE unset; run-suite.sh "
                        "mounts one when the machine allows it)";
    }
    std::wstring root = FromAnsi(drive);
    ULARGE_INTEGER freeBytes{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &freeBytes, nullptr, nullptr));
    // Twice as much as fits, in 1 MB files.
    int count = static_cast<int>(freeBytes.QuadPart / (1 << 20)) * 2 + 2;
    ASSERT_LE(count, 64) << "the small drive is too big for this case";
    std::vector<std::wstring> items;
    for (int i = 0; i < count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"BIG%04d.CHK", i);
        items.push_back(found + name);
        ASSERT_NO_FATAL_FAILURE(WriteBigFile(items.back(), 1, static_cast<char>('a' + i % 26)));
    }
    std::wstring save = root + L"full-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(StartPartner(items));
    RequestStart(ToAnsi(save), "jpg");
    std::string report = TakePlainNotice(120000);
    int failures = ReportedFailures(report);
    std::wstring destination = save + L"jpg\\";
    std::set<std::string> contents;
    for (const std::wstring& item : items) {
        contents.insert(ReadFileBytes(item));
    }
    int copied = 0;
    for (const std::wstring& name : FilesIn(destination)) {
        EXPECT_FALSE(IsPartial(name)) << ToUtf8(name);
        EXPECT_EQ(contents.count(ReadLiteral(destination + name)), 1u) << ToUtf8(name);
        ++copied;
    }
    EXPECT_GT(failures, 0) << report;
    EXPECT_EQ(copied + failures, count) << "every listed file copied or reported";
    RemoveTree(save);
}

// ---- load -----------------------------------------------------------------------------------

TEST_F(Reliability, HundredStartRequestsInABurstEachRunEndsAndNothingIsDuplicated) {
    std::vector<std::wstring> items = MakeSources(20);
    ASSERT_TRUE(StartPartner(items));
    RequestStart(ToAnsi(saveRoot), "jpg");
    ASSERT_TRUE(WaitForStatus(items.back(), 30000));
    ASSERT_TRUE(e2e::WaitUntil([&] { return ThreadCount(session.process.pid) > 0; }, 1000));
    Sleep(500);
    int baseline = ThreadCount(session.process.pid);

    // Enter held down: one key-down, then auto-repeats (previous-state bit set), then the key-up.
    HWND typeBox = session.Control(kTypeBox);
    UINT scan = MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC);
    for (int i = 0; i < 100; ++i) {
        LPARAM lParam = 1 | (static_cast<LPARAM>(scan) << 16) | (i > 0 ? (1L << 30) : 0);
        ASSERT_TRUE(PostMessageW(typeBox, WM_KEYDOWN, VK_RETURN, lParam));
    }
    PostMessageW(typeBox, WM_KEYUP, VK_RETURN,
                 1 | (static_cast<LPARAM>(scan) << 16) | (1L << 30) | (1L << 31));
    int most = 0;
    bool settled = e2e::WaitUntil(
        [&] {
            int now = ThreadCount(session.process.pid);
            most = std::max(most, now);
            return most >= baseline + 50 && now <= baseline;
        },
        300000, 100);
    EXPECT_GE(most, baseline + 50) << "the burst did not start the workers";
    EXPECT_TRUE(settled) << "threads left: " << ThreadCount(session.process.pid) - baseline;
    EXPECT_TRUE(e2e::IsRunning(session.process));
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 500), nullptr);
    std::wstring destination = saveRoot + L"jpg\\";
    std::vector<std::wstring> names = FilesIn(destination);
    EXPECT_EQ(names.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"FILE%04d.jpg", i);
        EXPECT_EQ(ReadFileBytes(destination + name), ReadFileBytes(items[i])) << i;
    }
}

TEST_F(Reliability, SuccessiveRunsKeepMemoryAndHandlesFlat) {
    const int itemCount = SlowTests() ? 7000 : 300;
    const int runs = 10;
    std::vector<std::wstring> items = MakeSources(itemCount);
    ASSERT_TRUE(StartPartner(items));
    ASSERT_TRUE(e2e::WaitUntil([&] { return ThreadCount(session.process.pid) > 0; }, 1000));
    int idleThreads = ThreadCount(session.process.pid);
    std::vector<unsigned long long> privateBytes;
    std::vector<unsigned long> handles;
    for (int run = 0; run < runs; ++run) {
        RequestStart(ToAnsi(saveRoot), "jpg");
        ASSERT_TRUE(WaitForStatus(items.back(), itemCount * 200 + 30000)) << "run " << run;
        ASSERT_TRUE(
            e2e::WaitUntil([&] { return ThreadCount(session.process.pid) <= idleThreads; }, 10000))
            << "run " << run;
        ProcessStats stats = StatsOf(session.process.pid);
        ASSERT_GT(stats.memory, 0u) << "no memory figure for the process";
        ASSERT_GT(stats.handles, 0u) << "no handle count for the process";
        privateBytes.push_back(stats.memory);
        handles.push_back(stats.handles);
    }
    EXPECT_EQ(FilesIn(saveRoot + L"jpg\\").size(), static_cast<std::size_t>(itemCount));
    // The first run warms up (late binding, buffers); from then on nothing may grow per run.
    std::string trace;
    for (int run = 0; run < runs; ++run) {
        trace +=
            std::to_string(privateBytes[run] / 1024) + "K/" + std::to_string(handles[run]) + " ";
    }
    RecordProperty("private_and_handles_per_run", trace);
    std::printf("private usage / handles after each run: %s\n", trace.c_str());
    EXPECT_LE(privateBytes[runs - 1], privateBytes[1] + 2 * 1024 * 1024) << trace;
    EXPECT_LE(handles[runs - 1], handles[1] + 4) << trace;
}

// ---- bad input from the user ----------------------------------------------------------------

enum class Outcome {
    NoFolderNotice, // "警告" 未知错误，无法创建保存目录。
    Report,         // the run goes on and reports the items it could not copy
    Copied,         // the file system accepts the name: the run copies both items
};

struct InputCase {
    const char* name;
    std::string folder; // "%s" at the start stands for the save root
    std::string type;
    Outcome outcome;
};

class BadUserInput : public Reliability, public ::testing::WithParamInterface<InputCase> {};

TEST_P(BadUserInput, GetsTheNoticeOrAnHonestReportAndOverwritesNothing) {
    const InputCase& c = GetParam();
    std::vector<std::wstring> items = MakeSources(2);
    // Files that must come out unchanged: a copy already in place and a file in the folder's way.
    CreateDirectoryW((saveRoot + L"jpg").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(saveRoot + L"jpg\\FILE0000.jpg", "sentinel"));
    ASSERT_TRUE(WriteFileBytes(saveRoot + L"afile", "sentinel"));
    ASSERT_TRUE(StartPartner(items));
    std::string folder = c.folder;
    if (folder.rfind("%s", 0) == 0) {
        folder = ToAnsi(saveRoot) + folder.substr(2);
    }
    RequestStart(folder, c.type);
    if (c.outcome == Outcome::NoFolderNotice) {
        HWND box = e2e::FindMessageBox(session.process.pid, "警告", 10000);
        ASSERT_NE(box, nullptr) << Describe();
        EXPECT_EQ(e2e::ReadMessageBox(box).text, "未知错误，无法创建保存目录。");
        e2e::ClickMessage(e2e::Child(box, IDOK));
        e2e::WaitGone(box, 5000);
    } else if (c.outcome == Outcome::Report) {
        std::string report = TakePlainNotice(30000);
        EXPECT_EQ(ReportedFailures(report), 2) << report << Describe();
    } else {
        ASSERT_TRUE(WaitForStatus(items[1], 30000)) << Describe();
        EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 1000), nullptr);
    }
    EXPECT_TRUE(e2e::IsRunning(session.process));
    EXPECT_EQ(ReadFileBytes(saveRoot + L"jpg\\FILE0000.jpg"), "sentinel");
    EXPECT_EQ(ReadFileBytes(saveRoot + L"afile"), "sentinel");
    // Nothing else was written but folders and whole copies.
    std::set<std::string> contents = {ReadFileBytes(items[0]), ReadFileBytes(items[1])};
    int copies = 0;
    for (const std::wstring& entry : TreeOf(saveRoot)) {
        if (entry.ends_with(L"\\") || entry == L"afile" || entry == L"jpg\\FILE0000.jpg") {
            continue;
        }
        EXPECT_EQ(contents.count(ReadLiteral(saveRoot + entry)), 1u) << ToUtf8(entry);
        ++copies;
    }
    EXPECT_EQ(copies, c.outcome == Outcome::Copied ? 2 : 0) << Describe();
}

INSTANTIATE_TEST_SUITE_P(
    Types, BadUserInput,
    ::testing::Values(InputCase{"Star", "%s", "a*b", Outcome::NoFolderNotice},
                      InputCase{"Question", "%s", "a?b", Outcome::NoFolderNotice},
                      InputCase{"Less", "%s", "a<b", Outcome::NoFolderNotice},
                      InputCase{"Greater", "%s", "a>b", Outcome::NoFolderNotice},
                      InputCase{"Bar", "%s", "a|b", Outcome::NoFolderNotice},
                      InputCase{"Quote", "%s", "a\"b", Outcome::NoFolderNotice},
                      InputCase{"Colon", "%s", "a:b", Outcome::Report},
                      InputCase{"TrailingSpaces", "%s", "jpg  ", Outcome::Copied},
                      InputCase{"TrailingDots", "%s", "jpg..", Outcome::Copied},
                      InputCase{"Backslash", "%s", "jp\\g", Outcome::Report},
                      InputCase{"ThreeHundredBytes", "%s", std::string(300, 't'),
                                Outcome::NoFolderNotice}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Folders, BadUserInput,
    ::testing::Values(InputCase{"OneComponentOf300Bytes", "%s" + std::string(300, 'd') + "\\",
                                "jpg", Outcome::NoFolderNotice},
                      InputCase{"PathOf320Bytes",
                                "%s" + std::string(100, 'd') + "\\" + std::string(100, 'e') + "\\" +
                                    std::string(120, 'f') + "\\",
                                "jpg", Outcome::NoFolderNotice},
                      InputCase{"MissingDrive", "Q:\\nowhere\\", "jpg", Outcome::NoFolderNotice},
                      InputCase{"NamingAFile", "%safile\\", "jpg", Outcome::NoFolderNotice}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- hostile or broken lists ----------------------------------------------------------------

TEST_F(Reliability, HostileItemsFailAreCountedAndWriteNothingOutsideTheDestination) {
    std::vector<std::wstring> sources = MakeSources(4);
    std::wstring sub = found + L"sub\\";
    CreateDirectoryW(sub.c_str(), nullptr);
    // A real file whose path is longer than MAX_PATH (made through the wide long-path form).
    std::wstring deep = found + std::wstring(200, L'd') + L"\\";
    CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
    std::wstring deepFile = deep + std::wstring(100, L'e') + L".CHK";
    {
        HANDLE file = CreateFileW((L"\\\\?\\" + deepFile).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    std::vector<std::string> good = {ToUtf8(sources[0]), ToUtf8(sub + L"..\\FILE0001.CHK")};
    std::vector<std::string> hostile = {
        ToUtf8(found + std::wstring(300, L'L') + L".CHK"), // longer than MAX_PATH, missing
        ToUtf8(deepFile),                                  // longer than MAX_PATH, present
        ToUtf8(sources[2] + L":evil"),                     // a stream of a listed file
        ToUtf8(sources[2] + L":evil.CHK"),                 // colon in the base name
        ToUtf8(found + L"x.jpg:FILE0002.CHK"),
        ToUtf8(sub + L".."),    // a folder by ".."
        ToUtf8(sub),            // a folder with its backslash
        ToUtf8(found + L"sub"), // a folder
        ToUtf8(found + L"nothere.CHK"),
        ToUtf8(found + L"한국.CHK"),    // no GBK mapping: "??.CHK"
        "C:\\\xff\xfe\\FILE0003.CHK", // invalid UTF-8: U+FFFD, no GBK mapping
        ToUtf8(L"..\\..\\FILE0003.CHK"),
    };
    std::vector<std::string> items = good;
    items.insert(items.end(), hostile.begin(), hostile.end());
    items.push_back(ToUtf8(sources[3]));
    std::vector<std::wstring> foundBefore = TreeOf(found);
    ASSERT_TRUE(StartPartner(items));
    // An unpaired surrogate cannot travel through the list file: put it in directly.
    HWND list = partner_sim::ListBox(sim.dialog);
    std::wstring lone = found + L"\xD800.CHK";
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(list, LB_INSERTSTRING, 3,
                                    reinterpret_cast<LPARAM>(lone.c_str()), SMTO_ABORTIFHUNG, 5000,
                                    &answer));
    std::wstring readBack;
    ASSERT_TRUE(partner_sim::ReadItem(list, 3, readBack));
    ASSERT_EQ(readBack, lone);

    RequestStart(ToAnsi(saveRoot), "jpg");
    std::string report = TakePlainNotice(60000);
    EXPECT_EQ(ReportedFailures(report), static_cast<int>(hostile.size()) + 1) << report;
    std::wstring destination = saveRoot + L"jpg\\";
    std::vector<std::wstring> names = FilesIn(destination);
    std::set<std::wstring> expected = {L"FILE0000.jpg", L"FILE0001.jpg", L"FILE0003.jpg"};
    EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()), expected);
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0000.jpg"), ReadFileBytes(sources[0]));
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0001.jpg"), ReadFileBytes(sources[1]));
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0003.jpg"), ReadFileBytes(sources[3]));
    EXPECT_EQ(TreeOf(saveRoot).size(), 4u); // jpg\ and its three files
    EXPECT_EQ(TreeOf(found), foundBefore);
    for (const std::wstring& source : sources) {
        EXPECT_EQ(ReadFileBytes(source), "content of " + ToAnsi(source));
    }
    RemoveTree(L"\\\\?\\" + deep);
}

struct MutationCase {
    const char* name;
    const wchar_t* newName; // item 2 becomes found + this between the two list messages
    int copied;             // files in the destination afterwards
    int failures;           // counted in the report; 0: no report
};

class ItemChangingBetweenMessages : public Reliability,
                                    public ::testing::WithParamInterface<MutationCase> {};

TEST_P(ItemChangingBetweenMessages, CopiesTheWholeOldOrNewItemOrCountsIt) {
    const MutationCase& c = GetParam();
    std::vector<std::wstring> items = MakeSources(4);
    std::wstring longer = found + L"a much longer name than the other items have.CHK";
    std::wstring shorter = found + L"s.CHK";
    ASSERT_TRUE(WriteFileBytes(longer, "longer"));
    ASSERT_TRUE(WriteFileBytes(shorter, "shorter"));
    ASSERT_TRUE(StartPartner(items));
    std::wstring replacement = *c.newName ? found + c.newName : L"";
    ASSERT_TRUE(partner_sim::SendCommand(sim, "mutate-on-len 2 " + ToUtf8(replacement)));
    RequestStart(ToAnsi(saveRoot), "jpg");
    std::wstring last = *c.newName ? items[3] : items[1];
    if (c.failures > 0) {
        EXPECT_EQ(ReportedFailures(TakePlainNotice(30000)), c.failures);
    } else {
        ASSERT_TRUE(WaitForStatus(last, 30000));
        EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 1000), nullptr);
    }
    std::vector<std::wstring> all = items;
    all.push_back(longer);
    all.push_back(shorter);
    EXPECT_EQ(ExpectIntactCopies(saveRoot + L"jpg\\", all), c.copied);
    std::wstring destination = saveRoot + L"jpg\\";
    if (c.copied == 4 && *c.newName) {
        std::wstring name = c.newName;
        name = name.substr(0, name.rfind(L'.')) + L".jpg";
        EXPECT_EQ(ReadFileBytes(destination + name), ReadFileBytes(found + c.newName));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ItemChangingBetweenMessages,
    ::testing::Values(MutationCase{"GrowsToAnotherFile",
                                   L"a much longer name than the other items have.CHK", 4, 0},
                      MutationCase{"ShrinksToAnotherFile", L"s.CHK", 4, 0},
                      MutationCase{"BecomesAMissingFile", L"gone.CHK", 3, 1},
                      MutationCase{"BecomesEmpty", L"", 2, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

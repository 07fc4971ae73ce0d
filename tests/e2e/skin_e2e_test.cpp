// The skin set-up at start-up: the engine file beside the program, the skinned window, the
// fatal error box when the engine cannot be bound, and what the engine is handed.
//
// Every run starts from its own temporary folder. Runs that must see what reaches the engine use
// a fake engine (tests/skin/fake_engine.cpp) copied there as SkinH_EL.dll; it writes down each
// call in fake_engine.log and the skin bytes in fake_engine_skin.bin beside itself.
#include "fennrow_session.h"
#include "skin/carried_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <ostream>
#include <sstream>

using namespace fennrow_test;

namespace {

const char kAttachRes[] = "SkinH_AttachRes";
const char kSetAero[] = "SkinH_SetAero";

// Colours of skin 9 (skins/09.skin): frame and the lower end of the active caption gradient.
constexpr COLORREF kSkin9Frame = RGB(0x3B, 0x52, 0x72);
constexpr COLORREF kSkin9CaptionBottom = RGB(0x34, 0x50, 0x7A);

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// What the system reports for a file whose attributes were set to hidden alone. Wine reports
// the archive attribute on every regular file whatever was set (it keeps only the other DOS
// attributes), so there hidden alone reads as hidden plus archive.
DWORD HiddenAloneAsReported() {
    return UnderWine() ? (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE) : FILE_ATTRIBUTE_HIDDEN;
}

std::string CarriedSkinBytes(int number) {
    skin::ByteBlock block = skin::CarriedSkin(number);
    return block.data == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(block.data), block.size);
}

std::string BuiltFile(const wchar_t* name) {
    return ReadFileBytes(e2e::ExeDir() + name);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A temporary folder that outlives the runs inside it (declare it before them).
struct TempFolder {
    std::wstring path = MakeTempFolder(L"skin-e2e");
    TempFolder() = default;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        // A killed program may hold its folder for a moment.
        for (int attempt = 0; attempt < 20 && Exists(path); ++attempt) {
            RemoveTree(path);
            if (Exists(path)) {
                Sleep(50);
            }
        }
    }
    std::wstring operator/(const wchar_t* name) const { return path + name; }
};

// One started program; killed if still running at the end of the test.
struct Started {
    e2e::Process process;
    HWND window = nullptr;
    std::wstring probeLog;
    Started() = default;
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    ~Started() { e2e::Release(&process); }

    DWORD WaitForExitCode(DWORD timeoutMs = 15000) {
        DWORD code = 0xDEADDEAD;
        return e2e::WaitExit(process, timeoutMs, &code) ? code : 0xDEADDEAD;
    }
    std::vector<std::string> ProbeSteps() const { return Lines(ReadFileBytes(probeLog)); }
    // Closes the main window the ordinary way; the exit code, 0xDEADDEAD when it did not end.
    DWORD Close() {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return WaitForExitCode();
    }
};

// Copies the named program from the build folder into `folder` (unless it is there already) and
// starts it there with the probe log in that folder; with waitForWindow, also finds its window.
bool StartIn(Started& run, const TempFolder& folder, const wchar_t* program,
             const std::wstring& args = L"", bool waitForWindow = true) {
    std::wstring exe = folder / program;
    if (!Exists(exe) && !CopyFileW((e2e::ExeDir() + program).c_str(), exe.c_str(), TRUE)) {
        return false;
    }
    run.probeLog = folder / L"probe.log";
    SetEnvironmentVariableA("FENNROW_PROBE_LOG", ToAnsi(run.probeLog).c_str());
    bool launched = e2e::Launch(exe, args, folder.path, &run.process, 15000);
    SetEnvironmentVariableA("FENNROW_PROBE_LOG", nullptr);
    if (!launched || !waitForWindow) {
        return launched;
    }
    run.window =
        e2e::FindTopWindow(run.process.pid, "FennrowMainWindow", "Fennrow", kStartTimeoutMs);
    return run.window != nullptr;
}

bool PlaceFakeEngine(const TempFolder& folder, const wchar_t* fake) {
    return CopyFileW((e2e::ExeDir() + fake).c_str(), (folder / L"SkinH_EL.dll").c_str(), FALSE) !=
           0;
}

struct FileState {
    bool exists = false;
    DWORD attributes = 0;
    FILETIME written{};
    std::string bytes;
};

FileState StateOf(const std::wstring& path) {
    FileState state;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return state;
    }
    state.exists = true;
    state.attributes = data.dwFileAttributes;
    state.written = data.ftLastWriteTime;
    state.bytes = ReadFileBytes(path);
    return state;
}

bool SameWriteTime(const FileState& a, const FileState& b) {
    return CompareFileTime(&a.written, &b.written) == 0;
}

// True when no file SkinH_EL.dll lies where the standard DLL search would look for a program in
// another folder: the system folder, the Windows folder and the folders of PATH.
bool EngineOnStandardSearchPath() {
    std::vector<std::string> folders;
    char buffer[MAX_PATH];
    if (UINT n = GetSystemDirectoryA(buffer, MAX_PATH); n > 0 && n < MAX_PATH) {
        folders.emplace_back(buffer, n);
    }
    if (UINT n = GetWindowsDirectoryA(buffer, MAX_PATH); n > 0 && n < MAX_PATH) {
        folders.emplace_back(buffer, n);
    }
    std::vector<char> path(32768);
    DWORD length = GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size()));
    std::istringstream entries(std::string(path.data(), length < path.size() ? length : 0));
    for (std::string entry; std::getline(entries, entry, ';');) {
        if (!entry.empty()) {
            folders.push_back(entry);
        }
    }
    return std::any_of(folders.begin(), folders.end(), [](const std::string& folder) {
        return GetFileAttributesA((folder + "\\SkinH_EL.dll").c_str()) != INVALID_FILE_ATTRIBUTES;
    });
}

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

bool Near(COLORREF actual, COLORREF expected, int tolerance) {
    return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

std::string Hex(COLORREF colour) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour),
                  GetBValue(colour));
    return text;
}

} // namespace

TEST(SkinEngineFile, FirstStartWritesTheCarriedEngineHiddenAlone) {
    TempFolder folder;
    Started run;
    ASSERT_TRUE(StartIn(run, folder, L"fennrow.exe"));
    FileState engine = StateOf(folder / L"SkinH_EL.dll");
    ASSERT_TRUE(engine.exists);
    std::string built = BuiltFile(L"SkinH_EL.dll");
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(engine.bytes.size(), built.size());
    EXPECT_TRUE(engine.bytes == built) << "the written engine differs from the carried image";
    EXPECT_EQ(engine.attributes, HiddenAloneAsReported());
    EXPECT_EQ(run.Close(), 0u);
}

TEST(SkinEngineFile, WindowIsDrawnWithSkin9) {
    TempFolder folder;
    Started run;
    ASSERT_TRUE(StartIn(run, folder, L"fennrow.exe"));
    ASSERT_TRUE(e2e::BringToForeground(run.window));
    RECT frame = e2e::WindowRect(run.window);
    RECT client = e2e::ClientRect(run.window);
    int border = client.left - frame.left;
    // Outline on the outer pixel, a separating line just outside the client area, the frame
    // colour between them.
    ASSERT_GE(border, 3);
    POINT framePoint{frame.left + 1, (client.top + client.bottom) / 2};
    // Just above the line under the caption, in the middle: the lower end of the gradient, clear
    // of the sheen, the icon, the title and the caption buttons.
    POINT captionPoint{(frame.left + frame.right) / 2, client.top - 2};
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return ScreenPixel(framePoint.x, framePoint.y) == kSkin9Frame; }, 5000))
        << "frame pixel " << Hex(ScreenPixel(framePoint.x, framePoint.y));
    EXPECT_TRUE(Near(ScreenPixel(captionPoint.x, captionPoint.y), kSkin9CaptionBottom, 12))
        << "caption pixel " << Hex(ScreenPixel(captionPoint.x, captionPoint.y));
    // Skin 9 keeps the system's button face as client background.
    EXPECT_EQ(e2e::PixelOnScreen(run.window, POINT{3, 3}), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(run.Close(), 0u);
}

struct LaterStartCase {
    const char* name;
    std::function<bool(const std::wstring& engine)> change; // between the first and second run
    bool writtenAgain;
};

void PrintTo(const LaterStartCase& c, std::ostream* out) {
    *out << c.name;
}

class SkinEngineFileOnLaterStart : public ::testing::TestWithParam<LaterStartCase> {};

TEST_P(SkinEngineFileOnLaterStart, IsLeftAsFoundOrWrittenWhenMissing) {
    TempFolder folder;
    std::wstring engine = folder / L"SkinH_EL.dll";
    {
        Started first;
        ASSERT_TRUE(StartIn(first, folder, L"fennrow.exe"));
        ASSERT_EQ(first.Close(), 0u);
    }
    ASSERT_TRUE(GetParam().change(engine));
    FileState before = StateOf(engine);
    // Write times must be able to differ between the two runs.
    Sleep(50);
    Started second;
    ASSERT_TRUE(StartIn(second, folder, L"fennrow.exe"));
    FileState after = StateOf(engine);
    ASSERT_TRUE(after.exists);
    if (GetParam().writtenAgain) {
        EXPECT_TRUE(after.bytes == BuiltFile(L"SkinH_EL.dll"));
        EXPECT_EQ(after.attributes, HiddenAloneAsReported());
    } else {
        EXPECT_TRUE(after.bytes == before.bytes);
        EXPECT_EQ(after.attributes, before.attributes);
        EXPECT_TRUE(SameWriteTime(after, before)) << "the engine file was written again";
    }
    EXPECT_EQ(second.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinEngineFileOnLaterStart,
    ::testing::Values(LaterStartCase{"Untouched", [](const std::wstring&) { return true; }, false},
                      LaterStartCase{
                          "HiddenAttributeRemoved",
                          [](const std::wstring& engine) {
                              return SetFileAttributesW(engine.c_str(), FILE_ATTRIBUTE_NORMAL) &&
                                     !(GetFileAttributesW(engine.c_str()) & FILE_ATTRIBUTE_HIDDEN);
                          },
                          false},
                      LaterStartCase{"Deleted",
                                     [](const std::wstring& engine) {
                                         return DeleteFileW(engine.c_str()) && !Exists(engine);
                                     },
                                     true}),
    [](const auto& info) { return std::string(info.param.name); });

struct UnboundCase {
    const char* name;
    std::function<bool(const TempFolder&)> prepare;
    const char* missingFunction;
    bool skinAttached; // the engine was called with the skin before the box
};

void PrintTo(const UnboundCase& c, std::ostream* out) {
    *out << c.name;
}

class UnboundEngine : public ::testing::TestWithParam<UnboundCase> {};

TEST_P(UnboundEngine, ShowsTheFatalErrorBoxAndEndsBeforeTheJobLock) {
    ASSERT_FALSE(EngineOnStandardSearchPath()) << "an engine on the search path hides the fault";
    TempFolder folder;
    ASSERT_TRUE(GetParam().prepare(folder));
    Started run;
    ASSERT_TRUE(StartIn(run, folder, L"fennrow_probe.exe", L"", false));
    HWND box = e2e::FindMessageBox(run.process.pid, "错误", kStartTimeoutMs);
    ASSERT_NE(box, nullptr);
    e2e::MessageBoxInfo info = e2e::ReadMessageBox(box);
    EXPECT_EQ(info.text, std::string("运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“SkinH_EL."
                                     "dll”中的输出命令“") +
                             GetParam().missingFunction + "”\r\n");
    ASSERT_EQ(info.buttons.size(), 1u);
    EXPECT_EQ(info.buttons[0].id, IDOK);
    ASSERT_TRUE(e2e::ClickMessage(e2e::Child(box, IDOK)));
    EXPECT_EQ(run.WaitForExitCode(), 0xFFFFFFFFu);

    std::vector<std::string> steps = run.ProbeSteps();
    EXPECT_TRUE(Contains(steps, "MainWindowCreated"));
    EXPECT_FALSE(Contains(steps, "CreateJobLock"));
    EXPECT_FALSE(Contains(steps, "ReleaseJobState"));
    std::vector<std::string> engineCalls = Lines(ReadFileBytes(folder / L"fake_engine.log"));
    EXPECT_EQ(std::count_if(
                  engineCalls.begin(), engineCalls.end(),
                  [](const std::string& line) { return line.rfind("SkinH_AttachRes ", 0) == 0; }),
              GetParam().skinAttached ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnboundEngine,
    ::testing::Values(
        // The folder counts as present, so no file is written, and it cannot be loaded.
        UnboundCase{"FolderNamedLikeTheEngine",
                    [](const TempFolder& folder) {
                        return CreateDirectoryW((folder / L"SkinH_EL.dll").c_str(), nullptr) != 0;
                    },
                    kAttachRes, false},
        UnboundCase{"EngineWithoutSetAero",
                    [](const TempFolder& folder) {
                        return PlaceFakeEngine(folder, L"fake_skin_engine_attach_only.dll");
                    },
                    kSetAero, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnboundEngine, FolderNamedLikeTheEngineIsLeftAFolder) {
    TempFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"SkinH_EL.dll").c_str(), nullptr));
    Started run;
    ASSERT_TRUE(StartIn(run, folder, L"fennrow_probe.exe", L"", false));
    ASSERT_NE(e2e::FindMessageBox(run.process.pid, "错误", kStartTimeoutMs), nullptr);
    DWORD attributes = GetFileAttributesW((folder / L"SkinH_EL.dll").c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_HIDDEN);
}

struct AttachCase {
    const char* name;
    int number;
    int carried; // the carried skin the engine must receive; 0: none
};

void PrintTo(const AttachCase& c, std::ostream* out) {
    *out << c.name;
}

class AttachSkin : public ::testing::TestWithParam<AttachCase> {};

TEST_P(AttachSkin, HandsTheEngineTheCarriedBytesOrNone) {
    TempFolder folder;
    ASSERT_TRUE(PlaceFakeEngine(folder, L"fake_skin_engine.dll"));
    FileState fake = StateOf(folder / L"SkinH_EL.dll");
    Started run;
    ASSERT_TRUE(StartIn(run, folder, L"skin_test_host.exe",
                        L"--attach " + std::to_wstring(GetParam().number), false));
    ASSERT_EQ(run.WaitForExitCode(), 0u);

    std::string expected = CarriedSkinBytes(GetParam().carried);
    std::vector<std::string> calls = Lines(ReadFileBytes(folder / L"fake_engine.log"));
    std::string data = expected.empty() ? "null" : "set";
    EXPECT_EQ(calls,
              (std::vector<std::string>{"load", "SkinH_AttachRes data=" + data +
                                                    " size=" + std::to_string(expected.size()) +
                                                    " text=empty ints=0,0,0 bound=" + kAttachRes}));
    std::string received = ReadFileBytes(folder / L"fake_engine_skin.bin");
    EXPECT_TRUE(received == expected) << "received " << received.size() << " bytes";
    if (GetParam().carried != 0) {
        ASSERT_GE(received.size(), 6u);
        EXPECT_EQ(received.substr(0, 6), std::string(".SHE\0\3", 6));
    }
    // The engine present is used as found, though it is not the carried one.
    FileState after = StateOf(folder / L"SkinH_EL.dll");
    EXPECT_TRUE(after.bytes == fake.bytes);
    EXPECT_EQ(after.attributes, fake.attributes);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, AttachSkin,
    ::testing::Values(AttachCase{"Nine", 9, 9}, AttachCase{"One", 1, 1},
                      AttachCase{"ThirtyThree", 33, 33}, AttachCase{"Zero", 0, 0},
                      AttachCase{"ThirtyFour", 34, 0}, AttachCase{"MinusOne", -1, 0},
                      AttachCase{"MinusNine", -9, 0}, AttachCase{"Lowest", INT_MIN, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LateBinding, EngineIsTheFirstBindingOfARunThenAeroThenTheJobLock) {
    TempFolder folder;
    ASSERT_TRUE(PlaceFakeEngine(folder, L"fake_skin_engine.dll"));
    Started run;
    ASSERT_TRUE(StartIn(run, folder, L"skin_test_host.exe"));
    // "bound=" lists every late-bound function the program had bound when the engine was called.
    std::vector<std::string> calls = Lines(ReadFileBytes(folder / L"fake_engine.log"));
    std::string skin9 = std::to_string(CarriedSkinBytes(9).size());
    EXPECT_EQ(calls,
              (std::vector<std::string>{"load",
                                        "SkinH_AttachRes data=set size=" + skin9 +
                                            " text=empty ints=0,0,0 bound=SkinH_AttachRes",
                                        "SkinH_SetAero 1 bound=SkinH_AttachRes,SkinH_SetAero"}));
    std::vector<std::string> steps = run.ProbeSteps();
    EXPECT_EQ(steps, (std::vector<std::string>{"MainWindowCreated", "SkinH_AttachRes:skin",
                                               "CreateJobLock"}));
    EXPECT_EQ(run.Close(), 0u);
}

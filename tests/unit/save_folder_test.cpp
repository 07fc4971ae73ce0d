// The save-folder commands inside one process with the real main window: the Save As dialog and
// the shell call are replaced by recorders at their seams, so every setting and argument is seen
// exactly; one test runs the real dialog to show that its loop keeps the window served.
#include "app/fatal_error.h"
#include "app/main_window.h"
#include "job/job_state.h"
#include "job/save_folder.h"
#include "platform/shell.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using app::Control;

constexpr char kPreloadedFolder[] = "D:\\CHK恢复\\";
constexpr DWORD kExpectedFlags =
    OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;

HWND MainWindow() {
    return FindWindowA("FennrowMainWindow", "Fennrow");
}

// CreateMainWindow can run once per process: the first test to need it makes it.
void EnsureMainWindow() {
    static bool created = false;
    if (!created) {
        created = true;
        job::InitJobState();
        app::PrepareEndReceiver(); // this thread is the UI thread from now on
        ASSERT_TRUE(app::CreateMainWindow());
    }
    ASSERT_NE(MainWindow(), nullptr);
}

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : "<null>";
}

// ---- the dialog seam ----------------------------------------------------------------------------

struct DialogCall {
    OPENFILENAMEA settings{}; // pointers in here are only valid during the call
    std::string initialName;
    std::string initialDir;
    std::string filter, customFilter, fileTitle, title, defExt;
};

struct DialogReply {
    BOOL result = FALSE;
    const char* writeName = nullptr; // written into the name buffer before returning
};

std::vector<DialogCall> g_dialogCalls;
DialogReply g_dialogReply;
bool g_confirmedOnce = false; // some test has confirmed a choice in this process

int __stdcall RecordDialog(OPENFILENAMEA* settings) {
    DialogCall call;
    call.settings = *settings;
    call.initialName = Text(settings->lpstrFile);
    call.initialDir = Text(settings->lpstrInitialDir);
    call.filter = Text(settings->lpstrFilter);
    call.customFilter = Text(settings->lpstrCustomFilter);
    call.fileTitle = Text(settings->lpstrFileTitle);
    call.title = Text(settings->lpstrTitle);
    call.defExt = Text(settings->lpstrDefExt);
    g_dialogCalls.push_back(call);
    if (g_dialogReply.writeName != nullptr && settings->lpstrFile != nullptr) {
        lstrcpynA(settings->lpstrFile, g_dialogReply.writeName,
                  static_cast<int>(settings->nMaxFile));
    }
    g_confirmedOnce = g_confirmedOnce || g_dialogReply.result;
    return g_dialogReply.result;
}

// The settings every opening must pass, whatever happened before.
void ExpectSettings(const DialogCall& call) {
    const OPENFILENAMEA& s = call.settings;
    EXPECT_EQ(s.lStructSize, sizeof(OPENFILENAMEA));
    EXPECT_EQ(s.hwndOwner, MainWindow());
    EXPECT_EQ(s.nMaxFile, 260u);
    EXPECT_EQ(call.initialDir, "D:\\");
    EXPECT_EQ(call.filter, "<null>");
    EXPECT_EQ(call.customFilter, "<null>");
    EXPECT_EQ(s.nFilterIndex, 0u);
    EXPECT_EQ(call.title, "<null>");
    EXPECT_EQ(call.defExt, "<null>");
    EXPECT_EQ(call.fileTitle, "<null>");
    EXPECT_EQ(s.Flags, kExpectedFlags) << std::hex << s.Flags;
    EXPECT_EQ(s.FlagsEx, 0u);
    EXPECT_EQ(s.lpfnHook, nullptr);
    EXPECT_EQ(s.lpTemplateName, nullptr);
}

// ---- the shell seam -----------------------------------------------------------------------------

struct ShellCall {
    HWND owner;
    std::string verb, file, parameters, directory;
    int show;
};
std::vector<ShellCall> g_shellCalls;

HINSTANCE __stdcall RecordShell(HWND owner, const char* verb, const char* file,
                                const char* parameters, const char* directory, int show) {
    g_shellCalls.push_back(
        {owner, Text(verb), Text(file), Text(parameters), Text(directory), show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42)); // "success"
}

// ---- dialogs created on this thread -------------------------------------------------------------

int g_dialogsCreated = 0;

LRESULT CALLBACK CountDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        char className[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
        if (lstrcmpA(className, "#32770") == 0) {
            ++g_dialogsCreated;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Counts the dialog boxes (notices included) that the action creates on this thread.
int DialogsCreatedBy(const std::function<void()>& action) {
    g_dialogsCreated = 0;
    HHOOK hook = SetWindowsHookExA(WH_CBT, CountDialogs, nullptr, GetCurrentThreadId());
    EXPECT_NE(hook, nullptr);
    action();
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
    return g_dialogsCreated;
}

class SaveFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureMainWindow();
        app::ReplaceSaveDialogForTests(RecordDialog);
        platform::ReplaceShellExecuteForTests(RecordShell);
        g_dialogCalls.clear();
        g_shellCalls.clear();
        g_dialogReply = {};
    }
    void TearDown() override {
        app::ReplaceSaveDialogForTests(GetSaveFileNameA);
        platform::ReplaceShellExecuteForTests(ShellExecuteA);
    }

    // One click on 按钮2 with the dialog answering as told; the settings it got are checked.
    void Choose(BOOL result, const char* writeName = nullptr) {
        g_dialogReply = {result, writeName};
        std::size_t before = g_dialogCalls.size();
        job::ChooseSaveFolder();
        ASSERT_EQ(g_dialogCalls.size(), before + 1) << "one opening per click";
        ExpectSettings(g_dialogCalls.back());
    }
    std::string Box() { return app::GetControlText(Control::编辑框1); }
};

} // namespace

TEST_F(SaveFolder, CancelBeforeAnyChoiceLeavesThePreloadedFolder) {
    if (g_confirmedOnce) {
        GTEST_SKIP() << "a choice was already confirmed in this process";
    }
    app::SetControlText(Control::编辑框1, kPreloadedFolder);
    EXPECT_EQ(app::GetDialogFileName(Control::通用对话框1), "");
    Choose(FALSE);
    EXPECT_EQ(g_dialogCalls.back().initialName, "") << "the file name starts empty";
    EXPECT_EQ(Box(), kPreloadedFolder) << "a cancel must not leave a bare backslash";
    EXPECT_EQ(app::GetDialogFileName(Control::通用对话框1), "");
}

struct ChoiceCase {
    const char* name;
    const char* returned; // what the dialog hands back
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfirmedChoice : public SaveFolder, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(ConfirmedChoice, BoxBecomesTheReturnedPathAndOneBackslash) {
    std::string returned = GetParam().returned;
    if (returned == "<long>") {
        // The longest name the 260-byte buffer holds.
        returned = "C:\\" + std::string(256, 'a');
    }
    app::SetControlText(Control::编辑框1, "E:\\旧的\\");
    Choose(TRUE, returned.c_str());
    EXPECT_EQ(Box(), returned + "\\");
    EXPECT_EQ(app::GetDialogFileName(Control::通用对话框1), returned);

    // The next opening starts from it; a cancel then changes nothing.
    app::SetControlText(Control::编辑框1, "E:\\旧的\\");
    Choose(FALSE);
    EXPECT_EQ(g_dialogCalls.back().initialName, returned);
    EXPECT_EQ(Box(), "E:\\旧的\\");
}

INSTANTIATE_TEST_SUITE_P(
    Returned, ConfirmedChoice,
    ::testing::Values(ChoiceCase{"FolderAndTypedName", "D:\\data\\图片"},
                      ChoiceCase{"ExistingFile", "C:\\windows\\win.ini"},
                      // 癨 is B0 5C: its second byte looks like a backslash, yet one is appended.
                      ChoiceCase{"NameEndingInTrailByte5C", "D:\\data\\\xB0\x5C"},
                      ChoiceCase{"AmpersandAndSpaces", "D:\\a & b\\c d"},
                      ChoiceCase{"LongestThatFits", "<long>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveFolder, ChoosingCreatesNoFolder) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string chosen =
        std::string(temp) + "fennrow-savefolder-" + std::to_string(GetCurrentProcessId()) + "图片";
    Choose(TRUE, chosen.c_str());
    EXPECT_EQ(Box(), chosen + "\\");
    EXPECT_EQ(GetFileAttributesA(chosen.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SaveFolder, CancelAfterAChoiceKeepsWhatTheBoxHolds) {
    Choose(TRUE, "D:\\first\\图片");
    ASSERT_EQ(Box(), "D:\\first\\图片\\");
    Choose(FALSE);
    EXPECT_EQ(Box(), "D:\\first\\图片\\");
    // The user edits the box afterwards: a cancel keeps the edit, not the last choice.
    app::SetControlText(Control::编辑框1, "F:\\手改\\");
    Choose(FALSE);
    EXPECT_EQ(Box(), "F:\\手改\\");
    EXPECT_EQ(app::GetDialogFileName(Control::通用对话框1), "D:\\first\\图片");
    EXPECT_EQ(g_dialogCalls.back().initialName, "D:\\first\\图片");
}

TEST_F(SaveFolder, FailedDialogThatWroteIntoItsBufferChangesNothing) {
    Choose(TRUE, "D:\\keep");
    app::SetControlText(Control::编辑框1, "D:\\手改\\");
    // A dialog that fails (for instance a buffer too small) may leave bytes in the buffer.
    Choose(FALSE, "\x04\x01garbage");
    EXPECT_EQ(Box(), "D:\\手改\\");
    EXPECT_EQ(app::GetDialogFileName(Control::通用对话框1), "D:\\keep");
    Choose(FALSE);
    EXPECT_EQ(g_dialogCalls.back().initialName, "D:\\keep");
}

TEST_F(SaveFolder, EachOpeningStartsFromTheLastConfirmedPath) {
    const char* choices[] = {"D:\\one\\甲", "C:\\two", "D:\\three\\乙丙"};
    std::string previous = app::GetDialogFileName(Control::通用对话框1);
    for (const char* choice : choices) {
        SCOPED_TRACE(choice);
        Choose(TRUE, choice);
        EXPECT_EQ(g_dialogCalls.back().initialName, previous);
        previous = choice;
    }
    Choose(FALSE);
    EXPECT_EQ(g_dialogCalls.back().initialName, "D:\\three\\乙丙");
}

TEST_F(SaveFolder, OpenFolderHandsTheBoxTextToTheShellUnchanged) {
    const char* texts[] = {
        "D:\\data\\图片\\",
        "D:\\data\\图片",       // the final backslash is not required here
        "   ",                  // only spaces: no trimming
        " C:\\lead and trail ", //
        "Q:\\不存在\\",         // a missing folder: no message of ours
        "C:\\a&b\\",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        g_shellCalls.clear();
        app::SetControlText(Control::编辑框1, text);
        int dialogs = DialogsCreatedBy([] { job::OpenSaveFolder(); });
        EXPECT_EQ(dialogs, 0) << "no notice with a folder in the box";
        ASSERT_EQ(g_shellCalls.size(), 1u);
        const ShellCall& call = g_shellCalls[0];
        EXPECT_EQ(call.owner, nullptr);
        EXPECT_EQ(call.verb, "<null>");
        EXPECT_EQ(call.file, text);
        EXPECT_EQ(call.parameters, "<null>");
        EXPECT_EQ(call.directory, "") << "an empty text, not a null pointer";
        EXPECT_EQ(call.show, SW_SHOWNORMAL);
        EXPECT_EQ(app::GetControlText(Control::编辑框1), text);
    }
    EXPECT_TRUE(g_dialogCalls.empty());
}

namespace {

struct SeenNotice {
    int count = 0;
    std::string caption, text;
};
SeenNotice g_notice;

BOOL CALLBACK CollectStatic(HWND child, LPARAM lParam) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    char text[512] = {};
    GetWindowTextA(child, text, sizeof text);
    if (lstrcmpiA(className, "Static") == 0 && text[0] != '\0') {
        *reinterpret_cast<std::string*>(lParam) += text;
    }
    return TRUE;
}

BOOL CALLBACK CloseNotice(HWND window, LPARAM) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window)) {
        return TRUE;
    }
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    ++g_notice.count;
    g_notice.caption = caption;
    g_notice.text.clear();
    EnumChildWindows(window, CollectStatic, reinterpret_cast<LPARAM>(&g_notice.text));
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// Served by the notice's own modal loop: reads the notice and closes it at once.
void CALLBACK CloseNoticeTimer(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseNotice, 0);
}

} // namespace

TEST_F(SaveFolder, OpenFolderWithAnEmptyBoxShowsOnlyTheNotice) {
    app::SetControlText(Control::编辑框1, "");
    g_notice = {};
    UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseNoticeTimer);
    int dialogs = DialogsCreatedBy([] { job::OpenSaveFolder(); });
    KillTimer(nullptr, timer);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(g_notice.count, 1);
    EXPECT_EQ(g_notice.caption, "温馨提示");
    EXPECT_EQ(g_notice.text, "请先选择保存目录。");
    EXPECT_TRUE(g_shellCalls.empty()) << "the shell must not be called";
    EXPECT_EQ(app::GetControlText(Control::编辑框1), "");
}

namespace {

// Runs a control operation on a thread of its own and waits for it, bounded: a call that the
// dialog's loop does not serve shows up as false instead of a hung test.
bool RunAsWorker(const std::function<void()>& operation, DWORD timeoutMs = 10000) {
    struct Shared {
        std::function<void()> operation;
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    };
    auto shared = std::make_shared<Shared>();
    shared->operation = operation;
    std::thread([shared] {
        shared->operation();
        SetEvent(shared->done);
    }).detach();
    return WaitForSingleObject(shared->done, timeoutMs) == WAIT_OBJECT_0;
}

struct OwnedDialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<OwnedDialogSearch*>(lParam);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND OwnedDialog(DWORD uiThread) {
    OwnedDialogSearch search{MainWindow(), nullptr};
    EnumThreadWindows(uiThread, FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

} // namespace

TEST_F(SaveFolder, RealDialogKeepsTheTimerAndWorkerCallsServed) {
    app::ReplaceSaveDialogForTests(GetSaveFileNameA);
    app::SetControlText(Control::编辑框1, "E:\\不变\\");
    app::SetControlText(Control::编辑框2, "jpg");
    DWORD uiThread = GetCurrentThreadId();

    // Texts read by the workers live as long as any worker that might still run.
    struct Reads {
        std::string status, type, indicator;
    };
    auto reads = std::make_shared<Reads>();
    std::atomic<bool> dialogOpen{false}, wrote{false}, readBack{false}, ticked{false};
    std::atomic<bool> stayedOpen{false};
    std::thread helper([&] {
        HWND dialog = nullptr;
        WaitFor([&] { return (dialog = OwnedDialog(uiThread)) != nullptr; }, 20000);
        if (dialog == nullptr) {
            return;
        }
        dialogOpen = true;
        // A copy run's calls: write the status line, read the type box.
        wrote =
            RunAsWorker([] { app::SetControlText(Control::透明标签3, "E:\\源\\FILE0001.CHK"); });
        readBack = RunAsWorker([reads] {
            reads->status = app::GetControlText(Control::透明标签3);
            reads->type = app::GetControlText(Control::编辑框2);
        });
        // The tick rewrites the partner indicator: put a marker there and see it replaced.
        if (RunAsWorker([] { app::SetControlText(Control::透明标签4, "marker"); })) {
            ticked = WaitFor(
                [reads] {
                    bool answered = RunAsWorker(
                        [reads] { reads->indicator = app::GetControlText(Control::透明标签4); });
                    return answered && reads->indicator != "marker";
                },
                10000);
        }
        stayedOpen = IsWindowVisible(dialog) != FALSE;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    job::ChooseSaveFolder();
    helper.join();

    ASSERT_TRUE(dialogOpen) << "the Save As dialog did not appear";
    EXPECT_TRUE(wrote) << "a worker's status write did not complete while the dialog was open";
    EXPECT_TRUE(readBack);
    EXPECT_EQ(reads->status, "E:\\源\\FILE0001.CHK");
    EXPECT_EQ(reads->type, "jpg");
    EXPECT_TRUE(ticked) << "the timer did not tick while the dialog was open";
    EXPECT_TRUE(stayedOpen) << "the dialog closed before it was cancelled";
    EXPECT_EQ(Box(), "E:\\不变\\") << "cancelled";
}

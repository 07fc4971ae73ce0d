// The two buttons beside the save-folder box, driven as a person would: 更改 opens the system's
// Save As dialog, where a folder is picked by typing a name; 打开目录 hands the box to the shell.
#include "fennrow_session.h"
#include "support/partner_sim_client.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace fennrow_test;

namespace {

constexpr char kPreloadedFolder[] = "D:\\CHK恢复\\";
constexpr DWORD kDialogTimeoutMs = 15000;
// The file name field of the Explorer-style dialog: an edit inside the cmb13 combo box (1148);
// older layouts use the plain edit edt1 (1152).
constexpr int kFileNameCombo = 1148;
constexpr int kFileNameEdit = 1152;
constexpr int kFolderCombo = 1137; // cmb2, the "save in" folder list

// A visible "#32770" of the process owned by `owner`.
HWND OwnedDialog(DWORD pid, HWND owner) {
    for (HWND window : e2e::TopWindows(pid)) {
        if (e2e::ClassName(window) == "#32770" && GetWindow(window, GW_OWNER) == owner) {
            return window;
        }
    }
    return nullptr;
}

HWND WaitOwnedDialog(DWORD pid, HWND owner, DWORD timeoutMs) {
    HWND found = nullptr;
    e2e::WaitUntil([&] { return (found = OwnedDialog(pid, owner)) != nullptr; }, timeoutMs);
    return found;
}

struct EditSearch {
    HWND found;
};

BOOL CALLBACK FindFileNameEdit(HWND child, LPARAM lParam) {
    auto* search = reinterpret_cast<EditSearch*>(lParam);
    int id = e2e::ControlId(child);
    if (e2e::ClassName(child) == "Edit" && IsWindowVisible(child) &&
        (id == kFileNameCombo || id == kFileNameEdit)) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND FileNameEdit(HWND dialog) {
    EditSearch search{nullptr};
    EnumChildWindows(dialog, FindFileNameEdit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The last level of a folder path ("C:\a\b\" gives "b").
std::string LastLevel(std::wstring folder) {
    if (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    return ToAnsi(folder.substr(folder.find_last_of(L'\\') + 1));
}

class SaveFolderE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        root = MakeTempFolder(L"savefolder");
        ASSERT_TRUE(Start(session));
    }
    void TearDown() override {
        partner_sim::Kill(sim);
        e2e::Release(&session.process);
        RemoveTree(root);
    }

    std::string Box() const { return session.ControlText(kFolderBox); }

    // Clicks 更改 with the mouse and waits for the Save As dialog over the main window.
    HWND OpenDialog() {
        if (!e2e::Click(session.Control(kChangeButton))) {
            return nullptr;
        }
        HWND dialog = WaitOwnedDialog(session.process.pid, session.window, kDialogTimeoutMs);
        if (dialog != nullptr) {
            e2e::WaitUntil([&] { return FileNameEdit(dialog) != nullptr; }, kDialogTimeoutMs);
            e2e::BringToForeground(dialog);
        }
        return dialog;
    }

    // Puts text (ANSI) into the file name field and presses Enter there.
    static bool EnterName(HWND dialog, const std::string& text) {
        HWND edit = FileNameEdit(dialog);
        return edit != nullptr && e2e::FocusControl(edit) && e2e::SetText(edit, text) &&
               e2e::PressKey(VK_RETURN);
    }

    // Types a folder path and Enter: the dialog moves into that folder and stays open.
    static bool NavigateTo(HWND dialog, const std::wstring& folder) {
        std::wstring path = folder;
        if (!path.empty() && path.back() == L'\\') {
            path.pop_back();
        }
        std::string level = LastLevel(folder);
        return EnterName(dialog, ToAnsi(path)) &&
               e2e::WaitUntil([&] { return e2e::Text(e2e::Child(dialog, kFolderCombo)) == level; },
                              kDialogTimeoutMs) &&
               IsWindowVisible(dialog);
    }

    // Confirms `name` typed in `folder` and waits for the dialog to close.
    void ChooseIn(const std::wstring& folder, const std::wstring& name) {
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(NavigateTo(dialog, folder));
        ASSERT_TRUE(EnterName(dialog, ToAnsi(name)));
        ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
    }

    Session session;
    partner_sim::Sim sim;
    std::wstring root;
};

} // namespace

TEST_F(SaveFolderE2e, NameTypedInAFolderBecomesTheSaveFolder) {
    std::wstring data = root + L"数据\\";
    ASSERT_TRUE(CreateDirectoryW(data.c_str(), nullptr));
    ChooseIn(data, L"图片");
    std::string expected = ToAnsi(data) + "图片\\";
    EXPECT_EQ(Box(), expected); // byte for byte, code page 936
    EXPECT_FALSE(Exists(data + L"图片")) << "choosing creates no folder";
    EXPECT_EQ(e2e::TopWindows(session.process.pid).size(), 1u) << "no other window left open";
}

TEST_F(SaveFolderE2e, FullPathTypedAndTheSaveButtonConfirm) {
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    HWND edit = FileNameEdit(dialog);
    ASSERT_TRUE(e2e::SetText(edit, ToAnsi(root + L"图片")));
    ASSERT_TRUE(e2e::Click(e2e::Child(dialog, IDOK)));
    ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
    EXPECT_EQ(Box(), ToAnsi(root + L"图片\\"));
    EXPECT_FALSE(Exists(root + L"图片"));
}

struct CancelWay {
    const char* name;
    void (*cancel)(HWND dialog);
};

void PrintTo(const CancelWay& way, std::ostream* os) {
    *os << way.name;
}

class CancelledDialog : public SaveFolderE2e, public ::testing::WithParamInterface<CancelWay> {
  protected:
    void CancelAndExpectBox(const std::string& expected) {
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        GetParam().cancel(dialog);
        ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
        EXPECT_EQ(Box(), expected);
    }
};

TEST_P(CancelledDialog, LeavesTheBoxAsItWasBeforeAndAfterAChoice) {
    {
        SCOPED_TRACE("before any choice");
        ASSERT_EQ(Box(), kPreloadedFolder);
        CancelAndExpectBox(kPreloadedFolder);
    }
    ChooseIn(root, L"图片");
    ASSERT_EQ(Box(), ToAnsi(root + L"图片\\"));
    {
        SCOPED_TRACE("right after a choice");
        CancelAndExpectBox(ToAnsi(root + L"图片\\"));
    }
    {
        SCOPED_TRACE("after the user edited the box");
        ASSERT_TRUE(e2e::SetText(session.Control(kFolderBox), "E:\\手改\\"));
        CancelAndExpectBox("E:\\手改\\");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CancelledDialog,
    ::testing::Values(CancelWay{"CancelButton",
                                [](HWND dialog) {
                                    EXPECT_TRUE(e2e::Click(e2e::Child(dialog, IDCANCEL)));
                                }},
                      CancelWay{"EscKey",
                                [](HWND dialog) {
                                    EXPECT_TRUE(e2e::FocusControl(FileNameEdit(dialog)));
                                    EXPECT_TRUE(e2e::PressKey(VK_ESCAPE));
                                }},
                      CancelWay{"AltF4",
                                [](HWND dialog) {
                                    EXPECT_TRUE(e2e::FocusControl(FileNameEdit(dialog)));
                                    EXPECT_TRUE(e2e::PressKey(VK_F4, e2e::kAlt));
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveFolderE2e, NameInAMissingFolderIsRefusedAndTheDialogStaysOpen) {
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(EnterName(dialog, ToAnsi(root + L"没有\\图片")));
    // The system's warning, over the dialog.
    HWND warning = WaitOwnedDialog(session.process.pid, dialog, kDialogTimeoutMs);
    ASSERT_NE(warning, nullptr) << "no warning about the missing folder";
    EXPECT_EQ(Box(), kPreloadedFolder) << "the box changes only when the dialog has closed";
    ASSERT_TRUE(e2e::ClickMessage(e2e::Child(warning, IDOK)) ||
                e2e::ClickMessage(e2e::Child(warning, IDCANCEL)));
    ASSERT_TRUE(e2e::WaitGone(warning, kDialogTimeoutMs));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog must stay open";
    EXPECT_EQ(Box(), kPreloadedFolder);
    EXPECT_FALSE(Exists(root + L"没有"));

    // It still works: a name in an existing folder is then taken.
    ASSERT_TRUE(EnterName(dialog, ToAnsi(root + L"图片")));
    ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
    EXPECT_EQ(Box(), ToAnsi(root + L"图片\\"));
}

TEST_F(SaveFolderE2e, ExistingFileIsAcceptedWithoutAQuestion) {
    std::wstring file = root + L"已有.txt";
    ASSERT_TRUE(WriteFileBytes(file, "keep me"));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(EnterName(dialog, ToAnsi(file)));
    // Either the dialog closes, or a question appears over it; wait for whichever comes first.
    HWND question = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            question = OwnedDialog(session.process.pid, dialog);
            return question != nullptr || !IsWindow(dialog) || !IsWindowVisible(dialog);
        },
        kDialogTimeoutMs));
    EXPECT_EQ(question, nullptr) << "an overwrite question was asked";
    if (question != nullptr) {
        e2e::ClickMessage(e2e::Child(question, IDYES));
    }
    ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
    EXPECT_EQ(Box(), ToAnsi(file) + "\\");
    EXPECT_EQ(ReadFileBytes(file), "keep me");
}

TEST_F(SaveFolderE2e, SecondOpeningStartsFromTheLastConfirmedPath) {
    std::wstring data = root + L"数据\\";
    ASSERT_TRUE(CreateDirectoryW(data.c_str(), nullptr));
    ChooseIn(data, L"图片");
    ASSERT_TRUE(e2e::SetText(session.Control(kFolderBox), "E:\\别处\\"));

    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    // The last choice is offered: its folder is shown and its name stands in the field.
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return e2e::Text(e2e::Child(dialog, kFolderCombo)) == LastLevel(data); }, 5000))
        << e2e::Text(e2e::Child(dialog, kFolderCombo));
    std::string field = e2e::Text(FileNameEdit(dialog));
    EXPECT_TRUE(field == "图片" || field == ToAnsi(data + L"图片")) << field;
    // Confirming it unchanged gives the same save folder again.
    ASSERT_TRUE(e2e::FocusControl(FileNameEdit(dialog)));
    ASSERT_TRUE(e2e::PressKey(VK_RETURN));
    ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
    EXPECT_EQ(Box(), ToAnsi(data + L"图片\\"));
}

TEST_F(SaveFolderE2e, TimerKeepsTickingWhileTheDialogIsOpen) {
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(session.ControlText(kIndicator).rfind("CHK文件恢复专家未运行", 0), 0u);
    // The partner starts while the dialog is open: the next tick shows it.
    ASSERT_TRUE(partner_sim::Start(sim, {}));
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return session.ControlText(kIndicator) == "CHK文件恢复专家已运行  可使用"; }, 10000))
        << session.ControlText(kIndicator);
    // And it ends while the dialog is still open.
    partner_sim::Kill(sim);
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return session.ControlText(kIndicator) == "CHK文件恢复专家未运行  不可使用"; },
        10000))
        << session.ControlText(kIndicator);
    EXPECT_TRUE(IsWindowVisible(dialog));
    ASSERT_TRUE(e2e::Click(e2e::Child(dialog, IDCANCEL)));
    ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
    EXPECT_EQ(Box(), kPreloadedFolder);
}

TEST_F(SaveFolderE2e, RunningCopyRunWritesItsStatusWhileTheDialogIsOpen) {
    std::wstring found = root + L"found\\";
    ASSERT_TRUE(CreateDirectoryW(found.c_str(), nullptr));
    std::vector<std::wstring> items;
    partner_sim::StartOptions options;
    for (int i = 0; i < 3; ++i) {
        items.push_back(found + L"FILE000" + std::to_wstring(i) + L".CHK");
        ASSERT_TRUE(WriteFileBytes(items.back(), "bytes " + std::to_string(i)));
        options.items.push_back(ToUtf8(items.back()));
    }
    ASSERT_TRUE(partner_sim::Start(sim, options));
    ASSERT_TRUE(e2e::WaitUntil(
        [&] { return session.ControlText(kIndicator) == "CHK文件恢复专家已运行  可使用"; }, 10000));
    std::wstring save = root + L"保存\\";
    ASSERT_TRUE(e2e::SetText(session.Control(kFolderBox), ToAnsi(save)));
    ASSERT_TRUE(e2e::SetText(session.Control(kTypeBox), "jpg"));

    // The partner stops answering for a while, so the run started now is still going when the
    // dialog opens (its reads wait up to 5 s, longer than this).
    ASSERT_TRUE(partner_sim::SendCommand(sim, "hang 4000"));
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    ASSERT_TRUE(e2e::FocusControl(session.Control(kTypeBox)));
    ASSERT_TRUE(e2e::PressKey(VK_RETURN));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    std::string last = ToAnsi(items.back());
    ASSERT_NE(session.ControlText(kStatusLine), last) << "the run ended before the dialog opened";
    ASSERT_FALSE(Exists(save + L"jpg\\FILE0002.jpg"));

    EXPECT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kStatusLine) == last; }, 20000, 50))
        << session.ControlText(kStatusLine);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stayed open during the run";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadFileBytes(save + L"jpg\\FILE000" + std::to_wstring(i) + L".jpg"),
                  "bytes " + std::to_string(i));
    }
    ASSERT_TRUE(e2e::Click(e2e::Child(dialog, IDCANCEL)));
    ASSERT_TRUE(e2e::WaitGone(dialog, kDialogTimeoutMs));
    EXPECT_EQ(Box(), ToAnsi(save));
}

TEST_F(SaveFolderE2e, OpenFolderWithAnEmptyBoxShowsTheNoticeOnly) {
    ASSERT_TRUE(e2e::SetText(session.Control(kFolderBox), ""));
    ASSERT_TRUE(e2e::Click(session.Control(kOpenFolderButton)));
    HWND box = e2e::FindMessageBox(session.process.pid, "温馨提示", 5000);
    ASSERT_NE(box, nullptr);
    e2e::MessageBoxInfo info = e2e::ReadMessageBox(box);
    EXPECT_EQ(info.text, "请先选择保存目录。");
    EXPECT_EQ(e2e::TopWindows(session.process.pid).size(), 2u) << "the window and the notice";
    e2e::ClickMessage(e2e::Child(box, IDOK));
    EXPECT_TRUE(e2e::WaitGone(box, 5000));
    EXPECT_EQ(Box(), "");
}

namespace {

struct ShellWindowSearch {
    std::string title;
    DWORD notPid;
    HWND found;
};

BOOL CALLBACK FindShellWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<ShellWindowSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->notPid && IsWindowVisible(window) && e2e::Text(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Closes the folder window the shell opened, and ends its process if it lingers: a leftover
// process would keep the test runner's output open.
void CloseShellWindow(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process != nullptr) {
        if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

} // namespace

TEST_F(SaveFolderE2e, OpenFolderShowsTheFolderInAShellWindow) {
    // A unique last level: the shell's window is titled with it.
    std::wstring level = L"打开" + std::to_wstring(GetCurrentProcessId());
    std::wstring folder = root + level + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (const std::wstring& text : {folder, folder.substr(0, folder.size() - 1)}) {
        SCOPED_TRACE(ToAnsi(text));
        ASSERT_TRUE(e2e::SetText(session.Control(kFolderBox), ToAnsi(text)));
        ASSERT_TRUE(e2e::Click(session.Control(kOpenFolderButton)));
        ShellWindowSearch search{ToAnsi(level), session.process.pid, nullptr};
        EXPECT_TRUE(e2e::WaitUntil(
            [&] {
                EnumWindows(FindShellWindow, reinterpret_cast<LPARAM>(&search));
                return search.found != nullptr;
            },
            kDialogTimeoutMs, 100));
        if (search.found != nullptr) {
            CloseShellWindow(search.found);
        }
        EXPECT_EQ(e2e::TopWindows(session.process.pid).size(), 1u) << "no message of ours";
        EXPECT_EQ(Box(), ToAnsi(text));
    }
}

// The main window as a person meets it: where it stands, what it shows, how the keyboard moves
// through it, and how it ends.
#include "fennrow_session.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace fennrow_test;

namespace {

struct ExpectedControl {
    int id;
    const char* className;
    int left, top, width, height;
    const char* text;
};

const char kExplanation[] =
    "本程序需要配合CHK文件恢复专家使用，使用前请先下载CHK文件恢复专家。并且选择好需要恢复的文件类"
    "型。\r\n\r\n\r\n软件原理：读取CHK文件恢复专家的列表目录，然后根据输入的文件类型更改后缀，并且"
    "复"
    "制到保存目录。";

const ExpectedControl kControls[] = {
    {kExplanationLabel, "FennrowLabel", 207, 174, 128, 144, kExplanation},
    {kIndicator, "FennrowTransparentLabel", 40, 8, 272, 24, "CHK文件恢复专家未运行"},
    {kOpenFolderButton, "Button", 248, 112, 56, 47, "打开目录"},
    {kStatusLine, "FennrowTransparentLabel", 7, 89, 256, 27, "恢复状态"},
    {kTypeCaption, "FennrowTransparentLabel", 8, 112, 64, 48, "文件类型："},
    {kChangeButton, "Button", 248, 41, 56, 47, "更改"},
    {kFolderCaption, "FennrowTransparentLabel", 8, 39, 64, 48, "保存目录："},
    {kFolderBox, "Edit", 72, 43, 160, 40, "D:\\CHK恢复\\"},
    {kTypeBox, "Edit", 72, 119, 160, 40, ""},
    {kStartButton, "Button", 72, 174, 128, 160, "开始工作"},
};

RECT ClientRelative(HWND window, HWND control) {
    RECT rect = e2e::WindowRect(control);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<std::string> Lines(const std::vector<std::string>& steps, const std::string& name) {
    std::vector<std::string> found;
    std::copy_if(steps.begin(), steps.end(), std::back_inserter(found),
                 [&](const std::string& step) { return step == name; });
    return found;
}

} // namespace

TEST(MainWindow, StandsCentredWithEveryControlInPlace) {
    Session session;
    ASSERT_TRUE(Start(session));
    // Read before the first tick (1500 ms) changes the indicator's text.
    std::string indicator = session.ControlText(kIndicator);

    RECT frame = e2e::WindowRect(session.window);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(frame.left, (screenWidth - 348) / 2);
    EXPECT_EQ(frame.top, (screenHeight - 366) / 2);
    EXPECT_EQ(frame.right - frame.left, 348);
    EXPECT_EQ(frame.bottom - frame.top, 366);
    if (screenWidth == 1024 && screenHeight == 768) {
        EXPECT_EQ(frame.left, 338);
        EXPECT_EQ(frame.top, 201);
    }
    EXPECT_EQ(e2e::Text(session.window), "Fennrow");
    LONG style = GetWindowLongA(session.window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);

    for (const ExpectedControl& expected : kControls) {
        SCOPED_TRACE("control " + std::to_string(expected.id));
        HWND control = session.Control(expected.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(e2e::ClassName(control), expected.className);
        EXPECT_TRUE(e2e::IsShown(control));
        RECT rect = ClientRelative(session.window, control);
        EXPECT_EQ(rect.left, expected.left);
        EXPECT_EQ(rect.top, expected.top);
        EXPECT_EQ(rect.right - rect.left, expected.width);
        EXPECT_EQ(rect.bottom - rect.top, expected.height);
        if (expected.id != kIndicator) {
            EXPECT_EQ(session.ControlText(expected.id), expected.text);
        }
    }
    EXPECT_TRUE(indicator == "CHK文件恢复专家未运行" ||
                indicator == "CHK文件恢复专家未运行  不可使用");
}

TEST(MainWindow, EditBoxesShowOneLineCentredInTheirHeight) {
    Session session;
    ASSERT_TRUE(Start(session));
    for (int id : {kFolderBox, kTypeBox}) {
        RECT client = e2e::ClientRect(session.Control(id));
        RECT outer = e2e::WindowRect(session.Control(id));
        int above = client.top - outer.top, below = outer.bottom - client.bottom;
        EXPECT_LT(client.bottom - client.top, 30) << id;
        EXPECT_LE(std::abs(above - below), 1) << id;
    }
}

TEST(MainWindow, FocusStartsOnStartButtonAndTabFollowsTheCycle) {
    Session session;
    ASSERT_TRUE(Start(session));
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    ASSERT_TRUE(e2e::WaitUntil(
        [&] { return e2e::FocusedControlId(session.window) == kStartButton; }, 5000));

    const int forward[] = {kTypeBox, kFolderBox, kChangeButton, kOpenFolderButton, kStartButton};
    for (int expected : forward) {
        ASSERT_TRUE(e2e::PressKey(VK_TAB));
        EXPECT_TRUE(
            e2e::WaitUntil([&] { return e2e::FocusedControlId(session.window) == expected; }, 3000))
            << "Tab should reach " << expected << ", focus is on "
            << e2e::FocusedControlId(session.window);
    }
    ASSERT_TRUE(e2e::PressKey(VK_TAB, e2e::kShift));
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return e2e::FocusedControlId(session.window) == kOpenFolderButton; }, 3000));
    ASSERT_TRUE(e2e::PressKey(VK_TAB, e2e::kShift));
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return e2e::FocusedControlId(session.window) == kChangeButton; }, 3000));
}

TEST(MainWindow, EnterOnTheStartButtonDoesNothingButSpaceStarts) {
    Session session;
    ASSERT_TRUE(Start(session));
    e2e::SetText(session.Control(kFolderBox), "");
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    ASSERT_TRUE(e2e::FocusControl(session.Control(kStartButton)));
    ASSERT_TRUE(e2e::PressKey(VK_RETURN));
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "温馨提示", 1500), nullptr);
    ASSERT_TRUE(e2e::PressKey(VK_SPACE));
    HWND box = e2e::FindMessageBox(session.process.pid, "温馨提示", 5000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::ReadMessageBox(box).text, "请先选择保存目录。");
}

struct ClosingCase {
    const char* name;
    int focus;
    WORD key;
    unsigned modifiers;
};

class ClosingTheWindow : public ::testing::TestWithParam<ClosingCase> {};

TEST_P(ClosingTheWindow, EndsWithExitCodeZeroAndReleasesTheJobStateOnce) {
    Session session;
    ASSERT_TRUE(Start(session, ProbeOptions()));
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    ASSERT_TRUE(e2e::FocusControl(session.Control(GetParam().focus)));
    ASSERT_TRUE(e2e::PressKey(GetParam().key, GetParam().modifiers));
    EXPECT_EQ(session.WaitForExitCode(), 0u);
    std::vector<std::string> steps = session.ProbeSteps();
    EXPECT_EQ(Lines(steps, "ReleaseJobState").size(), 1u);
    EXPECT_EQ(Lines(steps, "CreateJobLock").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ClosingTheWindow,
    ::testing::Values(ClosingCase{"EscInTypeBox", kTypeBox, VK_ESCAPE, e2e::kNone},
                      ClosingCase{"EscOnStartButton", kStartButton, VK_ESCAPE, e2e::kNone},
                      ClosingCase{"AltF4InFolderBox", kFolderBox, VK_F4, e2e::kAlt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindow, CloseButtonEndsWithExitCodeZero) {
    Session session;
    ASSERT_TRUE(Start(session, ProbeOptions()));
    // The close box sits at the right end of the title bar, which Wine draws here.
    RECT frame = e2e::WindowRect(session.window);
    RECT client = e2e::ClientRect(session.window);
    POINT closeBox{frame.right - GetSystemMetrics(SM_CXSIZE) / 2 - 4,
                   (frame.top + client.top) / 2 + 1};
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    ASSERT_TRUE(e2e::ClickAt(closeBox));
    DWORD code = session.WaitForExitCode(5000);
    if (code == 0xDEADDEAD) {
        // The skin may draw its own title bar: then the system menu's Close is the same command.
        PostMessageA(session.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        code = session.WaitForExitCode();
    }
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Lines(session.ProbeSteps(), "ReleaseJobState").size(), 1u);
}

TEST(FatalError, WindowThatCannotBeCreatedShowsTheBoxAndEndsWithMinusOne) {
    Session session;
    ASSERT_TRUE(Start(session, ProbeOptions({{"FENNROW_PROBE_FAIL", "CreateMainWindow"}}, false)));
    HWND box = e2e::FindMessageBox(session.process.pid, "错误", kStartTimeoutMs);
    ASSERT_NE(box, nullptr);
    e2e::MessageBoxInfo info = e2e::ReadMessageBox(box);
    EXPECT_EQ(info.text, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
    ASSERT_EQ(info.buttons.size(), 1u);
    EXPECT_EQ(info.buttons[0].id, IDOK);
    bool hasIcon = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        hasIcon |= e2e::ClassName(child) == "Static" &&
                   (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    }
    EXPECT_TRUE(hasIcon);
    ASSERT_TRUE(e2e::ClickMessage(e2e::Child(box, IDOK)));
    EXPECT_EQ(session.WaitForExitCode(), 0xFFFFFFFFu);
    std::vector<std::string> steps = session.ProbeSteps();
    EXPECT_TRUE(Lines(steps, "ReleaseJobState").empty());
    EXPECT_TRUE(Lines(steps, "MainWindowCreated").empty());
    EXPECT_TRUE(Lines(steps, "CreateJobLock").empty());
}

class FatalErrorOnThread : public ::testing::TestWithParam<const char*> {};

TEST_P(FatalErrorOnThread, ShowsCodeAndMessageThenEndsWithMinusOne) {
    Session session;
    ASSERT_TRUE(Start(session, ProbeOptions({{"FENNROW_PROBE_FATAL", GetParam()}}, false)));
    HWND box = e2e::FindMessageBox(session.process.pid, "错误", kStartTimeoutMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::ReadMessageBox(box).text,
              "运行时出错!\r\n\r\n错误代码：7\r\n\r\n错误信息：probe\r\n");
    ASSERT_TRUE(e2e::ClickMessage(e2e::Child(box, IDOK)));
    EXPECT_EQ(session.WaitForExitCode(), 0xFFFFFFFFu);
    EXPECT_TRUE(Lines(session.ProbeSteps(), "ReleaseJobState").empty());
}

INSTANTIATE_TEST_SUITE_P(Threads, FatalErrorOnThread, ::testing::Values("ui", "worker"));

TEST(LateBinding, SystemDllPlantedBesideTheProgramIsNeverLoaded) {
    Session session;
    ASSERT_TRUE(Start(session));
    // A DLL named like a system DLL, but without its exports: loading it would end the program
    // with the fatal error box at the first folder creation.
    ASSERT_TRUE(CopyFileW((session.folder + L"SkinH_EL.dll").c_str(),
                          (session.folder + L"dbghelp.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((session.folder + L"SkinH_EL.dll").c_str(),
                          (session.folder + L"shlwapi.dll").c_str(), FALSE));
    std::wstring save = session.folder + L"saved\\";
    e2e::SetText(session.Control(kFolderBox), ToAnsi(save));
    e2e::SetText(session.Control(kTypeBox), "jpg");
    ASSERT_TRUE(e2e::ClickMessage(session.Control(kStartButton)));
    EXPECT_TRUE(e2e::WaitUntil([&] { return Exists(save + L"jpg"); }, 10000));
    // No partner: the run ends with its plain notice, not with the fatal error box.
    HWND box = e2e::FindMessageBox(session.process.pid, "信息：", 10000);
    EXPECT_NE(box, nullptr);
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "错误", 200), nullptr);
}

struct EnterCase {
    const char* name;
    int focus;
    unsigned modifiers;
    bool keypad;
    bool starts;
};

class EnterKey : public ::testing::TestWithParam<EnterCase> {};

// With an empty save folder a start request shows its notice at once: one notice per request.
TEST_P(EnterKey, StartsOnlyInTheTypeBoxWhateverTheModifiers) {
    const EnterCase& c = GetParam();
    Session session;
    ASSERT_TRUE(Start(session));
    e2e::SetText(session.Control(kFolderBox), "");
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    ASSERT_TRUE(e2e::FocusControl(session.Control(c.focus)));
    ASSERT_TRUE(e2e::PressKey(VK_RETURN, c.modifiers, c.keypad));
    HWND box = e2e::FindMessageBox(session.process.pid, "温馨提示", c.starts ? 5000 : 1500);
    if (!c.starts) {
        EXPECT_EQ(box, nullptr);
        return;
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::ReadMessageBox(box).text, "请先选择保存目录。");
    Sleep(500);
    int boxes = 0;
    for (HWND window : e2e::TopWindows(session.process.pid)) {
        boxes += e2e::ClassName(window) == "#32770";
    }
    EXPECT_EQ(boxes, 1) << "one key press, one request";
}

INSTANTIATE_TEST_SUITE_P(Keys, EnterKey,
                         ::testing::Values(EnterCase{"Plain", kTypeBox, e2e::kNone, false, true},
                                           EnterCase{"Keypad", kTypeBox, e2e::kNone, true, true},
                                           EnterCase{"Ctrl", kTypeBox, e2e::kCtrl, false, true},
                                           EnterCase{"Shift", kTypeBox, e2e::kShift, false, true},
                                           EnterCase{"Alt", kTypeBox, e2e::kAlt, false, true},
                                           EnterCase{"InFolderBox", kFolderBox, e2e::kNone, false,
                                                     false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindow, EnterHeldDownStartsOncePerRepeat) {
    Session session;
    ASSERT_TRUE(Start(session, ProbeOptions()));
    e2e::SetText(session.Control(kFolderBox), "");
    HWND typeBox = session.Control(kTypeBox);
    // Auto-repeat as the keyboard sends it: key-downs with the previous-state bit, one key-up.
    for (int i = 0; i < 3; ++i) {
        PostMessageA(typeBox, WM_KEYDOWN, VK_RETURN, i == 0 ? 0x001C0001 : 0x401C0001);
    }
    PostMessageA(typeBox, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
    // Each request's notice is modal over the window; three appear one after another.
    int seen = 0;
    for (int i = 0; i < 3; ++i) {
        HWND box = e2e::FindMessageBox(session.process.pid, "温馨提示", 5000);
        if (box == nullptr) {
            break;
        }
        ++seen;
        e2e::ClickMessage(e2e::Child(box, IDOK));
        e2e::WaitGone(box, 5000);
    }
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "温馨提示", 1000), nullptr);
}

// Checks the driver against driver_target: every way the end-to-end tests operate a window must
// really reach it under Wine.
#include "e2e_driver.h"
#include "driver_target_ids.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kWait = 10000;

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(e2e::Launch(e2e::ExeDir() + L"driver_target.exe", L"", e2e::ExeDir(), &proc_));
        main_ = e2e::FindTopWindow(proc_.pid, kTargetClass, kTargetCaption, kWait);
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(e2e::BringToForeground(main_));
    }
    void TearDown() override { e2e::Release(&proc_); }

    HWND Ctl(int id) { return e2e::Child(main_, id); }
    bool StatusIs(const std::string& want) {
        return e2e::WaitUntil([&] { return e2e::Text(Ctl(kIdStatus)) == want; }, kWait);
    }
    bool LastKeyIs(const std::string& want) {
        return e2e::WaitUntil([&] { return e2e::Text(Ctl(kIdLastKey)) == want; }, kWait);
    }
    bool FocusIs(int id) {
        return e2e::WaitUntil([&] { return e2e::FocusedControlId(main_) == id; }, kWait);
    }
    DWORD ExitCode() {
        DWORD code = 0xBADC0DE;
        EXPECT_TRUE(e2e::WaitExit(proc_, kWait, &code));
        return code;
    }

    e2e::Process proc_;
    HWND main_ = nullptr;
};

TEST_F(DriverTest, FindsWindowAndReadsControls) {
    EXPECT_EQ(e2e::ClassName(main_), kTargetClass);
    EXPECT_EQ(e2e::Text(main_), kTargetCaption);
    EXPECT_EQ(e2e::FindTopWindow(proc_.pid, "", kTargetCaption, 0), main_);
    EXPECT_EQ(e2e::FindTopWindow(proc_.pid, "NoSuchClass", "", 100), nullptr);

    struct Case {
        int id;
        const char* cls;
    } cases[] = {{kIdEditName, "Edit"},     {kIdEditCode, "Edit"}, {kIdButtonHello, "Button"},
                 {kIdButtonQuit, "Button"}, {kIdStatus, "Static"}, {kIdLastKey, "Static"}};
    RECT client = e2e::ClientRect(main_);
    for (const Case& c : cases) {
        HWND child = Ctl(c.id);
        ASSERT_NE(child, nullptr) << c.id;
        EXPECT_EQ(e2e::ControlId(child), c.id);
        EXPECT_EQ(e2e::ClassName(child), c.cls) << c.id;
        RECT r = e2e::WindowRect(child);
        EXPECT_TRUE(r.left >= client.left && r.right <= client.right && r.top >= client.top &&
                    r.bottom <= client.bottom)
            << c.id;
    }
    EXPECT_EQ(e2e::Text(Ctl(kIdButtonHello)), "Hello");
    // ANSI bytes in code page 936 and the same text wide.
    EXPECT_EQ(e2e::Text(Ctl(kIdStatus)), "就绪");
    EXPECT_EQ(e2e::TextW(Ctl(kIdStatus)), L"就绪");

    RECT outer = e2e::WindowRect(main_);
    EXPECT_EQ(client.right - client.left, kClientWidth);
    EXPECT_EQ(client.bottom - client.top, kClientHeight);
    EXPECT_GT(outer.right - outer.left, kClientWidth);
    EXPECT_TRUE(e2e::IsShown(main_));
    EXPECT_TRUE(e2e::IsEnabled(Ctl(kIdButtonHello)));
}

TEST_F(DriverTest, SetsAndReadsTextBothWays) {
    ASSERT_TRUE(e2e::SetText(Ctl(kIdEditName), "abc 中文"));
    EXPECT_EQ(e2e::Text(Ctl(kIdEditName)), "abc 中文");
    EXPECT_EQ(e2e::TextW(Ctl(kIdEditName)), L"abc 中文");
    ASSERT_TRUE(e2e::SetText(Ctl(kIdEditName), ""));
    EXPECT_EQ(e2e::Text(Ctl(kIdEditName)), "");
}

TEST_F(DriverTest, StartsWithFocusInFirstEdit) {
    EXPECT_TRUE(FocusIs(kIdEditName));
    EXPECT_EQ(e2e::FocusedWindow(main_), Ctl(kIdEditName));
}

TEST_F(DriverTest, TypesIntoFocusedEdit) {
    ASSERT_TRUE(e2e::FocusControl(Ctl(kIdEditCode)));
    ASSERT_TRUE(e2e::TypeText("Hello, World! 42_~"));
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return e2e::Text(Ctl(kIdEditCode)) == "Hello, World! 42_~"; }, kWait))
        << e2e::Text(Ctl(kIdEditCode));
    EXPECT_EQ(e2e::Text(Ctl(kIdEditName)), "");
}

TEST_F(DriverTest, FocusesByClicking) {
    ASSERT_TRUE(e2e::Click(Ctl(kIdEditCode)));
    EXPECT_TRUE(FocusIs(kIdEditCode));
}

TEST_F(DriverTest, MouseClickPressesButton) {
    ASSERT_TRUE(e2e::Click(Ctl(kIdButtonHello)));
    EXPECT_TRUE(StatusIs("clicked 1")) << e2e::Text(Ctl(kIdStatus));
    ASSERT_TRUE(e2e::Click(Ctl(kIdButtonHello)));
    EXPECT_TRUE(StatusIs("clicked 2")) << e2e::Text(Ctl(kIdStatus));
}

TEST_F(DriverTest, ClicksLandOnTheWindowBroughtToFront) {
    // A second target exactly on top of the first: every click must reach the one asked for.
    e2e::Process other;
    ASSERT_TRUE(e2e::Launch(e2e::ExeDir() + L"driver_target.exe", L"", e2e::ExeDir(), &other));
    HWND second = e2e::FindTopWindow(other.pid, kTargetClass, kTargetCaption, kWait);
    ASSERT_NE(second, nullptr);
    HWND windows[] = {main_, second};
    int clicks[] = {0, 0};
    for (int i = 0; i < 6; ++i) {
        int which = i % 2;
        ASSERT_TRUE(e2e::Click(e2e::Child(windows[which], kIdButtonHello)));
        ++clicks[which];
        for (int w = 0; w < 2; ++w) {
            std::string want = clicks[w] ? "clicked " + std::to_string(clicks[w]) : "就绪";
            HWND status = e2e::Child(windows[w], kIdStatus);
            EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::Text(status) == want; }, kWait))
                << "click " << i << " window " << w << ": " << e2e::Text(status);
        }
    }
    e2e::Release(&other);
}

TEST_F(DriverTest, MessageClickPressesButton) {
    ASSERT_TRUE(e2e::ClickMessage(Ctl(kIdButtonHello)));
    EXPECT_TRUE(StatusIs("clicked 1")) << e2e::Text(Ctl(kIdStatus));
}

TEST_F(DriverTest, TabAndShiftTabCycleFocus) {
    const int order[] = {kIdEditName,         kIdEditCode,   kIdButtonHello, kIdButtonOwnedBox,
                         kIdButtonUnownedBox, kIdButtonQuit, kIdEditName};
    ASSERT_TRUE(FocusIs(order[0]));
    for (size_t i = 1; i < std::size(order); ++i) {
        ASSERT_TRUE(e2e::PressKey(VK_TAB));
        EXPECT_TRUE(FocusIs(order[i]))
            << "Tab step " << i << " focus " << e2e::FocusedControlId(main_);
    }
    for (size_t i = std::size(order) - 1; i > 0; --i) {
        ASSERT_TRUE(e2e::PressKey(VK_TAB, e2e::kShift));
        EXPECT_TRUE(FocusIs(order[i - 1]))
            << "Shift+Tab step " << i << " focus " << e2e::FocusedControlId(main_);
    }
}

TEST_F(DriverTest, KeysArriveWithModifiersAndExtendedBit) {
    struct Case {
        WORD vk;
        unsigned mods;
        bool extended;
        const char* report;
    } cases[] = {
        {VK_RETURN, e2e::kNone, false, "key down vk=0D ext=0 mods= focus=102"},
        {VK_RETURN, e2e::kNone, true, "key down vk=0D ext=1 mods= focus=102"},
        {VK_RETURN, e2e::kCtrl, false, "key down vk=0D ext=0 mods=C focus=102"},
        {VK_RETURN, e2e::kShift, false, "key down vk=0D ext=0 mods=S focus=102"},
        {VK_RETURN, e2e::kAlt, false, "key sys vk=0D ext=0 mods=A focus=102"},
        {VK_SPACE, e2e::kNone, false, "key down vk=20 ext=0 mods= focus=102"},
        {'Q', e2e::kCtrl | e2e::kShift, false, "key down vk=51 ext=0 mods=CS focus=102"},
    };
    ASSERT_TRUE(e2e::FocusControl(Ctl(kIdEditCode)));
    for (const Case& c : cases) {
        ASSERT_TRUE(e2e::SetText(Ctl(kIdLastKey), ""));
        ASSERT_TRUE(e2e::PressKey(c.vk, c.mods, c.extended));
        EXPECT_TRUE(LastKeyIs(c.report)) << c.report << " got " << e2e::Text(Ctl(kIdLastKey));
    }
}

TEST_F(DriverTest, EnterInEditReachesDialogNavigation) {
    ASSERT_TRUE(e2e::FocusControl(Ctl(kIdEditCode)));
    ASSERT_TRUE(e2e::PressKey(VK_RETURN));
    EXPECT_TRUE(StatusIs("enter in 102")) << e2e::Text(Ctl(kIdStatus));
}

TEST_F(DriverTest, SpaceOnFocusedButtonPressesIt) {
    ASSERT_TRUE(e2e::FocusControl(Ctl(kIdButtonHello)));
    ASSERT_TRUE(e2e::PressKey(VK_SPACE));
    EXPECT_TRUE(StatusIs("clicked 1")) << e2e::Text(Ctl(kIdStatus));
}

TEST_F(DriverTest, PostedKeysAndTextAreTheFallback) {
    HWND edit = Ctl(kIdEditCode);
    ASSERT_TRUE(e2e::FocusControl(edit));
    ASSERT_TRUE(e2e::PostText(edit, "posted"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::Text(edit) == "posted"; }, kWait))
        << e2e::Text(edit);
    ASSERT_TRUE(e2e::PostKey(edit, VK_RETURN, e2e::kNone, true));
    EXPECT_TRUE(LastKeyIs("key down vk=0D ext=1 mods= focus=102")) << e2e::Text(Ctl(kIdLastKey));
    EXPECT_TRUE(StatusIs("enter in 102")) << e2e::Text(Ctl(kIdStatus));
}

TEST_F(DriverTest, EscapeClosesWithItsCode) {
    ASSERT_TRUE(e2e::PressKey(VK_ESCAPE));
    EXPECT_EQ(ExitCode(), kExitEscape);
}

TEST_F(DriverTest, AltF4ClosesWithItsCode) {
    ASSERT_TRUE(e2e::PressKey(VK_F4, e2e::kAlt));
    EXPECT_EQ(ExitCode(), kExitClose);
}

TEST_F(DriverTest, QuitButtonExitCodesReadBackAsDword) {
    const struct {
        const char* typed;
        DWORD code;
    } cases[] = {{"0", 0}, {"7", 7}, {"4294967295", 0xFFFFFFFF}};
    for (const auto& c : cases) {
        if (!proc_.handle) {
            SetUp();
        }
        ASSERT_TRUE(e2e::SetText(Ctl(kIdEditCode), c.typed));
        ASSERT_TRUE(e2e::Click(Ctl(kIdButtonQuit)));
        EXPECT_EQ(ExitCode(), c.code) << c.typed;
        EXPECT_TRUE(e2e::WaitGone(main_, kWait));
        e2e::Release(&proc_);
    }
}

TEST_F(DriverTest, ReadsPaintedColour) {
    POINT centre = {kSwatchLeft + kSwatchSize / 2, kSwatchTop + kSwatchSize / 2};
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return e2e::PixelOnScreen(main_, centre) == kSwatchColour; }, kWait))
        << std::hex << e2e::PixelOnScreen(main_, centre);
    // Outside the square the window's face colour shows.
    POINT outside = {kSwatchLeft - 5, kSwatchTop + kSwatchSize / 2};
    EXPECT_EQ(e2e::PixelOnScreen(main_, outside), GetSysColor(COLOR_BTNFACE));
}

TEST_F(DriverTest, CapturesWindowToBmp) {
    std::wstring path = e2e::ExeDir() + L"driver_selftest_capture.bmp";
    DeleteFileW(path.c_str());
    POINT centre = {kSwatchLeft + kSwatchSize / 2, kSwatchTop + kSwatchSize / 2};
    ASSERT_TRUE(
        e2e::WaitUntil([&] { return e2e::PixelOnScreen(main_, centre) == kSwatchColour; }, kWait));
    ASSERT_TRUE(e2e::CaptureWindowBmp(main_, path));

    FILE* f = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    std::string bytes;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        bytes.append(buf, n);
    std::fclose(f);
    DeleteFileW(path.c_str());

    RECT r = e2e::WindowRect(main_);
    LONG w = r.right - r.left;
    LONG h = r.bottom - r.top;
    size_t row = static_cast<size_t>((w * 3 + 3) & ~3);
    size_t header = 14 + 40;
    ASSERT_EQ(bytes.size(), header + row * static_cast<size_t>(h));
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    // The square's centre, as stored bottom-up in blue-green-red order.
    POINT p = centre;
    ClientToScreen(main_, &p);
    size_t x = static_cast<size_t>(p.x - r.left);
    size_t y = static_cast<size_t>(h - 1 - (p.y - r.top));
    const auto* px =
        reinterpret_cast<const unsigned char*>(bytes.data() + header + y * row + x * 3);
    EXPECT_EQ(RGB(px[2], px[1], px[0]), kSwatchColour);
}

TEST_F(DriverTest, FindsReadsAndClosesOwnedMessageBox) {
    ASSERT_TRUE(e2e::SetText(Ctl(kIdEditName), "Fen"));
    ASSERT_TRUE(e2e::Click(Ctl(kIdButtonOwnedBox)));
    HWND box = e2e::FindMessageBox(proc_.pid, "目标提示", kWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main_);
    e2e::MessageBoxInfo info = e2e::ReadMessageBox(box);
    EXPECT_EQ(info.caption, "目标提示");
    EXPECT_EQ(info.text, "你好, Fen");
    ASSERT_EQ(info.buttons.size(), 1u);
    EXPECT_EQ(info.buttons[0].id, IDOK);
    // The system's own word for OK follows the locale the tests run in.
    EXPECT_TRUE(info.buttons[0].text == "确定" || info.buttons[0].text == "OK")
        << info.buttons[0].text;
    ASSERT_TRUE(e2e::Click(e2e::Child(box, IDOK)));
    EXPECT_TRUE(e2e::WaitGone(box, kWait));
    EXPECT_TRUE(StatusIs("box 202 answered 1")) << e2e::Text(Ctl(kIdStatus));
}

TEST_F(DriverTest, FindsAndAnswersUnownedMessageBox) {
    ASSERT_TRUE(e2e::ClickMessage(Ctl(kIdButtonUnownedBox)));
    HWND box = e2e::FindMessageBox(proc_.pid, "", kWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    e2e::MessageBoxInfo info = e2e::ReadMessageBox(box);
    EXPECT_EQ(info.caption, "Unowned box");
    EXPECT_EQ(info.text, "你好, ");
    ASSERT_EQ(info.buttons.size(), 2u);
    EXPECT_EQ(info.buttons[0].id, IDYES);
    EXPECT_EQ(info.buttons[1].id, IDNO);
    ASSERT_TRUE(e2e::BringToForeground(box));
    ASSERT_TRUE(e2e::PressKey('N'));
    EXPECT_TRUE(e2e::WaitGone(box, kWait));
    EXPECT_TRUE(StatusIs("box 203 answered 7")) << e2e::Text(Ctl(kIdStatus));
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

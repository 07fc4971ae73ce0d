// The partner indicator as the user sees it: text and colour as drawn on the screen.
#include "fennrow_session.h"
#include "support/partner_sim_client.h"

#include <gtest/gtest.h>

using namespace fennrow_test;

namespace {

constexpr const char* kRunning = "CHK文件恢复专家已运行  可使用";
constexpr const char* kNotRunning = "CHK文件恢复专家未运行  不可使用";
// One period of the timer and a margin for a loaded machine.
constexpr DWORD kTickBoundMs = 1500 + 700;

struct Colours {
    int blue = 0, red = 0;
};

// Counts strongly blue and strongly red pixels inside the indicator as shown on the screen.
Colours ColoursShown(HWND window, HWND indicator) {
    RECT rect = e2e::WindowRect(indicator);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    Colours colours;
    for (int y = rect.top; y < rect.bottom; y += 1) {
        for (int x = rect.left; x < rect.right; x += 1) {
            COLORREF pixel = e2e::PixelOnScreen(window, {x, y});
            int r = GetRValue(pixel), g = GetGValue(pixel), b = GetBValue(pixel);
            colours.blue += b > 160 && r < 110 && g < 110;
            colours.red += r > 160 && g < 110 && b < 110;
        }
    }
    return colours;
}

} // namespace

TEST(PartnerIndicator, TurnsBlueWhenThePartnerStartsAndRedWhenItCloses) {
    Session session;
    ASSERT_TRUE(Start(session));
    ASSERT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kNotRunning; },
                               kTickBoundMs + 1500));
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    Colours red = ColoursShown(session.window, session.Control(kIndicator));
    EXPECT_GT(red.red, 20);
    EXPECT_EQ(red.blue, 0);

    partner_sim::Sim sim;
    partner_sim::StartOptions options;
    options.items = {"C:\\FILE0000.CHK"};
    ASSERT_TRUE(partner_sim::Start(sim, options));
    DWORD started = GetTickCount();
    ASSERT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kRunning; },
                               kTickBoundMs, 10));
    EXPECT_LE(GetTickCount() - started, kTickBoundMs);
    // The partner's dialog may cover the indicator: bring Fennrow back to the front to look.
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    Colours blue = ColoursShown(session.window, session.Control(kIndicator));
    EXPECT_GT(blue.blue, 20);
    EXPECT_EQ(blue.red, 0) << "the longer red text left a trace";

    ASSERT_TRUE(partner_sim::Close(sim));
    started = GetTickCount();
    ASSERT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kNotRunning; },
                               kTickBoundMs, 10));
    EXPECT_LE(GetTickCount() - started, kTickBoundMs);
    ASSERT_TRUE(e2e::BringToForeground(session.window));
    Colours again = ColoursShown(session.window, session.Control(kIndicator));
    EXPECT_GT(again.red, 20);
    EXPECT_EQ(again.blue, 0);
}

TEST(PartnerIndicator, ADialogWithoutItsListCountsAsNotRunning) {
    Session session;
    ASSERT_TRUE(Start(session));
    partner_sim::Sim sim;
    partner_sim::StartOptions options;
    options.items = {"C:\\FILE0000.CHK"};
    ASSERT_TRUE(partner_sim::Start(sim, options));
    ASSERT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kRunning; },
                               kTickBoundMs + 1500));
    ASSERT_TRUE(partner_sim::SendCommand(sim, "drop-list"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kNotRunning; },
                               kTickBoundMs));
    ASSERT_TRUE(partner_sim::SendListCommand(sim, "add-list", {"C:\\FILE0001.CHK"}));
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kRunning; }, kTickBoundMs));
    ASSERT_TRUE(partner_sim::SendCommand(sim, "title 别的程序"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kNotRunning; },
                               kTickBoundMs));
}

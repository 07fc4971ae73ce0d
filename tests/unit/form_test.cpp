// The form layer in this process: the test thread is the UI thread and owns the main window.
#include "app/fatal_error.h"
#include "app/main_window.h"
#include "job/job_state.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

using app::Control;

namespace {

HWND MainWindow() {
    return FindWindowA("FennrowMainWindow", "Fennrow");
}

HWND ControlWindow(Control control) {
    return GetDlgItem(MainWindow(), app::ControlId(control));
}

// Pumps this thread's messages for a while, so that the window paints.
void Pump(DWORD milliseconds) {
    DWORD until = GetTickCount() + milliseconds;
    MSG message;
    while (static_cast<LONG>(until - GetTickCount()) > 0) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

struct Columns {
    int first = -1, last = -1; // columns of the label holding text pixels
};

// Columns of the label on the screen where a pixel of the given colour family is drawn.
template <typename IsText> Columns TextColumns(Control control, IsText isText) {
    HWND label = ControlWindow(control);
    RECT rect;
    GetWindowRect(label, &rect);
    HDC screen = GetDC(nullptr);
    Columns columns;
    for (int x = rect.left; x < rect.right; ++x) {
        for (int y = rect.top; y < rect.bottom; ++y) {
            COLORREF pixel = GetPixel(screen, x, y);
            if (isText(GetRValue(pixel), GetGValue(pixel), GetBValue(pixel))) {
                if (columns.first < 0) {
                    columns.first = x - rect.left;
                }
                columns.last = x - rect.left;
                break;
            }
        }
    }
    ReleaseDC(nullptr, screen);
    return columns;
}

bool IsStatusGreen(int r, int g, int b) {
    return g > 150 && r < 90 && b > 60 && b < 200;
}
bool IsRed(int r, int g, int b) {
    return r > 160 && g < 110 && b < 110;
}
bool IsBlue(int r, int g, int b) {
    return b > 160 && r < 110 && g < 110;
}

class FormLayer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        app::PrepareEndReceiver();
        job::InitJobState();
        ASSERT_TRUE(app::CreateMainWindow());
        SetWindowPos(MainWindow(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        // The partner tick would rewrite the indicator while a test looks at it.
        KillTimer(MainWindow(), static_cast<UINT_PTR>(app::ControlId(Control::时钟1)));
        Pump(300);
    }
};

struct WorkerWrite {
    std::string text;
    std::string readBack;
    bool done = false;
};

DWORD WINAPI WriteStatusThenCloseBox(LPVOID parameter) {
    auto* work = static_cast<WorkerWrite*>(parameter);
    app::SetControlText(Control::透明标签3, work->text);
    work->readBack = app::GetControlText(Control::透明标签3);
    work->done = true;
    // Only now let the UI thread out of its modal loop.
    for (int i = 0; i < 200; ++i) {
        if (HWND box = FindWindowA("#32770", "modal")) {
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}

DWORD WINAPI WriteAfterTheEnd(LPVOID parameter) {
    auto* work = static_cast<WorkerWrite*>(parameter);
    app::SetControlText(Control::透明标签3, work->text);
    work->readBack = app::GetControlText(Control::编辑框2);
    work->done = true;
    return 0;
}

} // namespace

TEST_F(FormLayer, WorkerWritesCompleteWhileAModalBoxIsOpen) {
    WorkerWrite work;
    work.text = "E:\\found\\FILE0001.CHK";
    HANDLE worker = CreateThread(nullptr, 0, WriteStatusThenCloseBox, &work, 0, nullptr);
    // The worker's box-closing gives up after 4 s; the box would otherwise wait for a person.
    MessageBoxA(nullptr, "the worker closes this", "modal", MB_OK);
    ASSERT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
    CloseHandle(worker);
    EXPECT_TRUE(work.done);
    EXPECT_EQ(work.readBack, work.text);
    Pump(100);
    EXPECT_GE(TextColumns(Control::透明标签3, IsStatusGreen).first, 0) << "not repainted";
}

TEST_F(FormLayer, LongStatusTextStaysCentredAndIsCutAtBothEnds) {
    app::SetControlText(Control::透明标签3, "W");
    Pump(100);
    Columns one = TextColumns(Control::透明标签3, IsStatusGreen);
    ASSERT_GE(one.first, 0);
    int width = 256;
    EXPECT_NEAR(one.first, width - 1 - one.last, 2) << "a short text is centred";

    app::SetControlText(Control::透明标签3, std::string(120, 'W') + "&" + std::string(120, 'W'));
    Pump(100);
    Columns wide = TextColumns(Control::透明标签3, IsStatusGreen);
    EXPECT_LE(wide.first, 1);
    EXPECT_GE(wide.last, width - 2);
    EXPECT_EQ(GetWindowTextLengthA(ControlWindow(Control::透明标签3)), 241);

    app::SetControlText(Control::透明标签3, "");
    Pump(100);
    EXPECT_LT(TextColumns(Control::透明标签3, IsStatusGreen).first, 0) << "empty shows nothing";
}

TEST_F(FormLayer, ShorterIndicatorTextLeavesNoTraceOfTheLongerOne) {
    app::SetControlText(Control::透明标签4, "CHK文件恢复专家未运行  不可使用 WWWWWWWWWWWW");
    app::SetControlTextColour(Control::透明标签4, 0x0000FF);
    Pump(100);
    Columns red = TextColumns(Control::透明标签4, IsRed);
    ASSERT_GE(red.first, 0);
    app::SetControlText(Control::透明标签4, "CHK");
    app::SetControlTextColour(Control::透明标签4, 0xFF0000);
    Pump(100);
    EXPECT_LT(TextColumns(Control::透明标签4, IsRed).first, 0);
    Columns blue = TextColumns(Control::透明标签4, IsBlue);
    ASSERT_GE(blue.first, 0);
    EXPECT_LT(blue.last, red.last);
}

TEST_F(FormLayer, ControlOperationsAfterTheWindowIsGoneDoNothing) {
    // Last test of the suite: the window is destroyed here.
    DestroyWindow(MainWindow());
    EXPECT_FALSE(app::MainWindowExists());
    WorkerWrite work;
    work.text = "late";
    work.readBack = "unset";
    HANDLE worker = CreateThread(nullptr, 0, WriteAfterTheEnd, &work, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
    CloseHandle(worker);
    EXPECT_TRUE(work.done);
    EXPECT_EQ(work.readBack, "");
}

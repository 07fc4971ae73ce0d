#include "app/fatal_error.h"

#include "app/probe.h"
#include "platform/late_binding.h"
#include "platform/process.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace app {
namespace {

constexpr UINT kEndProcessRequest = WM_APP + 1;
constexpr unsigned kFatalExitCode = 0xFFFFFFFFu; // -1

DWORD g_uiThreadId = 0;
HWND g_endReceiver = nullptr;
std::atomic<void (*)()> g_exitRoutine{nullptr};

LRESULT CALLBACK EndReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kEndProcessRequest) {
        ShutDownAndExit(static_cast<unsigned>(wParam));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

std::string FatalErrorText(const std::string& message, int code) {
    std::string text = "运行时出错!\r\n\r\n";
    if (code != 0) {
        text += "错误代码：" + std::to_string(code) + "\r\n\r\n";
    }
    if (!message.empty()) {
        text += "错误信息：" + message + "\r\n";
    }
    return text;
}

void PrepareEndReceiver() {
    g_uiThreadId = GetCurrentThreadId();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = EndReceiverProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FennrowEndReceiver";
    RegisterClassA(&windowClass);
    // Message-only: invisible, never counted among the program's windows.
    g_endReceiver = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, windowClass.hInstance, nullptr);
}

bool IsUiThread() {
    return g_uiThreadId == 0 || GetCurrentThreadId() == g_uiThreadId;
}

void RegisterExitRoutine(void (*routine)()) {
    g_exitRoutine.store(routine);
}

void RunExitRoutine() {
    if (void (*routine)() = g_exitRoutine.exchange(nullptr)) {
        routine();
    }
}

void ShutDownAndExit(unsigned exitCode) {
    platform::UnloadLateBoundLibraries();
    platform::UninitializeCom();
    platform::EndProcess(exitCode);
}

void ReportFatalError(const std::string& message, int code) {
    ProbeEvent("ReportFatalError");
    MessageBoxA(nullptr, FatalErrorText(message, code).c_str(), "错误", MB_OK | MB_ICONERROR);
    g_exitRoutine.store(nullptr);
    if (!IsUiThread() && g_endReceiver != nullptr) {
        // The UI thread ends the process; this send does not come back.
        SendMessageA(g_endReceiver, kEndProcessRequest, kFatalExitCode, 0);
    }
    ShutDownAndExit(kFatalExitCode);
}

} // namespace app

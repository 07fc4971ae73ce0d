#include "app/lifecycle.h"

#include "app/fatal_error.h"
#include "app/main_window.h"
#include "app/probe.h"
#include "job/job_state.h"
#include "platform/process.h"
#include "skin/skin_attachment.h"

#include <windows.h>

namespace app {
namespace {

void PrepareProcess() {
    platform::InitializeCom();
    platform::MakeCurrentDirectory(platform::ExecutableFolder());
    PrepareEndReceiver();
}

unsigned RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateMainWindowKeys(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<unsigned>(message.wParam);
}

} // namespace

void MainWindowCreated() {
    ProbeEvent("MainWindowCreated");
    skin::AttachSkin(9);
    skin::EnableSkinAero();
    job::InstallJobLock(job::CreateJobLock());
    ProbeEvent("CreateJobLock");
}

void RunProgram() {
    PrepareProcess();
    job::InitJobState();
    RegisterExitRoutine(job::ReleaseJobState);
    if (!CreateMainWindow()) {
        ReportFatalError("载入启动窗口失败", 0);
    }
    unsigned exitCode = MainWindowExists() ? RunMessageLoop() : 0;
    RunExitRoutine();
    ShutDownAndExit(exitCode);
}

} // namespace app

#include "job/start_request.h"

#include "app/main_window.h"
#include "app/notices.h"
#include "job/copy_run.h"
#include "job/job_state.h"
#include "job/path_helpers.h"
#include "platform/threads.h"

namespace job {

void StartRequest() {
    std::string folder = app::GetControlText(app::Control::编辑框1);
    if (folder.empty()) {
        app::ShowTimedNotice("温馨提示", "请先选择保存目录。");
        return;
    }
    if (!EndsWithBackslash(folder)) {
        app::ShowTimedNotice("温馨提示", "请在路径后面加上\\  如：D：\\");
        return;
    }
    std::string type = app::GetControlText(app::Control::编辑框2);
    if (type.empty()) {
        app::ShowTimedNotice("温馨提示", "请填好后缀名。");
        return;
    }
    std::string destination = JoinText({folder, type, "\\"});
    SetDestinationFolder(destination);
    if (IsExistingDirectory(destination) || MakeDirectoryPath(destination)) {
        platform::StartWorker(CopyRun);
        return;
    }
    app::ShowTimedNotice("警告", "未知错误，无法创建保存目录。");
}

void FileTypeBoxKeyDown(int keyCode, int) {
    if (keyCode == 13) {
        StartRequest();
    }
}

} // namespace job

#include "job/save_folder.h"

#include "app/main_window.h"
#include "app/notices.h"
#include "platform/shell.h"

namespace job {

void ChooseSaveFolder() {
    // Only a confirmed choice changes the box: a cancel must not replace the save folder with
    // a bare backslash.
    if (!app::ShowFileDialog(app::Control::通用对话框1)) {
        return;
    }
    std::string name = app::GetDialogFileName(app::Control::通用对话框1);
    app::SetControlText(app::Control::编辑框1, name + "\\");
}

void OpenSaveFolder() {
    std::string folder = app::GetControlText(app::Control::编辑框1);
    if (folder.empty()) {
        app::ShowTimedNotice("温馨提示", "请先选择保存目录。");
        return;
    }
    platform::OpenInShell(folder);
}

} // namespace job

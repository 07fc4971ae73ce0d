// The form layer: the one main window, its components, their events and the control
// operations through which the rest of the program reads and changes them.
#pragma once

#include <cstdint>
#include <string>

struct tagMSG;
struct tagOFNA;

namespace app {

// The components, in their creation order. The control ID of each is 1001 + its position.
enum class Control {
    标签1,
    时钟1,
    透明标签4,
    按钮3,
    透明标签3,
    透明标签2,
    按钮2,
    透明标签1,
    编辑框1,
    通用对话框1,
    编辑框2,
    按钮1,
};

constexpr int ControlId(Control control) {
    return 1001 + static_cast<int>(control);
}

using Colour = std::uint32_t; // 0x00BBGGRR

// Creates the window and every component, raises the created event, shows the window.
bool CreateMainWindow();
bool MainWindowExists();

// Keys that mean something at window level (Tab, Shift+Tab, Esc). True when handled.
bool TranslateMainWindowKeys(const tagMSG& message);

// Control operations: callable from any thread; from a worker each one is carried out by the UI
// thread in step with the caller. After the window is gone they do nothing (reads give "").
std::string GetControlText(Control control);
void SetControlText(Control control, const std::string& text);
void SetControlTextColour(Control control, Colour colour);
bool ShowFileDialog(Control control);
std::string GetDialogFileName(Control control);

// The Save As dialog function (GetSaveFileNameA); tests put a recorder in its place.
using SaveDialogFunction = int(__stdcall*)(tagOFNA*);
void ReplaceSaveDialogForTests(SaveDialogFunction function);

} // namespace app

// The window's two label kinds: transparent labels (text only, drawn onto whatever lies beneath)
// and the opaque explanation label.
#pragma once

#include "app/main_window.h"

#include <windows.h>

#include <string>

namespace app {

constexpr const char* kTransparentLabelClass = "FennrowTransparentLabel";
constexpr const char* kOpaqueLabelClass = "FennrowLabel";

void RegisterLabelClasses(HINSTANCE instance);
// A control's text in the ANSI code page, read from the control at this moment.
std::string ReadWindowText(HWND window);
// Horizontal alignment as DT_LEFT, DT_CENTER or DT_RIGHT, kept in the label's style bits.
DWORD TransparentLabelStyle(UINT alignment);
void SetLabelColour(HWND label, Colour colour);
// Repaints the label at once: what lies beneath, then its text.
void RepaintLabel(HWND label);

} // namespace app

// Another program's windows, seen from the outside.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using WindowHandle = std::uintptr_t; // 0: none

// The first top-level window of that class and exact title; 0 when there is none.
WindowHandle FindTopLevelWindow(const char* className, const char* title);
// The first direct child of that class, whatever its text; 0 when there is none.
WindowHandle FindChildWindow(WindowHandle parent, const char* className);
// The text of a list box item in the ANSI code page; "" when there is nothing to read or the
// list box does not answer within `timeoutMs`.
std::string ReadListBoxItem(WindowHandle listBox, int index, unsigned timeoutMs);

} // namespace platform

// The shell's default action on a path.
#pragma once

#include <string>

struct HWND__;
struct HINSTANCE__;

namespace platform {

// ShellExecuteA with no owner, no verb, no parameters, an empty working directory and
// SW_SHOWNORMAL; the result is not examined.
void OpenInShell(const std::string& path);

// The shell function (ShellExecuteA); tests put a recorder in its place to see the exact call.
using ShellExecuteFunction = HINSTANCE__*(__stdcall*)(HWND__*, const char*, const char*,
                                                      const char*, const char*, int);
void ReplaceShellExecuteForTests(ShellExecuteFunction function);

} // namespace platform

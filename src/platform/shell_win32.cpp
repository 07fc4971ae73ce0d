#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {
namespace {

ShellExecuteFunction g_shellExecute = ShellExecuteA;

} // namespace

void OpenInShell(const std::string& path) {
    g_shellExecute(nullptr, nullptr, path.c_str(), nullptr, "", SW_SHOWNORMAL);
}

void ReplaceShellExecuteForTests(ShellExecuteFunction function) {
    g_shellExecute = function;
}

} // namespace platform

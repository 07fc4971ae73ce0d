#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

void OpenInShell(const std::string& path) {
    ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, "", SW_SHOWNORMAL);
}

} // namespace platform

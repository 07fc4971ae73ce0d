// The shell's default action on a path.
#pragma once

#include <string>

namespace platform {

// ShellExecuteA with no owner, no verb, no parameters, an empty working directory and
// SW_SHOWNORMAL; the result is not examined.
void OpenInShell(const std::string& path);

} // namespace platform

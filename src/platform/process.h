// The process as a whole: its folder, COM, the end.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable cut before its last backslash (never ends in one).
std::string ExecutableFolder();
void MakeCurrentDirectory(const std::string& folder);
void InitializeCom();
void UninitializeCom();
[[noreturn]] void EndProcess(unsigned exitCode);

} // namespace platform

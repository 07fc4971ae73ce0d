#include "platform/process.h"

#include <windows.h>
#include <ole2.h>

#include <vector>

namespace platform {

std::string ExecutableFolder() {
    // No fixed size: a long path must not be cut.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            std::string::size_type cut = path.find_last_of('\\');
            return cut == std::string::npos ? std::string() : path.substr(0, cut);
        }
        buffer.resize(buffer.size() * 2);
    }
}

void MakeCurrentDirectory(const std::string& folder) {
    SetCurrentDirectoryA(folder.c_str());
}

void InitializeCom() {
    OleInitialize(nullptr);
}

void UninitializeCom() {
    OleUninitialize();
}

void EndProcess(unsigned exitCode) {
    ExitProcess(exitCode);
}

} // namespace platform

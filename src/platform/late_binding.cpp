#include "platform/late_binding.h"

#include "app/fatal_error.h"
#include "platform/late_functions.h"
#include "platform/process.h"
#include "platform/threads.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace late {
#define FENNROW_DEFINE_LATE(dll, fn) platform::LateFunction fn##_function{dll, #fn};
FENNROW_LATE_FUNCTIONS(FENNROW_DEFINE_LATE)
#undef FENNROW_DEFINE_LATE
} // namespace late

namespace platform {
namespace {

// Functions declared without a DLL are looked for in these, in this order.
constexpr const char* kStandardDlls[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                         "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};
constexpr const char* kSkinEngineDll = "SkinH_EL.dll";

std::mutex g_bindMutex; // binding may happen on the UI thread and on workers at once
std::vector<HMODULE> g_loadedLibraries;

bool IsSkinEngine(const char* dll) {
    return lstrcmpiA(dll, kSkinEngineDll) == 0;
}

HMODULE LoadFromSystemDirectory(const char* dll) {
    // System DLLs come from the system directory only, so that a DLL of the same name planted
    // beside the executable is never loaded.
    char directory[MAX_PATH];
    UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    std::string path = std::string(directory, length) + "\\" + dll;
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadSkinEngine(const char* dll) {
    // The engine is ours and lies beside the executable; only then the standard search.
    std::string besideExecutable = ExecutableFolder() + "\\" + dll;
    if (HMODULE module =
            LoadLibraryExA(besideExecutable.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
        return module;
    }
    return LoadLibraryA(dll);
}

FARPROC FindInLibrary(const char* dll, const char* name) {
    HMODULE module = IsSkinEngine(dll) ? LoadSkinEngine(dll) : LoadFromSystemDirectory(dll);
    if (module == nullptr) {
        return nullptr;
    }
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        FreeLibrary(module);
        return nullptr;
    }
    g_loadedLibraries.push_back(module);
    return address;
}

FARPROC Resolve(const LateFunction& function) {
    if (function.dll != nullptr) {
        return FindInLibrary(function.dll, function.name);
    }
    for (const char* dll : kStandardDlls) {
        if (FARPROC address = FindInLibrary(dll, function.name)) {
            return address;
        }
    }
    return nullptr;
}

} // namespace

std::string UnboundFunctionMessage(const char* dll, const char* name) {
    char message[512];
    if (dll != nullptr) {
        std::snprintf(message, sizeof message, "无法找到指定DLL库文件“%s”中的输出命令“%s”", dll,
                      name);
    } else {
        std::snprintf(message, sizeof message, "无法找到指定DLL库文件中的输出命令“%s”", name);
    }
    return message;
}

FARPROC TryBindLateFunction(LateFunction& function) {
    if (FARPROC address = function.address.load(std::memory_order_acquire)) {
        return address;
    }
    std::lock_guard<std::mutex> guard(g_bindMutex);
    if (FARPROC address = function.address.load(std::memory_order_relaxed)) {
        return address;
    }
    FARPROC address = Resolve(function);
    function.address.store(address, std::memory_order_release);
    return address;
}

FARPROC BindLateFunction(LateFunction& function) {
    if (FARPROC address = TryBindLateFunction(function)) {
        return address;
    }
    app::ReportFatalError(UnboundFunctionMessage(function.dll, function.name), 0);
}

void UnloadLateBoundLibraries() {
    // A worker may be inside a bound function; the end of the process frees everything anyway.
    if (ActiveWorkerCount() > 0) {
        return;
    }
    std::lock_guard<std::mutex> guard(g_bindMutex);
    for (HMODULE module : g_loadedLibraries) {
        FreeLibrary(module);
    }
    g_loadedLibraries.clear();
}

} // namespace platform

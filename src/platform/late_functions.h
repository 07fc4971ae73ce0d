// Every outside function that the program binds late, with its DLL as declared. The typed
// wrappers check at compile time that each call matches the real prototype.
#pragma once

#include "platform/late_binding.h"

#include <shlwapi.h>

// Not in the SDK headers: user32's message box with a time-out.
extern "C" int WINAPI MessageBoxTimeoutA(HWND, LPCSTR, LPCSTR, UINT, WORD, DWORD);
// From dbghelp.h, which the program does not otherwise need.
extern "C" BOOL WINAPI MakeSureDirectoryPathExists(PCSTR);
// The skin engine's entry points.
extern "C" int WINAPI SkinH_AttachRes(const unsigned char* data, int size, const char* password,
                                      int reserved1, int reserved2, int reserved3);
extern "C" int WINAPI SkinH_SetAero(int enable);

#define FENNROW_LATE_FUNCTIONS(X)                                                                  \
    X(nullptr, CreateThread)                                                                       \
    X(nullptr, EnterCriticalSection)                                                               \
    X(nullptr, LeaveCriticalSection)                                                               \
    X(nullptr, InitializeCriticalSection)                                                          \
    X("user32", GetActiveWindow)                                                                   \
    X("user32", MessageBoxTimeoutA)                                                                \
    X("user32", SendMessageA)                                                                      \
    X("user32", SendMessageTimeoutW)                                                               \
    X("user32", FindWindowExA)                                                                     \
    X("shlwapi.dll", PathIsDirectoryA)                                                             \
    X("shlwapi.dll", PathFindFileNameA)                                                            \
    X("shlwapi.dll", PathFindExtensionA)                                                           \
    X("dbghelp.dll", MakeSureDirectoryPathExists)                                                  \
    X("kernel32.dll", CopyFileA)                                                                   \
    X("kernel32.dll", CopyFileExA)                                                                 \
    X("kernel32.dll", MoveFileExA)                                                                 \
    X("SkinH_EL.dll", SkinH_AttachRes)                                                             \
    X("SkinH_EL.dll", SkinH_SetAero)

namespace late {

#define FENNROW_DECLARE_LATE(dll, fn)                                                              \
    extern platform::LateFunction fn##_function;                                                   \
    template <typename... Args> auto fn(Args... args) {                                            \
        using Prototype = decltype(&::fn);                                                         \
        return reinterpret_cast<Prototype>(                                                        \
            reinterpret_cast<void*>(platform::BindLateFunction(fn##_function)))(args...);          \
    }
FENNROW_LATE_FUNCTIONS(FENNROW_DECLARE_LATE)
#undef FENNROW_DECLARE_LATE

} // namespace late

// Outside functions are bound on their first call, one at a time, and kept for the rest of the
// run. Every late-bound function is declared once, in late_functions.h.
#pragma once

#include <windows.h>

#include <atomic>

namespace platform {

struct LateFunction {
    const char* dll; // as declared; nullptr: searched in the standard list of system DLLs
    const char* name;
    std::atomic<FARPROC> address{nullptr};
};

// Binds on the first call; a function that cannot be bound ends the program through the fatal
// error box with the message naming the DLL and the function.
FARPROC BindLateFunction(LateFunction& function);

// Like BindLateFunction, but answers nullptr instead of ending the program. For functions the
// program can do without.
FARPROC TryBindLateFunction(LateFunction& function);

// Frees every library loaded for late binding. Only at the end of the process.
void UnloadLateBoundLibraries();

// The message the fatal error box shows when a function cannot be bound (ANSI, code page 936).
std::string UnboundFunctionMessage(const char* dll, const char* name);

} // namespace platform

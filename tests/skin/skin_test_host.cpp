// The program with its probes, and two additions for the skin tests:
//   skin_test_host.exe            runs the program as fennrow_probe.exe does;
//   skin_test_host.exe --attach N calls only skin::AttachSkin(N) and ends with exit code 0.
// It exports FennrowBoundLateFunctions, which the fake engine calls to note which late-bound
// functions were already bound when the engine was first called.
#include "app/lifecycle.h"
#include "platform/late_functions.h"
#include "skin/skin_attachment.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" __declspec(dllexport) const char* FennrowBoundLateFunctions() {
    static std::string names;
    names.clear();
#define FENNROW_LIST_BOUND(dll, fn)                                                                \
    if (late::fn##_function.address.load() != nullptr) {                                           \
        names += names.empty() ? #fn : "," #fn;                                                    \
    }
    FENNROW_LATE_FUNCTIONS(FENNROW_LIST_BOUND)
#undef FENNROW_LIST_BOUND
    return names.c_str();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const char* attach = std::strstr(commandLine, "--attach ");
    if (attach != nullptr) {
        skin::AttachSkin(std::atoi(attach + std::strlen("--attach ")));
        return 0;
    }
    app::RunProgram();
}

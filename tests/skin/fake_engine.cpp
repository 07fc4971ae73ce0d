// A stand-in for the skin engine that skins nothing and writes down what it was handed: one line
// per event in fake_engine.log beside itself, and the skin bytes of the last SkinH_AttachRes in
// fake_engine_skin.bin. Built twice: complete, and without SkinH_SetAero (FAKE_WITHOUT_AERO).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HMODULE g_self = nullptr;

std::string BesideSelf(const char* name) {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(g_self, path, MAX_PATH);
    std::string folder(path, length);
    std::string::size_type cut = folder.find_last_of('\\');
    return (cut == std::string::npos ? std::string() : folder.substr(0, cut + 1)) + name;
}

void Record(const std::string& line) {
    if (FILE* log = std::fopen(BesideSelf("fake_engine.log").c_str(), "ab")) {
        std::fprintf(log, "%s\n", line.c_str());
        std::fclose(log);
    }
}

// The late-bound functions the host has bound so far, when the host tells (the skin test host
// exports this); "?" otherwise.
std::string HostBoundFunctions() {
    using Listing = const char* (*)();
    auto listing = reinterpret_cast<Listing>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA(nullptr), "FennrowBoundLateFunctions")));
    return listing != nullptr ? listing() : "?";
}

std::string Describe(const char* text) {
    if (text == nullptr) {
        return "null";
    }
    if (*text == '\0') {
        return "empty";
    }
    // Appended piecewise: GCC 12 at -O2 misreads operator+ on a literal here (-Wrestrict).
    std::string quoted(1, '"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        Record("load");
    }
    return TRUE;
}

extern "C" int WINAPI SkinH_AttachRes(const unsigned char* data, int size, const char* password,
                                      int reserved1, int reserved2, int reserved3) {
    // The caller frees the bytes when the call returns: keep them now.
    if (FILE* out = std::fopen(BesideSelf("fake_engine_skin.bin").c_str(), "wb")) {
        if (data != nullptr && size > 0) {
            std::fwrite(data, 1, static_cast<std::size_t>(size), out);
        }
        std::fclose(out);
    }
    Record("SkinH_AttachRes data=" + std::string(data != nullptr ? "set" : "null") +
           " size=" + std::to_string(size) + " text=" + Describe(password) +
           " ints=" + std::to_string(reserved1) + "," + std::to_string(reserved2) + "," +
           std::to_string(reserved3) + " bound=" + HostBoundFunctions());
    return 1;
}

#ifndef FAKE_WITHOUT_AERO
extern "C" int WINAPI SkinH_SetAero(int enable) {
    Record("SkinH_SetAero " + std::to_string(enable) + " bound=" + HostBoundFunctions());
    return 1;
}
#endif

#include "platform/files.h"

#include <windows.h>

namespace platform {

bool EntryExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return true;
}

void WriteNewFile(const std::string& path, const unsigned char* data, std::size_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

void SetHiddenAttributeOnly(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

} // namespace platform

#include "platform/late_functions.h"

#include <cstring>
#include <memory>

namespace platform {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

FileHandle OpenForReading(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

} // namespace

ErrorCode CopyToNewFile(const std::string& source, const std::string& target) {
    if (late::CopyFileA(source.c_str(), target.c_str(), TRUE)) {
        return 0;
    }
    ErrorCode error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

ErrorCode MoveToFreeName(const std::string& source, const std::string& target) {
    if (late::MoveFileExA(source.c_str(), target.c_str(), 0)) {
        return 0;
    }
    ErrorCode error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

void RemoveFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

bool IsRegularFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameContent(const std::string& first, const std::string& second) {
    FileHandle a = OpenForReading(first);
    FileHandle b = OpenForReading(second);
    LARGE_INTEGER sizeA, sizeB;
    if (!a || !b || !GetFileSizeEx(a.get(), &sizeA) || !GetFileSizeEx(b.get(), &sizeB) ||
        sizeA.QuadPart != sizeB.QuadPart) {
        return false;
    }
    constexpr DWORD kChunk = 1 << 16;
    std::unique_ptr<char[]> bufferA(new char[kChunk]), bufferB(new char[kChunk]);
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!ReadFile(a.get(), bufferA.get(), kChunk, &readA, nullptr) ||
            !ReadFile(b.get(), bufferB.get(), kChunk, &readB, nullptr) || readA != readB) {
            return false;
        }
        if (readA == 0) {
            return true;
        }
        if (std::memcmp(bufferA.get(), bufferB.get(), readA) != 0) {
            return false;
        }
    }
}

std::vector<std::string> FileNamesMatching(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.emplace_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

unsigned long CurrentProcessId() {
    return GetCurrentProcessId();
}

bool ProcessIsRunning(unsigned long processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

std::string SystemErrorText(ErrorCode code) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

std::size_t FileNameOffset(const std::string& path) {
    return static_cast<std::size_t>(late::PathFindFileNameA(path.c_str()) - path.c_str());
}

std::size_t ExtensionOffset(const std::string& path) {
    return static_cast<std::size_t>(late::PathFindExtensionA(path.c_str()) - path.c_str());
}

long long PathIsDirectoryAnswer(const std::string& path) {
    return static_cast<long long>(late::PathIsDirectoryA(path.c_str()));
}

bool MakeSureDirectoryPathExists(const std::string& path) {
    // dbghelp copies each leading part of the path into a MAX_PATH buffer without checking its
    // length (Wine does so too): a longer typed folder would overrun its stack. No ANSI call could
    // use such a folder anyway.
    if (path.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return late::MakeSureDirectoryPathExists(path.c_str()) != 0;
}

bool HasCharacterUnfitForFileName(const std::string& name) {
    for (const char* p = name.c_str(); *p != '\0'; p = CharNextExA(CP_ACP, p, 0)) {
        auto byte = static_cast<unsigned char>(*p);
        if (IsDBCSLeadByteEx(CP_ACP, byte) && p[1] != '\0') {
            continue; // a whole double-byte character: its second byte is not a separator
        }
        if (byte < 0x20 || std::strchr("\\/:*?\"<>|", byte) != nullptr) {
            return true;
        }
    }
    return false;
}

} // namespace platform

// File system operations the program's logic needs, on ANSI paths (code page 936).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// True when any entry (file or folder) of exactly that name exists.
bool EntryExists(const std::string& path);
// Creates or replaces the file, writes the bytes in one piece; failures are not reported.
void WriteNewFile(const std::string& path, const unsigned char* data, std::size_t size);
// Sets the attributes to hidden alone.
void SetHiddenAttributeOnly(const std::string& path);

} // namespace platform

namespace platform {

using ErrorCode = unsigned long; // 0: success

// Copies into a file that must not exist yet (never replaces anything).
ErrorCode CopyToNewFile(const std::string& source, const std::string& target);
// Renames within a volume; fails when the target exists (never replaces anything).
ErrorCode MoveToFreeName(const std::string& source, const std::string& target);
void RemoveFile(const std::string& path);
bool IsRegularFile(const std::string& path);
// Byte-for-byte comparison of two files; false when either cannot be read.
bool SameContent(const std::string& first, const std::string& second);
// Names (not paths) of the files in `folder` (ending in a backslash) matching `pattern`.
std::vector<std::string> FileNamesMatching(const std::string& folder, const char* pattern);
unsigned long CurrentProcessId();
bool ProcessIsRunning(unsigned long processId);
// The system's text for an error code, in the ANSI code page, without a final line break.
std::string SystemErrorText(ErrorCode code);

// Path helpers of the shell, bound late: offsets into `path`.
std::size_t FileNameOffset(const std::string& path);
std::size_t ExtensionOffset(const std::string& path);
// PathIsDirectoryA's answer.
long long PathIsDirectoryAnswer(const std::string& path);
bool MakeSureDirectoryPathExists(const std::string& path);
// True when `name` holds a path separator, a colon or another character that cannot stand in a
// single file name; aware of double-byte characters whose second byte is 0x5C or 0x7C.
bool HasCharacterUnfitForFileName(const std::string& name);

} // namespace platform

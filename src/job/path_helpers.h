// Small routines on Texts (ANSI byte strings, code page 936) and paths.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace job {

// True when the last byte is 0x5C (byte-wise: a double-byte character with 0x5C as its second
// byte counts).
bool EndsWithBackslash(std::string_view text);
std::string JoinText(std::initializer_list<std::string_view> parts);
bool TextEquals(std::string_view first, std::string_view second);
// The extension of the last component, leading dot included, or "".
std::string GetFileExtension(const std::string& path);
// The last component, without its extension unless `keepExtension`; "" for a path ending in a
// backslash.
std::string GetFileBaseName(const std::string& path, bool keepExtension);
bool IsExistingDirectory(const std::string& path);
// Creates every missing folder along the path.
bool MakeDirectoryPath(const std::string& path);

} // namespace job

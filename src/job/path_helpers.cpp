#include "job/path_helpers.h"

#include "platform/files.h"

namespace job {

bool EndsWithBackslash(std::string_view text) {
    return !text.empty() && text.back() == '\\';
}

std::string JoinText(std::initializer_list<std::string_view> parts) {
    std::string joined;
    std::size_t size = 0;
    for (std::string_view part : parts) {
        size += part.size();
    }
    joined.reserve(size);
    for (std::string_view part : parts) {
        joined += part;
    }
    return joined;
}

bool TextEquals(std::string_view first, std::string_view second) {
    return first == second;
}

std::string GetFileExtension(const std::string& path) {
    return path.substr(platform::ExtensionOffset(path));
}

std::string GetFileBaseName(const std::string& path, bool keepExtension) {
    std::string name = path.substr(platform::FileNameOffset(path));
    if (EndsWithBackslash(name)) {
        return {};
    }
    if (keepExtension) {
        return name;
    }
    std::size_t extensionLength = GetFileExtension(name).size();
    return extensionLength < name.size() ? name.substr(0, name.size() - extensionLength)
                                         : std::string();
}

bool IsExistingDirectory(const std::string& path) {
    return platform::PathIsDirectoryAnswer(path) == 16; // FILE_ATTRIBUTE_DIRECTORY
}

bool MakeDirectoryPath(const std::string& path) {
    return platform::MakeSureDirectoryPathExists(EndsWithBackslash(path) ? path : path + "\\");
}

} // namespace job

// Path helpers and the copy of one listed file, on real files in a temporary folder.
#include "job/copy_run.h"
#include "job/job_state.h"
#include "job/path_helpers.h"
#include "platform/files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

using job::CopyResult;

std::string TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    for (;;) {
        std::string folder = std::string(base) + "fennrow-job-" +
                             std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter++) + "\\";
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            return folder;
        }
    }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string bytes(1 << 20, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int CountFiles(const std::string& folder) {
    return static_cast<int>(platform::FileNamesMatching(folder, "*").size());
}

} // namespace

TEST(PathHelpers, EndsWithBackslashLooksAtTheLastByteOnly) {
    EXPECT_TRUE(job::EndsWithBackslash("D:\\CHK恢复\\"));
    EXPECT_FALSE(job::EndsWithBackslash("D:\\CHK恢复"));
    EXPECT_FALSE(job::EndsWithBackslash(""));
    // 癨 is B0 5C in code page 936: its second byte counts as a backslash.
    EXPECT_TRUE(job::EndsWithBackslash("D:\\\xB0\x5C"));
}

TEST(PathHelpers, JoinAndEquals) {
    EXPECT_EQ(job::JoinText({"", "", ""}), "");
    EXPECT_EQ(job::JoinText({"D:\\CHK恢复\\", "jpg", "\\"}), "D:\\CHK恢复\\jpg\\");
    EXPECT_TRUE(job::TextEquals("", std::string()));
    EXPECT_FALSE(job::TextEquals("a", "A"));
}

TEST(PathHelpers, BaseNameAndExtension) {
    struct Case {
        const char* path;
        const char* withoutExtension;
        const char* withExtension;
        const char* extension;
    };
    const Case cases[] = {
        {"E:\\x\\FILE0001.CHK", "FILE0001", "FILE0001.CHK", ".CHK"},
        {"E:\\x\\a.b.c", "a.b", "a.b.c", ".c"},
        {"E:\\x\\noext", "noext", "noext", ""},
        {"E:\\x\\.cfg", "", ".cfg", ".cfg"},
        {"E:\\x\\folder\\", "", "", ""},
        {"E:\\恢复\\图片.CHK", "图片", "图片.CHK", ".CHK"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(job::GetFileBaseName(c.path, false), c.withoutExtension);
        EXPECT_EQ(job::GetFileBaseName(c.path, true), c.withExtension);
        if (*c.path != '\0' && !job::EndsWithBackslash(c.path)) {
            EXPECT_EQ(job::GetFileExtension(job::GetFileBaseName(c.path, true)), c.extension);
        }
    }
}

TEST(PathHelpers, DirectoriesAreMadeWithEveryParent) {
    std::string root = TempFolder();
    for (const char* tail : {"a\\b", "c\\d\\"}) {
        std::string path = root + tail;
        EXPECT_FALSE(job::IsExistingDirectory(path));
        EXPECT_TRUE(job::MakeDirectoryPath(path));
        EXPECT_TRUE(job::IsExistingDirectory(path));
    }
    EXPECT_TRUE(job::IsExistingDirectory(root + "a"));
    WriteBytes(root + "file", "x");
    EXPECT_FALSE(job::IsExistingDirectory(root + "file"));
    EXPECT_FALSE(job::MakeDirectoryPath("Q:\\no-such-drive\\x\\"));
}

class CopyListedFile : public ::testing::Test {
  protected:
    void SetUp() override {
        source = TempFolder();
        folder = TempFolder();
    }
    std::string source, folder;
};

TEST_F(CopyListedFile, CopiesUnderTheNewTypeWithTheSameBytes) {
    WriteBytes(source + "FILE0001.CHK", "jpeg bytes");
    auto outcome = job::CopyListedFile(source + "FILE0001.CHK", folder, "FILE0001", "jpg");
    EXPECT_EQ(outcome.result, CopyResult::Copied);
    EXPECT_EQ(ReadBytes(folder + "FILE0001.jpg"), "jpeg bytes");
    EXPECT_EQ(CountFiles(folder), 1); // no temporary file left behind
}

TEST_F(CopyListedFile, SameNameFromTwoFoldersBothArriveAndRepeatsCopyNothing) {
    CreateDirectoryA((source + "FOUND.000").c_str(), nullptr);
    CreateDirectoryA((source + "FOUND.001").c_str(), nullptr);
    WriteBytes(source + "FOUND.000\\FILE0000.CHK", "first");
    WriteBytes(source + "FOUND.001\\FILE0000.CHK", "second");
    auto first = job::CopyListedFile(source + "FOUND.000\\FILE0000.CHK", folder, "FILE0000", "jpg");
    auto second =
        job::CopyListedFile(source + "FOUND.001\\FILE0000.CHK", folder, "FILE0000", "jpg");
    EXPECT_EQ(first.result, CopyResult::Copied);
    EXPECT_EQ(second.result, CopyResult::Copied);
    EXPECT_EQ(second.target, "FILE0000 (2).jpg");
    EXPECT_EQ(ReadBytes(folder + "FILE0000.jpg"), "first");
    EXPECT_EQ(ReadBytes(folder + "FILE0000 (2).jpg"), "second");

    // A second run over the same list: both count as already there, nothing new appears.
    auto again = job::CopyListedFile(source + "FOUND.001\\FILE0000.CHK", folder, "FILE0000", "jpg");
    EXPECT_EQ(again.result, CopyResult::AlreadyThere);
    EXPECT_EQ(again.target, "FILE0000 (2).jpg");
    EXPECT_EQ(CountFiles(folder), 2);
}

TEST_F(CopyListedFile, NeverChangesAnExistingFile) {
    WriteBytes(source + "a.CHK", "new content");
    WriteBytes(folder + "a.jpg", "the user's own file");
    SetFileAttributesA((folder + "a.jpg").c_str(), FILE_ATTRIBUTE_READONLY);
    auto outcome = job::CopyListedFile(source + "a.CHK", folder, "a", "jpg");
    EXPECT_EQ(outcome.result, CopyResult::Copied);
    EXPECT_EQ(ReadBytes(folder + "a.jpg"), "the user's own file");
    EXPECT_EQ(ReadBytes(folder + "a (2).jpg"), "new content");
    SetFileAttributesA((folder + "a.jpg").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CopyListedFile, FailuresNameTheirCauseAndLeaveNothingBehind) {
    CreateDirectoryA((source + "sub").c_str(), nullptr);
    WriteBytes(source + "ok.CHK", "x");
    struct Case {
        std::string item, base, type;
        unsigned long error;
    };
    const Case cases[] = {
        {source + "missing.CHK", "missing", "jpg", ERROR_FILE_NOT_FOUND},
        {source + "sub", "sub", "jpg", ERROR_DIRECTORY},
        {source + "ok.CHK", "ok", "jp:g", ERROR_INVALID_NAME},      // a stream of another file
        {source + "ok.CHK", "ok", "..\\..\\x", ERROR_INVALID_NAME}, // out of the folder
        {source + "ok.CHK", "ok", "j*g", ERROR_INVALID_NAME},
        {source + "ok.CHK", "a:b", "jpg", ERROR_INVALID_NAME},
        {source + "ok.CHK", "ok", "j|g", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base + "." + c.type);
        auto outcome = job::CopyListedFile(c.item, folder, c.base, c.type);
        EXPECT_EQ(outcome.result, CopyResult::Failed);
        EXPECT_EQ(outcome.error, c.error);
    }
    EXPECT_EQ(CountFiles(folder), 0);
    // The destination folder itself gone: an honest failure, not a success.
    auto gone = job::CopyListedFile(source + "ok.CHK", folder + "gone\\", "ok", "jpg");
    EXPECT_EQ(gone.result, CopyResult::Failed);
}

TEST_F(CopyListedFile, DoubleByteNamesWhoseSecondByteIsABackslashAreFine) {
    // 癨 (B0 5C) and 亅 (81 7C): whole characters, not a separator and not a pipe.
    std::string base = "\xB0\x5C\x81\x7C";
    WriteBytes(source + base + ".CHK", "dbcs");
    auto outcome = job::CopyListedFile(source + base + ".CHK", folder, base, "jpg");
    EXPECT_EQ(outcome.result, CopyResult::Copied);
    EXPECT_EQ(ReadBytes(folder + base + ".jpg"), "dbcs");
}

TEST_F(CopyListedFile, LeftoversOfEndedProcessesAreRemovedOthersKept) {
    // A process id that is not running (ids are multiples of 4) and ours.
    std::string ended = folder + "~fennrow-3-0.fennrow-partial";
    std::string mine =
        folder + "~fennrow-" + std::to_string(GetCurrentProcessId()) + "-99.fennrow-partial";
    std::string users = folder + "notes.fennrow-partial.txt";
    WriteBytes(ended, "half");
    WriteBytes(mine, "in progress");
    WriteBytes(users, "keep");
    job::RemoveLeftoverPartialCopies(folder);
    EXPECT_FALSE(Exists(ended));
    EXPECT_TRUE(Exists(mine));
    EXPECT_TRUE(Exists(users));
}

TEST(CandidateName, NumbersFromTwoAndKeepsAnEmptyType) {
    EXPECT_EQ(job::CandidateName("FILE0000", "jpg", 1), "FILE0000.jpg");
    EXPECT_EQ(job::CandidateName("FILE0000", "jpg", 2), "FILE0000 (2).jpg");
    EXPECT_EQ(job::CandidateName("FILE0000", ".jpg", 1), "FILE0000..jpg");
    EXPECT_EQ(job::CandidateName("FILE0000", "", 1), "FILE0000.");
}

namespace {

struct FolderReader {
    const std::string* first = nullptr;
    const std::string* second = nullptr;
    std::atomic<bool> stop{false};
    int torn = 0;
};

DWORD WINAPI ReadFoldersUntilStopped(LPVOID parameter) {
    auto* reader = static_cast<FolderReader*>(parameter);
    while (!reader->stop) {
        std::string seen = job::DestinationFolder();
        reader->torn += seen != *reader->first && seen != *reader->second;
    }
    return 0;
}

} // namespace

TEST(DestinationFolder, ReadersSeeTheOldOrTheNewTextWholeWhileItIsReplaced) {
    job::InitJobState();
    const std::string first = "D:\\CHK恢复\\jpg\\";
    const std::string second = "E:\\" + std::string(300, 'x') + "\\png\\";
    job::SetDestinationFolder(first);
    FolderReader shared;
    shared.first = &first;
    shared.second = &second;
    HANDLE reader = CreateThread(nullptr, 0, ReadFoldersUntilStopped, &shared, 0, nullptr);
    for (int i = 0; i < 20000; ++i) {
        job::SetDestinationFolder(i % 2 ? first : second);
    }
    shared.stop = true;
    ASSERT_EQ(WaitForSingleObject(reader, 10000), WAIT_OBJECT_0);
    CloseHandle(reader);
    EXPECT_EQ(shared.torn, 0);
}

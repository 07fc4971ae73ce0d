// The main use of the program, from the window to the files on disk: the partner lists files,
// the user types a type and presses Enter, the files arrive under the new type.
#include "fennrow_session.h"
#include "support/partner_sim_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace fennrow_test;

namespace {

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.emplace_back(found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

class CopyRun : public ::testing::Test {
  protected:
    void SetUp() override {
        found = MakeTempFolder(L"found");
        saveRoot = MakeTempFolder(L"save");
        ASSERT_TRUE(Start(session));
    }
    void TearDown() override {
        partner_sim::Kill(sim);
        RemoveTree(found);
        RemoveTree(saveRoot);
    }

    // Writes `count` sample files named FILE0000.CHK … into `found` (content names the file).
    std::vector<std::wstring> MakeSources(int count, const std::wstring& subfolder = L"") {
        return MakeSampleFiles(found + subfolder, count);
    }

    bool StartPartner(const std::vector<std::wstring>& items) {
        partner_sim::StartOptions options;
        for (const std::wstring& item : items) {
            options.items.push_back(ToUtf8(item));
        }
        // Big lists take a moment to load into the simulator.
        options.timeoutMs = 60000;
        if (!partner_sim::Start(sim, options)) {
            return false;
        }
        // The indicator turns blue on the next tick: the list handle is known from then on.
        return e2e::WaitUntil(
            [&] { return session.ControlText(kIndicator) == "CHK文件恢复专家已运行  可使用"; },
            5000);
    }

    // Types the type and presses Enter in the type box, as a person would.
    void RequestStart(const std::wstring& saveFolder, const std::string& type) {
        e2e::SetText(session.Control(kFolderBox), ToAnsi(saveFolder));
        e2e::SetText(session.Control(kTypeBox), "");
        ASSERT_TRUE(e2e::BringToForeground(session.window));
        ASSERT_TRUE(e2e::FocusControl(session.Control(kTypeBox)));
        ASSERT_TRUE(e2e::TypeText(type));
        ASSERT_TRUE(e2e::PressKey(VK_RETURN));
    }

    bool WaitForStatus(const std::wstring& path, DWORD timeoutMs) {
        std::string expected = ToAnsi(path);
        return e2e::WaitUntil([&] { return session.ControlText(kStatusLine) == expected; },
                              timeoutMs, 50);
    }

    Session session;
    partner_sim::Sim sim;
    std::wstring found, saveRoot;
};

} // namespace

TEST_F(CopyRun, RoadOfOneRequestCopiesEveryItemUnderTheNewType) {
    std::vector<std::wstring> items = MakeSources(3);
    ASSERT_TRUE(StartPartner(items));
    std::wstring save = saveRoot + L"恢复\\新的\\";
    RequestStart(save, "jpg");
    ASSERT_TRUE(WaitForStatus(items[2], 20000));
    std::wstring destination = save + L"jpg\\";
    for (int i = 0; i < 3; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"FILE%04d.jpg", i);
        EXPECT_EQ(ReadFileBytes(destination + name), ReadFileBytes(items[i])) << i;
    }
    EXPECT_EQ(FilesIn(destination).size(), 3u);
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 1000), nullptr);
}

TEST_F(CopyRun, ChineseFolderAndFileNamesRoundTrip) {
    std::wstring folder = found + L"图片文件夹\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> items = {folder + L"照片一.CHK", folder + L"a.b.c",
                                       folder + L"noext"};
    for (const std::wstring& item : items) {
        ASSERT_TRUE(WriteFileBytes(item, ToUtf8(item)));
    }
    ASSERT_TRUE(StartPartner(items));
    std::wstring save = saveRoot + L"保存\\";
    RequestStart(save, "png");
    ASSERT_TRUE(WaitForStatus(items[2], 20000));
    EXPECT_EQ(ReadFileBytes(save + L"png\\照片一.png"), ToUtf8(items[0]));
    EXPECT_EQ(ReadFileBytes(save + L"png\\a.b.png"), ToUtf8(items[1]));
    EXPECT_EQ(ReadFileBytes(save + L"png\\noext.png"), ToUtf8(items[2]));
}

TEST_F(CopyRun, TypeWithLeadingDotGivesTwoDots) {
    std::vector<std::wstring> items = MakeSources(1);
    ASSERT_TRUE(StartPartner(items));
    RequestStart(saveRoot, ".jpg");
    ASSERT_TRUE(e2e::WaitUntil([&] { return Exists(saveRoot + L".jpg\\FILE0000..jpg"); }, 20000));
}

struct NoticeCase {
    const char* name;
    const char* folder; // "%s" stands for the temporary save root
    const char* type;
    const char* caption;
    const char* text;
};

class StartRequestNotice : public CopyRun, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(StartRequestNotice, ShowsItsNoticeAndCreatesNothing) {
    const NoticeCase& c = GetParam();
    std::string folder = c.folder;
    if (folder.rfind("%s", 0) == 0) {
        folder = ToAnsi(saveRoot) + folder.substr(2);
    }
    e2e::SetText(session.Control(kFolderBox), folder);
    e2e::SetText(session.Control(kTypeBox), c.type);
    ASSERT_TRUE(e2e::ClickMessage(session.Control(kStartButton)));
    HWND box = e2e::FindMessageBox(session.process.pid, c.caption, 5000);
    ASSERT_NE(box, nullptr);
    e2e::MessageBoxInfo info = e2e::ReadMessageBox(box);
    EXPECT_EQ(info.text, c.text);
    EXPECT_EQ(info.buttons.size(), 2u); // OK and Cancel
    e2e::ClickMessage(e2e::Child(box, IDOK));
    EXPECT_TRUE(e2e::WaitGone(box, 5000));
    EXPECT_TRUE(FilesIn(saveRoot).empty());
    EXPECT_FALSE(Exists(saveRoot + L"out"));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, StartRequestNotice,
    ::testing::Values(
        NoticeCase{"EmptyFolder", "", "jpg", "温馨提示", "请先选择保存目录。"},
        NoticeCase{"NoFinalBackslash", "%sout", "jpg", "温馨提示", "请在路径后面加上\\  如：D：\\"},
        NoticeCase{"EmptyType", "%sout\\", "", "温馨提示", "请填好后缀名。"},
        NoticeCase{"MissingDrive", "Q:\\nowhere\\", "jpg", "警告", "未知错误，无法创建保存目录。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CopyRun, TimedNoticeClosesItselfAfterAboutThreeSeconds) {
    e2e::SetText(session.Control(kFolderBox), "");
    ASSERT_TRUE(e2e::ClickMessage(session.Control(kStartButton)));
    HWND box = e2e::FindMessageBox(session.process.pid, "温馨提示", 5000);
    ASSERT_NE(box, nullptr);
    DWORD opened = GetTickCount();
    Sleep(1500);
    EXPECT_TRUE(IsWindow(box)) << "closed too early";
    ASSERT_TRUE(e2e::WaitGone(box, 8000));
    DWORD open = GetTickCount() - opened;
    EXPECT_GE(open, 2000u);
}

TEST_F(CopyRun, WithoutPartnerThePlainNoticeHoldsTheLockUntilClosed) {
    std::wstring save = saveRoot + L"s\\";
    e2e::SetText(session.Control(kFolderBox), ToAnsi(save));
    e2e::SetText(session.Control(kTypeBox), "jpg");
    ASSERT_TRUE(e2e::ClickMessage(session.Control(kStartButton)));
    HWND first = e2e::FindMessageBox(session.process.pid, "信息：", 10000);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(e2e::ReadMessageBox(first).text, "请先在CHK文件恢复专家中搜索并且选择所需要恢复的");
    EXPECT_TRUE(Exists(save + L"jpg"));

    // A second start waits for the first run: no second notice while the first is open.
    ASSERT_TRUE(e2e::ClickMessage(session.Control(kStartButton)));
    Sleep(1500);
    int boxes = 0;
    for (HWND window : e2e::TopWindows(session.process.pid)) {
        boxes += e2e::ClassName(window) == "#32770";
    }
    EXPECT_EQ(boxes, 1);
    e2e::ClickMessage(e2e::Child(first, IDOK));
    ASSERT_TRUE(e2e::WaitGone(first, 5000));
    HWND second = e2e::FindMessageBox(session.process.pid, "信息：", 10000);
    ASSERT_NE(second, nullptr);
    e2e::ClickMessage(e2e::Child(second, IDOK));
}

TEST_F(CopyRun, SecondRunOverTheSameListCopiesNothingNew) {
    std::vector<std::wstring> items = MakeSources(5);
    ASSERT_TRUE(StartPartner(items));
    RequestStart(saveRoot, "jpg");
    ASSERT_TRUE(WaitForStatus(items[4], 20000));
    e2e::SetText(session.Control(kStatusLine), "");
    ASSERT_TRUE(e2e::PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForStatus(items[4], 20000));
    EXPECT_EQ(FilesIn(saveRoot + L"jpg\\").size(), 5u);
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 500), nullptr);
}

TEST_F(CopyRun, SameNamesFromTwoFoldersBothArriveAndFailuresAreReported) {
    std::vector<std::wstring> first = MakeSources(2, L"FOUND.000\\");
    std::vector<std::wstring> second = MakeSources(2, L"FOUND.001\\");
    std::wstring missing = found + L"FOUND.002\\FILE0009.CHK";
    std::vector<std::wstring> items = {first[0], first[1], second[0], missing, second[1]};
    ASSERT_TRUE(StartPartner(items));
    RequestStart(saveRoot, "jpg");
    HWND report = e2e::FindMessageBox(session.process.pid, "信息：", 20000);
    ASSERT_NE(report, nullptr);
    std::string text = e2e::ReadMessageBox(report).text;
    EXPECT_NE(text.find("有 1 个文件未能复制"), std::string::npos) << text;
    EXPECT_NE(text.find(ToAnsi(missing)), std::string::npos) << text;
    std::wstring destination = saveRoot + L"jpg\\";
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0000.jpg"), ReadFileBytes(first[0]));
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0000 (2).jpg"), ReadFileBytes(second[0]));
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0001.jpg"), ReadFileBytes(first[1]));
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0001 (2).jpg"), ReadFileBytes(second[1]));
    EXPECT_EQ(FilesIn(destination).size(), 4u);
    e2e::ClickMessage(e2e::Child(report, IDOK));
}

TEST_F(CopyRun, TypeChangedDuringTheRunRenamesTheLaterFiles) {
    std::vector<std::wstring> items = MakeSources(1500); // the run must outlast the change
    ASSERT_TRUE(StartPartner(items));
    RequestStart(saveRoot, "jpg");
    std::wstring destination = saveRoot + L"jpg\\";
    ASSERT_TRUE(e2e::WaitUntil([&] { return FilesIn(destination).size() >= 20; }, 30000, 5));
    e2e::SetText(session.Control(kTypeBox), "png");
    ASSERT_TRUE(WaitForStatus(items.back(), 120000));
    std::vector<std::wstring> names = FilesIn(destination);
    EXPECT_EQ(names.size(), 1500u);
    int jpg = 0, png = 0;
    for (const std::wstring& name : names) {
        jpg += name.ends_with(L".jpg");
        png += name.ends_with(L".png");
    }
    EXPECT_GE(jpg, 20);
    EXPECT_GE(png, 1);
    EXPECT_TRUE(Exists(destination + L"FILE1499.png"));
    EXPECT_FALSE(Exists(saveRoot + L"png"));
}

TEST_F(CopyRun, PartnerClosedDuringTheRunEndsItWithTheNotice) {
    std::vector<std::wstring> items = MakeSources(3000); // the run must outlast closing the partner
    ASSERT_TRUE(StartPartner(items));
    RequestStart(saveRoot, "jpg");
    std::wstring destination = saveRoot + L"jpg\\";
    ASSERT_TRUE(e2e::WaitUntil([&] { return FilesIn(destination).size() >= 10; }, 30000, 5));
    DWORD exitCode = 0;
    ASSERT_TRUE(partner_sim::Close(sim, &exitCode));
    HWND box = e2e::FindMessageBox(session.process.pid, "信息：", 15000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::ReadMessageBox(box).text, "请先在CHK文件恢复专家中搜索并且选择所需要恢复的");
    EXPECT_LT(FilesIn(destination).size(), 3000u);
    e2e::ClickMessage(e2e::Child(box, IDOK));
}

TEST_F(CopyRun, StopsAfterSevenThousandItems) {
    std::vector<std::wstring> items = MakeSources(7001);
    ASSERT_TRUE(StartPartner(items));
    RequestStart(saveRoot, "jpg");
    // The status line shows item 6998 during the last pass.
    ASSERT_TRUE(WaitForStatus(items[6998], 600000));
    std::wstring destination = saveRoot + L"jpg\\";
    ASSERT_TRUE(e2e::WaitUntil([&] { return Exists(destination + L"FILE6999.jpg"); }, 10000));
    Sleep(1000);
    EXPECT_FALSE(Exists(destination + L"FILE7000.jpg"));
    EXPECT_EQ(FilesIn(destination).size(), 7000u);
    EXPECT_EQ(session.ControlText(kStatusLine), ToAnsi(items[6998]));
}

TEST_F(CopyRun, KilledMidCopyLeavesNoPartialFileAndTheNextRunCompletes) {
    // Large enough that the copy is caught while it runs.
    std::wstring big = found + L"FILE0000.CHK";
    {
        HANDLE file =
            CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 768; ++i) {
            chunk[0] = static_cast<char>(i);
            DWORD written = 0;
            WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
        }
        CloseHandle(file);
    }
    ASSERT_TRUE(StartPartner({big}));
    RequestStart(saveRoot, "jpg");
    std::wstring destination = saveRoot + L"jpg\\";
    bool caught = e2e::WaitUntil(
        [&] {
            for (const std::wstring& name : FilesIn(destination)) {
                if (name.ends_with(L".fennrow-partial")) {
                    return true;
                }
            }
            return false;
        },
        30000, 1);
    e2e::Kill(session.process);
    if (!caught) {
        GTEST_SKIP() << "the copy finished before it could be interrupted";
    }
    // Whatever the moment: no final name holds a partial copy.
    if (Exists(destination + L"FILE0000.jpg")) {
        EXPECT_EQ(ReadFileBytes(destination + L"FILE0000.jpg"), ReadFileBytes(big));
    }

    Session next;
    ASSERT_TRUE(Start(next));
    session.window = next.window; // RequestStart drives `session`
    std::swap(session.process, next.process);
    ASSERT_TRUE(e2e::WaitUntil(
        [&] { return session.ControlText(kIndicator) == "CHK文件恢复专家已运行  可使用"; }, 5000));
    RequestStart(saveRoot, "jpg");
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            std::vector<std::wstring> names = FilesIn(destination);
            return names.size() == 1 && names[0] == L"FILE0000.jpg";
        },
        60000, 50));
    EXPECT_EQ(ReadFileBytes(destination + L"FILE0000.jpg"), ReadFileBytes(big));
}

// partner_sim.exe as another process sees it: found by class and title, read with the wide
// list box messages, and changed at run time through its control window.
#include "support/partner_sim_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ps = partner_sim;

namespace {

std::vector<std::wstring> Wide(const std::vector<std::string>& utf8) {
    std::vector<std::wstring> out;
    for (const auto& s : utf8)
        out.push_back(ps::Utf8ToWide(s));
    return out;
}

std::vector<std::wstring> ReadAll(HWND list) {
    std::vector<std::wstring> items;
    EXPECT_TRUE(ps::ReadItems(list, items));
    return items;
}

std::wstring WindowTitle(HWND h) {
    wchar_t buf[256] = {};
    GetWindowTextW(h, buf, 256);
    return buf;
}

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

LRESULT Send(HWND h, UINT msg, WPARAM wp, LPARAM lp, bool* ok = nullptr, DWORD timeoutMs = 2000) {
    DWORD_PTR result = 0;
    bool sent = SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, timeoutMs, &result) != 0;
    if (ok)
        *ok = sent;
    return static_cast<LRESULT>(result);
}

std::string Utf8Of(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

// Writes raw bytes to a file in the simulator's folder and loads it with `items`.
bool LoadRaw(ps::Sim& sim, const std::string& bytes) {
    std::wstring path = sim.tempDir + L"\\raw" + std::to_wstring(++sim.fileCounter) + L".txt";
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && ps::SendCommand(sim, "items " + Utf8Of(path));
}

const std::vector<std::string> kBasic = {"C:\\a\\one.chk", "C:\\a\\two.chk", "C:\\a\\three.chk"};

} // namespace

TEST(PartnerSim, FoundByClassAndTitleFromAnotherProcess) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    HWND dlg = ps::FindPartnerDialog(ps::kPartnerTitle, sim.pid);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg, sim.dialog);
    EXPECT_EQ(ClassOf(dlg), L"#32770");
    EXPECT_EQ(WindowTitle(dlg), L"CHK文件恢复专家永久免费版");
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(GetParent(dlg), nullptr);
    HWND list = ps::ListBox(dlg);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetParent(list), dlg);
    EXPECT_EQ(ClassOf(list), L"ListBox");
    EXPECT_EQ(Send(list, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ReadAll(list), Wide(kBasic));
}

TEST(PartnerSim, ChineseAndOddPathsRoundTripAsCp936) {
    const std::vector<std::string> items = {
        ps::FromU8(u8"D:\\照片\\文件.chk"),
        "",
        ps::FromU8(u8"E:\\新建 文件夹\\FILE0001.CHK"),
        "C:\\with spaces\\and;semicolons,commas.chk",
        std::string(250, 'x'),
    };
    // The narrow literals below are GBK bytes (the build's execution charset).
    const std::vector<std::string> gbk = {
        "D:\\照片\\文件.chk",
        "",
        "E:\\新建 文件夹\\FILE0001.CHK",
        "C:\\with spaces\\and;semicolons,commas.chk",
        std::string(250, 'x'),
    };
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = items}));
    auto read = ReadAll(ps::ListBox(sim.dialog));
    ASSERT_EQ(read.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(read[i], ps::Utf8ToWide(items[i])) << i;
        EXPECT_EQ(ps::WideToCp936(read[i]), gbk[i]) << i;
    }
    // Guards the charset settings themselves: 照片 is D5 D5 C6 AC in GBK.
    EXPECT_EQ(ps::WideToCp936(read[0]).substr(3, 4), "\xD5\xD5\xC6\xAC");
}

TEST(PartnerSim, ListFileFormats) {
    const std::string kBom = "\xEF\xBB\xBF";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"lf", "a\nb\n", {"a", "b"}},
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"no final newline", "a\r\nb", {"a", "b"}},
        {"bom", kBom + "a\nb", {"a", "b"}},
        {"empty lines are items", "a\n\n\nb\n", {"a", "", "", "b"}},
        {"empty crlf lines", "\r\na\r\n\r\n", {"", "a", ""}},
        {"single newline", "\n", {""}},
        {"empty file", "", {}},
        {"bom only", kBom, {}},
        {"utf8", kBom + ps::FromU8(u8"C:\\文件\\甲.chk\r\n"), {ps::FromU8(u8"C:\\文件\\甲.chk")}},
    };
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    HWND list = ps::ListBox(sim.dialog);
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadRaw(sim, c.bytes)) << c.name;
        EXPECT_EQ(ReadAll(list), Wide(c.expected)) << c.name;
    }
}

TEST(PartnerSim, ItemsAndClearReplaceTheContents) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    HWND list = ps::ListBox(sim.dialog);
    const std::vector<std::string> next = {"D:\\x.chk", ps::FromU8(u8"D:\\乙.chk")};
    ASSERT_TRUE(ps::SendListCommand(sim, "items", next));
    EXPECT_EQ(ps::ListBox(sim.dialog), list) << "the same list box is refilled";
    EXPECT_EQ(ReadAll(list), Wide(next));
    ASSERT_TRUE(ps::SendCommand(sim, "clear"));
    EXPECT_EQ(Send(list, LB_GETCOUNT, 0, 0), 0);
    ASSERT_TRUE(ps::SendListCommand(sim, "items", kBasic));
    EXPECT_EQ(ReadAll(list), Wide(kBasic));
}

TEST(PartnerSim, AddListComesAfterTheFirstInChildOrder) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    HWND first = ps::ListBox(sim.dialog);
    const std::vector<std::string> second = {"Z:\\second.chk"};
    ASSERT_TRUE(ps::SendListCommand(sim, "add-list", second));
    ASSERT_EQ(ps::ListBoxCount(sim.dialog), 2);
    EXPECT_EQ(GetWindow(sim.dialog, GW_CHILD), first);
    EXPECT_EQ(ps::ListBox(sim.dialog, 0), first);
    HWND added = ps::ListBox(sim.dialog, 1);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), added);
    EXPECT_EQ(ReadAll(first), Wide(kBasic));
    EXPECT_EQ(ReadAll(added), Wide(second));
    EXPECT_TRUE(IsWindowVisible(added));
}

TEST(PartnerSim, SecondListFromTheCommandLine) {
    ps::Sim sim;
    const std::vector<std::string> second = {"Y:\\b1.chk", "Y:\\b2.chk"};
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic, .secondList = true, .secondItems = second}));
    ASSERT_EQ(ps::ListBoxCount(sim.dialog), 2);
    EXPECT_EQ(ReadAll(ps::ListBox(sim.dialog, 0)), Wide(kBasic));
    EXPECT_EQ(ReadAll(ps::ListBox(sim.dialog, 1)), Wide(second));
}

TEST(PartnerSim, DropListRemovesTheFirstListBox) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    HWND first = ps::ListBox(sim.dialog);
    const std::vector<std::string> second = {"Z:\\second.chk"};
    ASSERT_TRUE(ps::SendListCommand(sim, "add-list", second));
    ASSERT_TRUE(ps::SendCommand(sim, "drop-list"));
    EXPECT_FALSE(IsWindow(first));
    ASSERT_EQ(ps::ListBoxCount(sim.dialog), 1);
    EXPECT_EQ(ReadAll(ps::ListBox(sim.dialog)), Wide(second));
    ASSERT_TRUE(ps::SendCommand(sim, "drop-list"));
    EXPECT_EQ(ps::ListBox(sim.dialog), nullptr);
    EXPECT_EQ(ps::FindPartnerDialog(ps::kPartnerTitle, sim.pid), sim.dialog)
        << "the dialog stays without a list";
    EXPECT_FALSE(ps::SendCommand(sim, "drop-list")) << "nothing left to drop";
    EXPECT_FALSE(ps::SendListCommand(sim, "items", kBasic)) << "no list box to fill";
}

TEST(PartnerSim, StartsWithoutListAndGainsOne) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.noList = true}));
    EXPECT_EQ(ps::ListBoxCount(sim.dialog), 0);
    ASSERT_TRUE(ps::SendListCommand(sim, "add-list", kBasic));
    ASSERT_EQ(ps::ListBoxCount(sim.dialog), 1);
    EXPECT_EQ(ReadAll(ps::ListBox(sim.dialog)), Wide(kBasic));
}

TEST(PartnerSim, LabelAheadOfTheList) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic, .labelFirst = true}));
    HWND firstChild = GetWindow(sim.dialog, GW_CHILD);
    ASSERT_NE(firstChild, nullptr);
    EXPECT_EQ(ClassOf(firstChild), L"Static");
    HWND list = ps::ListBox(sim.dialog);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetWindow(firstChild, GW_HWNDNEXT), list);
    EXPECT_EQ(ReadAll(list), Wide(kBasic));
}

TEST(PartnerSim, TitleCommandAndTitleOption) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    ASSERT_TRUE(ps::SendCommand(sim, ps::FromU8(u8"title CHK文件恢复专家 (其它)")));
    EXPECT_EQ(WindowTitle(sim.dialog), L"CHK文件恢复专家 (其它)");
    EXPECT_EQ(ps::FindPartnerDialog(ps::kPartnerTitle, sim.pid), nullptr);
    EXPECT_EQ(ps::FindPartnerDialog(L"CHK文件恢复专家 (其它)", sim.pid), sim.dialog);
    ASSERT_TRUE(ps::SendCommand(sim, ps::FromU8(u8"title CHK文件恢复专家永久免费版")));
    EXPECT_EQ(ps::FindPartnerDialog(ps::kPartnerTitle, sim.pid), sim.dialog);

    ps::Sim other;
    ASSERT_TRUE(ps::Start(other, {.items = kBasic, .title = L"别的窗口"}));
    EXPECT_EQ(ps::FindPartnerDialog(ps::kPartnerTitle, other.pid), nullptr);
    EXPECT_EQ(ps::FindPartnerDialog(L"别的窗口", other.pid), other.dialog);
}

TEST(PartnerSim, HideAndShow) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    ASSERT_TRUE(ps::SendCommand(sim, "hide"));
    EXPECT_FALSE(IsWindowVisible(sim.dialog));
    ASSERT_TRUE(ps::SendCommand(sim, "show"));
    EXPECT_TRUE(IsWindowVisible(sim.dialog));
}

TEST(PartnerSim, HangBlocksTheDialogThreadOnly) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    HWND list = ps::ListBox(sim.dialog);
    ASSERT_TRUE(ps::SendCommand(sim, "hang 6000"));
    bool ok = true;
    Send(list, LB_GETCOUNT, 0, 0, &ok, 200);
    EXPECT_FALSE(ok) << "the list box must not answer during the hang";
    Send(sim.control, WM_NULL, 0, 0, &ok, 2000);
    EXPECT_TRUE(ok) << "the control window keeps answering";
    // After the hang the same message is answered again (one bounded wait, long enough).
    LRESULT count = Send(list, LB_GETCOUNT, 0, 0, &ok, 20000);
    EXPECT_TRUE(ok);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(ps::SendCommand(sim, "ping"));
}

TEST(PartnerSim, MutateOnLenChangesTheItemBetweenLengthAndText) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    HWND list = ps::ListBox(sim.dialog);
    const std::string longText = ps::FromU8(u8"C:\\很长的路径\\") + std::string(300, 'y');
    const std::wstring longWide = ps::Utf8ToWide(longText);
    ASSERT_TRUE(ps::SendCommand(sim, "mutate-on-len 1 " + longText));

    // Another index does not trigger it.
    EXPECT_EQ(Send(list, LB_GETTEXTLEN, 0, 0), 12);
    std::wstring first;
    ASSERT_TRUE(ps::ReadItem(list, 0, first));
    EXPECT_EQ(first, L"C:\\a\\one.chk");

    // The length answered is the old one; the text that follows is the new, longer one.
    EXPECT_EQ(Send(list, LB_GETTEXTLEN, 1, 0), 12);
    std::vector<wchar_t> big(4096, L'\0');
    LRESULT got = Send(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(big.data()));
    ASSERT_EQ(got, static_cast<LRESULT>(longWide.size()));
    EXPECT_EQ(std::wstring(big.data(), static_cast<size_t>(got)), longWide);

    // Once only: the item keeps the new text and later queries agree with each other.
    EXPECT_EQ(Send(list, LB_GETTEXTLEN, 1, 0), static_cast<LRESULT>(longWide.size()));
    std::wstring again;
    ASSERT_TRUE(ps::ReadItem(list, 1, again));
    EXPECT_EQ(again, longWide);
    EXPECT_EQ(Send(list, LB_GETCOUNT, 0, 0), 3);
    std::wstring third;
    ASSERT_TRUE(ps::ReadItem(list, 2, third));
    EXPECT_EQ(third, L"C:\\a\\three.chk");

    // The client notices the change instead of returning a cut-off text; a second read works.
    ASSERT_TRUE(ps::SendCommand(sim, "mutate-on-len 2 " + longText));
    EXPECT_FALSE(ps::ReadItem(list, 2, third));
    ASSERT_TRUE(ps::ReadItem(list, 2, third));
    EXPECT_EQ(third, longWide);
}

TEST(PartnerSim, BadCommandsFailAndChangeNothing) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    const char* bad[] = {
        "bogus",
        "",
        "items",
        "items C:\\no\\such\\list.txt",
        "add-list",
        "hang",
        "hang x",
        "hang -5",
        "mutate-on-len",
        "mutate-on-len -1 x",
        "mutate-on-len x y",
    };
    for (const char* command : bad)
        EXPECT_FALSE(ps::SendCommand(sim, command)) << command;
    EXPECT_EQ(ps::ListBoxCount(sim.dialog), 1);
    EXPECT_EQ(ReadAll(ps::ListBox(sim.dialog)), Wide(kBasic));
    EXPECT_EQ(WindowTitle(sim.dialog), L"CHK文件恢复专家永久免费版");
}

TEST(PartnerSim, CloseEndsWithExitCodeZero) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    DWORD pid = sim.pid;
    DWORD code = 12345;
    ASSERT_TRUE(ps::Close(sim, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ps::FindPartnerDialog(ps::kPartnerTitle, pid), nullptr);
    EXPECT_EQ(sim.process, nullptr);
}

TEST(PartnerSim, KillEndsAHangingSimulator) {
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = kBasic}));
    DWORD pid = sim.pid;
    ASSERT_TRUE(ps::SendCommand(sim, "hang 60000"));
    ps::Kill(sim);
    EXPECT_EQ(sim.process, nullptr);
    EXPECT_EQ(ps::FindPartnerDialog(ps::kPartnerTitle, pid), nullptr);
}

TEST(PartnerSim, SevenThousandItems) {
    std::vector<std::string> items;
    for (int i = 0; i < 7000; ++i)
        items.push_back("C:\\FOUND.000\\FILE" + std::to_string(10000 + i) + ".CHK");
    ps::Sim sim;
    ASSERT_TRUE(ps::Start(sim, {.items = items}));
    HWND list = ps::ListBox(sim.dialog);
    EXPECT_EQ(Send(list, LB_GETCOUNT, 0, 0), 7000);
    for (int i : {0, 3499, 6999}) {
        std::wstring text;
        ASSERT_TRUE(ps::ReadItem(list, i, text));
        EXPECT_EQ(text, ps::Utf8ToWide(items[static_cast<size_t>(i)]));
    }
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

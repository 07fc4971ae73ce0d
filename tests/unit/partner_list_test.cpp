// Finding the partner's list and reading its items, against the partner simulator.
#include "partner/partner_list.h"
#include "support/partner_sim_client.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using partner::FindPartnerList;
using partner::ReadListItem;

partner::WindowHandle Handle(HWND window) {
    return reinterpret_cast<partner::WindowHandle>(window);
}

bool WaitForList(partner::WindowHandle expected) {
    for (int i = 0; i < 100; ++i) {
        if (FindPartnerList() == expected) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

} // namespace

TEST(FindPartnerList, NothingWithoutTheExactTitleOrWithoutAList) {
    EXPECT_EQ(FindPartnerList(), 0u);
    {
        partner_sim::Sim other;
        partner_sim::StartOptions options;
        options.items = {"C:\\a.CHK"};
        options.title = L"CHK文件恢复专家永久免费版 ";
        ASSERT_TRUE(partner_sim::Start(other, options));
        EXPECT_EQ(FindPartnerList(), 0u);
    }
    partner_sim::Sim listless;
    partner_sim::StartOptions options;
    options.noList = true;
    ASSERT_TRUE(partner_sim::Start(listless, options));
    EXPECT_EQ(FindPartnerList(), 0u);
}

TEST(FindPartnerList, TakesTheFirstOfTwoListBoxesBehindOtherChildren) {
    partner_sim::Sim sim;
    partner_sim::StartOptions options;
    options.items = {"C:\\first.CHK"};
    options.secondList = true;
    options.secondItems = {"C:\\second.CHK"};
    options.labelFirst = true;
    ASSERT_TRUE(partner_sim::Start(sim, options));
    ASSERT_TRUE(WaitForList(Handle(partner_sim::ListBox(sim.dialog, 0))));
    EXPECT_EQ(ReadListItem(FindPartnerList(), 0), "C:\\first.CHK");
    ASSERT_TRUE(partner_sim::SendCommand(sim, "drop-list"));
    EXPECT_EQ(ReadListItem(FindPartnerList(), 0), "C:\\second.CHK");
}

class ReadListItemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        partner_sim::StartOptions options;
        options.items = {"x", std::string(259, 'p'),
                         partner_sim::FromU8(u8"E:\\恢复的文件\\照片一.CHK"), "", "after empty"};
        ASSERT_TRUE(partner_sim::Start(sim, options));
        list = Handle(partner_sim::ListBox(sim.dialog));
        ASSERT_NE(list, 0u);
    }
    partner_sim::Sim sim;
    partner::WindowHandle list = 0;
};

TEST_F(ReadListItemTest, ReadsWholeItemsInCodePage936) {
    EXPECT_EQ(ReadListItem(list, 0), "x");
    EXPECT_EQ(ReadListItem(list, 1), std::string(259, 'p'));
    // The same characters as the partner shows them, as GBK bytes.
    EXPECT_EQ(ReadListItem(list, 2), "E:\\恢复的文件\\照片一.CHK");
    EXPECT_EQ(ReadListItem(list, 4), "after empty");
}

TEST_F(ReadListItemTest, NothingToReadGivesTheEmptyText) {
    EXPECT_EQ(ReadListItem(0, 0), "");
    EXPECT_EQ(ReadListItem(list, -1), "");
    EXPECT_EQ(ReadListItem(list, 3), ""); // an empty item
    EXPECT_EQ(ReadListItem(list, 5), ""); // one past the last
    EXPECT_EQ(ReadListItem(list, 1 << 30), "");
    partner_sim::Close(sim);
    EXPECT_EQ(ReadListItem(list, 0), ""); // a dead handle
}

TEST_F(ReadListItemTest, AnItemThatGrowsBetweenTheTwoMessagesIsReadSafely) {
    std::string longer = "E:\\" + std::string(5000, 'g') + ".CHK";
    ASSERT_TRUE(partner_sim::SendCommand(sim, "mutate-on-len 0 " + longer));
    std::string read = ReadListItem(list, 0);
    // Either text, whole; never a mixture or a cut one.
    EXPECT_TRUE(read == "x" || read == longer) << read.size();
    EXPECT_EQ(ReadListItem(list, 0), longer);
}

TEST_F(ReadListItemTest, APartnerThatStopsAnsweringReadsAsEmptyWithinItsBound) {
    ASSERT_TRUE(partner_sim::SendCommand(sim, "hang 15000"));
    DWORD started = GetTickCount();
    EXPECT_EQ(ReadListItem(list, 0), "");
    EXPECT_LT(GetTickCount() - started, 12000u);
}

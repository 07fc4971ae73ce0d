#include "partner/partner_list.h"

namespace partner {
namespace {

constexpr const char* kPartnerDialogClass = "#32770";
constexpr const char* kPartnerDialogTitle = "CHK文件恢复专家永久免费版";
constexpr unsigned kPartnerAnswerTimeoutMs = 5000;

} // namespace

WindowHandle FindPartnerList() {
    WindowHandle dialog = platform::FindTopLevelWindow(kPartnerDialogClass, kPartnerDialogTitle);
    return dialog == 0 ? 0 : platform::FindChildWindow(dialog, "ListBox");
}

std::string ReadListItem(WindowHandle list, int index) {
    return platform::ReadListBoxItem(list, index, kPartnerAnswerTimeoutMs);
}

} // namespace partner

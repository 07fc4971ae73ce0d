#include "partner/partner_status.h"

#include "app/main_window.h"
#include "job/job_state.h"
#include "partner/partner_list.h"

namespace partner {

void RefreshPartnerStatus() {
    WindowHandle list = FindPartnerList();
    job::SetPartnerListHandle(list);
    // Written on every tick, changed or not.
    if (list == 0) {
        app::SetControlText(app::Control::透明标签4, "CHK文件恢复专家未运行  不可使用");
        app::SetControlTextColour(app::Control::透明标签4, 0x0000FF);
    } else {
        app::SetControlText(app::Control::透明标签4, "CHK文件恢复专家已运行  可使用");
        app::SetControlTextColour(app::Control::透明标签4, 0xFF0000);
    }
}

} // namespace partner

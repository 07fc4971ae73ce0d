// The partner indicator at the top of the main window, refreshed on every timer tick.
#pragma once

namespace partner {

void RefreshPartnerStatus();

} // namespace partner

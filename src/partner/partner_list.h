// The partner program's list box, found and read from the outside.
#pragma once

#include "platform/partner_window.h"

#include <string>

namespace partner {

using platform::WindowHandle;

// The partner's list box, or 0 when the partner or its list is not there.
WindowHandle FindPartnerList();
// Item `index` of the list, "" when there is nothing to read (also when the partner does not
// answer within a few seconds: a hung partner must not hang a copy run).
std::string ReadListItem(WindowHandle list, int index);

} // namespace partner

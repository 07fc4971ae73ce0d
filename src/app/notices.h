// The two kinds of notice boxes for problems the user can fix.
#pragma once

#include <string>

namespace app {

// OK/Cancel box owned by the active window; closes itself after 3000 ms.
void ShowTimedNotice(const std::string& caption, const std::string& text);
// Task-modal OK box without owner, caption "信息："; waits for the user.
void ShowPlainNotice(const std::string& text);

} // namespace app

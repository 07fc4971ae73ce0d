#include "app/notices.h"

#include "platform/late_functions.h"

#include <windows.h>

#include <string>

namespace app {
namespace {

constexpr DWORD kNoticeTimeoutMs = 3000;

// Wine's MessageBoxTimeoutA ignores its time-out, so a thread timer of our own closes the box
// too: the box's modal loop serves the timer, which finds the box among the thread's windows and
// cancels it. On Windows whichever fires first closes the box; the result is not used anyway.
struct PendingBox {
    UINT_PTR timer = 0;
    const std::string* caption = nullptr;
};
thread_local PendingBox t_pending[8]; // nested notices on one thread

struct BoxSearch {
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK FindNoticeBox(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window) ||
        !IsWindowEnabled(window)) {
        return TRUE;
    }
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (*search->caption == caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK CloseNoticeBox(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    for (PendingBox& pending : t_pending) {
        if (pending.timer != timer) {
            continue;
        }
        // An enabled box is the innermost one: a box that owns a nested box is disabled.
        BoxSearch search{pending.caption, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindNoticeBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            PostMessageA(search.found, WM_COMMAND, IDCANCEL, 0);
        }
        pending = {};
    }
}

} // namespace

void ShowTimedNotice(const std::string& caption, const std::string& text) {
    PendingBox* slot = nullptr;
    for (PendingBox& pending : t_pending) {
        if (pending.timer == 0) {
            slot = &pending;
            break;
        }
    }
    if (slot != nullptr) {
        slot->caption = &caption;
        slot->timer = SetTimer(nullptr, 0, kNoticeTimeoutMs, CloseNoticeBox);
    }
    late::MessageBoxTimeoutA(late::GetActiveWindow(), text.c_str(), caption.c_str(), MB_OKCANCEL, 0,
                             kNoticeTimeoutMs);
    if (slot != nullptr && slot->timer != 0) {
        KillTimer(nullptr, slot->timer);
        *slot = {};
    }
}

void ShowPlainNotice(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "信息：", MB_OK | MB_TASKMODAL);
}

} // namespace app

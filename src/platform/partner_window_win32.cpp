#include "platform/partner_window.h"

#include "platform/late_functions.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace platform {
namespace {

HWND AsWindow(WindowHandle handle) {
    return reinterpret_cast<HWND>(handle);
}

// The list box lives in another process and may change at any moment. Under Wine the ANSI list
// messages sent across processes hand back UTF-16 and overrun a buffer sized from
// LB_GETTEXTLEN, so the item is read with the wide messages and converted here, as Windows does
// for the ANSI ones. Wine copies the item's whole current text back whatever buffer was given,
// so the buffer keeps kSpareCapacity characters beyond what was measured: an item that grows
// between the two messages lands inside it, and a read whose answer does not fit what was
// measured is taken again.
constexpr std::size_t kSpareCapacity = 65536;
constexpr int kAttempts = 3;

bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, unsigned timeoutMs,
                 DWORD_PTR& answer) {
    return late::SendMessageTimeoutW(window, message, wParam, lParam,
                                     SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, timeoutMs, &answer) != 0;
}

std::string ToAnsi(const wchar_t* text, int length) {
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_ACP, 0, text, length, converted.data(), bytes, nullptr, nullptr);
    }
    return converted;
}

} // namespace

WindowHandle FindTopLevelWindow(const char* className, const char* title) {
    return reinterpret_cast<WindowHandle>(late::FindWindowExA(nullptr, nullptr, className, title));
}

WindowHandle FindChildWindow(WindowHandle parent, const char* className) {
    if (parent == 0) {
        return 0;
    }
    return reinterpret_cast<WindowHandle>(
        late::FindWindowExA(AsWindow(parent), nullptr, className, nullptr));
}

std::string ReadListBoxItem(WindowHandle listBox, int index, unsigned timeoutMs) {
    if (listBox == 0 || index < 0) {
        return {};
    }
    thread_local std::vector<wchar_t> buffer;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        DWORD_PTR measured = 0;
        if (!SendBounded(AsWindow(listBox), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0, timeoutMs,
                         measured)) {
            return {};
        }
        auto length = static_cast<LONG_PTR>(measured);
        if (length < 1) { // LB_ERR or an empty item
            return {};
        }
        std::size_t needed = static_cast<std::size_t>(length) + 1;
        if (buffer.size() < needed + kSpareCapacity) {
            buffer.assign(needed + kSpareCapacity, L'\0');
        }
        buffer[0] = L'\0';
        DWORD_PTR copied = 0;
        if (!SendBounded(AsWindow(listBox), LB_GETTEXT, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(buffer.data()), timeoutMs, copied)) {
            return {};
        }
        auto got = static_cast<LONG_PTR>(copied);
        if (got == LB_ERR || got < 1) {
            return {};
        }
        if (got <= length && static_cast<std::size_t>(got) < buffer.size()) {
            buffer[static_cast<std::size_t>(got)] = L'\0';
            return ToAnsi(buffer.data(),
                          static_cast<int>(wcsnlen(buffer.data(), static_cast<std::size_t>(got))));
        }
        // The item grew between the two messages: measure again.
    }
    return {};
}

} // namespace platform

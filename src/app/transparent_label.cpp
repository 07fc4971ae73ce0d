#include "app/labels.h"

#include <algorithm>
#include <string>
#include <vector>

namespace app {
namespace {

constexpr DWORD kAlignmentMask = 0x3;
constexpr const char* kFontProperty = "FennrowFont";

HFONT FontOf(HWND window) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

Colour LabelColour(HWND label) {
    return static_cast<Colour>(GetWindowLongPtrA(label, GWLP_USERDATA));
}

void DrawLabelText(HWND label, HDC dc) {
    RECT area;
    GetClientRect(label, &area);
    std::string text = ReadWindowText(label);
    if (text.empty()) {
        return;
    }
    UINT alignment = static_cast<UINT>(GetWindowLongPtrA(label, GWL_STYLE) & kAlignmentMask);
    HGDIOBJ oldFont = SelectObject(dc, FontOf(label));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, LabelColour(label));
    // One line, vertically centred, cut at the label's edges; '&' is shown as it is.
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
              alignment | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

// The window background and every sibling beneath the label, into `dc` in label coordinates.
void PaintWhatLiesBeneath(HWND label, HDC dc) {
    HWND parent = GetParent(label);
    RECT labelRect;
    GetWindowRect(label, &labelRect);
    POINT labelOrigin{labelRect.left, labelRect.top};
    ScreenToClient(parent, &labelOrigin);

    POINT oldOrigin;
    SetViewportOrgEx(dc, -labelOrigin.x, -labelOrigin.y, &oldOrigin);
    RECT parentArea;
    GetClientRect(parent, &parentArea);
    FillRect(dc, &parentArea, GetSysColorBrush(COLOR_BTNFACE));
    SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);

    // Siblings later in the z-order lie beneath; paint the lowest first.
    std::vector<HWND> beneath;
    for (HWND sibling = GetWindow(label, GW_HWNDNEXT); sibling != nullptr;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        RECT siblingRect, overlap;
        GetWindowRect(sibling, &siblingRect);
        if (IsWindowVisible(sibling) && IntersectRect(&overlap, &siblingRect, &labelRect)) {
            beneath.push_back(sibling);
        }
    }
    for (auto it = beneath.rbegin(); it != beneath.rend(); ++it) {
        RECT siblingRect;
        GetWindowRect(*it, &siblingRect);
        SetViewportOrgEx(dc, siblingRect.left - labelRect.left, siblingRect.top - labelRect.top,
                         nullptr);
        SendMessageA(*it, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                     PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    }
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

// The off-screen surface the labels are composed on, kept from one paint to the next (labels
// paint on the UI thread only): making a memory DC and bitmap costs more than most of a repaint.
HDC ComposeSurface(HDC like, LONG width, LONG height) {
    static HDC surface = nullptr;
    static HBITMAP bitmap = nullptr;
    static SIZE size{0, 0};
    if (surface == nullptr) {
        surface = CreateCompatibleDC(like);
    }
    if (width > size.cx || height > size.cy) {
        size = {std::max(width, size.cx), std::max(height, size.cy)};
        HBITMAP larger = CreateCompatibleBitmap(like, size.cx, size.cy);
        SelectObject(surface, larger);
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        bitmap = larger;
    }
    return surface;
}

void PaintTransparentLabel(HWND label) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(label, &paint);
    RECT area;
    GetClientRect(label, &area);
    // Composed off screen, so a repaint never shows the text gone for a moment. A label painted
    // while another one is being composed (a painter beneath repainting at once) gets its own.
    static bool composing = false;
    bool shared = !composing;
    HDC composed =
        shared ? ComposeSurface(target, area.right, area.bottom) : CreateCompatibleDC(target);
    HBITMAP own = shared ? nullptr : CreateCompatibleBitmap(target, area.right, area.bottom);
    HGDIOBJ oldBitmap = shared ? nullptr : SelectObject(composed, own);
    composing = true;
    // Whatever the painters beneath leave set in the DC (clipping, origin) ends with this paint.
    int state = SaveDC(composed);
    PaintWhatLiesBeneath(label, composed);
    DrawLabelText(label, composed);
    BitBlt(target, 0, 0, area.right, area.bottom, composed, 0, 0, SRCCOPY);
    RestoreDC(composed, state);
    if (shared) {
        composing = false;
    } else {
        SelectObject(composed, oldBitmap);
        DeleteObject(own);
        DeleteDC(composed);
    }
    EndPaint(label, &paint);
}

// What both label kinds do alike: keep their font, paint their whole area themselves.
LRESULT CommonLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFONT:
        SetPropA(label, kFontProperty, reinterpret_cast<HANDLE>(wParam));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropA(label, kFontProperty));
    case WM_NCDESTROY:
        RemovePropA(label, kFontProperty);
        break;
    }
    return DefWindowProcA(label, message, wParam, lParam);
}

LRESULT CALLBACK TransparentLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintTransparentLabel(label);
        return 0;
    case WM_PRINTCLIENT:
        // Asked by a label above this one: whoever asks has painted what lies beneath.
        DrawLabelText(label, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    }
    return CommonLabelProc(label, message, wParam, lParam);
}

void DrawOpaqueLabel(HWND label, HDC dc) {
    RECT area;
    GetClientRect(label, &area);
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    std::string text = ReadWindowText(label);
    HGDIOBJ oldFont = SelectObject(dc, FontOf(label));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, LabelColour(label));
    // DT_EDITCONTROL breaks a run of Chinese text that has no spaces at the label's width.
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK OpaqueLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(label, &paint);
        DrawOpaqueLabel(label, dc);
        EndPaint(label, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        DrawOpaqueLabel(label, reinterpret_cast<HDC>(wParam));
        return 0;
    }
    return CommonLabelProc(label, message, wParam, lParam);
}

} // namespace

std::string ReadWindowText(HWND window) {
    // One message for the usual short text (each message to a skinned box is costly); only a
    // text that may not have fitted is measured and read again.
    char shortText[256];
    int got = GetWindowTextA(window, shortText, sizeof shortText);
    if (got + 2 < static_cast<int>(sizeof shortText)) {
        return std::string(shortText, static_cast<std::size_t>(got > 0 ? got : 0));
    }
    int length = GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void RegisterLabelClasses(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpfnWndProc = TransparentLabelProc;
    windowClass.lpszClassName = kTransparentLabelClass;
    RegisterClassA(&windowClass);
    windowClass.lpfnWndProc = OpaqueLabelProc;
    windowClass.lpszClassName = kOpaqueLabelClass;
    RegisterClassA(&windowClass);
}

DWORD TransparentLabelStyle(UINT alignment) {
    return alignment & kAlignmentMask;
}

void SetLabelColour(HWND label, Colour colour) {
    SetWindowLongPtrA(label, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
}

void RepaintLabel(HWND label) {
    RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

} // namespace app

// How skinned windows look: client background, title bar and frame, push buttons, edit frames.
// Everything complex is drawn into a memory bitmap at origin 0 and copied out with BitBlt, so
// the target DC may have any viewport origin (labels hand us shifted DCs).
#include "engine_internal.h"

#include <algorithm>
#include <string>

namespace engine {
namespace {

using namespace skinfmt;

COLORREF Mix(COLORREF a, COLORREF b, int weightOfB /* 0..256 */) {
    auto channel = [&](int shift) {
        const int ca = (a >> shift) & 0xFF;
        const int cb = (b >> shift) & 0xFF;
        return ((ca * (256 - weightOfB) + cb * weightOfB) >> 8) & 0xFF;
    };
    return RGB(channel(0), channel(8), channel(16));
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    const COLORREF old = SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, old);
}

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// A memory bitmap of a given size, selected into a DC compatible with `reference`.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    Canvas(HDC reference, int width, int height) {
        dc = CreateCompatibleDC(reference);
        bitmap = CreateCompatibleBitmap(reference, std::max(width, 1), std::max(height, 1));
        if (dc != nullptr && bitmap != nullptr)
            old = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        if (old != nullptr)
            SelectObject(dc, old);
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        if (dc != nullptr)
            DeleteDC(dc);
    }
    bool ok() const { return old != nullptr; }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
};

HFONT CaptionFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    metrics.lfCaptionFont.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&metrics.lfCaptionFont);
}

HICON WindowIcon(HWND hwnd) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr)
        icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL2, 0));
    if (icon == nullptr)
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICONSM));
    if (icon == nullptr)
        icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    if (icon == nullptr)
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICON));
    return icon;
}

void DrawLine(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SetPixel(dc, x1, y1, colour); // LineTo leaves the end point out
    SelectObject(dc, old);
    DeleteObject(pen);
}

void DrawCaptionButton(HDC dc, const RECT& r, int code, const WindowState& state,
                       const Palette& palette) {
    if (IsEmpty(r))
        return;
    const bool hot = state.hotCaptionButton == code;
    const bool pressed = state.pressedCaptionButton == code;
    if (hot || pressed) {
        COLORREF back = Resolve(palette, code == HTCLOSE ? kCaptionCloseHot : kCaptionButtonHot);
        if (pressed)
            back = Mix(back, RGB(0, 0, 0), 56);
        HRGN shape = CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 4, 4);
        const COLORREF old = SetDCBrushColor(dc, back);
        FillRgn(dc, shape, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        SetDCBrushColor(dc, old);
        DeleteObject(shape);
    }
    const COLORREF ink = Resolve(palette, state.active ? kCaptionText : kCaptionTextInactive);
    const int glyph = std::max<int>(7, (r.bottom - r.top) * 5 / 8);
    const int gx = (r.left + r.right - glyph) / 2;
    const int gy = (r.top + r.bottom - glyph) / 2;
    switch (code) {
    case HTCLOSE:
        // Two-pixel strokes: each diagonal is drawn twice, one pixel apart.
        for (int t = 0; t < 2; ++t) {
            DrawLine(dc, gx + t, gy, gx + glyph - 1, gy + glyph - 1 - t, ink);
            DrawLine(dc, gx + glyph - 1 - t, gy, gx, gy + glyph - 1 - t, ink);
        }
        break;
    case HTMINBUTTON: {
        RECT bar{gx, gy + glyph - 2, gx + glyph, gy + glyph};
        FillSolid(dc, bar, ink);
        break;
    }
    case HTMAXBUTTON: {
        RECT box{gx, gy, gx + glyph, gy + glyph};
        const COLORREF old = SetDCBrushColor(dc, ink);
        FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        SetDCBrushColor(dc, old);
        RECT top{gx, gy, gx + glyph, gy + 2};
        FillSolid(dc, top, ink);
        break;
    }
    default:
        break;
    }
}

// Frame, title band, icon, text and caption buttons of a whole window, at origin 0.
void RenderNonClient(HWND hwnd, const WindowState& state, HDC dc, int width, int height,
                     const RECT& client) {
    const Palette palette = CurrentPalette();
    const bool aero = AeroEnabled();
    const CaptionLayout layout = LayoutCaption(hwnd);
    RECT all{0, 0, width, height};
    const COLORREF frame = Resolve(palette, state.active ? kFrame : kFrameInactive);
    const COLORREF outline = Resolve(palette, kFrameOutline);
    FillSolid(dc, all, frame);

    RECT band{0, 0, width, layout.caption.bottom};
    COLORREF top = Resolve(palette, state.active ? kCaptionTop : kCaptionInactiveTop);
    COLORREF bottom = Resolve(palette, state.active ? kCaptionBottom : kCaptionInactiveBottom);
    FillVerticalGradient(dc, band, top, bottom);
    if (aero) {
        // Glass: a soft white sheen over the upper half and a bright rim just under the edge.
        RECT upper{0, 0, width, band.bottom / 2 + 1};
        FillVerticalGradient(dc, upper, Mix(top, RGB(255, 255, 255), 110),
                             Mix(top, RGB(255, 255, 255), 40));
        RECT rim{1, 1, width - 1, 2};
        FillSolid(dc, rim, Mix(top, RGB(255, 255, 255), 150));
    }

    // A thin line around the client area separates it from the frame.
    if (client.left >= 2) {
        RECT edge{client.left - 1, client.top - 1, client.right + 1, client.bottom + 1};
        const COLORREF old = SetDCBrushColor(dc, Mix(frame, outline, 128));
        FrameRect(dc, &edge, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        SetDCBrushColor(dc, old);
    }
    // Outer outline, following the rounded corners when those are on.
    const COLORREF oldBrush = SetDCBrushColor(dc, outline);
    if (aero && !IsZoomed(hwnd)) {
        HRGN shape = MakeFrameRegion(width, height, palette.frameRadius);
        FrameRgn(dc, shape, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)), 1, 1);
        DeleteObject(shape);
    } else {
        FrameRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    SetDCBrushColor(dc, oldBrush);

    if (!IsEmpty(layout.icon)) {
        if (HICON icon = WindowIcon(hwnd))
            DrawIconEx(dc, layout.icon.left, layout.icon.top, icon, 16, 16, 0, nullptr, DI_NORMAL);
    }

    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    HFONT font = CaptionFont();
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX;
    RECT textRect = layout.text;
    if (aero) {
        RECT shadow = textRect;
        OffsetRect(&shadow, 1, 1);
        SetTextColor(dc, Mix(bottom, RGB(0, 0, 0), 90));
        DrawTextW(dc, title, -1, &shadow, format);
    }
    SetTextColor(dc, Resolve(palette, state.active ? kCaptionText : kCaptionTextInactive));
    DrawTextW(dc, title, -1, &textRect, format);
    if (font != nullptr) {
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }

    DrawCaptionButton(dc, layout.minimise, HTMINBUTTON, state, palette);
    DrawCaptionButton(dc, layout.maximise, HTMAXBUTTON, state, palette);
    DrawCaptionButton(dc, layout.close, HTCLOSE, state, palette);
}

// Window size and the client rectangle in window coordinates.
void WindowGeometry(HWND hwnd, int& width, int& height, RECT& client) {
    RECT window{};
    GetWindowRect(hwnd, &window);
    width = window.right - window.left;
    height = window.bottom - window.top;
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    GetClientRect(hwnd, &client);
    OffsetRect(&client, origin.x - window.left, origin.y - window.top);
}

} // namespace

COLORREF Resolve(const Palette& palette, int key) {
    const ColourValue& value = palette.colours[key];
    if (value.kind == kKindSystemColour)
        return GetSysColor(static_cast<int>(value.value));
    return static_cast<COLORREF>(value.value);
}

void FillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
    if (IsEmpty(rect))
        return;
    if (top == bottom) {
        FillSolid(dc, rect, top);
        return;
    }
    const int rows = rect.bottom - rect.top;
    const COLORREF old = GetDCBrushColor(dc);
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
    for (int y = 0; y < rows; ++y) {
        const int weight = rows > 1 ? (y * 256) / (rows - 1) : 0;
        SetDCBrushColor(dc, Mix(top, bottom, weight));
        RECT row{rect.left, rect.top + y, rect.right, rect.top + y + 1};
        FillRect(dc, &row, brush);
    }
    SetDCBrushColor(dc, old);
}

void PaintClientBackground(HWND hwnd, HDC dc) {
    const Palette palette = CurrentPalette();
    RECT client{};
    GetClientRect(hwnd, &client);
    FillVerticalGradient(dc, client, Resolve(palette, kClientTop), Resolve(palette, kClientBottom));
}

bool HasSkinnedCaption(HWND hwnd) {
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    return (style & WS_CAPTION) == WS_CAPTION && GetMenu(hwnd) == nullptr && !IsIconic(hwnd);
}

CaptionLayout LayoutCaption(HWND hwnd) {
    CaptionLayout layout;
    if (!HasSkinnedCaption(hwnd))
        return layout;
    int width = 0;
    int height = 0;
    RECT client{};
    WindowGeometry(hwnd, width, height, client);
    const int border = std::max<int>(client.left, 0);
    const int captionTop = std::min<int>(border, client.top);
    const int captionHeight = client.top - captionTop;
    if (captionHeight < 8)
        return layout;
    layout.valid = true;
    layout.caption = RECT{border, captionTop, width - border, client.top};

    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    const int buttonHeight = std::max(12, captionHeight - 6);
    const int buttonWidth = buttonHeight + 10;
    const int buttonTop = captionTop + (captionHeight - buttonHeight) / 2;
    int right = width - border - 2;
    auto place = [&](RECT& slot) {
        slot = RECT{right - buttonWidth, buttonTop, right, buttonTop + buttonHeight};
        right -= buttonWidth + 2;
    };
    if (style & WS_SYSMENU) {
        place(layout.close);
        if (style & WS_MAXIMIZEBOX)
            place(layout.maximise);
        if (style & WS_MINIMIZEBOX)
            place(layout.minimise);
    }
    int left = border + 4;
    if ((style & WS_SYSMENU) && !(exStyle & (WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME))) {
        const int iconTop = captionTop + (captionHeight - 16) / 2;
        layout.icon = RECT{left, iconTop, left + 16, iconTop + 16};
        left += 16 + 6;
    }
    layout.text = RECT{left, captionTop, std::max(left, right - 2), client.top};
    return layout;
}

void PaintNonClient(HWND hwnd, const WindowState& state) {
    int width = 0;
    int height = 0;
    RECT client{};
    WindowGeometry(hwnd, width, height, client);
    HDC windowDc = GetWindowDC(hwnd);
    if (windowDc == nullptr)
        return;
    {
        Canvas canvas(windowDc, width, height);
        if (canvas.ok()) {
            RenderNonClient(hwnd, state, canvas.dc, width, height, client);
            ExcludeClipRect(windowDc, client.left, client.top, client.right, client.bottom);
            BitBlt(windowDc, 0, 0, width, height, canvas.dc, 0, 0, SRCCOPY);
        }
    }
    ReleaseDC(hwnd, windowDc);
}

void PrintNonClient(HWND hwnd, const WindowState& state, HDC target) {
    int width = 0;
    int height = 0;
    RECT client{};
    WindowGeometry(hwnd, width, height, client);
    Canvas canvas(target, width, height);
    if (!canvas.ok())
        return;
    RenderNonClient(hwnd, state, canvas.dc, width, height, client);
    // Four bands around the client area, so whatever the caller drew there stays.
    const RECT bands[4] = {{0, 0, width, client.top},
                           {0, client.bottom, width, height},
                           {0, client.top, client.left, client.bottom},
                           {client.right, client.top, width, client.bottom}};
    for (const RECT& b : bands) {
        if (!IsEmpty(b))
            BitBlt(target, b.left, b.top, b.right - b.left, b.bottom - b.top, canvas.dc, b.left,
                   b.top, SRCCOPY);
    }
}

HRGN MakeFrameRegion(int width, int height, int radius) {
    if (radius <= 0)
        return CreateRectRgn(0, 0, width, height);
    // Rounded top corners only: the lower corners stay square like a classic frame.
    HRGN shape = CreateRoundRectRgn(0, 0, width + 1, height + 1, radius * 2, radius * 2);
    HRGN lower = CreateRectRgn(0, height / 2, width, height);
    CombineRgn(shape, shape, lower, RGN_OR);
    DeleteObject(lower);
    return shape;
}

void RenderPushButton(HWND hwnd, const WindowState& state, HDC target) {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    const int width = rect.right;
    const int height = rect.bottom;
    if (width <= 0 || height <= 0)
        return;
    Canvas canvas(target, width, height);
    if (!canvas.ok())
        return;
    HDC dc = canvas.dc;
    const Palette palette = CurrentPalette();

    // What lies behind the rounded corners: the parent's own background.
    FillSolid(dc, rect, GetSysColor(COLOR_BTNFACE));
    if (HWND parent = GetParent(hwnd)) {
        POINT offset{0, 0};
        MapWindowPoints(hwnd, parent, &offset, 1);
        POINT oldOrigin{};
        OffsetViewportOrgEx(dc, -offset.x, -offset.y, &oldOrigin);
        SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    }

    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LRESULT buttonState = SendMessageW(hwnd, BM_GETSTATE, 0, 0);
    const bool enabled = IsWindowEnabled(hwnd) != FALSE;
    const bool pressed = enabled && (buttonState & BST_PUSHED) != 0;
    const bool focused = GetFocus() == hwnd;
    const bool hot = enabled && state.hot;
    const bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;

    int faceTop = kButtonTop;
    int faceBottom = kButtonBottom;
    if (pressed) {
        faceTop = kButtonPressedTop;
        faceBottom = kButtonPressedBottom;
    } else if (hot) {
        faceTop = kButtonHotTop;
        faceBottom = kButtonHotBottom;
    }
    const int radius = palette.buttonRadius;
    HRGN shape = CreateRoundRectRgn(0, 0, width + 1, height + 1, radius * 2 + 1, radius * 2 + 1);
    SelectClipRgn(dc, shape);
    FillVerticalGradient(dc, rect, Resolve(palette, faceTop), Resolve(palette, faceBottom));
    if (AeroEnabled() && !pressed) {
        RECT gloss{0, 0, width, height / 2};
        // Ends in the face colour of the middle row, so the sheen has no hard edge.
        const COLORREF top = Resolve(palette, faceTop);
        FillVerticalGradient(dc, gloss, Mix(top, RGB(255, 255, 255), 120),
                             Mix(top, Resolve(palette, faceBottom), 128));
    }
    SelectClipRgn(dc, nullptr);
    COLORREF border =
        Resolve(palette, (hot || pressed || isDefault) ? kButtonBorderHot : kButtonBorder);
    if (!enabled)
        border = Mix(border, GetSysColor(COLOR_BTNFACE), 128);
    HBRUSH borderBrush = CreateSolidBrush(border);
    FrameRgn(dc, shape, borderBrush, 1, 1);
    DeleteObject(shape);
    if (isDefault && width > 4 && height > 4) {
        HRGN inner = CreateRoundRectRgn(1, 1, width, height, radius * 2 - 1, radius * 2 - 1);
        FrameRgn(dc, inner, borderBrush, 1, 1);
        DeleteObject(inner);
    }
    DeleteObject(borderBrush);
    if (focused && width > 8 && height > 8) {
        HRGN ring = CreateRoundRectRgn(2, 2, width - 1, height - 1, radius * 2 - 1, radius * 2 - 1);
        HBRUSH focusBrush = CreateSolidBrush(Resolve(palette, kButtonFocus));
        FrameRgn(dc, ring, focusBrush, 1, 1);
        DeleteObject(focusBrush);
        DeleteObject(ring);
    }

    // Caption: centred, wrapped when the button allows several lines.
    const int length = GetWindowTextLengthW(hwnd);
    if (length > 0) {
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(hwnd, text.data(), length + 1);
        auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
        if (font == nullptr)
            font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Resolve(palette, enabled ? kButtonText : kButtonTextDisabled));
        UINT format = DT_CENTER;
        if ((style & BS_CENTER) == BS_LEFT)
            format = DT_LEFT;
        else if ((style & BS_CENTER) == BS_RIGHT)
            format = DT_RIGHT;
        if (SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL)
            format |= DT_HIDEPREFIX;
        RECT area{4, 3, width - 4, height - 3};
        if (pressed)
            OffsetRect(&area, 1, 1);
        if (style & BS_MULTILINE) {
            RECT measure = area;
            DrawTextW(dc, text.c_str(), -1, &measure, format | DT_WORDBREAK | DT_CALCRECT);
            const int textHeight = measure.bottom - measure.top;
            if (textHeight < area.bottom - area.top)
                area.top += (area.bottom - area.top - textHeight) / 2;
            DrawTextW(dc, text.c_str(), -1, &area, format | DT_WORDBREAK);
        } else {
            DrawTextW(dc, text.c_str(), -1, &area, format | DT_SINGLELINE | DT_VCENTER);
        }
        SelectObject(dc, oldFont);
    }
    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

void PaintEditFrame(HWND hwnd, HDC windowDc) {
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    const bool clientEdge = (exStyle & WS_EX_CLIENTEDGE) != 0;
    if (!clientEdge && !(style & WS_BORDER) && !(exStyle & WS_EX_STATICEDGE))
        return;
    const Palette palette = CurrentPalette();
    RECT window{};
    GetWindowRect(hwnd, &window);
    RECT outer{0, 0, window.right - window.left, window.bottom - window.top};
    const bool focused = GetFocus() == hwnd;
    const bool enabled = IsWindowEnabled(hwnd) != FALSE;
    HBRUSH border = CreateSolidBrush(Resolve(palette, focused ? kEditBorderFocus : kEditBorder));
    FrameRect(windowDc, &outer, border);
    DeleteObject(border);
    if (clientEdge) {
        // The sunken edge is two pixels; its inner line takes the box's own background.
        RECT inner = outer;
        InflateRect(&inner, -1, -1);
        const bool plain = enabled && !(style & ES_READONLY);
        HBRUSH fill = CreateSolidBrush(plain ? Resolve(palette, kEditBackground)
                                             : GetSysColor(COLOR_BTNFACE));
        FrameRect(windowDc, &inner, fill);
        DeleteObject(fill);
    }
}

} // namespace engine

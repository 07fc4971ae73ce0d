// Shared between the hook/subclass side of the engine and its painting routines.
#pragma once

#include <windows.h>

#include "skin_format.h"

namespace engine {

// Per-window record, handed to the subclass procedure as its reference data.
enum class Kind { TopLevel, PushButton, EditBox };

struct WindowState {
    Kind kind;
    bool hot = false;         // push button under the mouse
    bool active = true;       // top-level: caption drawn as active
    int hotCaptionButton = 0; // HTCLOSE / HTMINBUTTON / HTMAXBUTTON under the mouse
    int pressedCaptionButton = 0;
    bool trackingNcLeave = false;
    int regionWidth = 0; // size the rounded window region was made for; 0 = none set
    int regionHeight = 0;
};

struct CaptionLayout {
    bool valid = false;
    RECT caption{}; // title band, window coordinates
    RECT icon{};    // empty when no icon
    RECT text{};
    RECT close{};    // empty when absent
    RECT maximise{}; // empty when absent
    RECT minimise{}; // empty when absent
};

skinfmt::Palette CurrentPalette();
bool AeroEnabled();
COLORREF Resolve(const skinfmt::Palette& palette, int key);

// Painting (paint.cpp).
void FillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);
void PaintClientBackground(HWND hwnd, HDC dc);
bool HasSkinnedCaption(HWND hwnd);
CaptionLayout LayoutCaption(HWND hwnd);
void PaintNonClient(HWND hwnd, const WindowState& state);
void PrintNonClient(HWND hwnd, const WindowState& state, HDC target);
void RenderPushButton(HWND hwnd, const WindowState& state, HDC target);
void PaintEditFrame(HWND hwnd, HDC windowDc);
HRGN MakeFrameRegion(int width, int height, int radius);

} // namespace engine

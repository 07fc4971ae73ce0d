// Reading of our skin blocks (layout documented in skins/README.md). Kept free of <windows.h>
// so the parser stays a plain byte-level routine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace skinfmt {

// Colour slots; the numbers are the key ids stored in a block.
enum ColourKey : int {
    kFrame = 1,
    kFrameInactive,
    kFrameOutline,
    kCaptionTop,
    kCaptionBottom,
    kCaptionInactiveTop,
    kCaptionInactiveBottom,
    kCaptionText,
    kCaptionTextInactive,
    kCaptionButtonHot,
    kCaptionCloseHot,
    kClientTop,
    kClientBottom,
    kButtonTop,
    kButtonBottom,
    kButtonHotTop,
    kButtonHotBottom,
    kButtonPressedTop,
    kButtonPressedBottom,
    kButtonBorder,
    kButtonBorderHot,
    kButtonText,
    kButtonTextDisabled,
    kButtonFocus,
    kEditBorder,
    kEditBorderFocus,
    kEditBackground,
    kEditText,
    kColourKeyEnd
};

enum MetricKey : int { kButtonRadius = 64, kFrameRadius = 65 };

enum ValueKind : std::uint8_t { kKindRgb = 1, kKindSystemColour = 2, kKindMetric = 3 };

inline constexpr unsigned char kMagic[6] = {0x2E, 0x53, 0x48, 0x45, 0x00, 0x03};
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 15; // magic, version, total size, count, name length
inline constexpr std::size_t kEntrySize = 8;
inline constexpr std::size_t kCrcSize = 4;

struct ColourValue {
    std::uint8_t kind;   // kKindRgb or kKindSystemColour
    std::uint32_t value; // 0x00BBGGRR or a system colour index
};

struct Palette {
    ColourValue colours[kColourKeyEnd];
    int buttonRadius;
    int frameRadius;
    char name[64];
};

std::uint32_t Crc32(const unsigned char* data, std::size_t size);

// Fills `out` and returns true only for a complete, consistent block carrying every colour slot.
bool ParseSkin(const unsigned char* data, std::size_t size, Palette& out);

} // namespace skinfmt

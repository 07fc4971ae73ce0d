#include "skin_format.h"

#include <cstring>

namespace skinfmt {
namespace {

std::uint16_t ReadU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint32_t kHighestSystemColour = 30;
constexpr int kLargestMetric = 32;

} // namespace

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

bool ParseSkin(const unsigned char* data, std::size_t size, Palette& out) {
    if (data == nullptr || size < kHeaderSize + kCrcSize)
        return false;
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    if (ReadU16(data + 6) != kVersion)
        return false;
    // The stated size must match exactly: a cut-off or padded block is refused.
    if (ReadU32(data + 8) != size)
        return false;
    const std::size_t count = ReadU16(data + 12);
    const std::size_t nameLength = data[14];
    if (nameLength >= sizeof out.name)
        return false;
    if (kHeaderSize + nameLength + count * kEntrySize + kCrcSize != size)
        return false;
    if (Crc32(data, size - kCrcSize) != ReadU32(data + size - kCrcSize))
        return false;

    Palette palette{};
    palette.buttonRadius = 3;
    palette.frameRadius = 6;
    std::memcpy(palette.name, data + kHeaderSize, nameLength);
    bool seen[kColourKeyEnd] = {};
    const unsigned char* entry = data + kHeaderSize + nameLength;
    for (std::size_t i = 0; i < count; ++i, entry += kEntrySize) {
        const int key = ReadU16(entry);
        const std::uint8_t kind = entry[2];
        const std::uint32_t value = ReadU32(entry + 4);
        if (key >= kFrame && key < kColourKeyEnd) {
            if (kind == kKindRgb && value > 0xFFFFFFu)
                return false;
            if (kind == kKindSystemColour && value > kHighestSystemColour)
                return false;
            if (kind != kKindRgb && kind != kKindSystemColour)
                return false;
            palette.colours[key] = ColourValue{kind, value};
            seen[key] = true;
        } else if (key == kButtonRadius || key == kFrameRadius) {
            if (kind != kKindMetric || value > static_cast<std::uint32_t>(kLargestMetric))
                return false;
            (key == kButtonRadius ? palette.buttonRadius : palette.frameRadius) =
                static_cast<int>(value);
        }
        // Unknown keys are skipped so older engines still read newer skins.
    }
    for (int key = kFrame; key < kColourKeyEnd; ++key)
        if (!seen[key])
            return false;
    out = palette;
    return true;
}

} // namespace skinfmt

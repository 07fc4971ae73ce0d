// The skin engine DLL and the 33 skins, carried inside the program as constant data.
#pragma once

#include <cstddef>

namespace skin {

struct ByteBlock {
    const unsigned char* data;
    std::size_t size;
};

constexpr int kCarriedSkinCount = 33;

// The engine file SkinH_EL.dll, of the program's own bitness.
ByteBlock SkinEngineImage();

// Skin `number` (1 to kCarriedSkinCount); any other number gives {nullptr, 0}.
ByteBlock CarriedSkin(int number);

} // namespace skin

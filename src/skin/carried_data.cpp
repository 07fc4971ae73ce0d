#include "skin/carried_data.h"

// The bytes are pulled in by the assembler from the build tree. The paths come from the build
// (FENNROW_ENGINE_IMAGE_PATH, FENNROW_SKIN_DIR); the labels carry fixed assembler names so the
// same code links on i686 (leading underscores) and x86_64.
#define FENNROW_CARRY(label, path)                                                                 \
    ".balign 16\n"                                                                                 \
    ".globl " label "_begin\n" label "_begin:\n"                                                   \
    ".incbin \"" path "\"\n"                                                                       \
    ".globl " label "_end\n" label "_end:\n"

#define FENNROW_CARRY_SKIN(nn) FENNROW_CARRY("fennrow_skin" #nn, FENNROW_SKIN_DIR "skin" #nn ".she")

// clang-format off
asm(".section .rdata,\"dr\"\n"
    FENNROW_CARRY("fennrow_engine", FENNROW_ENGINE_IMAGE_PATH)
    FENNROW_CARRY_SKIN(01) FENNROW_CARRY_SKIN(02) FENNROW_CARRY_SKIN(03) FENNROW_CARRY_SKIN(04)
    FENNROW_CARRY_SKIN(05) FENNROW_CARRY_SKIN(06) FENNROW_CARRY_SKIN(07) FENNROW_CARRY_SKIN(08)
    FENNROW_CARRY_SKIN(09) FENNROW_CARRY_SKIN(10) FENNROW_CARRY_SKIN(11) FENNROW_CARRY_SKIN(12)
    FENNROW_CARRY_SKIN(13) FENNROW_CARRY_SKIN(14) FENNROW_CARRY_SKIN(15) FENNROW_CARRY_SKIN(16)
    FENNROW_CARRY_SKIN(17) FENNROW_CARRY_SKIN(18) FENNROW_CARRY_SKIN(19) FENNROW_CARRY_SKIN(20)
    FENNROW_CARRY_SKIN(21) FENNROW_CARRY_SKIN(22) FENNROW_CARRY_SKIN(23) FENNROW_CARRY_SKIN(24)
    FENNROW_CARRY_SKIN(25) FENNROW_CARRY_SKIN(26) FENNROW_CARRY_SKIN(27) FENNROW_CARRY_SKIN(28)
    FENNROW_CARRY_SKIN(29) FENNROW_CARRY_SKIN(30) FENNROW_CARRY_SKIN(31) FENNROW_CARRY_SKIN(32)
    FENNROW_CARRY_SKIN(33)
    ".text\n");
// clang-format on

#define FENNROW_DECLARE(label)                                                                     \
    extern "C" const unsigned char label##_begin[] asm(#label "_begin");                           \
    extern "C" const unsigned char label##_end[] asm(#label "_end");

FENNROW_DECLARE(fennrow_engine)
FENNROW_DECLARE(fennrow_skin01)
FENNROW_DECLARE(fennrow_skin02)
FENNROW_DECLARE(fennrow_skin03)
FENNROW_DECLARE(fennrow_skin04)
FENNROW_DECLARE(fennrow_skin05)
FENNROW_DECLARE(fennrow_skin06)
FENNROW_DECLARE(fennrow_skin07)
FENNROW_DECLARE(fennrow_skin08)
FENNROW_DECLARE(fennrow_skin09)
FENNROW_DECLARE(fennrow_skin10)
FENNROW_DECLARE(fennrow_skin11)
FENNROW_DECLARE(fennrow_skin12)
FENNROW_DECLARE(fennrow_skin13)
FENNROW_DECLARE(fennrow_skin14)
FENNROW_DECLARE(fennrow_skin15)
FENNROW_DECLARE(fennrow_skin16)
FENNROW_DECLARE(fennrow_skin17)
FENNROW_DECLARE(fennrow_skin18)
FENNROW_DECLARE(fennrow_skin19)
FENNROW_DECLARE(fennrow_skin20)
FENNROW_DECLARE(fennrow_skin21)
FENNROW_DECLARE(fennrow_skin22)
FENNROW_DECLARE(fennrow_skin23)
FENNROW_DECLARE(fennrow_skin24)
FENNROW_DECLARE(fennrow_skin25)
FENNROW_DECLARE(fennrow_skin26)
FENNROW_DECLARE(fennrow_skin27)
FENNROW_DECLARE(fennrow_skin28)
FENNROW_DECLARE(fennrow_skin29)
FENNROW_DECLARE(fennrow_skin30)
FENNROW_DECLARE(fennrow_skin31)
FENNROW_DECLARE(fennrow_skin32)
FENNROW_DECLARE(fennrow_skin33)

namespace skin {
namespace {

ByteBlock Between(const unsigned char* begin, const unsigned char* end) {
    return ByteBlock{begin, static_cast<std::size_t>(end - begin)};
}

#define FENNROW_SKIN_ENTRY(nn)                                                                     \
    { fennrow_skin##nn##_begin, fennrow_skin##nn##_end }

struct Range {
    const unsigned char* begin;
    const unsigned char* end;
};

const Range kSkins[kCarriedSkinCount] = {
    FENNROW_SKIN_ENTRY(01), FENNROW_SKIN_ENTRY(02), FENNROW_SKIN_ENTRY(03), FENNROW_SKIN_ENTRY(04),
    FENNROW_SKIN_ENTRY(05), FENNROW_SKIN_ENTRY(06), FENNROW_SKIN_ENTRY(07), FENNROW_SKIN_ENTRY(08),
    FENNROW_SKIN_ENTRY(09), FENNROW_SKIN_ENTRY(10), FENNROW_SKIN_ENTRY(11), FENNROW_SKIN_ENTRY(12),
    FENNROW_SKIN_ENTRY(13), FENNROW_SKIN_ENTRY(14), FENNROW_SKIN_ENTRY(15), FENNROW_SKIN_ENTRY(16),
    FENNROW_SKIN_ENTRY(17), FENNROW_SKIN_ENTRY(18), FENNROW_SKIN_ENTRY(19), FENNROW_SKIN_ENTRY(20),
    FENNROW_SKIN_ENTRY(21), FENNROW_SKIN_ENTRY(22), FENNROW_SKIN_ENTRY(23), FENNROW_SKIN_ENTRY(24),
    FENNROW_SKIN_ENTRY(25), FENNROW_SKIN_ENTRY(26), FENNROW_SKIN_ENTRY(27), FENNROW_SKIN_ENTRY(28),
    FENNROW_SKIN_ENTRY(29), FENNROW_SKIN_ENTRY(30), FENNROW_SKIN_ENTRY(31), FENNROW_SKIN_ENTRY(32),
    FENNROW_SKIN_ENTRY(33),
};

} // namespace

ByteBlock SkinEngineImage() {
    return Between(fennrow_engine_begin, fennrow_engine_end);
}

ByteBlock CarriedSkin(int number) {
    if (number < 1 || number > kCarriedSkinCount)
        return ByteBlock{nullptr, 0};
    const Range& range = kSkins[number - 1];
    return Between(range.begin, range.end);
}

} // namespace skin

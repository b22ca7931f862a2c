#include "skinui/render/SkinColor.h"

#include <gtest/gtest.h>

using namespace SkinUI;

namespace {

struct ColorCase {
    const wchar_t* text;
    DWORD expected;
};

TEST(SkinColor, ParseColor_ReadsHexUpToFirstOtherCharacter) {
    const ColorCase cases[] = {
        {L"#FF000000", 0xFF000000}, // opaque black
        {L"#00000000", 0x00000000}, // fully transparent
        {L"#FF0000", 0x00FF0000},   // six digits: alpha 0
        {L"FFA7A6AA", 0xFFA7A6AA},  // the "#" is optional
        {L"#ffbae4ff", 0xFFBAE4FF}, // lower case
        {L"#12G4", 0x12},           // stops at the first non-hex character
        {L"#FF00FF00 tail", 0xFF00FF00},
        {L"", 0},
        {L"#", 0},
        {L"xyz", 0},
        {L"##FF", 0},                // only one "#" is skipped
        {L"#123456789", 0xFFFFFFFF}, // too many digits saturate
        {nullptr, 0},
    };
    for (const ColorCase& c : cases)
        EXPECT_EQ(c.expected, ParseColor(c.text)) << (c.text ? c.text : L"(null)");
}

TEST(SkinColor, ToColorRef_DropsAlphaAndKeepsChannels) {
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), ToColorRef(0x80123456));
    EXPECT_EQ(RGB(0xFF, 0, 0), ToColorRef(0x00FF0000));
}

} // namespace

#include "skinui/core/TextFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

using SkinUI::DecimalText;
using SkinUI::FormatText;
using SkinUI::ParseDecimal;

namespace {

TEST(TextFormat, WideTextIsWideInEverySpellingAndNarrowWithH) {
    wchar_t buffer[64];
    EXPECT_EQ(9, FormatText(buffer, 64, L"%s|%ls|%hs", L"ab", L"青梧", "xyz"));
    EXPECT_STREQ(L"ab|青梧|xyz", buffer);
    EXPECT_EQ(11, FormatText(buffer, 64, L"%04u-%02u %d%%", 7u, 3u, -5));
    EXPECT_STREQ(L"0007-03 -5%", buffer);
}

TEST(TextFormat, ResultIsTerminatedWhenItFitsExactlyOrIsCut) {
    struct Case {
        size_t count;
        int result;
        const wchar_t* text;
    };
    const Case cases[] = {
        {5, 4, L"abcd"}, // text and terminator fill the buffer
        {4, -1, L"abc"}, // one character too long: cut, still terminated
        {2, -1, L"a"},
        {1, -1, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        wchar_t buffer[8];
        std::fill(buffer, buffer + 8, L'#');
        EXPECT_EQ(c.result, FormatText(buffer, c.count, L"%ls", L"abcd"));
        EXPECT_STREQ(c.text, buffer);
        EXPECT_EQ(L'#', buffer[c.count]) << "written past the buffer";
    }
    EXPECT_EQ(-1, FormatText(static_cast<wchar_t*>(nullptr), 0, L"x"));
}

TEST(TextFormat, NarrowFormIsBoundedTheSameWay) {
    char buffer[8];
    std::fill(buffer, buffer + 8, '#');
    EXPECT_EQ(-1, FormatText(buffer, 6, "%s[%d]", "log", 1234));
    EXPECT_STREQ("log[1", buffer);
    EXPECT_EQ('#', buffer[6]);
    EXPECT_EQ(7, FormatText(buffer, 8, "%-6s|", "ab"));
    EXPECT_STREQ("ab    |", buffer);
}

TEST(TextFormat, ParseDecimalReadsWhatWcstodReadsForDecimalText) {
    struct Case {
        const wchar_t* text;
        double value;
        size_t used; // characters read
    };
    const Case cases[] = {
        {L"0.5,1", 0.5, 3},
        {L"  -0.25", -0.25, 7},
        {L"+1", 1.0, 2},
        {L"1.", 1.0, 2},
        {L".75x", 0.75, 3},
        {L"12.5e2", 1250.0, 6},
        {L"1e-3", 0.001, 4},
        {L"3e", 3.0, 1}, // no digits after the exponent mark
        {L"3e+", 3.0, 1},
        {L"0.1", 0.1, 3}, // the nearest double, as wcstod gives
        {L"100", 100.0, 3},
        {L"0.000000000000000000000000001", 1e-27, 29},
        {L"12345678901234567890123", 1.2345678901234568e22, 23},
        {L"", 0.0, 0},
        {L"-", 0.0, 0},
        {L".", 0.0, 0},
        {L"abc", 0.0, 0},
        {L" ,5", 0.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::wstring(c.text).size() << " chars");
        const wchar_t* end = nullptr;
        EXPECT_DOUBLE_EQ(c.value, ParseDecimal(c.text, &end));
        EXPECT_EQ(c.used, static_cast<size_t>(end - c.text));
    }
    EXPECT_EQ(0.5, ParseDecimal(L"0.5", nullptr));
}

TEST(TextFormat, DecimalTextWritesEveryIntegerLikeToWstring) {
    EXPECT_EQ(L"0", DecimalText(0));
    EXPECT_EQ(L"-17", DecimalText(-17));
    EXPECT_EQ(L"4294967295", DecimalText(UINT32_MAX));
    EXPECT_EQ(L"-9223372036854775808", DecimalText(LLONG_MIN));
    EXPECT_EQ(L"18446744073709551615", DecimalText(ULLONG_MAX));
    EXPECT_EQ(L"42", DecimalText(static_cast<size_t>(42)));
}

} // namespace

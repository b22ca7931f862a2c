#include "installer/app/Guard.h"
#include "installer/services/TextConvert.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// "青梧云端助手" in UTF-8.
const char kProductUtf8[] =
    "\xe9\x9d\x92\xe6\xa2\xa7\xe4\xba\x91\xe7\xab\xaf\xe5\x8a\xa9\xe6\x89\x8b";

TEST(TextConvert, PrefixUsesChineseCodePages) {
    // The default test prefix is a Chinese system.
    EXPECT_EQ(936u, GetACP());
    EXPECT_EQ(936u, GetOEMCP());
}

TEST(TextConvert, NarrowTextIsUtf8AndEveryScriptRoundTrips) {
    EXPECT_EQ(std::wstring(L"青梧云端助手"), ToWide(kProductUtf8));
    EXPECT_EQ(std::string(kProductUtf8), ToNarrow(L"青梧云端助手"));
    EXPECT_EQ(std::string("C:\\Program Files\\") + kProductUtf8 + "\\",
              ToNarrow(L"C:\\Program Files\\青梧云端助手\\"));
    // Characters no code page 936 system could pass through narrow text.
    for (const wchar_t* text : {L"C:\\한글앱\\", L"ファイル", L"Crème brûlée", L"😀 🎉"})
        EXPECT_EQ(std::wstring(text), ToWide(ToNarrow(text)));
}

TEST(TextConvert, InvalidInputGivesEmptyTextNotAGuess) {
    EXPECT_EQ(std::wstring(), ToWide("\xc7\xe0\xce"));                    // code page 936 bytes
    EXPECT_EQ(std::string(), ToNarrow(std::wstring(1, wchar_t(0xD800)))); // lone surrogate
}

TEST(TextConvert, EmptyTextGivesEmptyText) {
    EXPECT_EQ(std::string(), ToNarrow(L""));
    EXPECT_EQ(std::wstring(), ToWide(""));
}

std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(CommandLine, WordsFollowThePlatformSplitting) {
    struct Case {
        const wchar_t* tail;
        std::vector<std::string> words;
    } cases[] = {
        {L"", {}},
        {L"path C:\\My   Apps", {"path", "C:\\My", "Apps"}},
        {L"path \"C:\\My Apps\"", {"path", "C:\\My Apps"}},
        {L"Update 1234", {"Update", "1234"}},
        {L"a\\\"b \"c d\"e", {"a\"b", "c de"}},
        {L"path D:\\青梧云端助手", {"path", std::string("D:\\") + kProductUtf8}},
        {L"path D:\\한글앱", {"path", ToNarrow(L"D:\\한글앱")}},
    };
    std::wstring exe = qmtest::ProgramDir() + L"\\qm_args_echo.exe";
    for (const Case& c : cases) {
        DWORD code = 0;
        std::string out = qmtest::RunAndCapture(qmtest::Quote(exe) + L" " + c.tail, 30000, &code);
        ASSERT_EQ(0u, code) << "args_echo failed";
        std::string expected;
        for (const std::string& w : c.words)
            expected += Hex(w) + "\n";
        // Console output may use CRLF line ends.
        std::string got;
        for (char ch : out)
            if (ch != '\r')
                got += ch;
        EXPECT_EQ(expected, got) << "command tail: " << ToNarrow(c.tail);
    }
}

} // namespace

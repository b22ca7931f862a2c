#include "installer/Guard.h"
#include "installer/TextConvert.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// "青梧云端助手" in code page 936.
const char kProductGbk[] = "\xc7\xe0\xce\xe0\xd4\xc6\xb6\xcb\xd6\xfa\xca\xd6";

TEST(TextConvert, PrefixUsesChineseCodePages) {
    // Everything narrow in the installer assumes a Chinese system.
    EXPECT_EQ(936u, GetACP());
    EXPECT_EQ(936u, GetOEMCP());
}

TEST(TextConvert, ChineseRoundTripsThroughCodePage936) {
    EXPECT_EQ(std::wstring(L"青梧云端助手"), ToWide(kProductGbk));
    EXPECT_EQ(std::string(kProductGbk), ToNarrow(L"青梧云端助手"));
    EXPECT_EQ(std::string("C:\\Program Files\\") + kProductGbk + "\\",
              ToNarrow(L"C:\\Program Files\\青梧云端助手\\"));
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
        {L"path D:\\青梧云端助手", {"path", std::string("D:\\") + kProductGbk}},
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

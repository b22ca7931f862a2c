// The setup log and the message box seam's silent mode.
#include "installer/services/MessageBox.h"
#include "installer/services/SetupLog.h"
#include "installer/services/Staging.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

using qmtest::ReadFileBytes;

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Elevated (as every program under Wine), the system's temporary folder;
// otherwise the user's.
TEST(SetupLog, DefaultFileIsNamedByKindDateAndTimeInTheRunsTemporaryFolder) {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 1;
    t.wDay = 2;
    t.wHour = 3;
    t.wMinute = 4;
    t.wSecond = 5;
    const std::wstring folder = StagingParent();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder + L"Quillmossdex-install-20260102-030405.log",
              DefaultSetupLogPath(L"install", t));
    EXPECT_EQ(folder + L"Quillmossdex-uninstall-20260102-030405.log",
              DefaultSetupLogPath(L"uninstall", t));
}

class SetupLogFile : public ::testing::Test {
protected:
    qmtest::TempDir dir{L"qmsetuplog"};
    std::wstring path = dir / L"日志 run.log";
};

TEST_F(SetupLogFile, LinesAreUtf8WithTimeOneLineEachAndARunAppends) {
    ASSERT_TRUE(OpenSetupLog(path));
    EXPECT_EQ(path, SetupLogPath());
    SetupLogLine(L"message: 路径不能为空\r\nsecond half");
    ASSERT_TRUE(OpenSetupLog(path));
    SetupLogLine(L"next run");
    const std::string bytes = ReadFileBytes(path);
    // One byte order mark, at the start only, so editors read it as UTF-8,
    // then the header that marks the file as a log of ours.
    const std::string header = "\xEF\xBB\xBFQuillmossdex run log\r\n";
    EXPECT_EQ(0u, bytes.find(header));
    EXPECT_EQ(1u, Count(bytes, "\xEF\xBB\xBF"));
    EXPECT_EQ(3u, Count(bytes, "\r\n"));
    EXPECT_NE(std::string::npos, bytes.find(Utf8(L"  message: 路径不能为空  second half\r\n")));
    EXPECT_NE(std::string::npos, bytes.find("  next run\r\n"));
    // The time stamp: "YYYY-MM-DD HH:MM:SS.mmm".
    ASSERT_GT(bytes.size(), header.size() + 27);
    EXPECT_EQ('-', bytes[header.size() + 4]);
    EXPECT_EQ(' ', bytes[header.size() + 10]);
    EXPECT_EQ('.', bytes[header.size() + 19]);
}

// A log that lands where a command shell reads it (a /LOG= name ending in
// .cmd) must not run what its lines hold: the command line and the folders
// it names are the caller's text.
TEST_F(SetupLogFile, NoShellActsOnALine) {
    ASSERT_TRUE(OpenSetupLog(path));
    SetupLogLine(L"started: /D=C:\\R&D & echo x > C:\\pwn.txt | more ^ %PATH%\x1b\t.");
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(std::string::npos, bytes.find_first_of("&|<>^%\x1b\t"));
    EXPECT_NE(
        std::string::npos,
        bytes.find(Utf8(L"started: /D=C:\\R＆D ＆ echo x ＞ C:\\pwn.txt ｜ more ＾ ％PATH％  .")));
}

// Appended to, a file that is not a log of ours would change its meaning (an
// administrator's batch file runs whatever follows its last line). Such a
// file is left byte for byte as it was; logs of ours, also those of earlier
// versions, are continued.
TEST_F(SetupLogFile, OnlyALogOfOursIsContinued) {
    struct Case {
        const char* name;
        std::string bytes;
        bool ours;
    } cases[] = {
        {"a batch file", "@echo off\r\nrem nightly\r\n", false},
        {"an empty file", "", false},
        {"a byte order mark alone", "\xEF\xBB\xBF", false},
        {"another program's UTF-8 text",
         "\xEF\xBB\xBF"
         "2026-05-04 10:21:07.415  other\r\n",
         false},
        {"a log of ours", "\xEF\xBB\xBFQuillmossdex run log\r\n", true},
        {"a log of an earlier version",
         "\xEF\xBB\xBF"
         "2026-05-04 10:21:07.415  QuillmossdexSetup.exe 1.0.66 started: x\r\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring file = dir / L"existing.log";
        ASSERT_TRUE(qmtest::WriteFileBytes(file, c.bytes));
        EXPECT_EQ(c.ours, OpenSetupLog(file));
        const DWORD error = GetLastError();
        SetupLogLine(L"this run");
        if (c.ours) {
            EXPECT_EQ(0u, ReadFileBytes(file).find(c.bytes));
            EXPECT_NE(std::string::npos, ReadFileBytes(file).find("  this run\r\n"));
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), error);
            EXPECT_EQ(c.bytes, ReadFileBytes(file));
        }
        ASSERT_TRUE(OpenSetupLog(path));
        DeleteFileW(file.c_str());
    }
}

TEST_F(SetupLogFile, AFileThatCannotBeOpenedKeepsTheOpenLog) {
    ASSERT_TRUE(OpenSetupLog(path));
    // The folder is missing: the caller says so in the log it falls back to.
    EXPECT_FALSE(OpenSetupLog(dir / L"missing\\folder\\x.log"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(OpenSetupLog(L""));
    SetupLogLine(L"still here");
    EXPECT_EQ(path, SetupLogPath());
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find("still here"));
}

TEST_F(SetupLogFile, FailuresCarryTheErrorCodeAndTheSystemText) {
    ASSERT_TRUE(OpenSetupLog(path));
    SetupLogFailure(L"could not create C:\\x", ERROR_ACCESS_DENIED);
    const std::wstring text = SystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_NE(L"(no system text)", text);
    EXPECT_EQ(std::wstring::npos, text.find_first_of(L"\r\n"));
    EXPECT_NE(std::string::npos,
              ReadFileBytes(path).find(Utf8(L"could not create C:\\x (error 5: " + text + L")")));
    EXPECT_EQ(L"(no system text)", SystemErrorText(0x2000FFFF));
}

// A hard link at the log's name makes it a second name of someone else's
// file. (A symbolic link to a file is refused the same way on Windows, where
// the open sees the reparse point; Wine 8 follows such a link without
// reporting it, so the hard link is what the tests can plant.)
TEST_F(SetupLogFile, ALinkAtTheNameIsNeverWrittenThrough) {
    const std::wstring victim = dir / L"victim.txt";
    ASSERT_TRUE(qmtest::WriteFileBytes(victim, "the user's secret"));
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), victim.c_str(), nullptr));
    const std::wstring before = SetupLogPath();
    EXPECT_FALSE(OpenSetupLog(path));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANT_ACCESS_FILE), GetLastError());
    EXPECT_EQ(before, SetupLogPath());
    SetupLogLine(L"nothing of this reaches the victim");
    EXPECT_EQ("the user's secret", ReadFileBytes(victim));
}

TEST_F(SetupLogFile, DefaultLogsGetANewRandomNameEachTime) {
    const std::wstring base = dir / L"Quillmossdex-install-20260102-030405.log";
    // The name without its random part is taken: it changes nothing.
    ASSERT_TRUE(qmtest::WriteFileBytes(base, "planted"));
    std::vector<std::wstring> names;
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(OpenNewSetupLog(base));
        names.push_back(SetupLogPath());
        SetupLogLine(L"run " + std::to_wstring(run));
    }
    EXPECT_NE(names[0], names[1]);
    for (const std::wstring& name : names) {
        // "<stem>-<8 hex digits>.log"
        const std::wstring stem = base.substr(0, base.size() - 4) + L"-";
        ASSERT_EQ(stem.size() + 12, name.size()) << Utf8(name);
        EXPECT_EQ(stem, name.substr(0, stem.size()));
        EXPECT_EQ(std::wstring::npos,
                  name.substr(stem.size(), 8).find_first_not_of(L"0123456789abcdef"));
        EXPECT_EQ(L".log", name.substr(name.size() - 4));
        EXPECT_EQ(0u, ReadFileBytes(name).find("\xEF\xBB\xBF"));
    }
    EXPECT_EQ("planted", ReadFileBytes(base));
}

TEST(MessageBoxSeam, DefaultButtonFollowsTheDefaultFlag) {
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_RETRYCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.answer, DefaultMessageBoxButton(c.type)) << std::hex << c.type;
}

int g_hookCalls = 0;
int CountingHook(HWND, const wchar_t*, const wchar_t*, UINT) {
    ++g_hookCalls;
    return IDCANCEL;
}

TEST_F(SetupLogFile, SilentBoxesGoToTheLogAndAnswerTheirDefault) {
    ASSERT_TRUE(OpenSetupLog(path));
    MessageBoxHook old = SetMessageBoxHook(CountingHook);
    g_hookCalls = 0;
    SetSilentMessageBoxes(true);
    const int ok = ShowMessageBox(nullptr, L"安装程序正在运行!", L"提示:", MB_OK);
    const int yes = ShowMessageBox(nullptr, L"是否强制关闭后安装?", L"提示:", MB_YESNO);
    SetSilentMessageBoxes(false);
    // Interactive boxes are logged too, with the answer the person gave.
    const int asked = ShowMessageBox(nullptr, L"覆盖?", L"提示:", MB_YESNO);
    SetMessageBoxHook(old);
    EXPECT_EQ(IDOK, ok);
    EXPECT_EQ(IDYES, yes);
    EXPECT_EQ(IDCANCEL, asked);
    EXPECT_EQ(1, g_hookCalls);
    const std::string bytes = ReadFileBytes(path);
    EXPECT_NE(std::string::npos, bytes.find(Utf8(L"  message: 安装程序正在运行!\r\n")));
    EXPECT_NE(std::string::npos,
              bytes.find(Utf8(L"  message: 是否强制关闭后安装? → Yes (silent default)\r\n")));
    EXPECT_NE(std::string::npos, bytes.find(Utf8(L"  message: 覆盖? → Cancel\r\n")));
}

} // namespace

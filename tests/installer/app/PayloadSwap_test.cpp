// The installer against a swapped or damaged download: the running program's
// file renamed away and replaced while its window waits for the click, and a
// payload that is not the one the program's digest names.
#include "installer/services/Product.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestPayload.h"

#include <gtest/gtest.h>

namespace qmtest {
namespace {

namespace L = layout;

class PayloadApp : public SetupTest {};

TEST_F(PayloadApp, FileSwappedWhileTheWindowWaitsInstallsWhatTheProgramCarried) {
    const std::wstring exe = MakeCopy(L"setup.exe", s_payload);
    const std::wstring attacker =
        MakeCopy(L"attacker.exe", BuildPayload({{"Quillmossdex.exe", "the attacker's client"},
                                                {"uninst.exe", "the attacker's uninstaller"},
                                                {"planted.txt", "planted"}}));
    ASSERT_FALSE(exe.empty());
    ASSERT_FALSE(attacker.empty());
    ASSERT_TRUE(Start(L"", exe));
    HWND hwnd = WaitForSetupWindow(Child().Handle(), Child().Pid(), 20000);
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));

    // Windows lets the file of a running program be renamed; the installer's
    // own handle on it, held without delete sharing, refuses that. Should
    // the rename pass all the same, another file at the name changes nothing
    // either: the payload is read through the handle opened at start.
    const std::wstring away = m_work / L"away.exe";
    if (MoveFileExW(exe.c_str(), away.c_str(), 0))
        ASSERT_TRUE(MoveFileExW(attacker.c_str(), exe.c_str(), 0));
    else
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());

    ClickAt(hwnd, L::kInstall.x, L::kInstall.y);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
    const std::wstring dir = DefaultInstallDir();
    EXPECT_EQ(ReadFileBytes(ProgramDir() + L"\\qm_fake_client.exe"),
              ReadFileBytes(dir + L"Quillmossdex.exe"));
    EXPECT_EQ("the uninstaller's place in the test payload", ReadFileBytes(dir + L"uninst.exe"));
    EXPECT_FALSE(FileExists(dir + L"planted.txt"));
}

TEST_F(PayloadApp, PayloadThatDoesNotMatchItsDigestIsRefusedWithItsMessage) {
    const std::string other = BuildPayload({{"Quillmossdex.exe", "the attacker's client"},
                                            {"uninst.exe", "the attacker's uninstaller"}});
    const std::wstring tampered =
        MakePayloadCopy(BuiltSetupPath(), m_work / L"tampered.exe", &other, &s_payload);
    ASSERT_FALSE(tampered.empty());
    ASSERT_TRUE(Start(L"", tampered));
    HWND hwnd = WaitForSetupWindow(Child().Handle(), Child().Pid(), 20000);
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
    ClickAt(hwnd, L::kInstall.x, L::kInstall.y);
    const std::wstring text = AnswerBox(IDOK, 30000);
    EXPECT_NE(std::wstring::npos, text.find(L"安装文件已损坏, 请重新下载安装程序。"))
        << Narrow(text);
    const std::wstring dir = DefaultInstallDir();
    EXPECT_FALSE(FileExists(dir + L"Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(dir + L"uninst.exe"));
    EXPECT_EQ("", ReadRecordValue("InstallLocation"));
}

} // namespace
} // namespace qmtest

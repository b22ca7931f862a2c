// Start-up and the start modes, end to end: the real installer started with
// the command lines a person, the product's updater or a deployment script use.
#include "installer/FrameUI.h"
#include "installer/Startup.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace qmtest;
namespace L = qmtest::layout;

TEST(StartupWords, PathWordsJoinWithSingleBlanks) {
    EXPECT_EQ("C:\\My Apps", JoinPathWords({"path", "C:\\My Apps"}));
    EXPECT_EQ(" C:\\My Apps", JoinPathWords({"path", "C:\\My", "Apps"}));
    EXPECT_EQ("", JoinPathWords({"path"}));
    EXPECT_TRUE(IsSilentStart({"path"}));
    EXPECT_FALSE(IsSilentStart({"Path", "C:\\x"}));
    EXPECT_FALSE(IsSilentStart({}));
}

using StartupApp = SetupTest;

// Until the process ends: whether it ever showed a window (message boxes
// included).
bool ShowedWindowUntilExit(ChildProcess& child, DWORD timeoutMs) {
    bool shown = false;
    WaitUntil(
        [&] {
            if (!ProcessWindows(child.Pid()).empty())
                shown = true;
            return !child.Running();
        },
        timeoutMs, 10);
    return shown;
}

TEST_F(StartupApp, SilentInstallGoesBelowTheGivenDirectoryWithoutAWindow) {
    const std::wstring parent = m_work / L"Some Dir";
    CreateDirectoryW(parent.c_str(), nullptr);
    const std::wstring target = parent + L"\\Quillmossdex\\";
    // The parent given as one quoted word, and split at its blank by the
    // command line.
    for (const std::wstring& words : {L"path " + Quote(parent), L"path " + parent}) {
        SCOPED_TRACE(Narrow(words));
        CleanMachine();
        RemoveTree(target.substr(0, target.size() - 1));
        ASSERT_TRUE(Start(words));
        EXPECT_FALSE(ShowedWindowUntilExit(Child(), 30000));
        ASSERT_FALSE(Child().Running());
        EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Child().ExitCode());
        EXPECT_TRUE(FileExists(target + L"Quillmossdex.exe"));
        EXPECT_TRUE(FileExists(target + L"res\\version.txt"));
        EXPECT_EQ(Narrow(target), ReadRecordValue("InstallLocation").c_str());
        EXPECT_EQ("1", ReadInstallWay());
        // Both shortcut options are preset; the client is never started.
        EXPECT_TRUE(FileExists(DesktopShortcut()));
        EXPECT_TRUE(FileExists(StartMenuShortcut()));
        EXPECT_FALSE(FileExists(target + L"started.txt"));
    }
}

TEST_F(StartupApp, SilentInstallOverARecordedInstallationIgnoresTheGivenDirectory) {
    const std::wstring recorded = m_work / L"recorded\\";
    WriteRecordedLocation(recorded);
    ASSERT_TRUE(Start(L"path " + Quote(m_work / L"elsewhere")));
    ASSERT_TRUE(WaitForExit(30000));
    EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Child().ExitCode());
    EXPECT_TRUE(FileExists(recorded + L"Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(m_work / L"elsewhere"));
}

TEST_F(StartupApp, SilentRunThatCannotInstallShowsWhyAndEndsWithItsCode) {
    const std::wstring damaged = MakeCopy(L"damaged.exe", "this is not a zip archive");
    ASSERT_FALSE(damaged.empty());
    const std::wstring skinless = MakeCopy(L"skinless.exe", s_payload);
    ASSERT_TRUE(ReplaceResource(skinless, L"ZIPRES", 103, "this is not a zip archive either"));
    const std::wstring target = L"path " + Quote(m_work / L"target");
    struct Case {
        std::wstring words;
        std::wstring exe;
        const wchar_t* message;
        UINT exitCode;
    } cases[] = {
        // "path" alone names no directory at all.
        {L"path", L"", L"路径不能为空, 请重新选择!", SETUP_EXIT_DIR_REJECTED},
        {L"path \\\\server\\share", L"",
         L"无法创建目录 : \"\\\\server\\share\\Quillmossdex\\\", 请重新选择正确的安装目录!",
         SETUP_EXIT_DIR_REJECTED},
        {L"path relative", L"",
         L"无法创建目录 : \"relative\\Quillmossdex\\\", 请重新选择正确的安装目录!",
         SETUP_EXIT_DIR_REJECTED},
        {target, damaged, L"解压文件失败!", SETUP_EXIT_INSTALL_FAILED + 1},
        {target, skinless, L"加载资源文件失败：skin.xml", SETUP_EXIT_SKIN_DAMAGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.message));
        ASSERT_TRUE(Start(c.words, c.exe));
        EXPECT_EQ(c.message, AnswerBox(IDOK));
        ASSERT_TRUE(WaitForExit(15000));
        EXPECT_EQ(static_cast<DWORD>(c.exitCode), Child().ExitCode());
    }
    EXPECT_FALSE(FileExists(m_work / L"target\\Quillmossdex\\Quillmossdex.exe"));
}

TEST_F(StartupApp, UpdateEndsTheGivenProcessAndInstallsOverTheRecordedLocation) {
    const std::wstring recorded = m_work / L"installed\\";
    WriteRecordedLocation(recorded);
    ChildProcess client;
    ASSERT_TRUE(client.Start(Quote(ProgramDir() + L"\\qm_sleeper.exe")));
    wchar_t pid[16];
    swprintf(pid, 16, L"%lu", client.Pid());

    HWND hwnd = StartAndWait(std::wstring(L"Update ") + pid);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_TRUE(client.Wait(10000));
    // No question: straight to the finish page, which waits for the user.
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000));
    EXPECT_TRUE(NoBoxFor(0));
    EXPECT_TRUE(FileExists(recorded + L"Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(DefaultInstallDir()));
    EXPECT_TRUE(Child().Running());
    ClickAt(hwnd, L::kSuccess.x, L::kSuccess.y);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, Child().ExitCode());
    EXPECT_TRUE(WaitUntil([&] { return FileExists(recorded + L"started.txt"); }, 15000));
}

TEST_F(StartupApp, ModeWordsAreExactOtherwiseTheWelcomePageWaits) {
    const std::wstring recorded = m_work / L"installed\\";
    WriteRecordedLocation(recorded);
    for (const std::wstring& words :
         {L"PATH " + Quote(m_work / L"x"), std::wstring(L"update 1"), std::wstring(L"Update")}) {
        SCOPED_TRACE(Narrow(words));
        HWND hwnd = StartAndWait(words);
        ASSERT_NE(nullptr, hwnd);
        // "Update" alone still installs over the recorded location.
        const int page = words == L"Update" ? 2 : 0;
        ASSERT_TRUE(WaitForPage(hwnd, page, 20000));
        if (page == 0) {
            // No lookup was made: installing asks no question.
            ClickAt(hwnd, L::kInstall.x, L::kInstall.y);
            ASSERT_TRUE(WaitForPage(hwnd, 2, 20000));
            EXPECT_TRUE(FileExists(DefaultInstallDir() + L"Quillmossdex.exe"));
        } else {
            EXPECT_TRUE(FileExists(recorded + L"Quillmossdex.exe"));
        }
        ClickAt(hwnd, L::kCloseBtn.x, L::kCloseBtn.y);
        ASSERT_TRUE(WaitForExit(15000));
        CleanMachine();
        WriteRecordedLocation(recorded);
    }
}

TEST_F(StartupApp, SecondInstallerIsRefusedWhileOneRuns) {
    HWND first = StartAndWait();
    ASSERT_NE(nullptr, first);
    std::unique_ptr<ChildProcess> running = std::move(m_setup);
    m_setup.reset(new ChildProcess());

    struct Case {
        const wchar_t* words;
        DWORD exitCode;
    } cases[] = {{L"", 0}, {L"path C:\\qmapp-refused", SETUP_EXIT_NOT_STARTED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.words));
        ASSERT_TRUE(Start(c.words));
        EXPECT_EQ(L"安装程序正在运行!", AnswerBox(IDOK));
        ASSERT_TRUE(WaitForExit(15000));
        EXPECT_EQ(c.exitCode, Child().ExitCode());
    }
    EXPECT_FALSE(FileExists(L"C:\\qmapp-refused"));
    // The first one is unaffected.
    EXPECT_TRUE(running->Running());
    EXPECT_TRUE(IsWindowVisible(first));
    ClickAt(first, L::kCloseBtn.x, L::kCloseBtn.y);
    EXPECT_TRUE(running->Wait(15000));
}

} // namespace

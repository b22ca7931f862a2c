// The main window, end to end: the real installer under Wine, driven with
// clicks and keys at the places where the skin puts its controls.
#include "installer/FrameUI.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace qmtest;
namespace L = qmtest::layout;

void Click(HWND hwnd, POINT pt) {
    ClickAt(hwnd, pt.x, pt.y);
}

bool WaitForHeight(HWND hwnd, int height) {
    return WaitUntil([&] { return WindowSize(hwnd).cy == height; }, 5000);
}

// The native edit that a click on the path opens, once it has the keyboard
// focus: it exists a moment before it takes the focus, and keys sent in that
// moment go to the window instead.
bool WaitForFocusedEdit(HWND hwnd) {
    return WaitUntil(
        [&] {
            HWND edit = FindWindowExW(hwnd, nullptr, nullptr, nullptr);
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            return edit != nullptr &&
                   GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) &&
                   info.hwndFocus == edit;
        },
        5000);
}

TEST(FrameUIDirectories, OnlyExistingDirectoriesInDriveLetterFormAreUsable) {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring win = windows;
    std::wstring slashed = win;
    slashed[2] = L'/';
    const struct Case {
        std::wstring dir;
        bool usable;
    } cases[] = {
        {win, true},
        {win + L"\\", true},
        {win.substr(0, 2), true}, // the drive root
        {slashed, false},
        {L"\\\\?\\" + win, false},
        {win.substr(3), false}, // relative
        {win + L"\\no-such-folder-qm", false},
        {win + L"\\win.ini", false}, // a file
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.usable, CFrameUI::IsUsableInstallDir(c.dir)) << Narrow(c.dir);
}

TEST(FrameUIDirectories, DirectoryTooLongForItsMessageIsShortenedInTheMiddle) {
    EXPECT_EQ(L"无法创建目录 : \"D:\\Apps\\\", 请重新选择正确的安装目录!",
              CFrameUI::CannotCreateMessage(L"D:\\Apps\\"));
    const std::wstring dir =
        L"C:\\" + std::wstring(300, L'a') + L"\\" + std::wstring(300, L'b') + L"\\";
    const std::wstring message = CFrameUI::CannotCreateMessage(dir);
    // It fits the 360-character buffer with its terminator.
    EXPECT_EQ(359u, message.size());
    EXPECT_EQ(0u, message.find(L"无法创建目录 : \"C:\\aaa"));
    EXPECT_NE(std::wstring::npos, message.find(L"a...b"));
    EXPECT_NE(std::wstring::npos, message.find(L"bbb\\\", 请重新选择正确的安装目录!"));
}

using FrameUIApp = SetupTest;

TEST_F(FrameUIApp, InstallsIntoDefaultDirectoryThroughAllThreePages) {
    const std::wstring dir = DefaultInstallDir();
    CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
    // While a file of the install directory is held, the move into place
    // fails and is retried until it is released, which keeps the progress
    // page on the screen for as long as the test needs it.
    HeldFile held(dir + L"uninst.exe", CREATE_ALWAYS);
    ASSERT_TRUE(held.Held());

    HWND hwnd = StartAndWait();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(560, WindowSize(hwnd).cx);
    EXPECT_EQ(420, WindowSize(hwnd).cy);

    Screenshot welcome;
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000, &welcome));
    welcome.SavePng(ArtifactPath(L"setup-welcome.png"));
    // The logo sits centred in the upper part, the install button below it.
    EXPECT_GT(CountTeal(welcome, L::kLogo), 300);
    EXPECT_EQ(0, CountTeal(welcome, RECT{124, 175, 435, 250}));
    EXPECT_GT(CountTeal(welcome, L::kInstallButton), 5000);

    // "custom" uncovers the options panel below and folds it away again.
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    EXPECT_EQ(560, WindowSize(hwnd).cx);
    // The panel is painted after the resize: its two selected shortcut check
    // boxes (teal) and the white directory field show that it really is on
    // the screen, not cut off by the window's region.
    Screenshot options;
    EXPECT_TRUE(WaitUntil(
        [&] {
            options = CaptureWindow(hwnd);
            return CountTeal(options, RECT{50, 510, 64, 525}) > 60 &&
                   CountTeal(options, RECT{180, 510, 194, 525}) > 60 &&
                   (options.At(380, 470) & 0xFFFFFF) == 0xFFFFFF;
        },
        5000))
        << "the options panel was not painted";
    options.SavePng(ArtifactPath(L"setup-options.png"));
    // Only the Start-menu shortcuts are wanted this time.
    Click(hwnd, L::kDesktopLnk);
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 420));

    Click(hwnd, L::kInstall);
    Screenshot progress;
    ASSERT_TRUE(WaitForPage(hwnd, 1, 20000, &progress));
    // Held at the move: the bar shows the unpacked share (70 of 100 for four
    // entries) and stops short of its right end.
    WaitUntil(
        [&] {
            progress = CaptureWindow(hwnd);
            return CountTeal(progress, L::kProgressFill) > 4 * 300;
        },
        5000);
    progress.SavePng(ArtifactPath(L"setup-progress.png"));
    EXPECT_GT(CountTeal(progress, L::kProgressFill), 4 * 300);
    EXPECT_EQ(0, CountTeal(progress, RECT{420, 351, 525, 355}));
    EXPECT_EQ(0, CountTeal(progress, RECT{35, 358, 525, 380}));
    EXPECT_GT(CountTeal(progress, L::kLogo), 300);

    held.Release();
    Screenshot finish;
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000, &finish));
    finish.SavePng(ArtifactPath(L"setup-finish.png"));
    EXPECT_GT(CountTeal(finish, L::kSuccessButton), 5000);

    // Everything is in place before the finish button is pressed.
    EXPECT_TRUE(FileExists(dir + L"Quillmossdex.exe"));
    EXPECT_TRUE(FileExists(dir + L"res\\version.txt"));
    EXPECT_EQ(Narrow(dir), ReadRecordValue("InstallLocation").c_str());
    EXPECT_FALSE(FileExists(DesktopShortcut()));
    EXPECT_TRUE(FileExists(StartMenuShortcut()));
    EXPECT_TRUE(FileExists(StartMenuUninstallShortcut()));

    Click(hwnd, L::kSuccess);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, m_setup->ExitCode());
    EXPECT_TRUE(WaitUntil([&] { return FileExists(dir + L"started.txt"); }, 15000));
    // A fresh install, recorded before the process ended.
    EXPECT_EQ("1", ReadInstallWay());
}

TEST_F(FrameUIApp, AgreementNotAcceptedShowsItsMessageAndNothingElse) {
    HWND hwnd = StartAndWait();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
    Click(hwnd, L::kAgree);
    Click(hwnd, L::kInstall);
    EXPECT_EQ(L"请同意《用户服务协议》!", AnswerBox(IDOK));
    EXPECT_TRUE(NoBoxFor(500));
    EXPECT_EQ(0, PageShown(CaptureWindow(hwnd)));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(DefaultInstallDir().c_str()));
    EXPECT_TRUE(m_setup->Running());

    // Accepted again, the same button installs.
    Click(hwnd, L::kAgree);
    Click(hwnd, L::kInstall);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000));
    EXPECT_TRUE(FileExists(DefaultInstallDir() + L"Quillmossdex.exe"));
}

TEST_F(FrameUIApp, RefusedDirectoriesShowTheirMessageAndKeepTheWelcomePage) {
    struct Case {
        const wchar_t* typed;
        const wchar_t* message;
    } cases[] = {
        {L"", L"路径不能为空, 请重新选择!"},
        {L"\\\\server\\share\\dir",
         L"无法创建目录 : \"\\\\server\\share\\dir\\\", 请重新选择正确的安装目录!"},
        {L"relative\\dir", L"无法创建目录 : \"relative\\dir\\\", 请重新选择正确的安装目录!"},
        // A forward slash right after the drive is refused even though the
        // directory can be made.
        {L"C:/qmapp-slash", L"无法创建目录 : \"C:/qmapp-slash\\\", 请重新选择正确的安装目录!"},
    };
    HWND hwnd = StartAndWait();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "typed: " << Narrow(c.typed));
        Click(hwnd, L::kCustom);
        ASSERT_TRUE(WaitForHeight(hwnd, 542));
        // A click opens the native edit with its whole text selected.
        Click(hwnd, L::kPathEdit);
        ASSERT_TRUE(WaitForFocusedEdit(hwnd));
        PressKey(VK_DELETE);
        TypeText(c.typed);
        Click(hwnd, L::kInstall);
        EXPECT_EQ(c.message, AnswerBox(IDOK));
        // The panel folds away whatever the outcome; "custom" stays selected,
        // so the next click on it only deselects it.
        EXPECT_TRUE(WaitForHeight(hwnd, 420));
        EXPECT_EQ(0, PageShown(CaptureWindow(hwnd)));
        Click(hwnd, L::kCustom);
        EXPECT_FALSE(WaitUntil([&] { return WindowSize(hwnd).cy != 420; }, 300));
    }
    EXPECT_TRUE(m_setup->Running());
    RemoveDirectoryW(L"C:\\qmapp-slash");
}

TEST_F(FrameUIApp, RecordedInstallationIsAskedAboutAndInstalledOver) {
    // Recorded without its trailing separator, as older records may be.
    const std::wstring recorded = m_work / L"Recorded Place";
    WriteRecordedLocation(recorded);
    HWND hwnd = StartAndWait();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));

    Click(hwnd, L::kInstall);
    EXPECT_EQ(L"您的电脑上已经安装青梧云端助手客户端, 是否覆盖重新安装?", AnswerBox(IDNO));
    EXPECT_TRUE(NoBoxFor(300));
    EXPECT_EQ(0, PageShown(CaptureWindow(hwnd)));
    EXPECT_FALSE(FileExists(recorded + L"\\res"));

    Click(hwnd, L::kInstall);
    EXPECT_EQ(L"您的电脑上已经安装青梧云端助手客户端, 是否覆盖重新安装?", AnswerBox(IDYES));
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000));
    EXPECT_TRUE(FileExists(recorded + L"\\Quillmossdex.exe"));
    EXPECT_TRUE(FileExists(recorded + L"\\res\\version.txt"));
    EXPECT_FALSE(FileExists(DefaultInstallDir()));
    EXPECT_EQ(Narrow(recorded + L"\\"), ReadRecordValue("InstallLocation").c_str());

    // The close button on the finish page ends without starting the client.
    Click(hwnd, L::kCloseBtn);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, m_setup->ExitCode());
    EXPECT_FALSE(FileExists(recorded + L"\\started.txt"));
}

TEST_F(FrameUIApp, EveryWayOfClosingEndsTheProcess) {
    enum How { CloseButton, AltF4, MinimiseThenTaskbarClose };
    for (How how : {CloseButton, AltF4, MinimiseThenTaskbarClose}) {
        SCOPED_TRACE(how);
        HWND hwnd = StartAndWait();
        ASSERT_NE(nullptr, hwnd);
        ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
        switch (how) {
        case CloseButton:
            Click(hwnd, L::kCloseBtn);
            break;
        case AltF4: {
            // Keys go to the active window: a click on the background makes
            // sure that is the installer.
            Click(hwnd, POINT{60, 60});
            PressKeyWith(VK_MENU, VK_F4);
            break;
        }
        case MinimiseThenTaskbarClose:
            Click(hwnd, L::kMinBtn);
            ASSERT_TRUE(WaitUntil([&] { return IsIconic(hwnd) != FALSE; }, 5000));
            // What the taskbar's close command sends.
            PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
        ASSERT_TRUE(WaitForExit(15000));
        EXPECT_EQ(0u, m_setup->ExitCode());
    }
}

TEST_F(FrameUIApp, CloseButtonDuringAnInstallAsksAndRollsBack) {
    const std::wstring dir = DefaultInstallDir();
    CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
    HeldFile held(dir + L"uninst.exe", CREATE_ALWAYS);
    ASSERT_TRUE(held.Held());
    HWND hwnd = StartAndWait();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
    Click(hwnd, L::kInstall);
    ASSERT_TRUE(WaitForPage(hwnd, 1, 20000));
    Click(hwnd, L::kCloseBtn);
    // The file stays held, so the install is still at the move when the
    // question comes; Yes stops it, and the last box says nothing changed.
    // Should the retries run out first, the failure's box says the same.
    std::wstring last;
    for (int i = 0; i < 3 && last.find(L"没有任何改变") == std::wstring::npos; ++i) {
        HWND box = WaitForProcessDialog(m_setup->Pid(), 15000);
        if (!box)
            break;
        last = MessageBoxText(box);
        const bool question = last.find(L"确定要停止安装吗") != std::wstring::npos;
        PressDialogButton(box, question ? IDYES : IDOK);
        WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
    }
    EXPECT_NE(std::wstring::npos, last.find(L"没有任何改变")) << Narrow(last);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, m_setup->ExitCode());
    EXPECT_TRUE(ReadInstallWay().empty());
    EXPECT_FALSE(FileExists(dir + L"Quillmossdex.exe"));
}

} // namespace

// The main window, end to end: the real installer under Wine, driven with
// clicks and keys at the places where the skin puts its controls.
#include "installer/FrameUI.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace qmtest;
namespace L = qmtest::layout;

// A file of the install directory held open without sharing: the move into
// place then fails and is retried until it is released, which keeps the
// progress page on the screen for as long as a test needs it.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path) {
        m_h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~HeldFile() { Release(); }
    bool Held() const { return m_h != INVALID_HANDLE_VALUE; }
    void Release() {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

void Click(HWND hwnd, POINT pt) {
    ClickAt(hwnd, pt.x, pt.y);
}

bool WaitForHeight(HWND hwnd, int height) {
    return WaitUntil([&] { return WindowSize(hwnd).cy == height; }, 5000);
}

using FrameUIApp = SetupTest;

TEST_F(FrameUIApp, InstallsIntoDefaultDirectoryThroughAllThreePages) {
    const std::wstring dir = DefaultInstallDir();
    CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
    HeldFile held(dir + L"uninst.exe");
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
    Screenshot options = CaptureWindow(hwnd);
    options.SavePng(ArtifactPath(L"setup-options.png"));
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
            return CountTeal(progress, RECT{35, 351, 525, 355}) > 4 * 300;
        },
        5000);
    progress.SavePng(ArtifactPath(L"setup-progress.png"));
    EXPECT_GT(CountTeal(progress, RECT{35, 351, 525, 355}), 4 * 300);
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
    EXPECT_TRUE(FileExists(DesktopShortcut()));
    EXPECT_TRUE(FileExists(StartMenuShortcut()));
    EXPECT_TRUE(FileExists(StartMenuUninstallShortcut()));

    Click(hwnd, L::kSuccess);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, m_setup.ExitCode());
    EXPECT_TRUE(WaitUntil([&] { return FileExists(dir + L"started.txt"); }, 15000));
    // A fresh install, recorded before the process ended.
    EXPECT_EQ("1", ReadInstallWay());
}

} // namespace

// The main window, end to end: the real installer under Wine, driven with
// clicks and keys at the places where the skin puts its controls.
#include "installer/app/FrameUI.h"
#include "installer/app/SilentInstall.h"
#include "installer/engine/InstallDir.h"
#include "installer/services/SetupLog.h"
#include "installer/services/TextConvert.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/MsaaClient.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestPayload.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

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

// The window's texts as a screen reader reads them: the first line whose text
// starts with prefix (empty when none does).
std::wstring LineStartingWith(HWND hwnd, const std::wstring& prefix) {
    MsaaClient client(hwnd);
    return FindStartingWith(client, prefix).name;
}

bool HasLine(HWND hwnd, const std::wstring& text) {
    return WaitUntil([&] { return LineStartingWith(hwnd, text) == text; }, 5000);
}

// A drive letter that names no drive on this machine.
std::wstring MissingDrive() {
    const DWORD drives = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter)
        if ((drives & (1u << (letter - L'A'))) == 0)
            return std::wstring(1, letter) + L":";
    return L"";
}

std::wstring WithoutSlash(std::wstring dir) {
    while (dir.size() > 3 && dir.back() == L'\\')
        dir.pop_back();
    return dir;
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
              CannotCreateMessage(L"D:\\Apps\\"));
    const std::wstring dir =
        L"C:\\" + std::wstring(300, L'a') + L"\\" + std::wstring(300, L'b') + L"\\";
    const std::wstring message = CannotCreateMessage(dir);
    // It fits the 360-character buffer with its terminator.
    EXPECT_EQ(359u, message.size());
    EXPECT_EQ(0u, message.find(L"无法创建目录 : \"C:\\aaa"));
    EXPECT_NE(std::wstring::npos, message.find(L"a...b"));
    EXPECT_NE(std::wstring::npos, message.find(L"bbb\\\", 请重新选择正确的安装目录!"));
}

TEST(FrameUIDirectories, SizesAreRoundedUpInTheUnitThatFits) {
    const struct Case {
        uint64_t bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 KB"},
        {1, L"1 KB"},
        {1024, L"1 KB"},
        {1025, L"2 KB"},
        {1024 * 1024 - 1, L"1024 KB"},
        {1024 * 1024, L"1.0 MB"},
        {1024 * 1024 + 1, L"1.1 MB"},
        {12u * 1024 * 1024 + 300 * 1024, L"12.3 MB"},
        {1024ull * 1024 * 1024, L"1.0 GB"},
        {45ull * 1024 * 1024 * 1024 + 600ull * 1024 * 1024, L"45.6 GB"},
        {UINT64_MAX, L"17179869184.0 GB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, SizeText(c.bytes)) << c.bytes;
}

// The reasons that need a drive or a user this machine cannot provide: Wine
// has no access control lists and runs every program elevated, and it has no
// removable drive without a medium, so these come from the error codes the
// system gives for them.
TEST(FrameUIDirectories, ErrorsOfTheFailedLevelBecomeTheirReason) {
    const struct Case {
        DWORD error;
        const wchar_t* reason;
    } cases[] = {
        {ERROR_ACCESS_DENIED, L"没有在此位置创建文件夹的权限, 请选择其他位置。"},
        {ERROR_WRITE_PROTECT, L"没有在此位置创建文件夹的权限, 请选择其他位置。"},
        {ERROR_NOT_READY, L"驱动器 C: 未就绪, 请插入磁盘或选择其他驱动器。"},
        {ERROR_INVALID_NAME, L"路径中含有 Windows 不允许的名称, 请换一个文件夹名称。"},
        {ERROR_DISK_FULL, L"磁盘空间不足, 请选择其他驱动器。"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.reason, RefusalReason(L"C:\\qm-no-such-place\\Quillmossdex\\", c.error))
            << c.error;
    // Anything else is said in the system's words, with its number.
    EXPECT_EQ(
        0u, RefusalReason(L"C:\\qm-no-such-place\\", ERROR_SHARING_VIOLATION).find(L"系统错误 32"));
}

TEST(FrameUIDirectories, APickedFolderGetsTheProductFolderUnlessItIsIt) {
    const struct Case {
        const wchar_t* picked;
        const wchar_t* dir;
    } cases[] = {
        {L"C:\\Program Files", L"C:\\Program Files\\Quillmossdex\\"},
        {L"D:\\", L"D:\\Quillmossdex\\"},
        {L"D:\\Apps\\quillmossdex", L"D:\\Apps\\quillmossdex\\"},
        {L"D:\\Apps\\Quillmossdex\\", L"D:\\Apps\\Quillmossdex\\"},
        {L"D:\\Quillmossdex2", L"D:\\Quillmossdex2\\Quillmossdex\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.dir, WithProductFolder(c.picked)) << Narrow(c.picked);
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
    EXPECT_TRUE(CaptureUntil(
        hwnd, &options,
        [&] {
            return CountTeal(options, RECT{50, 510, 64, 525}) > 60 &&
                   CountTeal(options, RECT{180, 510, 194, 525}) > 60 &&
                   (options.At(380, 470) & 0xFFFFFF) == 0xFFFFFF;
        },
        5000))
        << "the options panel was not painted";
    options.SavePng(ArtifactPath(L"setup-options.png"));
    // The space line: what the product needs and what the drive has.
    std::wstring space;
    EXPECT_TRUE(WaitUntil(
        [&] {
            space = LineStartingWith(hwnd, L"所需空间: ");
            return space.find(L"可用空间: ") != std::wstring::npos;
        },
        5000))
        << Narrow(space);
    EXPECT_EQ(std::wstring::npos, space.find(L"未知")) << Narrow(space);
    // The payload's entries as they will be on disk (MakeTestPayload).
    const uint64_t needed = ReadFileBytes(ProgramDir() + L"\\qm_fake_client.exe").size() +
                            strlen("the uninstaller's place in the test payload") +
                            strlen("version=1.0.67\r\n");
    EXPECT_EQ(0u, space.find(L"所需空间: " + SizeText(needed))) << Narrow(space);
    EXPECT_EQ(std::wstring::npos, space.find(L"空间不足")) << Narrow(space);
    // Only the Start-menu shortcuts are wanted this time.
    Click(hwnd, L::kDesktopLnk);
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 420));

    Click(hwnd, L::kInstall);
    Screenshot progress;
    ASSERT_TRUE(WaitForPage(hwnd, 1, 20000, &progress));
    // Held at the move: the bar shows the unpacked share (70 of 100 for four
    // entries) and stops short of its right end.
    CaptureUntil(
        hwnd, &progress, [&] { return CountTeal(progress, L::kProgressFill) > 4 * 300; }, 5000);
    progress.SavePng(ArtifactPath(L"setup-progress.png"));
    // The page says how far it is and what it does: the last entry of four
    // is written, the move is still to come.
    EXPECT_TRUE(HasLine(hwnd, L"70%"));
    EXPECT_TRUE(HasLine(hwnd, L"正在写入文件..."));
    EXPECT_GT(CountTeal(progress, L::kProgressFill), 4 * 300);
    EXPECT_EQ(0, CountTeal(progress, RECT{420, 351, 525, 355}));
    EXPECT_EQ(0, CountTeal(progress, RECT{35, 358, 525, 380}));
    EXPECT_GT(CountTeal(progress, L::kLogo), 300);

    held.Release();
    Screenshot finish;
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000, &finish));
    finish.SavePng(ArtifactPath(L"setup-finish.png"));
    EXPECT_GT(CountTeal(finish, L::kSuccessButton), 5000);
    // What happened and where.
    EXPECT_TRUE(HasLine(hwnd, L"安装完成"));
    EXPECT_TRUE(HasLine(hwnd, L"安装位置: " + WithoutSlash(dir)));

    // Everything is in place before the finish button is pressed.
    EXPECT_TRUE(FileExists(dir + L"Quillmossdex.exe"));
    EXPECT_TRUE(FileExists(dir + L"res\\version.txt"));
    EXPECT_EQ(Narrow(dir), ReadRecordValue("InstallLocation").c_str());
    EXPECT_FALSE(FileExists(DesktopShortcut()));
    EXPECT_TRUE(FileExists(StartMenuShortcut()));
    EXPECT_TRUE(FileExists(StartMenuUninstallShortcut()));
    // For all users only: nothing in the installing user's own folders.
    EXPECT_FALSE(FileExists(UserProgramsFolder() + L"\\青梧云端助手"));

    Click(hwnd, L::kSuccess);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, m_setup->ExitCode());
    EXPECT_TRUE(WaitUntil([&] { return FileExists(dir + L"started.txt"); }, 15000));
    // A fresh install, recorded before the process ended.
    EXPECT_EQ("1", ReadInstallWay());
}

TEST_F(FrameUIApp, AgreementNotAcceptedShowsItsMessageAndNothingElse) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
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

TEST_F(FrameUIApp, RefusedDirectoriesShowTheirMessageWithTheReasonAndKeepTheWelcomePage) {
    const std::wstring drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    const std::wstring file = m_work / L"a-file";
    WriteFileBytes(file, "not a folder");
    const std::wstring notLocal =
        L"\n请填写以盘符和 \\ 开头的本地完整路径, 例如 C:\\Program Files\\。";
    auto first = [](const std::wstring& dir) {
        return L"无法创建目录 : \"" + dir + L"\", 请重新选择正确的安装目录!";
    };
    struct Case {
        std::wstring typed;
        std::wstring message;
    } cases[] = {
        {L"", L"路径不能为空, 请重新选择!"},
        {L"\\\\server\\share\\dir", first(L"\\\\server\\share\\dir\\") + notLocal},
        {L"relative\\dir", first(L"relative\\dir\\") + notLocal},
        // A forward slash right after the drive is refused even though the
        // directory can be made.
        {L"C:/qmapp-slash", first(L"C:/qmapp-slash\\") + notLocal},
        {drive + L"\\Apps",
         first(drive + L"\\Apps\\") + L"\n驱动器 " + drive + L" 不存在, 请选择其他驱动器。"},
        {L"C:\\qm|app",
         first(L"C:\\qm|app\\") +
             L"\n路径中含有 Windows 不允许的字符 \"|\", 文件夹名称不能包含 \\ / : * ? \" < > |。"},
        {file + L"\\sub",
         first(file + L"\\sub\\") + L"\n\"" + file + L"\" 是一个文件, 不是文件夹。"},
    };
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "typed: " << Narrow(c.typed));
        // One click opens the panel every time: a refusal folded it and put
        // its arrow back to closed.
        Click(hwnd, L::kCustom);
        ASSERT_TRUE(WaitForHeight(hwnd, 542));
        // A click opens the native edit with its whole text selected.
        Click(hwnd, L::kPathEdit);
        ASSERT_TRUE(WaitForFocusedEdit(hwnd));
        PressKey(VK_DELETE);
        TypeText(c.typed);
        Click(hwnd, L::kInstall);
        EXPECT_EQ(c.message, AnswerBox(IDOK));
        EXPECT_TRUE(WaitForHeight(hwnd, 420));
        // The window repaints once the box has gone: a bounded wait for it.
        EXPECT_TRUE(WaitUntil([&] { return PageShown(CaptureWindow(hwnd)) == 0; }, 5000));
    }
    EXPECT_TRUE(m_setup->Running());
    EXPECT_FALSE(FileExists(L"C:\\qmapp-slash"));
    EXPECT_TRUE(FileExists(file));
}

TEST_F(FrameUIApp, ADriveWithoutEnoughSpaceIsRefusedBeforeAnythingIsMadeInWindowAndSilentRuns) {
    // A payload whose directory states 4096 entries of almost 4 GiB each:
    // more than any drive of a test machine holds, and nothing is ever
    // unpacked to find out.
    std::vector<ZipEntry> entries(4096);
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].name = "big" + std::to_string(i) + ".bin";
        entries[i].data = "x";
        entries[i].declaredSize = 0xFFFFFFF0;
    }
    const uint64_t needed = 4096ull * 0xFFFFFFF0;
    ULARGE_INTEGER free = {};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &free, nullptr, nullptr));
    ASSERT_LT(free.QuadPart, needed);
    const std::wstring exe = MakeCopy(L"big.exe", BuildPayload(entries));
    ASSERT_FALSE(exe.empty());
    const std::wstring dir = DefaultInstallDir();

    ASSERT_TRUE(Start(L"", exe));
    HWND hwnd = WaitForSetupWindow(Child().Handle(), Child().Pid(), 15000);
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    std::wstring space;
    EXPECT_TRUE(WaitUntil(
        [&] {
            space = LineStartingWith(hwnd, L"所需空间: ");
            return space.find(L"(空间不足)") != std::wstring::npos;
        },
        5000))
        << Narrow(space);
    EXPECT_EQ(0u, space.find(L"所需空间: " + SizeText(needed))) << Narrow(space);
    CaptureWindow(hwnd).SavePng(ArtifactPath(L"setup-no-space.png"));

    Click(hwnd, L::kInstall);
    const std::wstring message = AnswerBox(IDOK);
    EXPECT_EQ(0u, message.find(L"无法创建目录 : \"" + dir +
                               L"\", 请重新选择正确的安装目录!\n"
                               L"磁盘空间不足: 安装需要 " +
                               SizeText(needed) + L", 驱动器 C: 只有 "))
        << Narrow(message);
    EXPECT_NE(std::wstring::npos, message.find(L"还差 ")) << Narrow(message);
    EXPECT_FALSE(FileExists(dir));
    EXPECT_EQ(0, PageShown(CaptureWindow(hwnd)));

    // A drive that does not exist has no free space to tell.
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    ASSERT_TRUE(TypeIntoField(hwnd, MissingDrive() + L"\\Apps"));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return LineStartingWith(hwnd, L"所需空间: ").find(L"可用空间: 未知") !=
                   std::wstring::npos;
        },
        5000));
    Child().Kill();

    // Silent: the same refusal, in the log, with exit code 2.
    const std::wstring log = m_work / L"silent.log";
    ASSERT_TRUE(Start(L"/S " + Quote(L"/LOG=" + log), exe));
    ASSERT_TRUE(WaitForExit(30000));
    EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_DIR_REJECTED), Child().ExitCode());
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find(ToNarrow(L"磁盘空间不足: 安装需要 "))) << text;
    EXPECT_FALSE(FileExists(dir));
}

// The name field of the system's folder picker.
constexpr int kPickerName = 1152;

TEST_F(FrameUIApp, ThePickerStartsAtTheFieldsFolderAndAppendsTheProductFolder) {
    const std::wstring apps = m_work / L"apps";
    const std::wstring product = m_work / L"Quillmossdex";
    CreateDirectoryW(apps.c_str(), nullptr);
    CreateDirectoryW(product.c_str(), nullptr);
    const struct Case {
        std::wstring typed;
        std::wstring field;
    } cases[] = {
        // Opened at the nearest folder that exists; chosen as it is, it gets
        // the product's folder below it.
        {apps + L"\\not-yet\\deeper", apps + L"\\Quillmossdex\\"},
        // Already the product's folder: kept as it is.
        {product, product + L"\\"},
    };
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.typed));
        ASSERT_TRUE(TypeIntoField(hwnd, c.typed));
        Click(hwnd, L::kBrowse);
        HWND picker = WaitForProcessDialog(Child().Pid(), 15000);
        ASSERT_NE(nullptr, picker);
        // The folder it opened at, chosen by the name "." typed relative to
        // it: Wine's picker takes nothing when Open is pressed with the name
        // empty, where Windows takes the folder shown.
        ASSERT_TRUE(WaitUntil([&] { return GetDlgItem(picker, kPickerName) != nullptr; }, 5000));
        SetDlgItemTextW(picker, kPickerName, L".");
        PressDialogButton(picker, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(picker) || !IsWindowVisible(picker); }, 5000));
        EXPECT_TRUE(WaitUntil([&] { return FieldText(hwnd) == c.field; }, 5000))
            << Narrow(FieldText(hwnd));
    }
    EXPECT_FALSE(FileExists(apps + L"\\Quillmossdex"));
}

TEST_F(FrameUIApp, EveryAreaWithoutAControlMovesTheWindow) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    const struct Case {
        POINT pt;
        LRESULT hit;
    } cases[] = {
        {{60, 60}, HTCAPTION},   // the upper part
        {{60, 300}, HTCAPTION},  // beside the install button
        {{300, 380}, HTCAPTION}, // between the button and the agreement line
        {{20, 500}, HTCAPTION},  // the options panel's margin
        {{300, 440}, HTCAPTION}, // the space line
        {{280, 314}, HTCLIENT},  // the install button
        {{226, 470}, HTCLIENT},  // the directory field
        {{487, 470}, HTCLIENT},  // "浏览"
        {{510, 405}, HTCLIENT},  // "自定义安装"
        {{542, 16}, HTCLIENT},   // the close button
    };
    for (const Case& c : cases) {
        POINT screen = c.pt;
        ClientToScreen(hwnd, &screen);
        EXPECT_EQ(c.hit, SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)))
            << c.pt.x << "," << c.pt.y;
    }
}

TEST_F(FrameUIApp, RecordedInstallationIsAskedAboutAndInstalledOver) {
    // Recorded without its trailing separator, as older records may be.
    const std::wstring recorded = m_work / L"Recorded Place";
    WriteRecordedLocation(recorded);
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    // The field shows where the install will go from the start.
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    EXPECT_EQ(recorded + L"\\", FieldText(hwnd));

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

TEST_F(FrameUIApp, AFolderTypedOverTheRecordedOneIsWhereTheInstallGoes) {
    const std::wstring recorded = m_work / L"Recorded Place";
    const std::wstring other = m_work / L"Other Place";
    WriteRecordedLocation(recorded);
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    ASSERT_EQ(recorded + L"\\", FieldText(hwnd));
    ASSERT_TRUE(TypeIntoField(hwnd, other));
    Click(hwnd, L::kInstall);
    EXPECT_EQ(L"您的电脑上已经安装青梧云端助手客户端, 是否覆盖重新安装?", AnswerBox(IDYES));
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000));
    EXPECT_TRUE(HasLine(hwnd, L"安装位置: " + other));
    EXPECT_TRUE(FileExists(other + L"\\Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(recorded + L"\\res"));
    Click(hwnd, L::kCloseBtn);
    ASSERT_TRUE(WaitForExit(15000));
}

// Enter in the folder field does what a person expects of it: it starts the
// install into the folder typed, through the same checks as the button.
TEST_F(FrameUIApp, EnterInTheFolderFieldStartsTheInstall) {
    const std::wstring dir = m_work / L"Typed Place";
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    // A refused folder first: its box, and the welcome page stays.
    ASSERT_TRUE(TypeIntoField(hwnd, L"relative\\dir"));
    PressKey(VK_RETURN);
    EXPECT_EQ(0u, AnswerBox(IDOK).find(L"无法创建目录 : \"relative\\dir\\\""));
    EXPECT_TRUE(WaitUntil([&] { return PageShown(CaptureWindow(hwnd)) == 0; }, 5000));
    Click(hwnd, L::kCustom);
    ASSERT_TRUE(WaitForHeight(hwnd, 542));
    ASSERT_TRUE(TypeIntoField(hwnd, dir));
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000));
    EXPECT_TRUE(FileExists(dir + L"\\Quillmossdex.exe"));
    // The finish page names the version installed.
    EXPECT_TRUE(HasLine(hwnd, L"版本: 1.0.67"));
    Click(hwnd, L::kCloseBtn);
    ASSERT_TRUE(WaitForExit(15000));
}

TEST_F(FrameUIApp, EveryWayOfClosingEndsTheProcess) {
    enum How { CloseButton, AltF4, MinimiseThenTaskbarClose };
    for (How how : {CloseButton, AltF4, MinimiseThenTaskbarClose}) {
        SCOPED_TRACE(how);
        HWND hwnd = StartOnWelcomePage();
        ASSERT_NE(nullptr, hwnd);
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
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
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

// What keeps the files from being moved into an install folder, however
// often the move is tried: a file of the product that another program holds
// open, and a file where the product has a folder. The box (and a silent
// run's log) names the file and the system's words under the step's text.
struct WriteFailure {
    const wchar_t* name;
    // Held open by another program; else a file where a folder goes.
    bool held;
    DWORD error;
};
const WriteFailure kWriteFailures[] = {
    {L"uninst.exe", true, ERROR_SHARING_VIOLATION},
    {L"res", false, ERROR_ALREADY_EXISTS},
};

// The failure's place made in dir (which exists); the holder keeps a held
// file open until it goes.
std::unique_ptr<HeldFile> PlaceFailure(const std::wstring& dir, const WriteFailure& c) {
    if (!c.held) {
        EXPECT_TRUE(WriteFileBytes(dir + c.name, "a file where the product has a folder"));
        return nullptr;
    }
    auto held = std::make_unique<HeldFile>(dir + c.name, CREATE_ALWAYS);
    EXPECT_TRUE(held->Held());
    return held;
}

std::wstring FailureBoxText(const std::wstring& dir, const WriteFailure& c) {
    return L"拷贝文件失败!\n" + dir + c.name + L": " + SystemErrorText(c.error) +
           L"\n所做的更改已全部撤销, 您电脑上的内容没有任何改变。";
}

TEST_F(FrameUIApp, AFailureWhileWritingSaysWhereAndWhyAndWhatWasPutBack) {
    const std::wstring dir = DefaultInstallDir();
    for (const WriteFailure& c : kWriteFailures) {
        SCOPED_TRACE(Narrow(c.name));
        CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
        std::unique_ptr<HeldFile> held = PlaceFailure(dir, c);
        const std::map<std::wstring, std::string> before = ReadTree(dir);
        HWND hwnd = StartOnWelcomePage();
        ASSERT_NE(nullptr, hwnd);
        Click(hwnd, L::kInstall);
        ASSERT_TRUE(WaitForPage(hwnd, 1, 20000));
        HWND box = WaitForProcessDialog(m_setup->Pid(), 30000);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(FailureBoxText(dir, c), MessageBoxText(box));
        // Behind the box the page names what was done last: putting things
        // back, not the step that failed.
        EXPECT_TRUE(HasLine(hwnd, L"正在撤销更改, 恢复原来的状态..."));
        PressDialogButton(box, IDOK);
        ASSERT_TRUE(WaitForExit(15000));
        EXPECT_EQ(0u, m_setup->ExitCode());
        if (held)
            held->Release();
        EXPECT_EQ(before, ReadTree(dir));
        EXPECT_TRUE(RemoveTree(dir));
        m_setup.reset(new ChildProcess());
    }
}

TEST_F(FrameUIApp, ASilentFailureWhileWritingLogsWhereAndWhyAndWhatWasPutBack) {
    for (const WriteFailure& c : kWriteFailures) {
        SCOPED_TRACE(Narrow(c.name));
        const std::wstring parent = m_work / (std::wstring(L"apps-") + c.name);
        const std::wstring dir = parent + L"\\Quillmossdex\\";
        CreateDirectoryW(parent.c_str(), nullptr);
        CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
        std::unique_ptr<HeldFile> held = PlaceFailure(dir, c);
        const std::map<std::wstring, std::string> before = ReadTree(dir);
        const std::wstring log = parent + L".log";
        ASSERT_TRUE(Start(L"/S /LOG=" + Quote(log) + L" /D=" + parent));
        ASSERT_TRUE(WaitForExit(60000));
        EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALL_FAILED) + INSTALL_ERR_COPY,
                  m_setup->ExitCode());
        if (held)
            held->Release();
        EXPECT_EQ(before, ReadTree(dir));
        // The log keeps each box on one line.
        std::wstring said = FailureBoxText(dir, c);
        for (wchar_t& ch : said)
            if (ch == L'\n')
                ch = L' ';
        const std::wstring text = ReadLogText(log);
        EXPECT_NE(std::wstring::npos, text.find(L"message: " + said)) << Narrow(text);
        m_setup.reset(new ChildProcess());
    }
}

} // namespace

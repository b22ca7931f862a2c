// One judge for every install folder, however it comes: typed into the field,
// picked, given as /D= or after "path". Each case runs the real installer
// silently (exit code and the reason in the log) and, where a person could
// type it, in the window (the reason on the box's second line).
#include "installer/app/SilentInstall.h"
#include "installer/services/SystemFolders.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <vector>

namespace {

using namespace qmtest;
namespace L = qmtest::layout;

const wchar_t kSystemFolder[] = L"这是 Windows 的系统文件夹, 不能安装到其中";
const wchar_t kTrimmedName[] = L"路径中有以点或空格结尾的名称";
const wchar_t kShellFolder[] = L"这是桌面、文档、开始菜单或下载等个人文件夹";
const wchar_t kSharedFolder[] = L"这是系统或多个程序共用的文件夹";
const wchar_t kDriveRoot[] = L"不能直接安装到驱动器的根目录";
const wchar_t kNotWritable[] = L"无法在此文件夹中写入文件";
const wchar_t kCannotCreate[] = L"没有在此位置创建文件夹的权限";
const wchar_t kLink[] = L"是一个链接或挂载点, 不能安装到其中";

std::wstring ShortName(const std::wstring& path) {
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(path.c_str(), buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buf) : std::wstring();
}

// Under Wine (as root, whom no Unix mode stops) a folder nobody may write is
// an immutable one; chattr is started from the Unix side and cannot be
// waited on, so the effect is looked for. False where that cannot be done.
bool SetImmutable(const std::wstring& dir, bool on) {
    const std::string unix = UnixPath(dir);
    if (unix.empty())
        return false;
    const std::string cmd = std::string("Z:\\usr\\bin\\chattr ") + (on ? "+i " : "-i ") + unix;
    ChildProcess chattr;
    if (!chattr.Start(std::wstring(cmd.begin(), cmd.end())))
        return false;
    const std::wstring probe = dir + L"\\probe.txt";
    return WaitUntil(
        [&] {
            HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (h == INVALID_HANDLE_VALUE)
                return on;
            CloseHandle(h);
            return !on;
        },
        5000);
}

class InstallDirApp : public SetupTest {};

TEST_F(InstallDirApp, EveryFolderIsJudgedByOneRuleInSilentRunsAndInTheWindow) {
    const std::wstring readOnly = m_work / L"read-only";
    ASSERT_TRUE(CreateDirectoryW(readOnly.c_str(), nullptr));
    const bool haveReadOnly = SetImmutable(readOnly, true);
    // Undone however the case ends: the work folder must go.
    struct Undo {
        std::wstring readOnly, linked;
        ~Undo() {
            SetImmutable(readOnly, false);
            RemoveUnixSymlink(linked);
        }
    } undo{readOnly, m_work / L"linked"};
    const std::wstring file = m_work / L"a-file";
    ASSERT_TRUE(WriteFileBytes(file, "not a folder"));
    const std::wstring linked = m_work / L"linked";
    const std::wstring real = m_work / L"real";
    ASSERT_TRUE(CreateDirectoryW(real.c_str(), nullptr));
    ASSERT_TRUE(MakeUnixSymlink(linked, UnixPath(real).c_str()));
    const std::wstring windows = KnownFolderPath(FOLDERID_Windows);
    const std::wstring system32 = windows + L"\\system32";
    const std::wstring longFolder = m_work / std::wstring(240, L'x');
    // Wine makes its 8.3 names from a hash: asked for, not spelled here.
    const std::wstring shortSystem = ShortName(windows + L"\\globalization");
    const std::wstring shortProgramFiles = ShortName(ProgramFilesForProduct());
    const std::wstring publicDesktop = KnownFolderPath(FOLDERID_PublicDesktop);

    struct Case {
        const char* name;
        // What a person types (empty: a silent run only), and the parent a
        // silent run gets (empty: the window only).
        std::wstring typed;
        std::wstring parent;
        // Either reason will do: Windows trims a trailing dot from the last
        // component only, Wine from every one.
        std::vector<std::wstring> windowReasons;
        std::vector<std::wstring> silentReasons;
        bool needsReadOnly = false;
    } cases[] = {
        {"the drive root", L"C:\\", L"", {kDriveRoot}, {}},
        {"the Windows folder", windows, windows, {kSystemFolder}, {kSystemFolder}},
        {"the system folder", system32, system32, {kSystemFolder}, {kSystemFolder}},
        {"the system folder in other case, with a separator",
         L"c:\\WINDOWS\\System32\\",
         L"c:\\WINDOWS\\System32\\",
         {kSystemFolder},
         {kSystemFolder}},
        {"the system folder reached with ..",
         m_work / L"..\\..\\..\\..\\..\\..\\..\\..\\..\\windows\\system32",
         m_work / L"..\\..\\..\\..\\..\\..\\..\\..\\..\\windows\\system32",
         {kSystemFolder},
         {kSystemFolder}},
        {"the system folder with forward slashes",
         L"C:\\windows/system32",
         L"C:\\windows/system32",
         {kSystemFolder},
         {kSystemFolder}},
        {"the system folder with a trailing dot",
         system32 + L".",
         system32 + L".",
         {kSystemFolder, kTrimmedName},
         {kSystemFolder, kTrimmedName}},
        {"the system folder with trailing dots and blanks",
         system32 + L" . ",
         system32 + L" . ",
         {kSystemFolder, kTrimmedName},
         {kSystemFolder, kTrimmedName}},
        {"a system folder by its 8.3 name",
         shortSystem,
         shortSystem,
         {kSystemFolder},
         {kSystemFolder}},
        {"the program files folder itself by its 8.3 name",
         shortProgramFiles,
         L"",
         {kSharedFolder},
         {}},
        {"every user's desktop", publicDesktop, publicDesktop, {kShellFolder}, {kShellFolder}},
        {"a folder nobody may write", readOnly, readOnly, {kNotWritable}, {kCannotCreate}, true},
        {"a file in the way",
         file + L"\\sub",
         file,
         {L"\"" + file + L"\" 是一个文件, 不是文件夹。"},
         {L"\"" + file + L"\" 是一个文件, 不是文件夹。"}},
        {"a link among the levels",
         linked,
         linked,
         {L"\"" + linked + L"\" " + kLink},
         {L"\"" + linked + L"\" " + kLink}},
        {"a path too long for what it would hold",
         longFolder,
         longFolder,
         {L"安装路径太长, 超出了 "},
         {L"安装路径太长, 超出了 "}},
    };
    ASSERT_FALSE(shortSystem.empty());
    ASSERT_NE(shortSystem, windows + L"\\globalization");
    // The reason is the box's second line; a path too long has only one.
    auto matches = [](const std::wstring& message, const std::vector<std::wstring>& reasons) {
        const size_t newline = message.find(L'\n');
        const std::wstring line =
            newline == std::wstring::npos ? message : message.substr(newline + 1);
        for (const std::wstring& reason : reasons)
            if (line.compare(0, reason.size(), reason) == 0)
                return true;
        return false;
    };

    // Silent: exit code 2, the box's text in the log, nothing made.
    int run = 0;
    for (const Case& c : cases) {
        if (c.parent.empty() || (c.needsReadOnly && !haveReadOnly))
            continue;
        SCOPED_TRACE(testing::Message() << c.name << ": /D=" << Narrow(c.parent));
        const std::wstring log = m_work / (L"run" + std::to_wstring(++run) + L".log");
        ASSERT_TRUE(Start(Quote(L"/LOG=" + log) + L" /S /D=" + c.parent));
        ASSERT_TRUE(WaitForExit(60000));
        EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_DIR_REJECTED), Child().ExitCode());
        const std::wstring text = ReadLog(log);
        // The box's text is logged as one line: its second line after a blank.
        EXPECT_NE(std::wstring::npos, text.find(L"message: ")) << Narrow(text);
        bool found = false;
        for (const std::wstring& reason : c.silentReasons)
            found = found || text.find(reason) != std::wstring::npos;
        EXPECT_TRUE(found) << Narrow(text);
        EXPECT_NE(std::wstring::npos, text.find(L"exit code 2")) << Narrow(text);
        EXPECT_FALSE(FileExists(system32 + L"\\Quillmossdex"));
        EXPECT_FALSE(FileExists(publicDesktop + L"\\Quillmossdex"));
        EXPECT_FALSE(FileExists(real + L"\\Quillmossdex"));
    }

    // The window: the box's second line, then the welcome page again.
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    for (const Case& c : cases) {
        if (c.typed.empty() || (c.needsReadOnly && !haveReadOnly))
            continue;
        SCOPED_TRACE(testing::Message() << c.name << ": typed " << Narrow(c.typed));
        // A refusal folds the options panel; one click opens it again.
        ClickAt(hwnd, L::kCustom.x, L::kCustom.y);
        ASSERT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == 542; }, 5000));
        // Keys sent while a loaded machine has not yet given the opened edit
        // the keyboard are lost; the person types again.
        bool typed = false;
        for (int attempt = 0; attempt < 3 && !typed; ++attempt)
            typed = TypeIntoField(hwnd, c.typed);
        ASSERT_TRUE(typed) << Narrow(FieldText(hwnd));
        ClickAt(hwnd, L::kInstall.x, L::kInstall.y);
        const std::wstring message = AnswerBox(IDOK);
        EXPECT_TRUE(matches(message, c.windowReasons)) << Narrow(message);
        EXPECT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == 420; }, 5000));
        EXPECT_TRUE(WaitUntil([&] { return PageShown(CaptureWindow(hwnd)) == 0; }, 5000));
    }
    EXPECT_TRUE(Child().Running());
    Child().Kill();
    EXPECT_FALSE(FileExists(readOnly + L"\\Quillmossdex"));
    EXPECT_TRUE(FileExists(file));
}

// What stays working: a new folder straight below a drive root, which only
// administrators can take away there.
TEST_F(InstallDirApp, ANewFolderBelowADriveRootIsInstalledInto) {
    const std::wstring product = L"C:\\Quillmossdex\\";
    RemoveTree(L"C:\\Quillmossdex");
    ASSERT_TRUE(Start(L"/S /D=C:\\"));
    ASSERT_TRUE(WaitForExit(60000));
    EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Child().ExitCode());
    EXPECT_TRUE(FileExists(product + L"Quillmossdex.exe"));
    EXPECT_EQ(Narrow(product), ReadRecordValue("InstallLocation").c_str());
    CleanMachine();
    RemoveTree(L"C:\\Quillmossdex");
}

// /D= without /S presets the field, also when an installation is recorded:
// the install goes where the command line says, after the overwrite question.
TEST_F(InstallDirApp, TheDirectorySwitchPresetsTheFieldOverARecordedInstallation) {
    const std::wstring recorded = m_work / L"Recorded Place";
    const std::wstring other = m_work / L"Other Place";
    WriteRecordedLocation(recorded);
    HWND hwnd = StartOnWelcomePage(L"/D=" + other);
    ASSERT_NE(nullptr, hwnd);
    ClickAt(hwnd, L::kCustom.x, L::kCustom.y);
    ASSERT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == 542; }, 5000));
    EXPECT_EQ(other + L"\\Quillmossdex\\", FieldText(hwnd));
    ClickAt(hwnd, L::kInstall.x, L::kInstall.y);
    EXPECT_EQ(L"您的电脑上已经安装青梧云端助手客户端, 是否覆盖重新安装?", AnswerBox(IDYES));
    ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
    EXPECT_TRUE(FileExists(other + L"\\Quillmossdex\\Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(recorded + L"\\res"));
    Child().Kill();
}

} // namespace

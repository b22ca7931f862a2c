// Start-up and the start modes, end to end: the real installer started with
// the command lines a person, the product's updater or a deployment script use.
#include "installer/app/FrameUI.h"
#include "installer/app/SilentInstall.h"
#include "installer/app/Startup.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestPayload.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace qmtest;
namespace L = qmtest::layout;

TEST(StartupWords, PathWordsJoinWithSingleBlanks) {
    EXPECT_EQ(L"C:\\My Apps", JoinPathWords({L"path", L"C:\\My Apps"}));
    EXPECT_EQ(L" C:\\My Apps", JoinPathWords({L"path", L"C:\\My", L"Apps"}));
    EXPECT_EQ(L"", JoinPathWords({L"path"}));
    EXPECT_TRUE(IsSilentStart({L"path"}));
    EXPECT_FALSE(IsSilentStart({L"Path", L"C:\\x"}));
    EXPECT_FALSE(IsSilentStart({}));
}

TEST(StartupWords, SwitchesComeFirstAndTheModeWordsKeepTheirMeaning) {
    using R = TStartRequest;
    struct Case {
        const wchar_t* line;
        R::Mode mode;
        bool silent;
        std::vector<std::wstring> words;
        const wchar_t* parentDir; // null: no /D=
        const wchar_t* logPath;
        const wchar_t* unknownSwitch;
    } cases[] = {
        {L"s.exe", R::kStart, false, {}, nullptr, L"", L""},
        {L"s.exe /S", R::kStart, true, {}, nullptr, L"", L""},
        {L"\"C:\\Program Files\\s.exe\" /s /LOG=C:\\l.log",
         R::kStart,
         true,
         {},
         nullptr,
         L"C:\\l.log",
         L""},
        {L"s.exe /S /D=C:\\My  Apps  ", R::kStart, true, {}, L"C:\\My  Apps", L"", L""},
        {L"s.exe /S /d=\"C:\\My Apps\"", R::kStart, true, {}, L"C:\\My Apps", L"", L""},
        {L"s.exe /S \"/D=C:\\My Apps\"", R::kStart, true, {}, L"C:\\My Apps", L"", L""},
        {L"s.exe \"/LOG=C:\\a b.log\" /D=", R::kStart, false, {}, L"", L"C:\\a b.log", L""},
        {L"s.exe /?", R::kUsage, false, {}, nullptr, L"", L""},
        {L"s.exe /HELP /bogus", R::kUsage, false, {}, nullptr, L"", L"/bogus"},
        {L"s.exe /S /bogus /x", R::kUnknownSwitch, true, {}, nullptr, L"", L"/bogus"},
        {L"s.exe path C:\\My Apps",
         R::kStart,
         true,
         {L"path", L"C:\\My", L"Apps"},
         nullptr,
         L"",
         L""},
        // After the first mode word, every word is the mode's, as it always was.
        {L"s.exe path C:\\a /D=C:\\b",
         R::kStart,
         true,
         {L"path", L"C:\\a", L"/D=C:\\b"},
         nullptr,
         L"",
         L""},
        {L"s.exe Update 12 /S", R::kStart, false, {L"Update", L"12", L"/S"}, nullptr, L"", L""},
        {L"s.exe /LOG=C:\\l.log Update 12",
         R::kStart,
         false,
         {L"Update", L"12"},
         nullptr,
         L"C:\\l.log",
         L""},
        {L"s.exe PATH C:\\x", R::kStart, false, {L"PATH", L"C:\\x"}, nullptr, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.line));
        const R r = ParseStartCommandLine(c.line);
        EXPECT_EQ(c.mode, r.mode);
        EXPECT_EQ(c.silent, r.silent);
        EXPECT_EQ(c.words, r.words);
        EXPECT_EQ(c.parentDir != nullptr, r.hasParentDir);
        EXPECT_EQ(c.parentDir ? c.parentDir : L"", r.parentDir);
        EXPECT_EQ(c.logPath, r.logPath);
        EXPECT_EQ(c.unknownSwitch, r.unknownSwitch);
    }
}

std::wstring ReadLog(const std::wstring& path) {
    return ReadLogText(path);
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

size_t Occurrences(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// However many parts of the program ask about the payload (the space line,
// the path check, the unpacking) and however a run starts, one process
// decodes the payload's index once and settles what earlier runs left once:
// the engine logs each.
void ExpectReadOnce(const std::wstring& log, bool installed) {
    EXPECT_EQ(1u, Occurrences(log, L"earlier runs checked")) << Narrow(log);
    const size_t decodes = Occurrences(log, L"the payload's index");
    EXPECT_LE(decodes, 1u) << Narrow(log);
    if (installed) {
        EXPECT_EQ(1u, decodes) << Narrow(log);
    }
}

class StartupApp : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        // A 64-bit Wine prefix made without its 32-bit part lacks the
        // WOW6432Node uninstall branch that every 64-bit Windows has.
        HKEY base = nullptr;
        const std::wstring key = RecordKey();
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.substr(0, key.rfind(L'\\')).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &base, nullptr);
        if (base)
            RegCloseKey(base);
    }
};

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

// Every silent command line against its exit code, where the product went,
// and the log; no run ever shows a window or a box: what an interactive run
// would show is in the log, word for word.
TEST_F(StartupApp, SilentRunsShowNothingAndTellByExitCodeAndLog) {
    // Data that breaks off in the stream, in a payload that matches its digest.
    const std::wstring damaged = MakeCopy(
        L"damaged.exe", BuildPayload({{"Quillmossdex.exe", "client"},
                                      {"uninst.exe", "uninstaller"},
                                      {"data.bin", NoiseBytes(5000, 1), true, false, -1, true}}));
    ASSERT_FALSE(damaged.empty());
    // A payload that is not the one the program's digest names.
    const std::string other = "another payload";
    const std::wstring tampered =
        MakePayloadCopy(BuiltSetupPath(), m_work / L"tampered.exe", &s_payload, &other);
    ASSERT_FALSE(tampered.empty());
    // The image alone has its resource replaced, then gets the payload.
    const std::wstring skinless =
        MakePayloadCopy(BuiltSetupPath(), m_work / L"skinless.exe", nullptr);
    ASSERT_TRUE(ReplaceResource(skinless, L"ZIPRES", 103, "this is not a zip archive either"));
    ASSERT_EQ(skinless, MakePayloadCopy(skinless, skinless, &s_payload));
    const std::wstring spaced = m_work / L"My  Apps";
    const std::wstring product = L"\\Quillmossdex\\";
    // A drive letter that names no drive here.
    std::wstring drive;
    for (wchar_t letter = L'Q'; letter <= L'Y' && drive.empty(); ++letter)
        if ((GetLogicalDrives() & (1u << (letter - L'A'))) == 0)
            drive = std::wstring(1, letter) + L":";
    ASSERT_FALSE(drive.empty());
    // The reason's line follows the message's in the log, after a blank.
    const std::wstring notLocal =
        L" 请填写以盘符和 \\ 开头的本地完整路径, 例如 C:\\Program Files\\。";
    struct Case {
        std::wstring words;
        std::wstring exe;
        UINT exitCode;
        std::wstring installedIn; // empty: nothing installed
        std::vector<std::wstring> logged;
    } cases[] = {
        {L"/S",
         L"",
         SETUP_EXIT_INSTALLED,
         DefaultInstallDir(),
         {L"install directory: " + DefaultInstallDir(), L"exit code 0"}},
        // The rest of the line, its doubled blank kept.
        {L"/S /D=" + spaced,
         L"",
         SETUP_EXIT_INSTALLED,
         spaced + product,
         {L"install directory: " + spaced + product, L"write the uninstall record: done"}},
        {L"/s \"/D=" + spaced + L"\"", L"", SETUP_EXIT_INSTALLED, spaced + product, {}},
        {L"path " + Quote(spaced), L"", SETUP_EXIT_INSTALLED, spaced + product, {}},
        // "path" alone names no directory at all; /D= with nothing after it neither.
        {L"path", L"", SETUP_EXIT_DIR_REJECTED, L"", {L"message: 路径不能为空, 请重新选择!"}},
        {L"/S /D=", L"", SETUP_EXIT_DIR_REJECTED, L"", {L"message: 路径不能为空, 请重新选择!"}},
        {L"path \\\\server\\share",
         L"",
         SETUP_EXIT_DIR_REJECTED,
         L"",
         {L"message: 无法创建目录 : \"\\\\server\\share\\Quillmossdex\\\", "
          L"请重新选择正确的安装目录!" +
          notLocal}},
        {L"/S /D=relative",
         L"",
         SETUP_EXIT_DIR_REJECTED,
         L"",
         {L"message: 无法创建目录 : \"relative\\Quillmossdex\\\", 请重新选择正确的安装目录!" +
              notLocal,
          L"exit code 2"}},
        {L"/S /D=" + drive + L"\\Apps",
         L"",
         SETUP_EXIT_DIR_REJECTED,
         L"",
         {L"message: 无法创建目录 : \"" + drive +
              L"\\Apps\\Quillmossdex\\\", "
              L"请重新选择正确的安装目录! 驱动器 " +
              drive + L" 不存在, 请选择其他驱动器。",
          L"exit code 2"}},
        {L"/S /D=" + (m_work / L"t"),
         damaged,
         SETUP_EXIT_INSTALL_FAILED + static_cast<UINT>(INSTALL_ERR_UNZIP),
         L"",
         {L"unpack the payload: failed with result 1", L"message: 解压文件失败!", L"exit code 11"}},
        {L"/S /D=" + (m_work / L"t"),
         tampered,
         SETUP_EXIT_INSTALL_FAILED + static_cast<UINT>(INSTALL_ERR_DAMAGED),
         L"",
         {L"find the payload: failed with result 7",
          L"message: 安装文件已损坏, 请重新下载安装程序。", L"exit code 17"}},
        // A silent run never loads the skin, so a damaged one does not stop it.
        {L"/S /D=" + (m_work / L"t"), skinless, SETUP_EXIT_INSTALLED, m_work / L"t" + product, {}},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.words));
        CleanMachine();
        RemoveTree(spaced);
        RemoveTree(m_work / L"t");
        const std::wstring log = m_work / (L"run" + std::to_wstring(++run) + L".log");
        ASSERT_TRUE(Start(Quote(L"/LOG=" + log) + L" " + c.words, c.exe));
        EXPECT_FALSE(ShowedWindowUntilExit(Child(), 60000));
        ASSERT_FALSE(Child().Running());
        EXPECT_EQ(static_cast<DWORD>(c.exitCode), Child().ExitCode());
        if (c.installedIn.empty()) {
            EXPECT_TRUE(ReadRecordValue("InstallLocation").empty());
        } else {
            EXPECT_TRUE(FileExists(c.installedIn + L"Quillmossdex.exe"));
            EXPECT_EQ(Narrow(c.installedIn), ReadRecordValue("InstallLocation").c_str());
            EXPECT_EQ("\"" + Narrow(c.installedIn) + "uninst.exe\" /S",
                      ReadRecordValue("QuietUninstallString").c_str());
            EXPECT_TRUE(FileExists(DesktopShortcut())) << Narrow(ReadLog(log));
            EXPECT_TRUE(FileExists(StartMenuShortcut()));
        }
        const std::wstring text = ReadLog(log);
        EXPECT_TRUE(Contains(text, L"QuillmossdexSetup.exe 1.0.67 started: ")) << Narrow(text);
        ExpectReadOnce(text, !c.installedIn.empty());
        for (const std::wstring& line : c.logged)
            EXPECT_TRUE(Contains(text, line)) << Narrow(line) << "\n" << Narrow(text);
        EXPECT_TRUE(Contains(text, L"exit code " + std::to_wstring(c.exitCode)));
    }
    EXPECT_FALSE(FileExists(m_work / L"t\\Quillmossdex\\started.txt"));
}

// An elevated run (every run under Wine) logs where only administrators and
// SYSTEM decide what lies, never into the user's temporary folder, whose
// very value the user chooses in the split-token case.
TEST_F(StartupApp, EveryRunLogsToTheSystemsTemporaryFolderByDefault) {
    ASSERT_TRUE(Start(L"/S /D=" + (m_work / L"t")));
    ASSERT_TRUE(WaitForExit(60000));
    EXPECT_EQ(0u, Child().ExitCode());
    const std::vector<std::wstring> logs = DefaultLogsWith(m_work / L"t");
    ASSERT_EQ(1u, logs.size());
    EXPECT_TRUE(Contains(ReadLog(logs[0]), L"exit code 0"));
    WIN32_FIND_DATAW found = {};
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              FindFirstFileW((m_work / L"Quillmossdex-install-*.log").c_str(), &found));
}

TEST_F(StartupApp, UsageGoesToTheStartersConsoleAndAnUnknownSwitchHasItsOwnCode) {
    struct Case {
        const wchar_t* words;
        DWORD exitCode;
    } cases[] = {{L"/?", 0}, {L"/help", 0}, {L"/S /bogus", SETUP_EXIT_USAGE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.words));
        DWORD code = 0;
        const std::string out = RunAndCapture(Quote(s_setup) + L" " + c.words, 30000, &code);
        EXPECT_EQ(c.exitCode, code);
        for (const char* part : {"/S", "/D=", "/LOG=", "Update pid", "path dir"})
            EXPECT_NE(std::string::npos, out.find(part)) << part << "\n" << out;
        EXPECT_EQ(c.exitCode != 0, out.find("unknown switch: /bogus") != std::string::npos);
        // No log written.
        EXPECT_TRUE(DefaultLogsWith(Quote(s_setup) + L" " + c.words).empty());
    }
    // Nothing was installed.
    EXPECT_FALSE(FileExists(DefaultInstallDir()));
}

TEST_F(StartupApp, InteractiveRunTakesTheDirectorySwitchAndLogs) {
    const std::wstring log = m_work / L"interactive.log";
    HWND hwnd = StartAndWait(Quote(L"/LOG=" + log) + L" /D=" + (m_work / L"my dir"));
    ASSERT_NE(nullptr, hwnd);
    // The window exists before its first paint; a click before that is lost.
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
    ClickAt(hwnd, L::kInstall.x, L::kInstall.y);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 20000));
    EXPECT_TRUE(FileExists(m_work / L"my dir\\Quillmossdex\\Quillmossdex.exe"));
    ClickAt(hwnd, L::kCloseBtn.x, L::kCloseBtn.y);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, Child().ExitCode());
    const std::wstring text = ReadLog(log);
    for (const wchar_t* line : {L"installing into ", L"move the files into place: done",
                                L"write the uninstall record: done", L"exit code 0"})
        EXPECT_TRUE(Contains(text, line)) << Narrow(line) << "\n" << Narrow(text);
    ExpectReadOnce(text, true);
}

TEST_F(StartupApp, UpdateEndsTheGivenProcessAndInstallsOverTheRecordedLocation) {
    const std::wstring recorded = m_work / L"installed\\";
    WriteRecordedLocation(recorded);
    // Only the recorded installation's client is ended.
    ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\qm_sleeper.exe").c_str(),
                          (recorded + L"Quillmossdex.exe").c_str(), FALSE));
    ChildProcess client;
    ASSERT_TRUE(client.Start(Quote(recorded + L"Quillmossdex.exe")));
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

    // The interactive run says why in a box; the silent runs only in their log.
    const std::wstring log = m_work / L"refused.log";
    struct Case {
        std::wstring words;
        bool box;
        DWORD exitCode;
    } cases[] = {
        {L"", true, 0},
        {Quote(L"/LOG=" + log) + L" path C:\\qmapp-refused", false, SETUP_EXIT_NOT_STARTED},
        {Quote(L"/LOG=" + log) + L" /S", false, SETUP_EXIT_NOT_STARTED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.words));
        DeleteFileW(log.c_str());
        ASSERT_TRUE(Start(c.words));
        if (c.box) {
            EXPECT_EQ(L"安装程序正在运行!", AnswerBox(IDOK));
        } else {
            EXPECT_FALSE(ShowedWindowUntilExit(Child(), 15000));
            EXPECT_TRUE(Contains(ReadLog(log), L"message: 安装程序正在运行!"));
        }
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

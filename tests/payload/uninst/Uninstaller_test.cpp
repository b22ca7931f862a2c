#include "installer/services/Processes.h"
#include "installer/services/Product.h"
#include "installer/services/Staging.h"
#include "installer/services/TextConvert.h"
#include "payload/uninst/Uninstaller.h"
#include "tests/installer/SetupDriver.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using qmtest::FileExists;

// A fake installation: the listed files, plus the user's own files beside
// and inside them that must survive.
class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        dir = root.Path() + L"\\Quillmossdex\\";
        CreateDirectoryW(dir.c_str(), nullptr);
        CreateDirectoryW((dir + L"res").c_str(), nullptr);
        CreateDirectoryW((dir + L"res\\sub").c_str(), nullptr);
        CreateDirectoryW((dir + L"empty").c_str(), nullptr);
        for (const wchar_t* f : {L"Quillmossdex.exe", L"res\\a.png", L"res\\sub\\b.dat"})
            qmtest::WriteFileBytes(dir + f, "x");
        ASSERT_TRUE(
            CopyFileW((qmtest::ProgramDir() + L"\\..\\..\\..\\payload\\uninst\\uninst.exe").c_str(),
                      (dir + L"uninst.exe").c_str(), FALSE));
        qmtest::WriteFileBytes(dir + L"uninst.lst",
                               "Quillmossdex.exe\nuninst.exe\nuninst.lst\nres/\nres/a.png\n"
                               "res/sub/\nres/sub/b.dat\nempty/\n");
    }

    DWORD RunUninstaller(const std::wstring& args) {
        qmtest::ChildProcess p;
        EXPECT_TRUE(p.Start(qmtest::Quote(dir + L"uninst.exe") + L" " + args));
        EXPECT_TRUE(p.Wait(60000));
        return p.ExitCode();
    }

    // The clean-up copy removes the uninstaller shortly after it ended.
    bool WaitGone(const std::wstring& path) {
        for (int i = 0; i < 200 && FileExists(path); ++i)
            Sleep(50);
        return !FileExists(path);
    }

    qmtest::TempDir root{L"qmuninst"};
    std::wstring dir;
};

TEST_F(Installed, SilentRunRemovesOnlyTheListedEntriesAndItself) {
    qmtest::WriteFileBytes(dir + L"res\\mine.txt", "user data");
    qmtest::WriteFileBytes(root / L"beside.txt", "user data");
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    EXPECT_FALSE(FileExists(dir + L"Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(dir + L"res\\a.png"));
    EXPECT_FALSE(FileExists(dir + L"res\\sub"));
    EXPECT_FALSE(FileExists(dir + L"empty"));
    EXPECT_FALSE(FileExists(dir + L"uninst.lst"));
    EXPECT_TRUE(FileExists(dir + L"res\\mine.txt"));
    EXPECT_TRUE(FileExists(root / L"beside.txt"));
    EXPECT_TRUE(WaitGone(dir + L"uninst.exe"));
    // The folder still holds the user's file, so it stays.
    EXPECT_TRUE(FileExists(dir));
}

TEST_F(Installed, EmptiedInstallFolderIsRemovedAndASecondRunFailsCleanly) {
    std::wstring spare = root / L"uninst-copy.exe";
    ASSERT_TRUE(CopyFileW((dir + L"uninst.exe").c_str(), spare.c_str(), FALSE));
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    EXPECT_TRUE(WaitGone(dir + L"uninst.exe"));
    EXPECT_TRUE(WaitGone(dir));
    // Run again from the same place: the list is gone, nothing is touched.
    CreateDirectoryW(dir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(spare.c_str(), (dir + L"uninst.exe").c_str(), FALSE));
    EXPECT_EQ(static_cast<DWORD>(UNINSTALL_NO_LIST), RunUninstaller(L"/S"));
    EXPECT_TRUE(FileExists(dir + L"uninst.exe"));
}

TEST_F(Installed, RecordIsRemovedOnlyWhenItNamesThisInstallation) {
    const std::wstring keyPath = qmtest::RecordKey();
    const wchar_t* key = keyPath.c_str();
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &h, nullptr));
    std::wstring other = L"D:\\Elsewhere\\";
    RegSetValueExW(h, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                   static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    EXPECT_TRUE(RemoveUninstallRecord(dir));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h));
    RegCloseKey(h);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &h));
    RegSetValueExW(h, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                   static_cast<DWORD>((dir.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h));
}

TEST(UninstallString, BothTheQuotedAndTheOldUnquotedFormNameTheUninstaller) {
    const struct {
        const wchar_t* value;
        const wchar_t* path;
    } cases[] = {
        {L"\"C:\\Apps\\My Tools\\Quillmossdex\\uninst.exe\"",
         L"C:\\Apps\\My Tools\\Quillmossdex\\uninst.exe"},
        {L"\"C:\\Apps\\My Tools\\uninst.exe\" /S", L"C:\\Apps\\My Tools\\uninst.exe"},
        // Earlier versions wrote the path as it is, blanks and all.
        {L"C:\\Apps\\My Tools\\Quillmossdex\\uninst.exe",
         L"C:\\Apps\\My Tools\\Quillmossdex\\uninst.exe"},
        {L"  C:\\Apps\\uninst.exe ", L"C:\\Apps\\uninst.exe"},
        {L"\"C:\\Apps\\uninst.exe", L""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.path), UninstallerPathOf(c.value)) << ToNarrow(c.value);
    EXPECT_EQ(L"\"C:\\Apps\\My Tools\\uninst.exe\"",
              UninstallCommand(L"C:\\Apps\\My Tools\\uninst.exe"));
}

TEST_F(Installed, RecordWithoutALocationIsJudgedByItsUninstallStringInEitherForm) {
    const std::wstring keyPath = qmtest::RecordKey();
    const struct {
        const char* name;
        std::wstring value;
        bool removed;
    } cases[] = {
        {"quoted, this installation", L"\"" + dir + L"uninst.exe\"", true},
        {"unquoted as earlier versions wrote it, this installation", dir + L"uninst.exe", true},
        {"quoted, another installation", L"\"D:\\Elsewhere\\My Tools\\uninst.exe\"", false},
        {"unquoted, another installation", L"D:\\Elsewhere\\My Tools\\uninst.exe", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HKEY h = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &h, nullptr));
        RegSetValueExW(h, L"UninstallString", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(c.value.c_str()),
                       static_cast<DWORD>((c.value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
        EXPECT_TRUE(RemoveUninstallRecord(dir));
        const bool kept =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS;
        if (kept)
            RegCloseKey(h);
        EXPECT_EQ(!c.removed, kept);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str());
    }
}

// Answers the uninstaller's first question with Yes and waits for the box
// that ends the run, which replaces it; null when none comes.
HWND ConfirmAndWaitForClosingBox(qmtest::ChildProcess& p) {
    HWND box = qmtest::WaitForProcessDialog(p.Pid(), 30000);
    if (!box)
        return nullptr;
    qmtest::PressDialogButton(box, IDYES);
    for (int i = 0; i < 400; ++i) {
        HWND b = qmtest::WaitForProcessDialog(p.Pid(), 50);
        // A box seen while it is still being built has no text yet.
        std::wstring text = b ? qmtest::MessageBoxText(b) : std::wstring();
        if (!text.empty() && text != L"确定要卸载青梧云端助手吗?")
            return b;
    }
    return nullptr;
}

std::wstring SleeperExe() {
    return qmtest::ProgramDir() + L"\\..\\..\\installer\\qm_sleeper.exe";
}

// A client started by its 8.3 name is known by that name to the process
// list; the uninstaller compares long paths and still finds it. It is asked
// to close first (the sleeper saves its work then), and a program of the
// same name elsewhere is no client of this installation and keeps running.
TEST_F(Installed, ClientStartedByItsShortNameIsAskedToCloseAndOthersOfTheNameStay) {
    const std::wstring client = dir + L"Quillmossdex.exe";
    ASSERT_TRUE(CopyFileW(SleeperExe().c_str(), client.c_str(), FALSE));
    const std::wstring elsewhere = root / L"other";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    const std::wstring stranger = elsewhere + L"\\Quillmossdex.exe";
    ASSERT_TRUE(CopyFileW(SleeperExe().c_str(), stranger.c_str(), FALSE));
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(client.c_str(), shortPath, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    qmtest::ChildProcess running, other;
    ASSERT_TRUE(running.Start(qmtest::Quote(shortPath)));
    ASSERT_TRUE(other.Start(qmtest::Quote(stranger)));
    Sleep(300);
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    EXPECT_TRUE(running.Wait(10000));
    EXPECT_TRUE(FileExists(client + L".closed"));
    EXPECT_FALSE(FileExists(client));
    EXPECT_TRUE(other.Running());
    other.Kill();
}

// A silent removal says in its log what it does, step by step, as the
// installer does: nobody sees a window, and a removal of many files takes a
// while.
TEST_F(Installed, SilentRunLogsEachStep) {
    const std::wstring log = root / L"uninstall.log";
    EXPECT_EQ(0u, RunUninstaller(L"/S " + qmtest::Quote(L"/LOG=" + log)));
    const std::string text = qmtest::ReadFileBytes(log);
    for (const char* line : {"remove the files...", "remove the files: done",
                             "remove the uninstall record and the shortcuts: done",
                             "remove the entry list and the folders: done"})
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
}

// The window of an interactive removal shows the step and the percentage,
// and stays up under the box that ends the run, which a test can wait for.
TEST_F(Installed, InteractiveRunShowsItsProgressWindowUnderTheLastBox) {
    // Enough files that the removal is more than an instant.
    std::string list = "Quillmossdex.exe\nuninst.exe\nuninst.lst\nres/\nres/a.png\nres/sub/\n"
                       "res/sub/b.dat\nempty/\nmany/\n";
    CreateDirectoryW((dir + L"many").c_str(), nullptr);
    for (int i = 0; i < 300; ++i) {
        const std::string name = "many/f" + std::to_string(i) + ".txt";
        qmtest::WriteFileBytes(dir + std::wstring(name.begin(), name.end()), "x");
        list += name + "\n";
    }
    qmtest::WriteFileBytes(dir + L"uninst.lst", list);
    qmtest::ChildProcess p;
    ASSERT_TRUE(p.Start(qmtest::Quote(dir + L"uninst.exe")));
    HWND done = ConfirmAndWaitForClosingBox(p);
    ASSERT_NE(nullptr, done);
    EXPECT_EQ(L"青梧云端助手已成功卸载!", qmtest::MessageBoxText(done));
    // The box sits on the progress window, which shows the whole bar.
    HWND window = GetWindow(done, GW_OWNER);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(L"卸载青梧云端助手", qmtest::WindowText(window));
    EXPECT_TRUE(IsWindowVisible(window));
    qmtest::Screenshot shot = qmtest::CaptureWindow(window);
    ASSERT_FALSE(shot.Empty());
    shot.SavePng(qmtest::ArtifactPath(L"uninstall-window.png"));
    // The bar's left end, in the client area (the box covers its middle):
    // filled at 100 %.
    POINT client = {0, 0};
    ClientToScreen(window, &client);
    RECT frame = {};
    GetWindowRect(window, &frame);
    const int x = client.x - frame.left;
    const int y = client.y - frame.top;
    const RECT bar = {x + 30, y + 95, x + 100, y + 99};
    EXPECT_GT(qmtest::CountTeal(shot, bar), (bar.right - bar.left) * 3);
    qmtest::PressDialogButton(done, IDOK);
    ASSERT_TRUE(p.Wait(30000));
    EXPECT_EQ(0u, p.ExitCode());
    EXPECT_FALSE(FileExists(dir + L"many\\f299.txt"));
}

// The clean-up copy cannot delete itself; the next start of the uninstaller
// (or the installer) removes it with its folder once it has ended.
TEST_F(Installed, TheCleanUpCopyIsRemovedByTheNextStart) {
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    ASSERT_TRUE(WaitGone(dir + L"uninst.exe"));
    // The copy's folder: a staging folder holding qm-uninst-<pid>.exe.
    std::wstring folder;
    for (const std::wstring& staging : FindStagingDirs()) {
        WIN32_FIND_DATAW data = {};
        HANDLE find = FindFirstFileW((staging + L"qm-uninst-*.exe").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            folder = staging;
        }
    }
    ASSERT_FALSE(folder.empty());
    // Ended once its journal, held while it runs, can be opened for writing.
    EXPECT_TRUE(qmtest::WaitUntil(
        [&] {
            HANDLE h = CreateFileW((folder + L"journal").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE)
                return false;
            CloseHandle(h);
            return true;
        },
        30000));
    // The next start: an uninstaller with nothing to remove.
    CreateDirectoryW(dir.c_str(), nullptr);
    ASSERT_TRUE(
        CopyFileW((qmtest::ProgramDir() + L"\\..\\..\\..\\payload\\uninst\\uninst.exe").c_str(),
                  (dir + L"uninst.exe").c_str(), FALSE));
    EXPECT_EQ(static_cast<DWORD>(UNINSTALL_NO_LIST), RunUninstaller(L"/S"));
    EXPECT_FALSE(FileExists(folder));
}

TEST_F(Installed, RunningClientIsStoppedBeforeItsFilesAreRemoved) {
    std::wstring client = dir + L"Quillmossdex.exe";
    ASSERT_TRUE(CopyFileW((qmtest::ProgramDir() + L"\\..\\..\\installer\\qm_sleeper.exe").c_str(),
                          client.c_str(), FALSE));
    qmtest::ChildProcess running;
    ASSERT_TRUE(running.Start(qmtest::Quote(client) + L" Quillmossdex-Client"));
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    EXPECT_TRUE(running.Wait(10000));
    EXPECT_FALSE(FileExists(client));
}

TEST_F(Installed, LinksForAllUsersAndThoseOfEarlierVersionsAreRemovedOthersStay) {
    CoInitialize(nullptr);
    const std::wstring name = L"青梧云端助手";
    const std::wstring other = root / L"other.exe";
    qmtest::WriteFileBytes(other, "someone else's program");
    struct Place {
        std::wstring programs;
        std::wstring desktop;
    } places[] = {
        {qmtest::ProgramsFolder(), qmtest::DesktopFolder()},         // made for all users
        {qmtest::UserProgramsFolder(), qmtest::UserDesktopFolder()}, // by earlier versions
    };
    std::vector<std::wstring> ours;
    for (const Place& p : places) {
        const std::wstring folder = p.programs + L"\\" + name;
        CreateDirectoryW(folder.c_str(), nullptr);
        ours.push_back(folder + L"\\" + name + L".lnk");
        ASSERT_TRUE(qmtest::MakeShortcut(ours.back(), dir + L"Quillmossdex.exe"));
        ours.push_back(folder + L"\\卸载" + name + L".lnk");
        ASSERT_TRUE(qmtest::MakeShortcut(ours.back(), dir + L"uninst.exe"));
        ours.push_back(p.desktop + L"\\" + name + L".lnk");
        ASSERT_TRUE(qmtest::MakeShortcut(ours.back(), dir + L"Quillmossdex.exe"));
    }
    // A link of the same name that leads elsewhere is someone else's.
    const std::wstring foreign = places[0].desktop + L"\\" + name + L".lnk";
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    for (const std::wstring& link : ours)
        EXPECT_FALSE(FileExists(link)) << link;
    for (const Place& p : places)
        EXPECT_FALSE(FileExists(p.programs + L"\\" + name)) << p.programs;

    // Installed again, with the foreign link in the place of ours.
    ASSERT_TRUE(WaitGone(dir + L"uninst.exe"));
    SetUp();
    ASSERT_TRUE(qmtest::MakeShortcut(foreign, other));
    EXPECT_EQ(0u, RunUninstaller(L"/S"));
    EXPECT_TRUE(FileExists(foreign));
    DeleteFileW(foreign.c_str());
    CoUninitialize();
}

TEST_F(Installed, InteractiveRunAsksFirstAndNoLeavesEverything) {
    qmtest::ChildProcess p;
    ASSERT_TRUE(p.Start(qmtest::Quote(dir + L"uninst.exe")));
    HWND box = qmtest::WaitForProcessDialog(p.Pid(), 30000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"确定要卸载青梧云端助手吗?", qmtest::MessageBoxText(box));
    qmtest::PressDialogButton(box, IDNO);
    ASSERT_TRUE(p.Wait(30000));
    EXPECT_EQ(static_cast<DWORD>(UNINSTALL_CANCELLED), p.ExitCode());
    EXPECT_TRUE(FileExists(dir + L"Quillmossdex.exe"));
    EXPECT_TRUE(FileExists(dir + L"uninst.lst"));
}

TEST_F(Installed, InteractiveRunReportsSuccessInABox) {
    qmtest::ChildProcess p;
    ASSERT_TRUE(p.Start(qmtest::Quote(dir + L"uninst.exe")));
    HWND done = ConfirmAndWaitForClosingBox(p);
    ASSERT_NE(nullptr, done);
    EXPECT_EQ(L"青梧云端助手已成功卸载!", qmtest::MessageBoxText(done));
    qmtest::PressDialogButton(done, IDOK);
    ASSERT_TRUE(p.Wait(30000));
    EXPECT_EQ(0u, p.ExitCode());
    EXPECT_FALSE(FileExists(dir + L"Quillmossdex.exe"));
}

} // namespace

namespace {

// The clean-up copy runs after the uninstaller ended; an install started at
// once may have put a new uninstaller in place by then, which must stay. The
// copy removes the original only while it is the very file the uninstall ran
// from. The second stage is started here by hand, for a process that ended.
TEST_F(Installed, CleanUpRemovesOnlyTheUninstallerItWasStartedFor) {
    const std::wstring copy = root / L"cleanup-copy.exe";
    ASSERT_TRUE(CopyFileW((dir + L"uninst.exe").c_str(), copy.c_str(), FALSE));
    const std::wstring original = FileIdentityText(dir + L"uninst.exe");
    ASSERT_FALSE(original.empty());
    std::wstring folder = dir;
    folder.pop_back();
    auto cleanUp = [&](const std::wstring& identity) {
        qmtest::ChildProcess p;
        // No process has that id: the copy does not wait.
        EXPECT_TRUE(p.Start(qmtest::Quote(copy) + L" /cleanup 999999 " + qmtest::Quote(folder) +
                            L" " + identity));
        EXPECT_TRUE(p.Wait(60000));
    };
    // A new uninstaller took the name meanwhile, renamed over the old one as
    // an install does. It is made before the old one goes: Wine's file ids
    // are Unix inode numbers, which a file made right after a deletion may
    // get again; NTFS ids carry a sequence number and never come back.
    qmtest::WriteFileBytes(dir + L"uninst.new", "the next version's uninstaller");
    ASSERT_TRUE(MoveFileExW((dir + L"uninst.new").c_str(), (dir + L"uninst.exe").c_str(),
                            MOVEFILE_REPLACE_EXISTING));
    cleanUp(original);
    EXPECT_EQ("the next version's uninstaller", qmtest::ReadFileBytes(dir + L"uninst.exe"));
    // The one it was started for goes.
    cleanUp(FileIdentityText(dir + L"uninst.exe"));
    EXPECT_FALSE(FileExists(dir + L"uninst.exe"));
}

} // namespace

#include "installer/services/Product.h"
#include "installer/services/TextConvert.h"
#include "payload/uninst/Uninstaller.h"
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
    HWND box = qmtest::WaitForProcessDialog(p.Pid(), 30000);
    ASSERT_NE(nullptr, box);
    qmtest::PressDialogButton(box, IDYES);
    // The closing box replaces the question.
    HWND done = nullptr;
    for (int i = 0; i < 400 && !done; ++i) {
        HWND b = qmtest::WaitForProcessDialog(p.Pid(), 50);
        // A box seen while it is still being built has no text yet.
        std::wstring text = b ? qmtest::MessageBoxText(b) : std::wstring();
        if (!text.empty() && text != L"确定要卸载青梧云端助手吗?")
            done = b;
    }
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

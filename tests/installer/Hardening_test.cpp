// The installer and the uninstaller run elevated while the temporary folder,
// the per-user shell values and the command line belong to the user. Each
// case plants what a hostile local user would, runs the real programs, and
// checks the victim files byte for byte and the exit code.
//
// Junctions and symbolic links are made from the Unix side of the Wine drive:
// Wine reports a Unix symbolic link as a reparse point, as Windows reports a
// junction, and its file functions would follow it as Windows follows one.
// Wine cannot delete a link to a folder through its file functions, so a
// planted link may stay where Windows would remove it; the cases only
// require that nothing behind it changed. Links to files are not recognised
// as links by Wine 8 (see Link).
#include "installer/FileManage.h"
#include "installer/FrameUI.h"
#include "installer/Product.h"
#include "installer/Staging.h"
#include "payload/uninst/Uninstaller.h"
#include "skinui/core/Handles.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestPayload.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <functional>
#include <map>

namespace qmtest {
namespace {

const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Runs a shell script on the Unix side and waits (bounded) for it to end: Wine
// cannot wait on a Unix process, so the script's last step makes a marker.
bool RunUnixScript(const std::string& script, const std::wstring& marker) {
    DeleteFileW(marker.c_str());
    const std::string unixMarker = UnixPath(marker);
    if (unixMarker.empty())
        return false;
    const std::string cmd = "Z:\\bin\\sh -c \"" + script + "; touch '" + unixMarker + "'\"";
    // Unix paths are UTF-8; Wine hands the wide command line over as such.
    std::wstring wide(cmd.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, cmd.data(),
                                                        static_cast<int>(cmd.size()), &wide[0],
                                                        static_cast<int>(cmd.size()))));
    ChildProcess sh;
    if (!sh.Start(wide))
        return false;
    const bool done = WaitUntil([&] { return FileExists(marker); }, 60000);
    DeleteFileW(marker.c_str());
    return done;
}

// A product with the real uninstaller, so a case can install and remove it.
std::string HardeningPayload() {
    const std::string client = ReadFileBytes(ProgramDir() + L"\\qm_fake_client.exe");
    const std::string uninst =
        ReadFileBytes(ProgramDir() + L"\\..\\..\\payload\\uninst\\uninst.exe");
    if (client.empty() || uninst.empty())
        return std::string();
    return BuildPayload({{"Quillmossdex.exe", client},
                         {"uninst.exe", uninst},
                         {"res/", ""},
                         {"res/version.txt", "version=1.0.67\r\n"}});
}

class Hardening : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        if (UnixPath(m_work.Path()).empty())
            GTEST_SKIP() << "needs Wine's Unix side to plant links";
        m_exe = MakeCopy(L"setup.exe", HardeningPayload());
        ASSERT_FALSE(m_exe.empty());
        victim = m_work / L"victim";
        CreateDirectoryW(victim.c_str(), nullptr);
        CreateDirectoryW((victim + L"\\res").c_str(), nullptr);
        m_victims = {{victim + L"\\secret.txt", "the user's secret"},
                     {victim + L"\\Quillmossdex.exe", "someone else's program"},
                     {victim + L"\\res\\version.txt", "someone else's data"}};
        for (const auto& [path, bytes] : m_victims)
            ASSERT_TRUE(WriteFileBytes(path, bytes));
        char buf[MAX_PATH] = {};
        DWORD size = sizeof(buf);
        m_hadPrograms = RegGetValueA(HKEY_CURRENT_USER, kShellFolders, "Programs", RRF_RT_REG_SZ,
                                     nullptr, buf, &size) == ERROR_SUCCESS;
        m_programs = buf;
    }
    void TearDown() override {
        if (m_hadPrograms)
            RegSetKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs", REG_SZ,
                            m_programs.c_str(), static_cast<DWORD>(m_programs.size() + 1));
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs");
        // Links are removed from the Unix side: Wine's file functions cannot
        // delete a link to a folder, and the work folder must go.
        const std::string work = UnixPath(m_work.Path());
        // A link planted outside the work folder would turn every later
        // install's Start-menu folder away.
        if (IsReparsePoint(ProductStartMenuFolder()))
            RunUnixScript("rm -f '" + UnixPath(ProductStartMenuFolder()) + "'",
                          m_work / L"unlinked.marker");
        if (!work.empty())
            RunUnixScript("find '" + work + "' -type l -delete", m_work / L"unlinked.marker");
        SetupTest::TearDown();
    }

    // Wine 8 reports a link to a folder as a reparse point but a link to a
    // file as a plain file (and deletes the target when asked to delete such
    // a link); so file links are planted only where the programs must not
    // touch the name at all.
    bool Link(const std::wstring& at, const std::wstring& target) {
        if (!RunUnixScript("ln -s '" + UnixPath(target) + "' '" + UnixPath(at) + "'",
                           m_work / L"linked.marker"))
            return false;
        const DWORD attrs = GetFileAttributesW(target.c_str());
        return attrs != INVALID_FILE_ATTRIBUTES &&
               (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || IsReparsePoint(at));
    }
    // The record alone, as an earlier install or anyone who could write it
    // left it.
    static void Record(const std::wstring& dir) {
        SkinUI::UniqueRegKey key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) == ERROR_SUCCESS)
            RegSetValueExW(key.Get(), L"InstallLocation", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(dir.c_str()),
                           static_cast<DWORD>((dir.size() + 1) * sizeof(wchar_t)));
    }

    // Runs the installer silently with these words; its exit code.
    // A run that does not start or does not end says so, apart from any exit
    // code the installer could give.
    DWORD Install(const std::wstring& words) {
        if (!Start(words, m_exe)) {
            ADD_FAILURE() << "the installer did not start: error " << GetLastError();
            return 0xFFFFFFFE;
        }
        if (!WaitForExit(60000)) {
            ADD_FAILURE() << "the installer did not end within a minute";
            return 0xFFFFFFFD;
        }
        return Child().ExitCode();
    }
    DWORD Uninstall(const std::wstring& dir) {
        ChildProcess uninst;
        if (!uninst.Start(Quote(dir + L"uninst.exe") + L" /S", 0, m_work.Path()) ||
            !uninst.Wait(60000))
            return 0xFFFFFFFF;
        return uninst.ExitCode();
    }

    void ExpectVictimsUnchanged() {
        for (const auto& [path, bytes] : m_victims)
            EXPECT_EQ(bytes, ReadFileBytes(path)) << Narrow(path);
        // Nothing was added either.
        for (const std::wstring& folder : {victim, victim + L"\\res"}) {
            WIN32_FIND_DATAW found = {};
            SkinUI::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &found));
            int entries = 0;
            if (find) {
                do
                    entries += found.cFileName[0] != L'.';
                while (FindNextFileW(find.Get(), &found));
            }
            EXPECT_EQ(folder == victim ? 3 : 1, entries) << Narrow(folder);
        }
    }
    static std::wstring ProductStartMenuFolder() {
        wchar_t buf[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, buf);
        return std::wstring(buf) + L"\\" + kProductName;
    }

    std::wstring victim;
    std::wstring apps() const { return m_work / L"apps"; }
    std::wstring installed() const { return m_work / L"apps\\Quillmossdex\\"; }

private:
    std::wstring m_exe;
    std::map<std::wstring, std::string> m_victims;
    bool m_hadPrograms = false;
    std::string m_programs;
};

TEST_F(Hardening, PlantedLinksLeaveTheirTargetsUnchanged) {
    const std::wstring secret = victim + L"\\secret.txt";
    struct Attack {
        const char* name;
        // Planted before the install, in the temporary folder (the work folder).
        std::function<bool()> plant;
        // When set: planted after the install, then the product is uninstalled.
        std::function<bool()> beforeUninstall;
        DWORD installCode = SETUP_EXIT_INSTALLED;
    } attacks[] = {
        {"the old staging archive's name names a file of the user",
         [&] { return Link(m_work / L"qmstmp.zip", secret); }, nullptr},
        {"the old unpack folder's name names a folder of the user at start-up",
         [&] { return Link(m_work / L"qmsTmp", victim); }, nullptr},
        {"a link named like an earlier run's staging folder",
         [&] { return Link(m_work / L"qms-0123456789abcdef", victim); }, nullptr},
        {"the uninstaller's old copy name for every likely process id",
         [&] {
             // One process makes them all: a thousand starts of ln take
             // longer than a test should wait.
             return RunUnixScript("python3 -c 'import os, sys; [os.symlink(sys.argv[1], "
                                  "sys.argv[2] % i) for i in range(4, 4097, 4)]' '" +
                                      UnixPath(secret) + "' '" + UnixPath(m_work.Path()) +
                                      "/qm-uninst-%d.exe'",
                                  m_work / L"many.marker");
         },
         [] { return true; }},
        {"the default log's name for each of the next two minutes",
         [&] {
             std::string stamps;
             FILETIME now = {};
             GetSystemTimeAsFileTime(&now);
             ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
             for (int second = 0; second < 120; ++second, t.QuadPart += 10000000ull) {
                 const FILETIME utc = {t.LowPart, t.HighPart};
                 FILETIME local = {};
                 SYSTEMTIME s = {};
                 FileTimeToLocalFileTime(&utc, &local);
                 FileTimeToSystemTime(&local, &s);
                 char stamp[32] = {};
                 snprintf(stamp, sizeof(stamp), " %04u%02u%02u-%02u%02u%02u", s.wYear, s.wMonth,
                          s.wDay, s.wHour, s.wMinute, s.wSecond);
                 stamps += stamp;
             }
             return RunUnixScript("python3 -c 'import os, sys; [os.symlink(sys.argv[1], "
                                  "sys.argv[2] % s) for s in sys.argv[3:] "
                                  "if not os.path.lexists(sys.argv[2] % s)]' '" +
                                      UnixPath(secret) + "' '" + UnixPath(m_work.Path()) +
                                      "/Quillmossdex-install-%s.log'" + stamps,
                                  m_work / L"logs.marker");
         },
         nullptr},
        // The links cannot be made, so the install is undone and says why.
        {"the Start menu's product folder planted as a link",
         [&] { return Link(ProductStartMenuFolder(), victim); }, nullptr,
         SETUP_EXIT_INSTALL_FAILED + static_cast<DWORD>(INSTALL_ERR_SHORTCUT)},
        {"a listed folder of the installation replaced by a link", [] { return true; },
         [&] {
             return RemoveTree(installed() + L"res") &&
                    Link(installed() + L"res", victim + L"\\res");
         }},
        // The move refuses to write through the link and says so.
        {"a folder of an earlier installation replaced by a link before installing over it",
         [&] {
             return Install(L"path " + Quote(apps())) == SETUP_EXIT_INSTALLED &&
                    RemoveTree(installed() + L"res") &&
                    Link(installed() + L"res", victim + L"\\res");
         },
         nullptr, SETUP_EXIT_INSTALL_FAILED + static_cast<DWORD>(INSTALL_ERR_COPY)},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.name);
        ASSERT_TRUE(attack.plant());
        EXPECT_EQ(attack.installCode, Install(L"path " + Quote(apps())));
        if (attack.installCode == SETUP_EXIT_INSTALLED) {
            EXPECT_EQ("version=1.0.67\r\n", ReadFileBytes(installed() + L"res\\version.txt"));
        }
        ExpectVictimsUnchanged();
        if (attack.beforeUninstall) {
            ASSERT_TRUE(attack.beforeUninstall());
            EXPECT_EQ(static_cast<DWORD>(UNINSTALL_OK), Uninstall(installed()));
            EXPECT_FALSE(FileExists(installed() + L"Quillmossdex.exe"));
            EXPECT_EQ("", ReadRecordValue("InstallLocation"));
            ExpectVictimsUnchanged();
        }
        // The next attack starts from a clean work folder and machine.
        TearDown();
        SetUp();
    }
}

TEST_F(Hardening, TheStartMenuFolderComesFromTheKnownFolderNotFromShellFolders) {
    // A folder standing for the system folder the user points the value at.
    const std::wstring system = m_work / L"system32";
    CreateDirectoryW(system.c_str(), nullptr);
    const std::string value = Narrow(system);
    RegSetKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs", REG_SZ, value.c_str(),
                    static_cast<DWORD>(value.size() + 1));
    EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"path " + Quote(apps())));
    EXPECT_FALSE(FileExists(system + L"\\" + kProductName));
    EXPECT_TRUE(FileExists(StartMenuShortcut()));
}

TEST_F(Hardening, UpdateLeavesAProcessThatIsNotTheProductRunning) {
    ASSERT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"path " + Quote(apps())));
    ChildProcess bystander;
    ASSERT_TRUE(bystander.Start(Quote(ProgramDir() + L"\\qm_sleeper.exe")));
    HWND hwnd = StartAndWait(L"Update " + std::to_wstring(bystander.Pid()));
    ASSERT_NE(nullptr, hwnd);
    // It installs over the recorded installation and waits on its last page.
    EXPECT_TRUE(WaitForPage(hwnd, 2, 30000));
    EXPECT_TRUE(bystander.Running());
    bystander.Kill();
}

TEST_F(Hardening, DirectoriesOnTheCommandLineAndInTheRecord) {
    wchar_t buf[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, buf)));
    const std::wstring documents = buf;
    const std::wstring planted = documents + L"\\Quillmossdex.exe";
    ASSERT_TRUE(WriteFileBytes(planted, "planted"));
    struct Case {
        const char* name;
        std::wstring recorded; // empty: none
        std::wstring words;
        DWORD exitCode;
        std::wstring product; // where the client lands; empty: nowhere
    } cases[] = {
        // What "%~dp0" gives a script: the backslash before the closing quote
        // belongs to the directory.
        {"quoted directory ending in a backslash", L"",
         L"path \"" + (m_work / L"My Apps\\") + L"\"", SETUP_EXIT_INSTALLED,
         m_work / L"My Apps\\Quillmossdex\\"},
        {"relative directory", L"", L"path foo", SETUP_EXIT_DIR_REJECTED, L""},
        {"relative directory after /D=", L"", L"/S /D=foo", SETUP_EXIT_DIR_REJECTED, L""},
        {"relative recorded directory", L"foo\\Quillmossdex\\", L"path " + Quote(apps()),
         SETUP_EXIT_INSTALLED, installed()},
        {"recorded Windows folder", L"C:\\windows\\", L"path " + Quote(apps()),
         SETUP_EXIT_INSTALLED, installed()},
        {"recorded folder without the product", m_work / L"gone\\", L"path " + Quote(apps()),
         SETUP_EXIT_INSTALLED, installed()},
        // A client planted there does not make the user's documents an
        // install folder.
        {"recorded documents folder", documents + L"\\", L"path " + Quote(apps()),
         SETUP_EXIT_INSTALLED, installed()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.recorded.empty())
            Record(c.recorded);
        EXPECT_EQ(c.exitCode, Install(c.words));
        if (!c.product.empty()) {
            EXPECT_TRUE(FileExists(c.product + L"Quillmossdex.exe"));
        }
        // Nothing is made for a refused or ignored folder.
        EXPECT_FALSE(FileExists(m_work / L"foo"));
        EXPECT_FALSE(FileExists(m_work / L"gone"));
        EXPECT_FALSE(FileExists(L"C:\\windows\\Quillmossdex.exe"));
        EXPECT_EQ("planted", ReadFileBytes(planted));
        EXPECT_FALSE(FileExists(documents + L"\\res"));
        CleanMachine();
    }
    DeleteFileW(planted.c_str());
}

TEST_F(Hardening, InstallsIntoUnusualSpellingsAreUninstalledWithTheirRecord) {
    const std::wstring spellings[] = {m_work / L"x\\..\\apps", m_work.Path() + L"/apps",
                                      m_work.Path() + L"\\\\apps"};
    for (const std::wstring& spelling : spellings) {
        SCOPED_TRACE(Narrow(spelling));
        ASSERT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"path " + Quote(spelling)));
        EXPECT_EQ(Narrow(installed()) + '\0', ReadRecordValue("InstallLocation"));
        EXPECT_EQ(static_cast<DWORD>(UNINSTALL_OK), Uninstall(installed()));
        EXPECT_EQ("", ReadRecordValue("InstallLocation"));
        CleanMachine();
    }
}

} // namespace
} // namespace qmtest

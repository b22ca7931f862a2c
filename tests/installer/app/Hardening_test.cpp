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
#include "installer/engine/EntryWriter.h"
#include "installer/engine/FileManage.h"
#include "installer/app/SilentInstall.h"
#include "installer/services/NoFollowFile.h"
#include "installer/services/Product.h"
#include "installer/services/SystemFolders.h"
#include "installer/services/FolderHandle.h"
#include "installer/services/Staging.h"
#include "payload/uninst/Uninstaller.h"
#include "skinui/core/Handles.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestPayload.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

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
        // A name of its own each time: a case that starts again (TearDown,
        // SetUp) must not depend on how soon Wine lets go of the image of the
        // copy the case before ran.
        static int copies = 0;
        m_exe = MakeCopy(L"setup-" + std::to_wstring(++copies) + L".exe", HardeningPayload());
        ASSERT_FALSE(m_exe.empty());
        victim = m_work / L"victim";
        CreateDirectoryW(victim.c_str(), nullptr);
        CreateDirectoryW((victim + L"\\res").c_str(), nullptr);
        m_victims = {{victim + L"\\secret.txt", "the user's secret"},
                     {victim + L"\\Quillmossdex.exe", "someone else's program"},
                     {victim + L"\\res\\version.txt", "someone else's data"}};
        for (const auto& [path, bytes] : m_victims)
            ASSERT_TRUE(WriteFileBytes(path, bytes));
        for (ShellValue& v : m_shellValues) {
            char buf[MAX_PATH] = {};
            DWORD size = sizeof(buf);
            v.had = RegGetValueA(v.root, kShellFolders, v.name, RRF_RT_REG_SZ, nullptr, buf,
                                 &size) == ERROR_SUCCESS;
            v.value = buf;
        }
    }
    void TearDown() override {
        m_holders.clear();
        m_parent = L"apps";
        for (const ShellValue& v : m_shellValues) {
            if (v.had)
                RegSetKeyValueA(v.root, kShellFolders, v.name, REG_SZ, v.value.c_str(),
                                static_cast<DWORD>(v.value.size() + 1));
            else
                RegDeleteKeyValueA(v.root, kShellFolders, v.name);
        }
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

    // Holds a mutex of this name in a process of its own (the sleeper), as
    // a standard user's program would, until the case ends.
    bool HoldMutex(const std::wstring& name) {
        m_holders.push_back(std::make_unique<ChildProcess>());
        if (!m_holders.back()->Start(Quote(ProgramDir() + L"\\qm_sleeper.exe") + L" " + name))
            return false;
        const std::string narrow = Narrow(name);
        return WaitUntil(
            [&] {
                SkinUI::UniqueHandle h(OpenMutexA(SYNCHRONIZE, FALSE, narrow.c_str()));
                return h.Valid();
            },
            5000);
    }
    // Runs the record's UninstallString as the system's program list does:
    // the whole value is the command line, no program named apart, so an
    // unquoted path with blanks starts the first program its words name. The
    // uninstaller's question is answered No.
    DWORD UninstallFromProgramList() {
        wchar_t value[1024] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, RecordKey().c_str(), L"UninstallString", RRF_RT_REG_SZ,
                         nullptr, value, &size) != ERROR_SUCCESS)
            return 0xFFFFFFFF;
        ChildProcess uninst;
        if (!uninst.Start(value, 0, m_work.Path()))
            return 0xFFFFFFFF;
        if (HWND box = WaitForProcessDialog(uninst.Pid(), 20000))
            PressDialogButton(box, IDNO);
        return uninst.Wait(60000) ? uninst.ExitCode() : 0xFFFFFFFF;
    }
    // The uninstaller started by its 8.3 path, silently.
    DWORD UninstallByShortPath() {
        const std::wstring uninst = installed() + L"uninst.exe";
        wchar_t shortPath[MAX_PATH] = {};
        const DWORD n = GetShortPathNameW(uninst.c_str(), shortPath, MAX_PATH);
        if (n == 0 || n >= MAX_PATH || uninst == shortPath) {
            ADD_FAILURE() << "no 8.3 path for " << Narrow(uninst);
            return 0xFFFFFFFF;
        }
        ChildProcess process;
        if (!process.Start(Quote(shortPath) + L" /S", 0, m_work.Path()) || !process.Wait(60000))
            return 0xFFFFFFFF;
        return process.ExitCode();
    }
    // Whether this run wrote a default log of its own (a planted file holds
    // no start line). Elevated, as every run under Wine, it lies in the
    // system's temporary folder; none goes to the user's.
    bool RunLogged() {
        WIN32_FIND_DATAW found = {};
        SkinUI::UniqueFind find(
            FindFirstFileW((m_work / L"Quillmossdex-install-*.log").c_str(), &found));
        do {
            if (find &&
                ReadFileBytes(m_work / found.cFileName).find(" started: ") != std::string::npos) {
                ADD_FAILURE() << "a log in the user's temporary folder";
                return false;
            }
        } while (find && FindNextFileW(find.Get(), &found));
        for (const std::wstring& log : DefaultLogsWith(m_work.Path()))
            if (ReadLogText(log).find(L" started: ") != std::wstring::npos)
                return true;
        return false;
    }
    // The default log of this run that holds text.
    bool RunLogSays(const std::wstring& text) {
        std::wstring seen;
        for (const std::wstring& log : DefaultLogsWith(m_work.Path())) {
            seen += ReadLogText(log);
            if (seen.find(text) != std::wstring::npos)
                return true;
        }
        ADD_FAILURE() << "the log says:\n" << Narrow(seen);
        return false;
    }
    // The programs started next find TEMP and TMP pointing at temp, as the user's own
    // values (HKCU\Environment) point an elevated run's in the split-token
    // case.
    void UseTemporaryFolder(const std::wstring& temp) {
        SetEnvironmentVariableW(L"TMP", temp.c_str());
        SetEnvironmentVariableW(L"TEMP", temp.c_str());
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
        SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, buf);
        return std::wstring(buf) + L"\\" + kProductName;
    }

    std::wstring victim;
    // The folder the product is installed below, by its name in the work
    // folder.
    std::wstring m_parent = L"apps";
    std::wstring apps() const { return m_work / m_parent; }
    std::wstring installed() const { return apps() + L"\\Quillmossdex\\"; }

    // The "Shell Folders" values that name a Programs folder, kept and put
    // back around each test.
    struct ShellValue {
        HKEY root;
        const char* name;
        bool had;
        std::string value;
    };
    ShellValue m_shellValues[2] = {{HKEY_CURRENT_USER, "Programs", false, {}},
                                   {HKEY_LOCAL_MACHINE, "Common Programs", false, {}}};

private:
    std::wstring m_exe;
    std::map<std::wstring, std::string> m_victims;
    std::vector<std::unique_ptr<ChildProcess>> m_holders;
};

TEST_F(Hardening, PlantedLinksLeaveTheirTargetsUnchanged) {
    const std::wstring secret = victim + L"\\secret.txt";
    static const std::string kBatchFile = "@echo off\r\nrem nightly\r\n";
    struct Attack {
        const char* name;
        // Planted before the install, in the temporary folder (the work folder).
        std::function<bool()> plant{};
        // When set: planted after the install, then the product is uninstalled.
        std::function<bool()> beforeUninstall{};
        DWORD installCode = SETUP_EXIT_INSTALLED;
        // Switches before "path <dir>".
        std::wstring switches{};
        // The install folder's parent, by its name in the work folder.
        const wchar_t* parent = L"apps";
        // How the product is removed; unset: its uninstaller, silently.
        std::function<DWORD()> uninstall{};
        DWORD uninstallCode = UNINSTALL_OK;
        // What else must hold after the case.
        std::function<void()> check{};
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
        {"the default log's names for each of the next two minutes",
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
             // Each second's name and the 19 alternatives ("-2" to "-20")
             // that runs used to try after it.
             return RunUnixScript("python3 -c 'import os, sys; [os.symlink(sys.argv[1], "
                                  "sys.argv[2] % (s + x)) for s in sys.argv[3:] "
                                  "for x in [str()] + [str(-i) for i in range(2, 21)] "
                                  "if not os.path.lexists(sys.argv[2] % (s + x))]' '" +
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
        // The program list runs the record's UninstallString as a command
        // line: unquoted, "...\\My Apps\\Quillmossdex\\uninst.exe" would
        // start "...\\My.exe", elevated, when the product is removed.
        {.name = "a program planted where an unquoted uninstall command's first word leads",
         .plant =
             [&] {
                 return CopyFileW((ProgramDir() + L"\\qm_fake_client.exe").c_str(),
                                  (m_work / L"My.exe").c_str(), FALSE) != 0;
             },
         .beforeUninstall = [] { return true; },
         .parent = L"My Apps",
         .uninstall = [&] { return UninstallFromProgramList(); },
         .uninstallCode = UNINSTALL_CANCELLED,
         .check = [&] { EXPECT_FALSE(FileExists(m_work / L"started.txt")) << "My.exe ran"; }},
        // A hard link makes the log's name a second name of the user's file.
        // (Windows refuses a symbolic link at the name the same way; Wine 8
        // does not report a link to a file, so the hard link is planted.)
        {.name = "the /LOG= file's name is a hard link to a file of the user",
         .plant =
             [&] {
                 return CreateHardLinkW((m_work / L"run.log").c_str(), secret.c_str(), nullptr) !=
                        0;
             },
         .switches = L"/LOG=" + (m_work / L"run.log") + L" ",
         .check = [&] { EXPECT_EQ("the user's secret", ReadFileBytes(m_work / L"run.log")); }},
        // Only the last level of the name used to be opened without
        // following a link: a folder above it that is a link to the victim
        // (on Windows a junction, or one to an object-manager directory)
        // had the log made there.
        {.name = "the /LOG= file lies below a link to a folder of the user",
         .plant = [&] { return Link(m_work / L"logs", victim); },
         .switches = L"/LOG=" + (m_work / L"logs\\qm-install.log") + L" ",
         .check = [&] { EXPECT_TRUE(RunLogSays(L"is not used: its name or a folder above it")); }},
        // Appended to, an administrator's batch file would run what the
        // command line put into the log after it.
        {.name = "the /LOG= file is an administrator's batch file",
         .plant = [&] { return WriteFileBytes(m_work / L"nightly.cmd", kBatchFile); },
         .switches = L"/LOG=" + (m_work / L"nightly.cmd") + L" ",
         .check =
             [&] {
                 EXPECT_EQ(kBatchFile, ReadFileBytes(m_work / L"nightly.cmd"));
                 EXPECT_TRUE(RunLogSays(L"exists and is not a log of this program"));
             }},
        // Wine deleted the file such a link names when the clean-up deleted
        // the link. (Windows opens the link itself and deletes it.)
        {.name = "a link to a file named like an earlier run's staging folder",
         .plant = [&] { return Link(m_work / L"qms-0123456789abcdee", secret); }},
        {.name = "links to a file and a folder inside what an earlier version left",
         .plant =
             [&] {
                 const std::wstring old = m_work / L"qmsTmp";
                 return CreateDirectoryW(old.c_str(), nullptr) &&
                        Link(old + L"\\secret.txt", secret) &&
                        Link(old + L"\\res", victim + L"\\res");
             }},
        // The temporary folder is named through a link (in the split-token
        // case its value comes from HKCU\\Environment): the root of the
        // clean-up is reached level by level and the link is not passed, so
        // what an earlier version left behind it stays.
        {.name = "the temporary folder is named through a link",
         .plant =
             [&] {
                 const std::wstring other = m_work / L"other";
                 if (!CreateDirectoryW(other.c_str(), nullptr) ||
                     !CreateDirectoryW((other + L"\\qmsTmp").c_str(), nullptr) ||
                     !WriteFileBytes(other + L"\\qmsTmp\\keep.txt", "kept") ||
                     !Link(m_work / L"tlink", other))
                     return false;
                 UseTemporaryFolder(m_work / L"tlink\\");
                 return true;
             },
         .check =
             [&] {
                 UseTemporaryFolder(m_work.Path());
                 EXPECT_EQ("kept", ReadFileBytes(m_work / L"other\\qmsTmp\\keep.txt"));
             }},
        // A standard user holding the names, also as "Global\\..." where a
        // deployment running as SYSTEM looks, made every silent install exit
        // with 3. On Windows the installer's mutex lies in a private
        // namespace with an administrators boundary that no standard user can
        // enter; Wine 8 has no private namespaces, so this shows the owner
        // check (Wine gives the user's mutexes no owner, Windows the user).
        {.name = "the installer's and the updater's mutexes held by a standard user",
         .plant =
             [&] {
                 return HoldMutex(L"Quillmossdex-Install") &&
                        HoldMutex(L"Global\\Quillmossdex-Install") &&
                        HoldMutex(L"Quillmossdex-Update") &&
                        HoldMutex(L"Global\\Quillmossdex-Update");
             }},
        // Saved in place, the link would overwrite the file the hard link
        // shares its data with.
        {.name = "a hard link at the desktop link's name",
         .plant =
             [&] {
                 return CreateHardLinkW(DesktopShortcut().c_str(), secret.c_str(), nullptr) != 0;
             },
         .check = [] { EXPECT_TRUE(FileExists(DesktopShortcut())); }},
        // Its own path then names the folder in 8.3 form, which the record and
        // the links do not: compared as text, they were left behind.
        {.name = "the uninstaller started by its 8.3 path",
         .plant = [] { return true; },
         .beforeUninstall = [] { return true; },
         .uninstall = [&] { return UninstallByShortPath(); }},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.name);
        m_parent = attack.parent;
        ASSERT_TRUE(attack.plant());
        EXPECT_EQ(attack.installCode, Install(attack.switches + L"path " + Quote(apps())));
        if (attack.installCode == SETUP_EXIT_INSTALLED) {
            EXPECT_EQ("version=1.0.67\r\n", ReadFileBytes(installed() + L"res\\version.txt"));
        }
        // No planted name keeps a run from writing its log.
        EXPECT_TRUE(RunLogged());
        ExpectVictimsUnchanged();
        if (attack.beforeUninstall) {
            ASSERT_TRUE(attack.beforeUninstall());
            EXPECT_EQ(static_cast<DWORD>(attack.uninstallCode),
                      attack.uninstall ? attack.uninstall() : Uninstall(installed()));
            if (attack.uninstallCode == UNINSTALL_OK) {
                EXPECT_FALSE(FileExists(installed() + L"Quillmossdex.exe"));
                EXPECT_EQ("", ReadRecordValue("InstallLocation"));
                for (const std::wstring& link :
                     {StartMenuShortcut(), StartMenuUninstallShortcut(), DesktopShortcut()})
                    EXPECT_FALSE(FileExists(link)) << Narrow(link);
            }
            ExpectVictimsUnchanged();
        }
        if (attack.check)
            attack.check();
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
    // The user's value, and the machine's, which the links for all users
    // would follow if anything read it.
    for (const ShellValue& v : m_shellValues)
        RegSetKeyValueA(v.root, kShellFolders, v.name, REG_SZ, value.c_str(),
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

// Made new where a shell reads it (a folder of scripts), the log holds the
// command line: the caller's text, shell operators included, which must
// reach no shell.
TEST_F(Hardening, ShellTextOnTheCommandLineReachesNoShellThroughTheLog) {
    const std::wstring log = m_work / L"log & echo pwned ^& rem %PATH%.cmd";
    EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED),
              Install(Quote(L"/LOG=" + log) + L" path " + Quote(apps())));
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find(" started: ")) << text;
    EXPECT_EQ(std::string::npos, text.find_first_of("&|<>^%")) << text;
}

// The level-by-level open that the elevated programs' logs, crash dump,
// clean-up and link removal go through, against links planted at each level.
// Windows opens a link at any level as the link itself (a junction too, and
// one that leads on to an object-manager link), and the open refuses it;
// Wine 8 follows the link, and the open tells by the name the system gives
// the handle.
TEST_F(Hardening, NoLevelOfAPathIsFollowedThroughALink) {
    const std::wstring secret = victim + L"\\secret.txt";
    ASSERT_TRUE(Link(m_work / L"dlink", victim));
    ASSERT_TRUE(Link(m_work / L"flink", secret));
    const std::wstring plain = m_work / L"plain folder with a long name";
    ASSERT_TRUE(CreateDirectoryW(plain.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(plain + L"\\file.txt", "plain"));
    wchar_t shortPlain[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(plain.c_str(), shortPlain, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH && plain != shortPlain) << "no 8.3 name";
    using K = TEntryKind;
    struct Case {
        const char* name;
        std::wstring path;
        DWORD disposition;
        TEntryKind kind;
        DWORD error; // ERROR_SUCCESS: opened
    } cases[] = {
        {"a plain file", plain + L"\\file.txt", OPEN_EXISTING, K::kAny, ERROR_SUCCESS},
        {"a folder by its 8.3 name", shortPlain, OPEN_EXISTING, K::kFolder, ERROR_SUCCESS},
        {"a file below a folder's 8.3 name", std::wstring(shortPlain) + L"\\file.txt",
         OPEN_EXISTING, K::kFile, ERROR_SUCCESS},
        {"a file spelled with .. and /", m_work / L"x\\..\\plain folder with a long name/file.txt",
         OPEN_EXISTING, K::kFile, ERROR_SUCCESS},
        {"a new file", plain + L"\\new.txt", CREATE_NEW, K::kFile, ERROR_SUCCESS},
        {"an existing file asked to be new", plain + L"\\file.txt", CREATE_NEW, K::kFile,
         ERROR_FILE_EXISTS},
        {"a file in a missing folder", plain + L"\\missing\\x.txt", OPEN_ALWAYS, K::kFile,
         ERROR_PATH_NOT_FOUND},
        {"a file asked for as a folder", plain + L"\\file.txt", OPEN_EXISTING, K::kFolder,
         ERROR_DIRECTORY},
        {"a file below a link to a folder", m_work / L"dlink\\secret.txt", OPEN_EXISTING, K::kAny,
         ERROR_CANT_ACCESS_FILE},
        {"a new file below a link to a folder", m_work / L"dlink\\new.txt", CREATE_NEW, K::kFile,
         ERROR_CANT_ACCESS_FILE},
        {"a new file two levels below a link", m_work / L"dlink\\res\\new.txt", OPEN_ALWAYS,
         K::kFile, ERROR_CANT_ACCESS_FILE},
        {"a link to a folder", m_work / L"dlink", OPEN_EXISTING, K::kAny, ERROR_CANT_ACCESS_FILE},
        {"a link to a file", m_work / L"flink", OPEN_ALWAYS, K::kAny, ERROR_CANT_ACCESS_FILE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TNoFollowOpen how;
        how.access = GENERIC_READ;
        how.disposition = c.disposition;
        how.kind = c.kind;
        SkinUI::UniqueHandle h = OpenPathNoFollow(c.path, how);
        EXPECT_EQ(c.error, h ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError());
    }
    EXPECT_TRUE(FileExists(plain + L"\\new.txt"));
    // The removal of a tree named through a link, or of a link to a file
    // (which Wine cannot open as itself), leaves what the link names alone.
    EXPECT_FALSE(RemoveTreeNoFollow(m_work / L"dlink\\res"));
    EXPECT_FALSE(RemoveTreeNoFollow(m_work / L"flink"));
    ExpectVictimsUnchanged();
}

// The per-user Start menu and desktop come from the user's own values
// (HKCU\...\User Shell Folders). Named through a link that leads to folders
// of links the user cannot write (another account's, the system's: here a
// folder standing for them), the elevated uninstaller deleted the links
// there by their path and removed their folder.
TEST_F(Hardening, TheUninstallerDeletesNothingThroughAPerUserFolderNamedThroughALink) {
    ASSERT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"path " + Quote(apps())));
    const std::string link = ReadFileBytes(StartMenuShortcut());
    ASSERT_FALSE(link.empty());
    const std::wstring others = m_work / L"others";
    const std::wstring folder = others + L"\\" + kProductName;
    ASSERT_TRUE(CreateDirectoryW(others.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring links[] = {folder + L"\\" + kClientLinkName,
                                  folder + L"\\" + kUninstallLinkName,
                                  others + L"\\" + kClientLinkName};
    for (const std::wstring& at : links)
        ASSERT_TRUE(WriteFileBytes(at, link));
    ASSERT_TRUE(Link(m_work / L"plink", others));

    const wchar_t kUserShellFolders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    struct Value {
        const wchar_t* name;
        std::wstring kept;
    } values[] = {{L"Programs", {}}, {L"Desktop", {}}};
    const std::wstring planted = m_work / L"plink";
    for (Value& v : values) {
        wchar_t buf[MAX_PATH] = {};
        DWORD size = sizeof(buf);
        if (RegGetValueW(HKEY_CURRENT_USER, kUserShellFolders, v.name,
                         RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buf,
                         &size) == ERROR_SUCCESS)
            v.kept = buf;
        RegSetKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, v.name, REG_EXPAND_SZ,
                        planted.c_str(),
                        static_cast<DWORD>((planted.size() + 1) * sizeof(wchar_t)));
    }
    const bool taken = SamePath(KnownFolderPath(FOLDERID_Programs), planted);
    if (taken) {
        EXPECT_EQ(static_cast<DWORD>(UNINSTALL_OK), Uninstall(installed()));
    }
    for (const Value& v : values) {
        if (v.kept.empty())
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, v.name);
        else
            RegSetKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, v.name, REG_EXPAND_SZ,
                            v.kept.c_str(),
                            static_cast<DWORD>((v.kept.size() + 1) * sizeof(wchar_t)));
    }
    ASSERT_TRUE(taken) << "the shell did not take the planted per-user folder";
    for (const std::wstring& at : links)
        EXPECT_EQ(link, ReadFileBytes(at)) << Narrow(at);
    // The links for all users went as before.
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    ExpectVictimsUnchanged();
}

TEST_F(Hardening, InstallsIntoUnusualSpellingsAreUninstalledWithTheirRecord) {
    // The work folder by its 8.3 name as well: the record holds the long one.
    wchar_t shortWork[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(m_work.Path().c_str(), shortWork, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    ASSERT_NE(m_work.Path(), shortWork) << "the file system made no 8.3 name";
    const std::wstring spellings[] = {m_work / L"x\\..\\apps", m_work.Path() + L"/apps",
                                      m_work.Path() + L"\\\\apps",
                                      std::wstring(shortWork) + L"\\apps"};
    for (const std::wstring& spelling : spellings) {
        SCOPED_TRACE(Narrow(spelling));
        ASSERT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"path " + Quote(spelling)));
        EXPECT_EQ(Narrow(installed()) + '\0', ReadRecordValue("InstallLocation"));
        EXPECT_EQ(static_cast<DWORD>(UNINSTALL_OK), Uninstall(installed()));
        EXPECT_EQ("", ReadRecordValue("InstallLocation"));
        CleanMachine();
    }
}

// A user who can write the install folder reads the running installer's
// staging name from the index and plants, at the names earlier versions
// derived from it, the unpack folder (an uninstaller of their own in it and
// a link to a folder they cannot write) and a file where the folder of
// replaced files would go. The run makes folders of its own under names
// nobody can foresee, so it neither adopts nor fails on what was planted.
// (Windows: the planted folder would be the user's, its ACL travelling with
// the files into the install folder; the folders the run makes are the
// administrators' from their creation, which Wine cannot show.)
TEST_F(Hardening, FoldersPlantedAtNamesTheIndexTellsAreNeitherUsedNorInTheWay) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    // The run's staging folder is named in the index by the time the
    // window is up.
    const std::vector<std::wstring> names = StagingIndexNames();
    ASSERT_FALSE(names.empty());
    const std::wstring dir = DefaultInstallDir();
    ASSERT_TRUE(CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr));
    std::vector<std::wstring> planted;
    for (const std::wstring& name : names) {
        const std::wstring unpack = dir + name + L".new";
        ASSERT_TRUE(CreateDirectoryW(unpack.c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(unpack + L"\\uninst.exe", "the user's uninstaller"));
        ASSERT_TRUE(Link(unpack + L"\\res", victim + L"\\res"));
        ASSERT_TRUE(WriteFileBytes(dir + name + L".old", "in the way"));
        planted.push_back(unpack + L"\\res");
    }
    ClickAt(hwnd, layout::kInstall.x, layout::kInstall.y);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
    ClickAt(hwnd, layout::kCloseBtn.x, layout::kCloseBtn.y);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, Child().ExitCode());

    EXPECT_EQ("the uninstaller's place in the test payload", ReadFileBytes(dir + L"uninst.exe"));
    EXPECT_EQ("version=1.0.67\r\n", ReadFileBytes(dir + L"res\\version.txt"));
    ExpectVictimsUnchanged();
    for (const std::wstring& name : names) {
        EXPECT_EQ("the user's uninstaller", ReadFileBytes(dir + name + L".new\\uninst.exe"));
        EXPECT_EQ("in the way", ReadFileBytes(dir + name + L".old"));
    }
    // Nothing of the run's own folders is left beside them.
    WIN32_FIND_DATAW found = {};
    SkinUI::UniqueFind find(FindFirstFileW((dir + L"qms-*").c_str(), &found));
    int left = 0;
    if (find) {
        do
            ++left;
        while (FindNextFileW(find.Get(), &found));
    }
    EXPECT_EQ(static_cast<int>(2 * names.size()), left);
    // The links go before the machine is cleaned, which would follow them.
    for (const std::wstring& link : planted)
        RunUnixScript("rm -f '" + UnixPath(link) + "'", m_work / L"unlinked.marker");
}

// The unpacking reaches every level through the handle of the one above and
// makes each new, so a link planted inside the folder it unpacks into (on
// Windows no user can, the folder being the administrators' from its
// creation; Wine keeps no ACLs) fails the entry instead of being written
// through, and a file at an entry's name that the unpacking did not make is
// neither deleted nor written.
TEST_F(Hardening, UnpackingNeverWritesThroughWhatIsPlantedInTheUnpackFolder) {
    const std::wstring secret = victim + L"\\secret.txt";
    struct Case {
        const char* name;
        std::function<bool(const std::wstring& root)> plant;
        const wchar_t* entry;
    } cases[] = {
        {"a link at a folder level",
         [&](const std::wstring& root) { return Link(root + L"\\res", victim + L"\\res"); },
         L"res\\version.txt"},
        {"a link at the first of two levels",
         [&](const std::wstring& root) { return Link(root + L"\\res", victim); },
         L"res\\res\\version.txt"},
        {"a hard link at the file's name",
         [&](const std::wstring& root) {
             return CreateHardLinkW((root + L"\\secret.txt").c_str(), secret.c_str(), nullptr) != 0;
         },
         L"secret.txt"},
        {"a plain file at the file's name",
         [&](const std::wstring& root) {
             return WriteFileBytes(root + L"\\Quillmossdex.exe", "planted");
         },
         L"Quillmossdex.exe"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring root = m_work / (L"unpack" + std::to_wstring(++n));
        ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
        ASSERT_TRUE(c.plant(root));
        SkinUI::UniqueHandle handle = OpenFolderLevels(
            root, FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE);
        ASSERT_TRUE(handle.Valid());
        {
            CEntryWriter writer;
            ASSERT_TRUE(writer.Start(handle.Get()));
            // An empty entry: its CRC-32 is 0.
            writer.Begin(c.entry, 0, 0);
            writer.End(false);
            EXPECT_FALSE(writer.Flush());
        }
        ExpectVictimsUnchanged();
    }
    EXPECT_EQ("planted", ReadFileBytes(m_work / L"unpack4\\Quillmossdex.exe"));
}

} // namespace
} // namespace qmtest

namespace qmtest {
namespace {

// ---------------------------------------------------------------------------
// Journals and staging folders: what recovery reads and what clean-up deletes

// A canary key below HKEY_LOCAL_MACHINE and the places a forged journal aims
// at: a DLL in the system folder and a value in the machine's Run key.
const wchar_t kCanaryKey[] = L"SOFTWARE\\QmHardeningCanary";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string HexOf(const void* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::wstring SystemDll() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\qm-planted.dll";
}

class ForgedJournal : public Hardening {
protected:
    void SetUp() override {
        Hardening::SetUp();
        SkinUI::UniqueRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCanaryKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), L"alive", 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(L"yes"), 8));
        ASSERT_TRUE(WriteFileBytes(m_work / L"planted.dll", "MZ a DLL of the attacker"));
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCanaryKey);
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"QmPlanted");
        DeleteFileW(SystemDll().c_str());
        Hardening::TearDown();
    }

    // Undo steps of a run that never committed: delete the victim folder,
    // drop a DLL into the system folder, write a Run value and delete a key
    // of the machine. Carried out elevated, each would be a way in.
    std::string Journal() const {
        const std::wstring value = L"C:\\planted.exe";
        const std::wstring name = L"QmPlanted";
        return "I\t" + Narrow(installed()) + "\n" + "T\t" + Narrow(victim) + "\n" + "F\t1\t" +
               Narrow(SystemDll()) + "\t" + Narrow(m_work / L"planted.dll") + "\n" + "S\tM\t" +
               Narrow(kRunKey) + "\t\t" + HexOf(name.data(), name.size() * sizeof(wchar_t)) +
               "\t1\t1\t" + HexOf(value.c_str(), (value.size() + 1) * sizeof(wchar_t)) + "\n" +
               "R\tM\t" + Narrow(kCanaryKey) + "\t0\t" + Narrow(kCanaryKey) + "\n";
    }

    void ExpectNothingCarriedOut() {
        ExpectVictimsUnchanged();
        EXPECT_FALSE(FileExists(SystemDll()));
        EXPECT_NE(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"QmPlanted", RRF_RT_ANY,
                                              nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, kCanaryKey, L"alive", RRF_RT_ANY,
                                              nullptr, nullptr, nullptr));
    }
};

// A standard user (in the split-token case the very account the elevated run
// belongs to) can write the user's temporary folder, and can create folders in
// the system's; neither is where a run's journal is read from, and a journal
// that is read is held to the install it names. On Windows the staging
// folders also carry an ACL for administrators and SYSTEM only, which Wine
// does not keep; the index below HKEY_LOCAL_MACHINE stands for it here.
TEST_F(ForgedJournal, NoForgedStepIsCarriedOutByTheNextElevatedStart) {
    struct Attack {
        const char* name;
        // Where the journal goes; empty when the case plants nothing itself.
        std::function<std::wstring()> plant;
    } attacks[] = {
        {"in the user's temporary folder, named like a staging folder",
         [&] {
             const std::wstring dir = m_work / L"qms-0123456789abcdef";
             CreateDirectoryW(dir.c_str(), nullptr);
             return dir;
         }},
        {"in the system's staging folder, under a name the index does not hold",
         [&] {
             const std::wstring dir = StagingParent() + L"qms-00000000000000a1";
             CreateDirectoryW(dir.c_str(), nullptr);
             return dir;
         }},
        {"at a name the index holds, but in another folder than the one made there",
         [&] {
             const std::wstring dir = StagingParent() + L"qms-00000000000000a2";
             CreateDirectoryW(dir.c_str(), nullptr);
             const BYTE other[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
             RegSetKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(kProductKey) + L"\\Staging").c_str(),
                             L"qms-00000000000000a2", REG_BINARY, other, sizeof(other));
             return dir;
         }},
        {"a staging folder of the programs' own whose steps leave the install",
         [&] {
             std::wstring dir;
             if (!CreateStagingDir(&dir))
                 return std::wstring();
             dir.pop_back();
             return dir;
         }},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.name);
        const std::wstring dir = attack.plant();
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(WriteFileBytes(dir + L"\\journal", Journal()));
        // The installer's start, then the uninstaller's: both settle what
        // earlier runs left before anything else.
        EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"/S /D=" + apps()));
        ExpectNothingCarriedOut();
        EXPECT_EQ(static_cast<DWORD>(UNINSTALL_OK), Uninstall(installed()));
        ExpectNothingCarriedOut();
        RemoveStagingDir(dir);
        RemoveTree(dir);
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(kProductKey) + L"\\Staging").c_str(),
                           L"qms-00000000000000a2");
        TearDown();
        SetUp();
    }
}

// A run killed before it named its install folder in the index: the
// journal's own first line names the system folder, and its steps would
// delete a file and a folder there. The staging folder is one the programs
// made, standing for a folder a user made at an id the file system handed
// out again (Wine's ids are inode numbers, which ext4 reuses at once; on
// Windows the owner and ACL read on the folder's handle also refuse such a
// folder, as its owner is the user).
TEST_F(ForgedJournal, AJournalReachesOnlyTheInstallFolderItsIndexEntryNames) {
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    const std::wstring systemDir = std::wstring(system) + L"\\";
    const std::wstring victimDll = systemDir + L"qm-victim.dll";
    ASSERT_TRUE(WriteFileBytes(victimDll, "MZ a DLL of the system"));
    std::wstring dir;
    ASSERT_TRUE(CreateStagingDir(&dir));
    ASSERT_TRUE(IsTrustedStagingDir(dir));
    EXPECT_EQ(L"", StagingScope(dir));
    // Undo steps of a fresh install into the system folder: the file it
    // "created" there goes, and so does a folder it "made".
    const std::string journal = "I\t" + Narrow(systemDir) + "\n" + "F\t0\t" + Narrow(victimDll) +
                                "\t\n" + "T\t" + Narrow(systemDir + L"drivers") + "\n";
    ASSERT_TRUE(WriteFileBytes(dir + L"journal", journal));
    EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"/S /D=" + apps()));
    EXPECT_EQ("MZ a DLL of the system", ReadFileBytes(victimDll));
    EXPECT_TRUE(FileExists(systemDir + L"drivers"));
    ExpectNothingCarriedOut();
    RemoveStagingDir(dir);
    DeleteFileW(victimDll.c_str());
}

// A staging folder whose owner or ACL is no longer what the run gave it is
// not the programs' any more, whatever its id. (Windows: a folder a user made
// at a freed id is theirs; here the ACL is changed on the programs' own
// folder, which Wine keeps as far as it maps to the file's mode.)
TEST_F(ForgedJournal, AStagingFolderIsTrustedOnlyWithTheAclItWasGiven) {
    std::wstring dir;
    ASSERT_TRUE(CreateStagingDir(&dir));
    EXPECT_TRUE(IsTrustedStagingDir(dir));
    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> everyone;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, everyone.Put(), nullptr));
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorDacl(everyone.Get(), &present, &dacl, &defaulted));
    std::wstring path = dir.substr(0, dir.size() - 1);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, dacl, nullptr));
    EXPECT_FALSE(IsTrustedStagingDir(dir));
    EXPECT_EQ(L"", StagingScope(dir));
    RemoveStagingDir(dir);
    RemoveTree(path);
}

// HKEY_CURRENT_USER is whoever runs. A run that was killed (a deployment
// running as SYSTEM, say) leaves undo steps for its own user's settings; the
// next person to start the installer must not have them carried out on
// theirs. Only the user the steps name gets them.
TEST_F(ForgedJournal, SettingsStepsAreCarriedOutOnlyForTheUserTheyName) {
    HANDLE raw = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw));
    SkinUI::UniqueHandle token(raw);
    alignas(8) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenUser, user, sizeof(user), &size));
    SkinUI::UniqueLocal<LPWSTR> own;
    ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, own.Put()));
    const std::wstring settings = std::wstring(L"SOFTWARE\\") + kSettingsSubKey;
    const std::wstring value = L"InstallWay";
    struct Case {
        const char* name;
        std::string root;
        bool carriedOut;
    } cases[] = {
        {"another user's SID", "U:S-1-5-21-1111111111-2222222222-3333333333-1001", false},
        {"the same user's SID", "U:" + Narrow(own.Get()), true},
        {"no SID (as journals were written before)", "U", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DWORD kind = 7;
        ASSERT_EQ(static_cast<LONG>(ERROR_SUCCESS),
                  RegSetKeyValueW(HKEY_CURRENT_USER, settings.c_str(), value.c_str(), REG_DWORD,
                                  &kind, sizeof(kind)));
        std::wstring dir;
        ASSERT_TRUE(CreateStagingDir(&dir));
        // The run had found no such value: its undo deletes it.
        const std::string journal =
            "I\t" + Narrow(installed()) + "\n" + "S\t" + c.root + "\t" + Narrow(settings) + "\t\t" +
            HexOf(value.data(), value.size() * sizeof(wchar_t)) + "\t0\t0\t\n";
        ASSERT_TRUE(WriteFileBytes(dir + L"journal", journal));
        // A run that settles earlier runs and then refuses its folder, so
        // that nothing of its own writes the value.
        EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_DIR_REJECTED), Install(L"/S /D=foo"));
        DWORD now = 0, bytes = sizeof(now);
        const bool there = RegGetValueW(HKEY_CURRENT_USER, settings.c_str(), value.c_str(),
                                        RRF_RT_REG_DWORD, nullptr, &now, &bytes) == ERROR_SUCCESS;
        EXPECT_EQ(!c.carriedOut, there);
        RemoveStagingDir(dir);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, settings.c_str(), value.c_str());
    }
}

// What earlier versions left in the user's temporary folder is removed, never
// read. A user who swaps a folder being removed for a link to their victim
// (after the removal has listed it) must not have the victim's files deleted:
// every level is opened relative to the one above and checked to be what was
// listed. On Windows the handle alone decides what goes; Wine deletes by the
// name a file was opened under, which the removal checks just before.
TEST_F(Hardening, CleanUpNeverFollowsAFolderSwappedForALink) {
    for (const wchar_t* planted : {L"qms-00000000000000c3", L"qmsTmp"}) {
        SCOPED_TRACE(Narrow(planted));
        const std::wstring root = m_work / planted;
        const std::wstring sub = root + L"\\sub";
        ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
        // Many files, and the victim's names among them.
        std::string script =
            "cd '" + UnixPath(sub) + "' && for i in $(seq 1 1500); do : > f$i; done";
        script += " && : > secret.txt && : > Quillmossdex.exe";
        ASSERT_TRUE(RunUnixScript(script, m_work / L"filled.marker"));
        // The swap: once the first file has gone, the folder is moved away
        // and a link to the victim takes its name.
        const std::wstring swapped = m_work / L"swapped.marker";
        const std::string swap = "cd '" + UnixPath(root) + "' && n=0; while [ -e sub/f1 ] && " +
                                 "[ -e sub/f1500 ] && [ $n -lt 200000 ]; do n=$((n+1)); done; " +
                                 "mv sub sub.moved && ln -s '" + UnixPath(victim) + "' sub";
        ChildProcess swapper;
        const std::string cmd =
            "Z:\\bin\\sh -c \"" + swap + "; touch '" + UnixPath(swapped) + "'\"";
        ASSERT_TRUE(swapper.Start(std::wstring(cmd.begin(), cmd.end())));
        EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALLED), Install(L"/S /D=" + apps()));
        EXPECT_TRUE(WaitUntil([&] { return FileExists(swapped); }, 60000));
        ExpectVictimsUnchanged();
        TearDown();
        SetUp();
    }
}

} // namespace
} // namespace qmtest

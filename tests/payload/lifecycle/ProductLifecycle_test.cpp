#include "tests/payload/lifecycle/LifecycleTest.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace {

using namespace qmtest;

const std::wstring kRecordKey = RecordKey();

std::wstring SetupExe() {
    return qmtest::ProgramDir() + L"\\..\\..\\..\\QuillmossdexSetup.exe";
}

std::string InstallWay() {
    char data[8] = {};
    DWORD size = sizeof(data);
    if (RegGetValueA(HKEY_CURRENT_USER, "SOFTWARE\\Quillmossdex\\Flags", "InstallWay",
                     RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, data, &size) != ERROR_SUCCESS)
        return std::string();
    return std::string(data);
}

bool WaitFor(bool (*pred)(const std::wstring&), const std::wstring& arg, bool want) {
    for (int i = 0; i < 400; ++i) {
        if (pred(arg) == want)
            return true;
        Sleep(50);
    }
    return pred(arg) == want;
}

bool Exists(const std::wstring& path) {
    return FileExists(path);
}

class ProductLifecycle : public qmtest::LifecycleTest {
protected:
    void SetUp() override {
        // A 64-bit Wine prefix made without its 32-bit part lacks the
        // WOW6432Node uninstall branch that every 64-bit Windows has.
        HKEY base = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey.substr(0, kRecordKey.rfind(L'\\')).c_str(),
                        0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &base, nullptr);
        if (base)
            RegCloseKey(base);
        LifecycleTest::SetUp();
        installDir = root.Path() + L"\\Quillmossdex\\";
    }

    DWORD Run(const std::wstring& commandLine) {
        qmtest::ChildProcess p;
        EXPECT_TRUE(p.Start(commandLine));
        if (!p.Wait(120000)) {
            // Say what it is showing: a box left open is the usual reason.
            std::string seen;
            for (HWND w : qmtest::ProcessWindows(p.Pid())) {
                std::wstring text = qmtest::WindowText(w) + L" / " + qmtest::MessageBoxText(w);
                seen += std::string(text.begin(), text.end()) + "; ";
            }
            ADD_FAILURE() << "did not end; its windows: " << seen;
        }
        return p.ExitCode();
    }

    DWORD InstallSilently() {
        return Run(qmtest::Quote(SetupExe()) + L" path " + qmtest::Quote(root.Path()));
    }
    DWORD UninstallSilently() { return Run(qmtest::Quote(installDir + L"uninst.exe") + L" /S"); }

    qmtest::TempDir root{L"qmlife"};
    std::wstring installDir;
};

TEST_F(ProductLifecycle, InstallUseUninstallWhileTheClientRunsThenReinstall) {
    ASSERT_EQ(0u, InstallSilently());
    for (const wchar_t* f :
         {L"Quillmossdex.exe", L"uninst.exe", L"uninst.lst", L"res\\version.txt"})
        EXPECT_TRUE(FileExists(installDir + f)) << "missing after install";
    EXPECT_EQ("1", InstallWay());
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kRecordKey.c_str()));

    // The client, started from its desktop link's target, shows its window and
    // holds its mutex.
    std::wstring target = ShortcutTarget(DesktopLink());
    ASSERT_EQ(installDir + L"Quillmossdex.exe", target);
    EXPECT_EQ(installDir + L"uninst.exe",
              ShortcutTarget(MenuFolder() + L"\\卸载" + kProduct + L".lnk"));
    qmtest::ChildProcess client;
    ASSERT_TRUE(client.Start(qmtest::Quote(target)));
    bool shown = false;
    for (int i = 0; i < 300 && !shown; ++i) {
        shown = FindWindowW(L"QuillmossdexClient", kProduct) != nullptr;
        if (!shown)
            Sleep(50);
    }
    ASSERT_TRUE(shown) << "the client showed no window";
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Quillmossdex-Client");
    ASSERT_NE(nullptr, mutex);
    CloseHandle(mutex);

    // Uninstalling closes the client and removes everything the install made,
    // but keeps the user's settings.
    EXPECT_EQ(0u, UninstallSilently());
    EXPECT_TRUE(client.Wait(10000)) << "the client still runs";
    for (const wchar_t* f : {L"Quillmossdex.exe", L"uninst.lst", L"res\\version.txt", L"res"})
        EXPECT_FALSE(FileExists(installDir + f)) << "left after uninstall";
    EXPECT_TRUE(WaitFor(Exists, installDir + L"uninst.exe", false)) << "uninst.exe stays";
    EXPECT_TRUE(WaitFor(Exists, installDir, false)) << "the emptied install folder stays";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kRecordKey.c_str()));
    EXPECT_FALSE(FileExists(DesktopLink()));
    EXPECT_FALSE(FileExists(MenuFolder()));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmossdex\\Flags"));

    // With the settings left behind, the next install is "over leftover settings".
    ASSERT_EQ(0u, InstallSilently());
    EXPECT_EQ("3", InstallWay());
    EXPECT_EQ(0u, UninstallSilently());
}

TEST_F(ProductLifecycle, UninstallKeepsTheUsersFilesAndASecondRunFailsCleanly) {
    CreateDirectoryW(installDir.c_str(), nullptr);
    CreateDirectoryW((installDir + L"res").c_str(), nullptr);
    qmtest::WriteFileBytes(installDir + L"mine.txt", "mine");
    qmtest::WriteFileBytes(installDir + L"res\\notes.txt", "notes");
    ASSERT_EQ(0u, InstallSilently());
    std::wstring spare = root / L"uninst-spare.exe";
    ASSERT_TRUE(CopyFileW((installDir + L"uninst.exe").c_str(), spare.c_str(), FALSE));

    EXPECT_EQ(0u, UninstallSilently());
    EXPECT_TRUE(WaitFor(Exists, installDir + L"uninst.exe", false));
    EXPECT_EQ("mine", qmtest::ReadFileBytes(installDir + L"mine.txt"));
    EXPECT_EQ("notes", qmtest::ReadFileBytes(installDir + L"res\\notes.txt"));
    EXPECT_FALSE(FileExists(installDir + L"Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(installDir + L"res\\version.txt"));

    // Run again from the same folder: the product is gone, nothing is touched.
    ASSERT_TRUE(CopyFileW(spare.c_str(), (installDir + L"uninst.exe").c_str(), FALSE));
    EXPECT_EQ(2u, UninstallSilently());
    EXPECT_EQ("mine", qmtest::ReadFileBytes(installDir + L"mine.txt"));
    EXPECT_TRUE(FileExists(installDir + L"uninst.exe"));
}

// What a deployment script does on a machine without a desktop: a silent
// install, a look at the record, the record's quiet uninstall command; every
// program runs with no display at all (DISPLAY is not in its environment, so
// under Wine it cannot reach the X server), and each leaves its log.
TEST_F(ProductLifecycle, ScriptInstallsAndUninstallsWithoutADisplay) {
    const std::wstring noDisplay = qmtest::EnvironmentWithout(L"DISPLAY");
    auto run = [&](const std::wstring& commandLine) {
        qmtest::ChildProcess p;
        p.SetEnvironment(noDisplay);
        EXPECT_TRUE(p.Start(commandLine));
        bool shown = false;
        for (int i = 0; i < 2400 && p.Running(); ++i) {
            if (!qmtest::ProcessWindows(p.Pid()).empty())
                shown = true;
            Sleep(50);
        }
        EXPECT_FALSE(shown) << commandLine.c_str();
        EXPECT_FALSE(p.Running());
        return p.ExitCode();
    };
    const std::wstring installLog = root / L"install.log";
    const std::wstring uninstallLog = root / L"uninstall.log";

    ASSERT_EQ(0u, run(qmtest::Quote(SetupExe()) + L" /S " + qmtest::Quote(L"/LOG=" + installLog) +
                      L" /D=" + root.Path()));
    EXPECT_TRUE(FileExists(installDir + L"Quillmossdex.exe"));
    EXPECT_TRUE(FileExists(DesktopLink()));
    const std::string installed = qmtest::ReadFileBytes(installLog);
    EXPECT_NE(std::string::npos, installed.find("write the uninstall record: done")) << installed;
    EXPECT_NE(std::string::npos, installed.find("exit code 0")) << installed;

    wchar_t quiet[MAX_PATH + 16] = {};
    DWORD size = sizeof(quiet) - sizeof(wchar_t);
    ASSERT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_LOCAL_MACHINE, kRecordKey.c_str(), L"QuietUninstallString",
                           RRF_RT_REG_SZ, nullptr, quiet, &size));
    EXPECT_EQ(qmtest::Quote(installDir + L"uninst.exe") + L" /S", quiet);

    EXPECT_EQ(0u, run(std::wstring(quiet) + L" " + qmtest::Quote(L"/LOG=" + uninstallLog)));
    EXPECT_FALSE(FileExists(installDir + L"Quillmossdex.exe"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kRecordKey.c_str()));
    EXPECT_FALSE(FileExists(DesktopLink()));
    EXPECT_TRUE(WaitFor(Exists, installDir, false)) << "the emptied install folder stays";
    const std::string removed = qmtest::ReadFileBytes(uninstallLog);
    EXPECT_NE(std::string::npos, removed.find("uninst.exe 1.0.67 started")) << removed;
    EXPECT_NE(std::string::npos, removed.find("removed; exit code 0")) << removed;
}

TEST_F(ProductLifecycle, UninstallerSpeaksTheUsualSwitches) {
    ASSERT_EQ(0u, InstallSilently());
    struct Case {
        const wchar_t* words;
        DWORD exitCode;
    } cases[] = {{L"/?", 0}, {L"/HELP", 0}, {L"/S /bogus", 5}};
    for (const Case& c : cases) {
        DWORD code = 0;
        const std::string out = qmtest::RunAndCapture(
            qmtest::Quote(installDir + L"uninst.exe") + L" " + c.words, 30000, &code);
        EXPECT_EQ(c.exitCode, code) << out;
        EXPECT_NE(std::string::npos, out.find("/LOG=")) << out;
        EXPECT_EQ(c.exitCode != 0, out.find("unknown switch: /bogus") != std::string::npos);
    }
    // None of them removed anything.
    EXPECT_TRUE(FileExists(installDir + L"Quillmossdex.exe"));
    EXPECT_EQ(0u, UninstallSilently());
}

} // namespace

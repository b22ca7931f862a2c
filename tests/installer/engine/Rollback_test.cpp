// Installs and updates that end badly: stopped from the window, failed on a
// held file or a link, ended with the session, or killed at any point. Each
// case compares the whole machine state the product touches (install folder,
// registry, links, temporary data) before and after.
#include "installer/engine/FileManage.h"
#include "installer/app/SilentInstall.h"
#include "installer/services/Product.h"
#include "installer/services/Staging.h"

#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestPayload.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

using namespace qmtest;

namespace {

using State = std::map<std::wstring, std::string>;

std::string Hex(const BYTE* data, DWORD size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// Every file and folder below dir, by relative path (folders end with '\'),
// with the files' bytes.
void AddTree(const std::wstring& dir, State* state) {
    for (const auto& [name, bytes] : qmtest::ReadTree(dir))
        (*state)[(name.back() == L'\\' ? L"dir: " : L"file: ") + name] = bytes;
}

void AddKey(HKEY root, const std::wstring& path, State* state) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    (*state)[L"key: " + path] = "";
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        BYTE data[4096];
        DWORD nameChars = 512, size = sizeof(data), type = 0;
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        (*state)[L"value: " + path + L" | " + name] = std::to_string(type) + ":" + Hex(data, size);
    }
    RegCloseKey(key);
}

// The product's whole footprint: the install folder, its record and
// settings, the links, and what the installer keeps in tempDir.
State Capture(const std::wstring& installDir, const std::wstring& tempDir) {
    State state;
    std::wstring dir = installDir;
    dir.pop_back();
    if (GetFileAttributesW(dir.c_str()) != INVALID_FILE_ATTRIBUTES) {
        state[L"install folder"] = "";
        AddTree(installDir, &state);
    }
    AddKey(HKEY_LOCAL_MACHINE, UninstallKeyPath(), &state);
    AddKey(HKEY_CURRENT_USER, kProductKey, &state);
    AddKey(HKEY_CURRENT_USER, kSettingsKey, &state);
    for (const std::wstring& link :
         {DesktopShortcut(), StartMenuShortcut(), StartMenuUninstallShortcut()})
        if (FileExists(link))
            state[L"link: " + link] = ReadFileBytes(link);
    if (FileExists(StartMenuFolder()))
        state[L"start menu folder"] = "";
    // Staging folders, their journals and the unpack folder of old versions,
    // in the user's temporary folder and where an elevated run stages, and
    // the index that names the staging folders.
    for (const std::wstring& base : {tempDir + L"\\", StagingParent()}) {
        WIN32_FIND_DATAW found = {};
        HANDLE find = FindFirstFileW((base + L"qms*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do
                state[L"temp: " + std::wstring(found.cFileName)] = "";
            while (FindNextFileW(find, &found));
            FindClose(find);
        }
    }
    AddKey(HKEY_LOCAL_MACHINE, std::wstring(kProductKey) + L"\\Staging", &state);
    return state;
}

// The next version of the small test product: a changed uninstaller and data
// file, one more file in a folder of its own; withRes false leaves the folder
// res/ of the current version out.
std::string MakeNextPayload(bool withRes = true) {
    const std::string client = ReadFileBytes(ProgramDir() + L"\\qm_fake_client.exe");
    std::vector<ZipEntry> entries;
    entries.push_back({"Quillmossdex.exe", client + "version 2"});
    entries.push_back({"uninst.exe", "the next uninstaller"});
    if (withRes) {
        entries.push_back({"res/", "", false});
        entries.push_back({"res/version.txt", "version=2.0.0\r\n"});
    }
    entries.push_back({"plugins/", "", false});
    entries.push_back({"plugins/extra.dat", NoiseBytes(30000, 7)});
    return BuildPayload(entries);
}

bool Contains(const std::vector<std::wstring>& texts, const wchar_t* part) {
    for (const std::wstring& t : texts)
        if (t.find(part) != std::wstring::npos)
            return true;
    return false;
}

const wchar_t kQuestion[] = L"确定要停止安装吗";
const wchar_t kNothingChanged[] = L"没有任何改变";

class RollbackApp : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        next = MakeCopy(L"setup-next.exe", MakeNextPayload());
        ASSERT_FALSE(next.empty());
        dropping = MakeCopy(L"setup-dropping.exe", MakeNextPayload(false));
        ASSERT_FALSE(dropping.empty());
    }

    // A silent install of exe below parent (or over the recorded one).
    DWORD InstallSilently(const std::wstring& exe, const std::wstring& parent,
                          const std::wstring& log = L"") {
        std::wstring args = L"/S";
        if (!log.empty())
            args += L" /LOG=" + Quote(log);
        if (!Start(args + L" /D=" + parent, exe) || !WaitForExit(60000))
            return 0xFFFFFFFFu;
        return Child().ExitCode();
    }

    // The installer's boxes until it ends: Yes (or No) to the question
    // whether to stop, OK to everything else. Their texts, in order.
    std::vector<std::wstring> AnswerUntilExit(int toQuestion, DWORD timeoutMs = 60000) {
        std::vector<std::wstring> texts;
        const DWORD start = GetTickCount();
        while (!WaitForExit(0) && GetTickCount() - start < timeoutMs) {
            HWND box = WaitForProcessDialog(Child().Pid(), 200);
            if (!box)
                continue;
            const std::wstring text = MessageBoxText(box);
            texts.push_back(text);
            PressDialogButton(box, text.find(kQuestion) != std::wstring::npos ? toQuestion : IDOK);
            WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
        }
        return texts;
    }

    State Now() { return Capture(dir, m_work.Path()); }

    std::wstring next;
    // The next version without the folder res/ of the current one.
    std::wstring dropping;
    std::wstring dir = DefaultInstallDir();
};

enum class Close { Button, AltF4, TaskbarClose, Escape, SessionEnd };

void CloseTheWindow(HWND hwnd, Close how) {
    switch (how) {
    case Close::Button:
        ClickAt(hwnd, layout::kCloseBtn.x, layout::kCloseBtn.y);
        break;
    case Close::AltF4:
    case Close::Escape: {
        // Keys go to the active window: a click on the background makes sure
        // that is the installer.
        ClickAt(hwnd, 60, 60);
        if (how == Close::Escape) {
            PressKey(VK_ESCAPE);
            break;
        }
        PressKeyWith(VK_MENU, VK_F4);
        break;
    }
    case Close::TaskbarClose:
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Close::SessionEnd: {
        // What the system sends when the user logs off or shuts down.
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 15000, &answer);
        EXPECT_NE(0u, answer) << "the installer must not hold the session up";
        SendMessageTimeoutW(hwnd, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 30000, &answer);
        break;
    }
    }
}

// A held file keeps the worker at the move (retrying) long enough to be
// stopped there; any way of closing then asks, and Yes puts everything back.
// A worker that runs out of retries before the answer fails and rolls back
// the same way, so the comparison holds either way.
TEST_F(RollbackApp, StoppingAnInstallLeavesEverythingAsItWas) {
    struct Case {
        const char* name;
        bool update;
        Close how;
        int answer;
    } cases[] = {
        {"update, close button, Yes", true, Close::Button, IDYES},
        {"update, Alt+F4, Yes", true, Close::AltF4, IDYES},
        {"update, close button, No: it goes on and fails on the held file", true, Close::Button,
         IDNO},
        {"update, the session ends", true, Close::SessionEnd, IDYES},
        {"fresh over an existing folder, taskbar close, Yes", false, Close::TaskbarClose, IDYES},
        {"fresh over an existing folder, Esc, Yes", false, Close::Escape, IDYES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CleanMachine();
        std::wstring held;
        if (c.update) {
            // The previous version, installed as a script would, links and all.
            std::wstring parent = dir.substr(0, dir.size() - 1);
            parent = parent.substr(0, parent.find_last_of(L'\\'));
            ASSERT_EQ(0u, InstallSilently(s_setup, parent));
            held = dir + L"res\\version.txt";
        } else {
            // A folder with something of the user's in it, and a file of the
            // payload's name in the way.
            CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
            WriteFileBytes(dir + L"notes.txt", "the user's own notes");
            WriteFileBytes(dir + L"uninst.exe", "something of the same name");
            held = dir + L"uninst.exe";
        }
        const State before = Now();
        HeldFile hold(held, OPEN_EXISTING);
        ASSERT_TRUE(hold.Held());

        ASSERT_TRUE(Start(L"", next));
        HWND hwnd = WaitForSetupWindow(Child().Handle(), Child().Pid(), 20000);
        ASSERT_NE(nullptr, hwnd);
        ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
        ClickAt(hwnd, layout::kInstall.x, layout::kInstall.y);
        if (c.update) {
            EXPECT_NE(std::wstring::npos, AnswerBox(IDYES).find(L"是否覆盖重新安装"));
        }
        ASSERT_TRUE(WaitForPage(hwnd, 1, 20000));
        CloseTheWindow(hwnd, c.how);
        const std::vector<std::wstring> texts = AnswerUntilExit(c.answer);
        ASSERT_TRUE(WaitForExit(15000));
        EXPECT_EQ(0u, Child().ExitCode());
        hold.Release();

        if (c.how == Close::SessionEnd) {
            EXPECT_TRUE(texts.empty()) << "a session that ends has nobody to answer";
        } else {
            // What the user reads last says that nothing was changed.
            ASSERT_FALSE(texts.empty());
            EXPECT_NE(std::wstring::npos, texts.back().find(kNothingChanged)) << texts.back();
        }
        if (c.answer == IDNO) {
            EXPECT_FALSE(Contains(texts, L"安装已停止"));
        }
        EXPECT_EQ(before, Now());
    }
}

// A link that cannot be written fails a fresh install at its very end: the
// folder, the record, the other links and the install kind go again.
TEST_F(RollbackApp, LinkFailureUndoesAFreshInstallCompletely) {
    WriteFileBytes(DesktopShortcut(), "a link of the user's, held open");
    const State before = Now();
    ASSERT_FALSE(FileExists(dir));
    HeldFile hold(DesktopShortcut(), OPEN_EXISTING);
    ASSERT_TRUE(hold.Held());

    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    ClickAt(hwnd, layout::kInstall.x, layout::kInstall.y);
    const std::vector<std::wstring> texts = AnswerUntilExit(IDYES);
    ASSERT_TRUE(WaitForExit(15000));
    hold.Release();
    ASSERT_EQ(1u, texts.size());
    EXPECT_NE(std::wstring::npos, texts[0].find(L"创建快捷方式失败!")) << texts[0];
    EXPECT_NE(std::wstring::npos, texts[0].find(kNothingChanged)) << texts[0];
    EXPECT_EQ(before, Now());
    DeleteFileW(DesktopShortcut().c_str());
}

// The held file is retried as always; then the previous version is back, byte
// for byte, and the exit code and the log say what happened.
TEST_F(RollbackApp, HeldFileDuringSilentUpdateKeepsThePreviousVersion) {
    const std::wstring parent = m_work / L"apps";
    const std::wstring installed = parent + L"\\Quillmossdex\\";
    ASSERT_EQ(0u, InstallSilently(s_setup, parent));
    const State before = Capture(installed, m_work.Path());
    ASSERT_TRUE(before.count(L"file: res\\version.txt"));

    HeldFile hold(installed + L"res\\version.txt", OPEN_EXISTING);
    ASSERT_TRUE(hold.Held());
    const std::wstring log = m_work / L"update.log";
    EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALL_FAILED) + INSTALL_ERR_COPY,
              InstallSilently(next, parent, log));
    hold.Release();
    EXPECT_EQ(before, Capture(installed, m_work.Path()));

    const std::string text = ReadFileBytes(log);
    size_t retries = 0;
    for (size_t at = 0; (at = text.find("trying again", at)) != std::string::npos; ++at)
        ++retries;
    EXPECT_EQ(9u, retries) << text;
    EXPECT_NE(std::string::npos, text.find("rolled back: nothing was changed")) << text;
    EXPECT_NE(std::string::npos, text.find("\xe6\xb2\xa1\xe6\x9c\x89\xe4\xbb\xbb\xe4\xbd\x95"
                                           "\xe6\x94\xb9\xe5\x8f\x98")) // 没有任何改变
        << text;
}

// A "Yes" given the moment the install starts is never lost: the question is
// asked once, so a dropped answer would leave the close button dead for the
// rest of the run. A file held in the way keeps the run going until then.
TEST_F(RollbackApp, AYesGivenAtOnceStopsTheInstall) {
    CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
    WriteFileBytes(dir + L"uninst.exe", "something of the same name");
    const State before = Now();
    HeldFile hold(dir + L"uninst.exe", OPEN_EXISTING);
    ASSERT_TRUE(hold.Held());
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    ClickAt(hwnd, layout::kInstall.x, layout::kInstall.y);
    // The progress page shows as the worker is started; the request comes
    // right then, before the worker has settled earlier runs.
    ASSERT_TRUE(WaitForPage(hwnd, 1, 20000));
    CloseTheWindow(hwnd, Close::TaskbarClose);
    const std::vector<std::wstring> texts = AnswerUntilExit(IDYES);
    ASSERT_TRUE(WaitForExit(15000));
    hold.Release();
    ASSERT_TRUE(Contains(texts, kQuestion));
    EXPECT_NE(std::wstring::npos, texts.back().find(L"安装已停止")) << texts.back();
    EXPECT_NE(std::wstring::npos, texts.back().find(kNothingChanged)) << texts.back();
    EXPECT_EQ(before, Now());
}

// While the question whether to stop is up, the install waits at its next
// entry: here the move, retried while a file is held, which on its own gives
// up after ten attempts. Answered late, after the file was let go, "No" lets
// the waiting install go on to its end: it had not used up its attempts
// behind the question.
TEST_F(RollbackApp, TheInstallWaitsWhileTheStopQuestionIsUpAndNoLetsItGoOn) {
    CreateDirectoryW(dir.substr(0, dir.size() - 1).c_str(), nullptr);
    WriteFileBytes(dir + L"uninst.exe", "something of the same name");
    HeldFile hold(dir + L"uninst.exe", OPEN_EXISTING);
    ASSERT_TRUE(hold.Held());
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    ClickAt(hwnd, layout::kInstall.x, layout::kInstall.y);
    ASSERT_TRUE(WaitForPage(hwnd, 1, 20000));
    CloseTheWindow(hwnd, Close::Button);
    HWND box = WaitForProcessDialog(Child().Pid(), 15000);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::wstring::npos, MessageBoxText(box).find(kQuestion));
    // The person takes their time: longer than the attempts would last.
    Sleep(7000);
    hold.Release();
    EXPECT_TRUE(Child().Running());
    PressDialogButton(box, IDNO);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
    EXPECT_EQ(ReadFileBytes(ProgramDir() + L"\\qm_fake_client.exe"),
              ReadFileBytes(dir + L"Quillmossdex.exe"));
    EXPECT_TRUE(NoBoxFor(300));
}

// An installation recorded in one folder, installed again into another
// through the window: the earlier copy goes as its uninstaller would remove
// it (what the user put there stays), once the new one is in place; when
// that fails, both are back as they were.
TEST_F(RollbackApp, AMovedInstallRemovesTheEarlierCopyOrPutsBothBack) {
    for (const bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "a file of the earlier copy is held" : "the earlier copy goes");
        CleanMachine();
        const std::wstring earlierParent = m_work / (fail ? L"old-held" : L"old");
        const std::wstring earlier = earlierParent + L"\\Quillmossdex\\";
        const std::wstring moved = m_work / (fail ? L"new-held" : L"new");
        ASSERT_EQ(0u, InstallSilently(s_setup, earlierParent));
        WriteFileBytes(earlier + L"mine.txt", "the user's own file");
        const State before = Capture(earlier, m_work.Path());
        HeldFile hold(earlier + L"res\\version.txt", OPEN_EXISTING);
        if (fail)
            ASSERT_TRUE(hold.Held());
        else
            hold.Release();

        ASSERT_TRUE(Start(L"", next));
        HWND hwnd = WaitForSetupWindow(Child().Handle(), Child().Pid(), 20000);
        ASSERT_NE(nullptr, hwnd);
        ASSERT_TRUE(WaitForPage(hwnd, 0, 10000));
        ClickAt(hwnd, layout::kCustom.x, layout::kCustom.y);
        ASSERT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == 542; }, 5000));
        ASSERT_TRUE(TypeIntoField(hwnd, moved));
        ClickAt(hwnd, layout::kInstall.x, layout::kInstall.y);
        EXPECT_NE(std::wstring::npos, AnswerBox(IDYES).find(L"是否覆盖重新安装"));
        if (fail) {
            const std::vector<std::wstring> texts = AnswerUntilExit(IDYES);
            ASSERT_TRUE(WaitForExit(15000));
            hold.Release();
            ASSERT_FALSE(texts.empty());
            EXPECT_NE(std::wstring::npos, texts.back().find(kNothingChanged)) << texts.back();
            EXPECT_EQ(before, Capture(earlier, m_work.Path()));
            EXPECT_FALSE(FileExists(moved));
            continue;
        }
        ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
        EXPECT_TRUE(FileExists(moved + L"\\plugins\\extra.dat"));
        EXPECT_EQ(Narrow(moved + L"\\"), ReadRecordValue("InstallLocation").c_str());
        // What the earlier installation listed is gone, the user's file stays.
        for (const wchar_t* gone :
             {L"Quillmossdex.exe", L"uninst.exe", L"uninst.lst", L"res\\version.txt", L"res"})
            EXPECT_FALSE(FileExists(earlier + gone)) << Narrow(gone);
        EXPECT_EQ("the user's own file", ReadFileBytes(earlier + L"mine.txt"));
        ClickAt(hwnd, layout::kCloseBtn.x, layout::kCloseBtn.y);
        ASSERT_TRUE(WaitForExit(15000));
        // Nothing of the run is left in the earlier folder once it settled.
        State left = Capture(earlier, m_work.Path());
        EXPECT_EQ(1u, left.count(L"file: mine.txt"));
        for (const auto& entry : left)
            EXPECT_EQ(std::wstring::npos, entry.first.find(L".old")) << Narrow(entry.first);
    }
}

// An update whose new version drops a file and then fails at its very end (a
// link that cannot be written) puts the dropped file back with everything
// else: the previous version is there byte for byte.
TEST_F(RollbackApp, AFailedUpdateBringsBackWhatItDropped) {
    const std::wstring parent = m_work / L"apps";
    const std::wstring installed = parent + L"\\Quillmossdex\\";
    ASSERT_EQ(0u, InstallSilently(s_setup, parent));
    const State before = Capture(installed, m_work.Path());
    // The previous version carries a file the next one does not.
    ASSERT_TRUE(before.count(L"file: res\\version.txt"));
    ASSERT_EQ(0u, before.count(L"file: plugins\\extra.dat"));
    {
        HeldFile hold(DesktopShortcut(), OPEN_EXISTING);
        ASSERT_TRUE(hold.Held());
        EXPECT_EQ(static_cast<DWORD>(SETUP_EXIT_INSTALL_FAILED) + INSTALL_ERR_SHORTCUT,
                  InstallSilently(dropping, parent));
    }
    EXPECT_EQ(before, Capture(installed, m_work.Path()));
    // Without the held link the same update succeeds and drops the file.
    ASSERT_EQ(0u, InstallSilently(dropping, parent));
    const State after = Capture(installed, m_work.Path());
    EXPECT_EQ(0u, after.count(L"file: res\\version.txt"));
    EXPECT_EQ(0u, after.count(L"dir: res\\"));
    EXPECT_EQ(1u, after.count(L"file: plugins\\extra.dat"));
}

// ---------------------------------------------------------------------------
// Kill safety: the engine's own runner, ended at its n-th kill point.

class KillSafety : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteProductRegistry();
        std::vector<ZipEntry> old, next;
        // The old version: a client, an uninstaller and a folder of data; the
        // new one replaces some files, adds some and leaves some out (they go:
        // an update leaves exactly the new version).
        old.push_back({"Quillmossdex.exe", "client 1"});
        old.push_back({"uninst.exe", "uninstaller 1"});
        old.push_back({"only-in-old.txt", "old"});
        old.push_back({"data/", "", false});
        next.push_back({"Quillmossdex.exe", "client 2, somewhat longer"});
        next.push_back({"uninst.exe", "uninstaller 2"});
        next.push_back({"data/", "", false});
        next.push_back({"more/", "", false});
        next.push_back({"more/deeper/", "", false});
        for (int i = 0; i < 30; ++i) {
            const std::string n = std::to_string(i);
            old.push_back({"data/f" + n + ".bin", NoiseBytes(2000 + i, i)});
            next.push_back(
                {"data/f" + std::to_string(i + 15) + ".bin", NoiseBytes(3000 + i, 50 + i)});
            if (i < 4)
                next.push_back({"more/deeper/g" + n + ".txt", "new " + n});
        }
        const std::string a = BuildPayload(old), b = BuildPayload(next);
        oldSetup = MakeInstaller(work / L"old.exe", &a);
        newSetup = MakeInstaller(work / L"new.exe", &b);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"QM_TEST_KILL_AT", nullptr);
        SetEnvironmentVariableW(L"QM_TEST_POINTS_FILE", nullptr);
        DeleteProductRegistry();
    }

    State Now() { return Capture(installDir, tempDir); }

    // The old version, installed on a clean machine.
    void InstallOld() {
        DeleteProductRegistry();
        RemoveTree(installDir);
        RemoveTree(tempDir);
        CreateDirectoryW(tempDir.c_str(), nullptr);
        InstallRun run = RunInstaller(oldSetup, installDir, tempDir);
        ASSERT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    }

    // What every start of the installer does first.
    void Recover() {
        ChildProcess child;
        ASSERT_TRUE(child.Start(Quote(oldSetup) + L" recover " + Quote(tempDir)));
        ASSERT_TRUE(child.Wait(60000));
        EXPECT_EQ(0u, child.ExitCode());
    }

    TempDir work{L"qmkill"};
    std::wstring tempDir = work / L"tmp";
    std::wstring installDir = work / L"inst\\";
    std::wstring oldSetup, newSetup;
};

TEST_F(KillSafety, UpdateKilledAnywhereLeavesTheOldOrTheNewVersion) {
    ASSERT_FALSE(oldSetup.empty());
    ASSERT_FALSE(newSetup.empty());
    InstallOld();
    const State oldState = Now();

    // One whole update, counting the points it passes.
    const std::wstring pointsFile = work / L"points.txt";
    SetEnvironmentVariableW(L"QM_TEST_POINTS_FILE", pointsFile.c_str());
    InstallRun whole = RunInstaller(newSetup, installDir, tempDir);
    SetEnvironmentVariableW(L"QM_TEST_POINTS_FILE", nullptr);
    ASSERT_EQ(std::vector<unsigned>{INSTALL_OK}, whole.results);
    const State newState = Now();
    ASSERT_NE(oldState, newState);
    const long points = strtol(ReadFileBytes(pointsFile).c_str(), nullptr, 10);
    ASSERT_GT(points, 50);

    // Seeded points over the whole run, and its first and last one.
    std::mt19937 generator(15);
    std::uniform_int_distribution<long> pick(1, points);
    std::vector<long> killPoints = {1, points};
    for (int i = 0; i < 60; ++i)
        killPoints.push_back(pick(generator));
    int sawOld = 0, sawNew = 0;
    for (const long at : killPoints) {
        SCOPED_TRACE("killed at point " + std::to_string(at) + " of " + std::to_string(points));
        InstallOld();
        SetEnvironmentVariableW(L"QM_TEST_KILL_AT", std::to_wstring(at).c_str());
        InstallRun killed = RunInstaller(newSetup, installDir, tempDir);
        SetEnvironmentVariableW(L"QM_TEST_KILL_AT", nullptr);
        ASSERT_TRUE(killed.ended);
        EXPECT_TRUE(killed.results.empty()) << "the run ended before its outcome";
        Recover();
        const State after = Now();
        if (after == oldState)
            ++sawOld;
        else if (after == newState)
            ++sawNew;
        else
            ADD_FAILURE() << "neither version: " << testing::PrintToString(after);
    }
    // Both ends of the run were hit: early kills are undone, kills after the
    // commit are finished.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

// A stop while the payload is being unpacked, before anything is moved into
// place: a fresh install into a folder the run creates, one into a folder
// that exists with the user's things in it, and an update all leave the
// machine as it was.
TEST_F(KillSafety, StopWhileUnpackingLeavesTheMachineAsItWas) {
    ASSERT_FALSE(oldSetup.empty());
    struct Case {
        const char* name;
        bool existing;
        bool update;
        bool starterCreates;
    } cases[] = {
        {"fresh, into a folder the run creates", false, false, false},
        {"fresh, into a folder its starter created", false, false, true},
        {"fresh, into an existing folder", true, false, false},
        {"update", false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteProductRegistry();
        RemoveTree(installDir);
        RemoveTree(tempDir);
        CreateDirectoryW(tempDir.c_str(), nullptr);
        if (c.update)
            InstallOld();
        if (c.existing) {
            CreateDirectoryW(installDir.c_str(), nullptr);
            WriteFileBytes(installDir + L"notes.txt", "the user's own notes");
        }
        const State before = Now();
        SetEnvironmentVariableW(L"QM_TEST_STOP_UNPACKING", L"1");
        SetEnvironmentVariableW(L"QM_TEST_STARTER_CREATES", c.starterCreates ? L"1" : nullptr);
        InstallRun run = RunInstaller(c.update ? newSetup : oldSetup, installDir, tempDir);
        SetEnvironmentVariableW(L"QM_TEST_STOP_UNPACKING", nullptr);
        SetEnvironmentVariableW(L"QM_TEST_STARTER_CREATES", nullptr);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(std::vector<unsigned>{INSTALL_CANCELLED}, run.results);
        EXPECT_EQ(before, Now());
    }
}

// The stop question comes while the files are moved into place, early and
// late in the move: the run waits at its next entry while it is up, so the
// install folder stays as it is; "No" lets the update finish as if nothing
// had been asked, "Yes" puts the old version back exactly, and the progress
// page is told that things are being put back.
TEST_F(KillSafety, TheQuestionWhileMovingHoldsTheMoveAndTheAnswerDecides) {
    ASSERT_FALSE(newSetup.empty());
    InstallOld();
    const State oldState = Now();
    ASSERT_EQ(std::vector<unsigned>{INSTALL_OK},
              RunInstaller(newSetup, installDir, tempDir).results);
    const State newState = Now();
    const std::wstring answerFile = work / L"question.txt";
    for (const wchar_t* question : {L"first:no", L"first:yes", L"late:no", L"late:yes"}) {
        SCOPED_TRACE(Narrow(question));
        const bool yes = std::wstring(question).find(L":yes") != std::wstring::npos;
        InstallOld();
        DeleteFileW(answerFile.c_str());
        SetEnvironmentVariableW(L"QM_TEST_QUESTION", question);
        SetEnvironmentVariableW(L"QM_TEST_QUESTION_FILE", answerFile.c_str());
        InstallRun run = RunInstaller(newSetup, installDir, tempDir);
        SetEnvironmentVariableW(L"QM_TEST_QUESTION", nullptr);
        SetEnvironmentVariableW(L"QM_TEST_QUESTION_FILE", nullptr);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ("unchanged", ReadFileBytes(answerFile));
        EXPECT_EQ(std::vector<unsigned>{yes ? INSTALL_CANCELLED : INSTALL_OK}, run.results);
        EXPECT_EQ(yes ? oldState : newState, Now());
        ASSERT_FALSE(run.steps.empty());
        EXPECT_EQ(yes, run.steps.back() == INSTALL_STEP_ROLL_BACK);
    }
}

// An update leaves exactly the new version: what the old one had and the new
// one does not carry goes, and the entry list names just what is there.
TEST_F(KillSafety, UpdateLeavesExactlyTheNewVersion) {
    ASSERT_FALSE(newSetup.empty());
    InstallOld();
    InstallRun run = RunInstaller(newSetup, installDir, tempDir);
    ASSERT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    const State after = Now();
    EXPECT_EQ(0u, after.count(L"file: only-in-old.txt"));
    EXPECT_EQ(0u, after.count(L"file: data\\f0.bin"));
    EXPECT_EQ(1u, after.count(L"file: data\\f44.bin"));
    // Every file there is in the list, and every listed file is there.
    std::string list = after.count(L"file: uninst.lst") ? after.at(L"file: uninst.lst") : "";
    size_t files = 0;
    for (const auto& [key, value] : after)
        if (key.rfind(L"file: ", 0) == 0) {
            ++files;
            std::string name = Narrow(key.substr(6));
            for (char& ch : name)
                if (ch == '\\')
                    ch = '/';
            EXPECT_NE(std::string::npos, list.find(name + "\n")) << name;
        }
    size_t listed = 0;
    for (size_t at = 0; (at = list.find('\n', at)) != std::string::npos; ++at)
        if (at == 0 || list[at - 1] != '/')
            ++listed;
    EXPECT_EQ(files, listed) << list;
}

} // namespace

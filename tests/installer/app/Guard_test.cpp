#include "installer/app/Guard.h"
#include "installer/services/MessageBox.h"
#include "installer/services/TextConvert.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <thread>

namespace {

using qmtest::ChildProcess;

std::wstring SetupExe() {
    return qmtest::ProgramDir() + L"\\..\\..\\QuillmossdexSetup.exe";
}
std::wstring SleeperExe() {
    return qmtest::ProgramDir() + L"\\qm_sleeper.exe";
}

// A named mutex held by this test for the scope of the object.
class HeldMutex {
public:
    explicit HeldMutex(const char* name) : m_h(CreateMutexA(nullptr, TRUE, name)) {}
    ~HeldMutex() {
        if (m_h) {
            ReleaseMutex(m_h);
            CloseHandle(m_h);
        }
    }

private:
    HANDLE m_h;
};

// Starts the real installer, waits for its box and answers it.
struct BoxSeen {
    std::wstring caption;
    std::wstring text;
    DWORD exitCode = 0xFFFFFFFF;
};

BoxSeen RunSetupAndAnswer(int button) {
    BoxSeen seen;
    ChildProcess setup;
    EXPECT_TRUE(setup.Start(qmtest::Quote(SetupExe())));
    HWND box = qmtest::WaitForProcessDialog(setup.Pid(), 30000);
    EXPECT_NE(nullptr, box) << "the installer showed no box";
    if (box) {
        seen.caption = qmtest::WindowText(box);
        seen.text = qmtest::MessageBoxText(box);
        qmtest::PressDialogButton(box, button);
    }
    if (button == IDYES) {
        // After Yes the start-up goes on to the installer's window; a close
        // request from the system ends it.
        for (int i = 0; i < 1500 && setup.Running(); ++i) {
            bool closed = false;
            for (HWND w : qmtest::ProcessWindows(setup.Pid())) {
                wchar_t cls[16] = {};
                GetClassNameW(w, cls, 16);
                if (wcscmp(cls, L"install") == 0)
                    closed = PostMessageW(w, WM_CLOSE, 0, 0) != FALSE;
            }
            if (closed)
                break;
            Sleep(20);
        }
    }
    EXPECT_TRUE(setup.Wait(30000)) << "the installer did not end after the box";
    seen.exitCode = setup.ExitCode();
    return seen;
}

TEST(Guard, SecondInstallerIsRefusedWhileTheFirstHoldsTheMutex) {
    // This process holds the mutex as a first installer does.
    ASSERT_TRUE(CreateInstallMutex());
    BoxSeen seen = RunSetupAndAnswer(IDOK);
    ReleaseInstallMutex();
    EXPECT_EQ(L"提示:", seen.caption);
    EXPECT_EQ(L"安装程序正在运行!", seen.text);
    EXPECT_EQ(0u, seen.exitCode);
}

TEST(Guard, RunningUpdaterRefusesEvenWithoutAnotherInstaller) {
    // The updater is another process: its mutex must be seen across processes.
    ChildProcess updater;
    ASSERT_TRUE(updater.Start(qmtest::Quote(SleeperExe()) + L" elevated:Quillmossdex-Update"));
    for (int i = 0; i < 100 && !IsUpdaterRunning(); ++i)
        Sleep(20);
    ASSERT_TRUE(IsUpdaterRunning());
    BoxSeen seen = RunSetupAndAnswer(IDOK);
    EXPECT_EQ(L"提示:", seen.caption);
    EXPECT_EQ(L"安装程序正在运行, 请安装完成后再重试!", seen.text);
    updater.Kill();
    EXPECT_FALSE(IsUpdaterRunning());
}

TEST(Guard, OnlyMutexesAnElevatedProgramMadeStopAnInstall) {
    // A standard user's object on Windows is owned by that user; Wine gives
    // an object made without a descriptor no owner at all. Neither is the
    // administrators', which is what "elevated:" stands for (see the
    // sleeper). "Global\" names reach a deployment running as SYSTEM in
    // session 0. On Windows the installer's own mutex lies in a private
    // namespace no standard user can enter; Wine 8 has none, so these cases
    // show the owner check that stands in for it there.
    const struct {
        const char* holder;
        bool installerRefused;
        bool updaterSeen;
    } cases[] = {
        {"Quillmossdex-Install", false, false},
        {"Global\\Quillmossdex-Install", false, false},
        {"Quillmossdex-Update", false, false},
        {"Global\\Quillmossdex-Update", false, false},
        {"elevated:Quillmossdex-Install", true, false},
        {"elevated:Quillmossdex-Update", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder);
        ChildProcess holder;
        ASSERT_TRUE(holder.Start(qmtest::Quote(SleeperExe()) + L" " + ToWide(c.holder)));
        const char* name = strchr(c.holder, ':') ? strchr(c.holder, ':') + 1 : c.holder;
        bool held = false;
        for (int i = 0; i < 250 && !held; ++i) {
            HANDLE h = OpenMutexA(SYNCHRONIZE, FALSE, name);
            held = h != nullptr;
            if (h)
                CloseHandle(h);
            else
                Sleep(20);
        }
        ASSERT_TRUE(held);
        EXPECT_EQ(!c.installerRefused, CreateInstallMutex());
        ReleaseInstallMutex();
        EXPECT_EQ(c.updaterSeen, IsUpdaterRunning());
        holder.Kill();
        EXPECT_TRUE(holder.Wait(10000));
    }
}

// Copies of the sleeper under the client's image name and near-misses; each in
// its own folder, since the file system does not tell the cases apart.
struct FakeClients {
    qmtest::TempDir dir{L"qmclients"};
    struct Entry {
        std::wstring name;
        bool mustDie;
        std::unique_ptr<ChildProcess> process;
    };
    std::vector<Entry> entries;

    FakeClients() {
        const std::pair<const wchar_t*, bool> names[] = {
            {L"Quillmossdex.exe", true},      {L"quillmossdex.exe", false},
            {L"Quillmossdex.exe.exe", false}, {L"Quillmossdexx.exe", false},
            {L"Quillmossdex.exe", true},
        };
        int i = 0;
        for (const auto& n : names) {
            std::wstring folder = dir / std::to_wstring(i++);
            CreateDirectoryW(folder.c_str(), nullptr);
            std::wstring path = folder + L"\\" + n.first;
            CopyFileW(SleeperExe().c_str(), path.c_str(), FALSE);
            Entry e{n.first, n.second, std::make_unique<ChildProcess>()};
            EXPECT_TRUE(e.process->Start(qmtest::Quote(path)));
            entries.push_back(std::move(e));
        }
    }
};

TEST(Guard, ClientQuestionAnsweredNoLeavesTheClientAlone) {
    HeldMutex client("Quillmossdex-Client");
    FakeClients clients;
    BoxSeen seen = RunSetupAndAnswer(IDNO);
    EXPECT_EQ(L"提示:", seen.caption);
    EXPECT_EQ(L"青梧云端助手客户端正在运行, 是否强制关闭后安装?", seen.text);
    for (auto& e : clients.entries)
        EXPECT_TRUE(e.process->Running()) << "killed after No";
}

TEST(Guard, ClientQuestionAnsweredYesKillsExactlyTheClientImageName) {
    HeldMutex client("Quillmossdex-Client");
    FakeClients clients;
    BoxSeen seen = RunSetupAndAnswer(IDYES);
    EXPECT_EQ(L"青梧云端助手客户端正在运行, 是否强制关闭后安装?", seen.text);
    for (auto& e : clients.entries) {
        if (e.mustDie) {
            EXPECT_TRUE(e.process->Wait(10000)) << "survived";
            EXPECT_EQ(0u, e.process->ExitCode());
        } else {
            EXPECT_TRUE(e.process->Running()) << "killed by mistake";
        }
    }
}

int g_boxes = 0;
int CountingBox(HWND, const wchar_t*, const wchar_t*, UINT) {
    ++g_boxes;
    return IDOK;
}

TEST(Guard, KillProcessByIdEndsThatProcessOnlyAndSaysNothing) {
    MessageBoxHook old = SetMessageBoxHook(CountingBox);
    g_boxes = 0;
    ChildProcess victim, bystander;
    ASSERT_TRUE(victim.Start(qmtest::Quote(SleeperExe())));
    ASSERT_TRUE(bystander.Start(qmtest::Quote(SleeperExe())));
    KillProcessById(victim.Pid());
    EXPECT_TRUE(victim.Wait(10000));
    EXPECT_EQ(0u, victim.ExitCode());
    // Process ids are multiples of four on Windows; this one is never handed out.
    KillProcessById(0xFFFFFFF1u);
    KillProcessById(0);
    EXPECT_TRUE(bystander.Running());
    EXPECT_EQ(0, g_boxes);
    SetMessageBoxHook(old);
}

// Waits for the mutex on another thread: the owning thread itself would
// always acquire it again.
DWORD WaitFromOtherThread(HANDLE mutex) {
    DWORD result = WAIT_FAILED;
    std::thread t([&] {
        result = WaitForSingleObject(mutex, 0);
        if (result == WAIT_OBJECT_0)
            ReleaseMutex(mutex);
    });
    t.join();
    return result;
}

TEST(Guard, InstallMutexIsReleasedExactlyOnce) {
    ASSERT_TRUE(CreateInstallMutex());
    EXPECT_TRUE(HoldsInstallMutex());
    HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, "Quillmossdex-Install");
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitFromOtherThread(other));
    ReleaseInstallMutex();
    EXPECT_FALSE(HoldsInstallMutex());
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitFromOtherThread(other));
    ReleaseInstallMutex(); // a second release is a no-op
    CloseHandle(other);
}

TEST(Guard, ProbesSeeMutexesOfOtherProcessesAndHoldNothing) {
    EXPECT_FALSE(IsClientRunning());
    ChildProcess client;
    ASSERT_TRUE(client.Start(qmtest::Quote(SleeperExe()) + L" Quillmossdex-Client"));
    bool seen = false;
    for (int i = 0; i < 250 && !seen; ++i) {
        seen = IsClientRunning();
        if (!seen)
            Sleep(20);
    }
    EXPECT_TRUE(seen);
    client.Kill();
    // The probe kept no handle, so the mutex is gone with its only holder.
    EXPECT_FALSE(IsClientRunning());
}

} // namespace

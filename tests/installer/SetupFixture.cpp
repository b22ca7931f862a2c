#include "tests/installer/SetupFixture.h"

#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupDriver.h"

#include "installer/services/Staging.h"

namespace qmtest {

std::wstring ReadLogText(const std::wstring& path) {
    return ReadLog(path);
}

std::vector<std::wstring> DefaultLogsWith(const std::wstring& part, const wchar_t* kind) {
    std::vector<std::wstring> logs;
    const std::wstring folder = StagingParent();
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW((folder + L"Quillmossdex-" + kind + L"-*.log").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return logs;
    do {
        const std::wstring path = folder + found.cFileName;
        if (ReadLogText(path).find(part) != std::wstring::npos)
            logs.push_back(path);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return logs;
}

std::unique_ptr<TempDir> SetupTest::s_dir;
std::wstring SetupTest::s_setup;
std::string SetupTest::s_payload;

namespace {
std::wstring Environment(const wchar_t* name) {
    wchar_t buf[MAX_PATH] = {};
    GetEnvironmentVariableW(name, buf, MAX_PATH);
    return buf;
}
} // namespace

std::wstring SetupTest::s_tmp;
std::wstring SetupTest::s_temp;

void SetupTest::SetUpTestSuite() {
    s_tmp = Environment(L"TMP");
    s_temp = Environment(L"TEMP");
    s_dir.reset(new TempDir(L"qmsetup"));
    s_payload = MakeTestPayload();
    s_setup = MakeSetupCopy(*s_dir / L"QuillmossdexSetup.exe", s_payload);
}

void SetupTest::TearDownTestSuite() {
    s_dir.reset();
}

void SetupTest::CleanMachine() {
    DeleteProductRegistry();
    std::wstring dir = DefaultInstallDir();
    dir.pop_back();
    RemoveTree(dir);
    DeleteFileW(DesktopShortcut().c_str());
    RemoveTree(StartMenuFolder());
}

void SetupTest::SetUp() {
    ASSERT_FALSE(s_payload.empty()) << "qm_fake_client.exe missing beside the tests";
    ASSERT_FALSE(s_setup.empty()) << "could not make the test copy of the installer";
    CleanMachine();
    // The installer's temporary archive and unpack directory go here.
    SetEnvironmentVariableW(L"TMP", m_work.Path().c_str());
    SetEnvironmentVariableW(L"TEMP", m_work.Path().c_str());
}

void SetupTest::TearDown() {
    // The default logs of this test's runs, which name its work folder.
    for (const wchar_t* kind : {L"install", L"uninstall"})
        for (const std::wstring& log : DefaultLogsWith(m_work.Path(), kind))
            DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"TMP", s_tmp.c_str());
    SetEnvironmentVariableW(L"TEMP", s_temp.c_str());
    // An installer a test left running (on its finish page, or after a
    // failure) goes now, before the machine is cleaned under it.
    if (m_setup->Running())
        m_setup->Kill();
    CleanMachine();
}

std::wstring SetupTest::MakeCopy(const std::wstring& name, const std::string& payload) {
    return MakeSetupCopy(m_work / name, payload);
}

bool SetupTest::Start(const std::wstring& args, const std::wstring& exe) {
    std::wstring cmd = Quote(exe.empty() ? s_setup : exe);
    if (!args.empty())
        cmd += L" " + args;
    // The current directory is the test's folder, where a relative install
    // directory would land.
    m_setup.reset(new ChildProcess());
    return m_setup->Start(cmd, 0, m_work.Path());
}

HWND SetupTest::StartAndWait(const std::wstring& args) {
    if (!Start(args))
        return nullptr;
    return WaitForSetupWindow(m_setup->Handle(), m_setup->Pid(), 20000);
}

HWND SetupTest::StartOnWelcomePage(const std::wstring& args) {
    HWND hwnd = StartAndWait(args);
    if (!hwnd) {
        ADD_FAILURE() << "no installer window";
        return nullptr;
    }
    if (!WaitForPage(hwnd, 0, 10000)) {
        ADD_FAILURE() << "no welcome page";
        return nullptr;
    }
    return hwnd;
}

std::wstring SetupTest::AnswerBox(int button, DWORD timeoutMs) {
    HWND box = WaitForProcessDialog(m_setup->Pid(), timeoutMs);
    if (!box)
        return L"(no box)";
    // The text is in place once the box is visible.
    const std::wstring text = MessageBoxText(box);
    PressDialogButton(box, button);
    WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
    return text;
}

bool SetupTest::NoBoxFor(DWORD ms) {
    return WaitForProcessDialog(m_setup->Pid(), ms) == nullptr;
}

} // namespace qmtest

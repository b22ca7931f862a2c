// The fixture of the installer's end-to-end tests.
#pragma once

#include "tests/installer/SetupDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qmtest {

// The default logs of the programs' runs (kind "install" or "uninstall")
// whose text holds part. Elevated runs (every run under Wine) write them to
// the system's temporary folder, which all tests share, so a test finds its
// own by what its command line holds (its work folder).
std::vector<std::wstring> DefaultLogsWith(const std::wstring& part,
                                          const wchar_t* kind = L"install");
// A setup log as text, without its byte order mark.
std::wstring ReadLogText(const std::wstring& path);

// The fixture of the end-to-end tests: a test copy of the installer with the
// small payload (made once per program), a clean machine before and after
// each test (no record, no settings, nothing in the default directory, no
// shortcuts), and a private temporary directory for the installer.
class SetupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static void CleanMachine();
    // A test copy with another payload, in this test's own folder.
    std::wstring MakeCopy(const std::wstring& name, const std::string& payload);

    // Starts the installer (the suite's copy unless exe is given) with the
    // words after the program path.
    bool Start(const std::wstring& args, const std::wstring& exe = L"");
    // Starts it and waits for its window.
    HWND StartAndWait(const std::wstring& args = L"");
    // Starts it and waits until its window shows the welcome page; null
    // (with the failure recorded) when either does not come.
    HWND StartOnWelcomePage(const std::wstring& args = L"");
    // The next message box of the installer, its text read, then answered.
    std::wstring AnswerBox(int button, DWORD timeoutMs = 15000);
    // No message box of the installer appears within the time.
    bool NoBoxFor(DWORD ms);
    bool WaitForExit(DWORD timeoutMs) { return m_setup->Wait(timeoutMs); }
    // The installer started last.
    ChildProcess& Child() { return *m_setup; }

    static std::unique_ptr<TempDir> s_dir;
    static std::wstring s_setup;
    static std::string s_payload;
    // The test program's own temporary directory, restored after each test.
    static std::wstring s_tmp;
    static std::wstring s_temp;

    std::unique_ptr<ChildProcess> m_setup{new ChildProcess()};
    TempDir m_work{L"qmapp"};
};

} // namespace qmtest

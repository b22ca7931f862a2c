// Pages and programs the elevated installer starts for the user. Wine runs
// every process with one elevated token, so what these tests can show is that
// the page or program reaches its handler through the way that, on Windows,
// runs it with the desktop shell's (the user's) token; that the handler then
// runs unelevated only Windows shows.
#include "installer/app/UnelevatedStart.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <tlhelp32.h>

#include <cwchar>

namespace {

// A scheme of the test's own with a handler, as a user could register one for
// "https" below HKCU\Software\Classes on Windows; Wine 8's shell reads
// scheme handlers from the machine's classes only, so the test registers it
// there. The handler is the sleeper, so that the test can see who started it.
class PageHandler : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        handler = dir / L"handler.exe";
        ASSERT_TRUE(CopyFileW((qmtest::ProgramDir() + L"\\qm_sleeper.exe").c_str(), handler.c_str(),
                              FALSE));
        const std::wstring command = qmtest::Quote(handler) + L" \"%1\"";
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"URL Protocol", REG_SZ,
                                                 L"", sizeof(wchar_t)));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetKeyValueW(HKEY_LOCAL_MACHINE,
                                  (std::wstring(kKey) + L"\\shell\\open\\command").c_str(), nullptr,
                                  REG_SZ, command.c_str(),
                                  static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))));
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
        CoUninitialize();
    }
    // The process the handler runs in, once it is there; its parent's id
    // in parent. 0 when none started within the time.
    DWORD WaitForHandler(DWORD* parent) {
        for (int i = 0; i < 750; ++i) {
            HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32W entry = {};
            entry.dwSize = sizeof(entry);
            DWORD found = 0;
            for (BOOL more = Process32FirstW(snap, &entry); more && !found;
                 more = Process32NextW(snap, &entry)) {
                if (_wcsicmp(entry.szExeFile, L"handler.exe") == 0) {
                    found = entry.th32ProcessID;
                    *parent = entry.th32ParentProcessID;
                }
            }
            CloseHandle(snap);
            if (found)
                return found;
            Sleep(20);
        }
        return 0;
    }

    static constexpr const wchar_t* kKey = L"Software\\Classes\\qmtestpage";
    qmtest::TempDir dir{L"qmpage"};
    std::wstring handler;
};

TEST_F(PageHandler, APageReachesItsHandlerThroughTheUsersShell) {
    ASSERT_TRUE(OpenPageUnelevated(L"qmtestpage://quillmoss.com/termofservice/x.htm"));
    DWORD parent = 0;
    const DWORD pid = WaitForHandler(&parent);
    ASSERT_NE(0u, pid) << "the handler did not start";
    // The user's shell started it, not this process: a handler this process
    // started itself would have its administrator token on Windows.
    EXPECT_NE(GetCurrentProcessId(), parent);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(nullptr, process);
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

} // namespace

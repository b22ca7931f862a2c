// Drives the real installer as a person would: test copies of the program with
// a small payload of their own, its window found and read back from the
// screen, clicks and keys through the system's input queue, screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qmtest {

// The program under test, built beside the tests.
std::wstring BuiltSetupPath();

// A small product: the stand-in client (a program that records its start in
// "started.txt" beside itself), an uninstaller stand-in and a data file in a
// folder.
std::string MakeTestPayload();
// A copy of the built installer at path that carries payload as its resource
// ZIP / 101; empty on failure.
std::wstring MakeSetupCopy(const std::wstring& path, const std::string& payload);

// The installer's main window (class "install") once it is visible; null
// when the process shows none within the time or ends first.
HWND WaitForSetupWindow(HANDLE process, DWORD pid, DWORD timeoutMs);
// Polls until the predicate holds (true) or the time is up (false).
template <typename Pred> bool WaitUntil(Pred pred, DWORD timeoutMs, DWORD stepMs = 20) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(stepMs);
    }
}

SIZE WindowSize(HWND hwnd);

// Real input through SendInput: the cursor moves to the point (client
// coordinates of hwnd) and the left button goes down and up there.
void ClickAt(HWND hwnd, int x, int y);
// Types the text as Unicode key strokes into whatever has the keyboard focus.
void TypeText(const std::wstring& text);
void PressKey(WORD vk);

// The window's pixels as they are on the screen, top-down 0xAARRGGBB.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    bool Empty() const { return pixels.empty(); }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool SavePng(const std::wstring& path) const;
};
Screenshot CaptureWindow(HWND hwnd);

// Colour distance: the largest difference of the three channels.
int ColorDistance(uint32_t a, uint32_t b);
// How many pixels of the rectangle are within tolerance of the colour.
int CountNear(const Screenshot& shot, const RECT& rc, uint32_t color, int tolerance);
// The average colour of a rectangle.
uint32_t AverageColor(const Screenshot& shot, const RECT& rc);

// Where test artefacts go: the build tree's test-artifacts folder, created on
// demand.
std::wstring ArtifactPath(const std::wstring& name);

} // namespace qmtest

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace qmtest {

// Where the installer's controls are, in client coordinates of its window,
// as the skin lays them out (560 wide; the options panel below 420).
namespace layout {
constexpr POINT kInstall = {280, 314};
constexpr POINT kAgree = {17, 405};
constexpr POINT kCustom = {510, 405};
constexpr POINT kPathEdit = {226, 470};
constexpr POINT kDesktopLnk = {57, 517};
constexpr POINT kStartMenuLnk = {187, 517};
constexpr POINT kSuccess = {280, 334};
constexpr POINT kMinBtn = {510, 16};
constexpr POINT kCloseBtn = {542, 16};
constexpr RECT kLogo = {124, 95, 435, 167};
constexpr RECT kInstallButton = {180, 282, 380, 346};
constexpr RECT kSuccessButton = {180, 302, 380, 366};
constexpr RECT kProgressBar = {35, 350, 525, 356};
} // namespace layout

// The brand colours of the artwork read back from the screen: teal-green
// where the greens and blues stand well above the reds.
bool IsTeal(uint32_t pixel);
int CountTeal(const Screenshot& shot, const RECT& rc);

// The default install directory on this machine (with its trailing '\').
std::wstring DefaultInstallDir();
// The three shortcut files the installer can create.
std::wstring DesktopShortcut();
std::wstring StartMenuShortcut();
std::wstring StartMenuUninstallShortcut();
// Writes the uninstall record's "InstallLocation" as a previous install would.
void WriteRecordedLocation(const std::wstring& dir);

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
    // The window shows this page (0 welcome, 1 progress, 2 finish), told by
    // the pixels where the skin puts each page's distinctive control.
    static int PageShown(const Screenshot& shot);
    bool WaitForPage(HWND hwnd, int page, DWORD timeoutMs, Screenshot* shot = nullptr);
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

// Drives the real installer as a person would: test copies of the program with
// a small payload of their own, its window found and read back from the
// screen, clicks and keys through the system's input queue, screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qmtest {

// The program under test, built beside the tests.
std::wstring BuiltSetupPath();

// A small product: the stand-in client (a program that records its start in
// "started.txt" beside itself), an uninstaller stand-in and a data file in a
// folder.
std::string MakeTestPayload();
// A copy of the built installer at path that carries payload (BuildPayload) as
// the build attaches it (MakePayloadCopy); empty on failure.
std::wstring MakeSetupCopy(const std::wstring& path, const std::string& payload);
// Replaces a resource of a test copy (language 2052, as the build stores them).
bool ReplaceResource(const std::wstring& path, const wchar_t* type, WORD id,
                     const std::string& bytes);

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
// vk pressed while the modifier (VK_MENU, VK_SHIFT, ...) is held down.
void PressKeyWith(WORD modifier, WORD vk);

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
// Captures hwnd into shot until a capture is shown (shown looks at *shot) or
// timeoutMs pass; shot keeps the last capture.
bool CaptureUntil(HWND hwnd, Screenshot* shot, const std::function<bool()>& shown, DWORD timeoutMs);

// Where test artefacts go: the build tree's test-artifacts folder, created on
// demand.
std::wstring ArtifactPath(const std::wstring& name);

// Where the installer's controls are, in client coordinates of its window,
// as the skin lays them out (560 wide; the options panel below 420); the
// rectangles are those `skinview --dump` reports for the skin.
namespace layout {
constexpr POINT kInstall = {280, 314};
constexpr POINT kAgree = {17, 405};
constexpr POINT kCustom = {510, 405};
constexpr POINT kPathEdit = {226, 470};
constexpr POINT kBrowse = {487, 470};
constexpr POINT kDesktopLnk = {57, 517};
constexpr POINT kSuccess = {280, 334};
constexpr POINT kMinBtn = {510, 16};
constexpr POINT kCloseBtn = {542, 16};
constexpr RECT kLogo = {124, 95, 435, 167};
constexpr RECT kInstallButton = {180, 282, 380, 346};
constexpr RECT kSuccessButton = {180, 302, 380, 366};
constexpr RECT kProgressFill = {35, 351, 525, 355};
} // namespace layout

// The brand colours of the artwork read back from the screen: teal-green
// where the greens and blues stand well above the reds.
bool IsTeal(uint32_t pixel);
int CountTeal(const Screenshot& shot, const RECT& rc);

// The default install directory on this machine (with its trailing '\').
std::wstring DefaultInstallDir();
// The product's folder in the all-users Start menu, and the three shortcut
// files the installer can create (for all users).
std::wstring StartMenuFolder();
std::wstring DesktopShortcut();
std::wstring StartMenuShortcut();
std::wstring StartMenuUninstallShortcut();
// Writes the uninstall record's "InstallLocation" as a previous install would,
// and a stand-in client into the folder (unless one is there): a recorded
// folder is used only while it holds the product.
void WriteRecordedLocation(const std::wstring& dir);

// The native edit that a click on the directory field opens, once it has the
// keyboard focus: it exists a moment before it takes the focus, and keys sent
// in that moment go to the window instead.
bool WaitForFocusedEdit(HWND hwnd);
// The directory field's text, as a screen reader reads it.
std::wstring FieldText(HWND hwnd);
// Replaces the field's text by typing, as a person would (the options panel
// is open); true once the field shows it.
bool TypeIntoField(HWND hwnd, const std::wstring& text);

// The page the window shows (0 welcome, 1 progress, 2 finish; -1 none of
// them), told by the pixels where the skin puts each page's distinctive
// control.
int PageShown(const Screenshot& shot);
// Polls screenshots of the window until it shows the page; the last one is
// kept in shot.
bool WaitForPage(HWND hwnd, int page, DWORD timeoutMs, Screenshot* shot = nullptr);

// The setup log as text; the byte order mark is not part of it.
std::wstring ReadLog(const std::wstring& path);

} // namespace qmtest

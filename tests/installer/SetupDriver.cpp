#include "tests/installer/SetupDriver.h"

#include "tests/installer/MsaaClient.h"

#include "installer/services/Product.h"
#include "skinui/core/Handles.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/MsaaClient.h"
#include "tests/support/TestPayload.h"
#include "tests/support/TestSupport.h"

#include <shlobj.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include <algorithm>
#include <cstdlib>

namespace qmtest {

namespace {

struct FindState {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindSetupWindow(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (pid == state->pid && wcscmp(cls, L"install") == 0 && IsWindowVisible(hwnd)) {
        state->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

void AppendPngBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<size_t>(size));
}

} // namespace

std::wstring BuiltSetupPath() {
    return ProgramDir() + L"\\..\\..\\QuillmossdexSetup.exe";
}

std::string MakeTestPayload() {
    const std::string client = ReadFileBytes(ProgramDir() + L"\\qm_fake_client.exe");
    if (client.empty())
        return std::string();
    std::vector<ZipEntry> entries(4);
    entries[0].name = "Quillmossdex.exe";
    entries[0].data = client;
    entries[1].name = "uninst.exe";
    entries[1].data = "the uninstaller's place in the test payload";
    entries[2].name = "res/";
    entries[2].deflate = false;
    entries[3].name = "res/version.txt";
    entries[3].data = "version=1.0.67\r\n";
    return BuildPayload(entries);
}

bool ReplaceResource(const std::wstring& path, const wchar_t* type, WORD id,
                     const std::string& bytes) {
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    if (!update)
        return false;
    const BOOL ok = UpdateResourceW(
        update, type, MAKEINTRESOURCEW(id), MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
        const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    return EndUpdateResourceW(update, !ok) && ok;
}

std::wstring MakeSetupCopy(const std::wstring& path, const std::string& payload) {
    return MakePayloadCopy(BuiltSetupPath(), path, &payload);
}

HWND WaitForSetupWindow(HANDLE process, DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            FindState state{pid, nullptr};
            EnumWindows(FindSetupWindow, reinterpret_cast<LPARAM>(&state));
            found = state.found;
            return found != nullptr || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    return found;
}

SIZE WindowSize(HWND hwnd) {
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void ClickAt(HWND hwnd, int x, int y) {
    POINT pt = {x, y};
    ClientToScreen(hwnd, &pt);
    // Two clicks on one spot within the double-click time are a double click
    // to Windows, which an option does not take as a second toggle; a person
    // clicking twice on purpose waits longer, and so does this driver.
    static POINT lastPoint = {-100000, -100000};
    static DWORD lastTick = 0;
    const DWORD since = GetTickCount() - lastTick;
    const DWORD doubleClick = GetDoubleClickTime();
    if (std::abs(pt.x - lastPoint.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
        std::abs(pt.y - lastPoint.y) <= GetSystemMetrics(SM_CYDOUBLECLK) && since <= doubleClick)
        Sleep(doubleClick - since + 50);
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in)
        i.type = INPUT_MOUSE;
    // Absolute coordinates are in 1/65536 of the screen; the middle of the
    // pixel keeps the rounding on the intended one.
    in[0].mi.dx = static_cast<LONG>((pt.x * 65536LL + 32768) / cx);
    in[0].mi.dy = static_cast<LONG>((pt.y * 65536LL + 32768) / cy);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(30);
    SendInput(1, &in[1], sizeof(INPUT));
    Sleep(30);
    SendInput(1, &in[2], sizeof(INPUT));
    lastPoint = pt;
    lastTick = GetTickCount();
}

void TypeText(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = ch;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof(INPUT));
    }
}

void PressKey(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

void PressKeyWith(WORD modifier, WORD vk) {
    INPUT in[4] = {};
    for (INPUT& i : in)
        i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = modifier;
    in[1].ki.wVk = vk;
    in[2].ki.wVk = vk;
    in[2].ki.dwFlags = KEYEVENTF_KEYUP;
    in[3].ki.wVk = modifier;
    in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
}

Screenshot CaptureWindow(HWND hwnd) {
    Screenshot shot;
    RECT rc = {};
    if (!GetWindowRect(hwnd, &rc))
        return shot;
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return shot;
    SkinUI::CWindowDC screen(nullptr);
    SkinUI::CMemoryDC mem(screen.Get());
    SkinUI::CDibSection dib(mem.Get(), w, h);
    if (!screen || !mem || !dib)
        return shot;
    SkinUI::CSelectObject select(mem.Get(), dib.Get());
    if (BitBlt(mem.Get(), 0, 0, w, h, screen.Get(), rc.left, rc.top, SRCCOPY)) {
        GdiFlush();
        shot.width = w;
        shot.height = h;
        const auto* px = reinterpret_cast<const uint32_t*>(dib.Bits());
        shot.pixels.assign(px, px + static_cast<size_t>(w) * h);
        for (uint32_t& p : shot.pixels)
            p |= 0xFF000000u;
    }
    return shot;
}

bool Screenshot::SavePng(const std::wstring& path) const {
    if (Empty())
        return false;
    std::vector<unsigned char> rgba(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgba[i * 4 + 0] = static_cast<unsigned char>(pixels[i] >> 16);
        rgba[i * 4 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgba[i * 4 + 2] = static_cast<unsigned char>(pixels[i]);
        rgba[i * 4 + 3] = 255;
    }
    std::string png;
    if (!stbi_write_png_to_func(AppendPngBytes, &png, width, height, 4, rgba.data(), width * 4))
        return false;
    return WriteFileBytes(path, png);
}

std::wstring ArtifactPath(const std::wstring& name) {
    const std::wstring dir = ProgramDir() + L"\\..\\..\\test-artifacts";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

bool IsTeal(uint32_t p) {
    const int r = static_cast<int>((p >> 16) & 0xFF);
    const int g = static_cast<int>((p >> 8) & 0xFF);
    const int b = static_cast<int>(p & 0xFF);
    return g - r > 50 && b - r > 40;
}

int CountTeal(const Screenshot& shot, const RECT& rc) {
    int n = 0;
    for (int y = std::max(0L, rc.top); y < std::min<long>(shot.height, rc.bottom); ++y)
        for (int x = std::max(0L, rc.left); x < std::min<long>(shot.width, rc.right); ++x)
            if (IsTeal(shot.At(x, y)))
                ++n;
    return n;
}

std::wstring DefaultInstallDir() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    const int folder = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                               info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64
                           ? CSIDL_PROGRAM_FILESX86
                           : CSIDL_PROGRAM_FILES;
    wchar_t buf[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, buf, folder, FALSE);
    return std::wstring(buf) + L"\\Quillmossdex\\";
}

std::wstring DesktopShortcut() {
    wchar_t buf[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, buf, CSIDL_COMMON_DESKTOPDIRECTORY, FALSE);
    return std::wstring(buf) + L"\\青梧云端助手.lnk";
}

std::wstring StartMenuFolder() {
    wchar_t buf[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, buf, CSIDL_COMMON_PROGRAMS, FALSE);
    return std::wstring(buf) + L"\\青梧云端助手";
}

std::wstring StartMenuShortcut() {
    return StartMenuFolder() + L"\\青梧云端助手.lnk";
}

std::wstring StartMenuUninstallShortcut() {
    return StartMenuFolder() + L"\\卸载青梧云端助手.lnk";
}

void WriteRecordedLocation(const std::wstring& dir) {
    // A recorded folder counts only while it holds the product.
    std::wstring folder = dir;
    if (folder.back() != L'\\')
        folder += L'\\';
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1))
        CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
    if (!FileExists(folder + L"Quillmossdex.exe"))
        WriteFileBytes(folder + L"Quillmossdex.exe", "the recorded installation's client");
    SkinUI::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key.Get(), L"InstallLocation", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(dir.c_str()),
                   static_cast<DWORD>((dir.size() + 1) * sizeof(wchar_t)));
}

bool WaitForFocusedEdit(HWND hwnd) {
    return WaitUntil(
        [&] {
            HWND edit = FindWindowExW(hwnd, nullptr, nullptr, nullptr);
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            return edit != nullptr &&
                   GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) &&
                   info.hwndFocus == edit;
        },
        5000);
}

std::wstring FieldText(HWND hwnd) {
    MsaaClient client(hwnd);
    for (const TElement& e : client.Children())
        if (e.role == ROLE_SYSTEM_TEXT)
            return client.Value(e.id);
    return L"(no field)";
}

bool TypeIntoField(HWND hwnd, const std::wstring& text) {
    ClickAt(hwnd, layout::kPathEdit.x, layout::kPathEdit.y);
    if (!WaitForFocusedEdit(hwnd))
        return false;
    PressKey(VK_DELETE);
    TypeText(text);
    return WaitUntil([&] { return FieldText(hwnd) == text; }, 5000);
}

int PageShown(const Screenshot& shot) {
    if (shot.Empty())
        return -1;
    // Left of the button texts, so white letters never count.
    const RECT installTop = {195, 293, 235, 300};
    const RECT successMiddle = {195, 320, 235, 330};
    const RECT progressStart = {37, 351, 80, 355};
    if (CountTeal(shot, installTop) > 200)
        return 0;
    if (CountTeal(shot, successMiddle) > 300)
        return 2;
    if (CountTeal(shot, progressStart) > 100)
        return 1;
    return -1;
}

bool CaptureUntil(HWND hwnd, Screenshot* shot, const std::function<bool()>& shown,
                  DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            *shot = CaptureWindow(hwnd);
            return !shot->Empty() && shown();
        },
        timeoutMs, 50);
}

bool WaitForPage(HWND hwnd, int page, DWORD timeoutMs, Screenshot* shot) {
    Screenshot last;
    const bool ok = CaptureUntil(
        hwnd, &last, [&] { return PageShown(last) == page; }, timeoutMs);
    if (shot)
        *shot = last;
    return ok;
}

std::wstring ReadLog(const std::wstring& path) {
    std::string bytes = ReadFileBytes(path);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    if (bytes.empty())
        return std::wstring();
    std::wstring text(bytes.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      &text[0], static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

} // namespace qmtest

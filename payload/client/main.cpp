// Entry point of Quillmossdex.exe, the product's client.
#include "installer/services/PathText.h"
#include "installer/services/Product.h"
#include "payload/client/ClientWindow.h"
#include "skinui/core/Handles.h"
#include "skinui/core/SystemLibrary.h"
#include "skinui/core/TextFormat.h"

#include <objbase.h>
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

// The version of this program as its version resource states it, read from the
// module's own resource so that it always matches what Explorer shows.
std::wstring OwnVersion() {
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO),
                              MAKEINTRESOURCEW(16) /* RT_VERSION */);
    HGLOBAL block = res ? LoadResource(nullptr, res) : nullptr;
    const BYTE* data = block ? static_cast<const BYTE*>(LockResource(block)) : nullptr;
    DWORD size = res ? SizeofResource(nullptr, res) : 0;
    // The fixed part starts with its signature at a 4-byte boundary.
    for (DWORD at = 0; data && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        uint32_t signature = 0;
        std::memcpy(&signature, data + at, sizeof(signature));
        if (signature != VS_FFI_SIGNATURE)
            continue;
        VS_FIXEDFILEINFO info;
        std::memcpy(&info, data + at, sizeof(info));
        wchar_t text[64];
        SkinUI::FormatText(text, 64, L"%u.%u.%u", HIWORD(info.dwProductVersionMS),
                           LOWORD(info.dwProductVersionMS), HIWORD(info.dwProductVersionLS));
        return text;
    }
    return L"?";
}

std::wstring OwnDirectory() {
    const std::wstring self = ModulePath();
    return self.empty() ? self : FolderOf(self);
}

void UseOwnSkin(HINSTANCE instance) {
    SkinUI::CPaintManagerUI::SetInstance(instance);
    HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(103), L"ZIPRES");
    HGLOBAL block = res ? LoadResource(instance, res) : nullptr;
    DWORD size = res ? SizeofResource(instance, res) : 0;
    if (block && size)
        SkinUI::CPaintManagerUI::SetResourceZip(LockResource(block), size);
    SkinUI::CPaintManagerUI::SetResourcePath(SkinUI::CPaintManagerUI::GetInstancePath());
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    SkinUI::HardenDllSearch();

    // The installer and the uninstaller look for this mutex to know that the
    // client runs; a second client brings the first one forward instead.
    SkinUI::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kClientMutexNameW));
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND other = FindWindowW(kClientWindowClass, nullptr)) {
            ShowWindow(other, SW_RESTORE);
            SetForegroundWindow(other);
        }
        return 0;
    }

    CoInitialize(nullptr);
    UseOwnSkin(instance);
    CClientWindow window(OwnVersion(), OwnDirectory());
    if (!window.Create(nullptr, kProductName, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0))
        return 1;
    window.CenterWindow();
    window.SetIcon(1);
    window.ShowWindow(true, true);
    SkinUI::CPaintManagerUI::MessageLoop();

    mutex.Reset();
    CoUninitialize();
    return 0;
}

#include "installer/engine/UninstallRecord.h"

#include "installer/engine/InstallJob.h"
#include "installer/services/Product.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"

using SkinUI::UniqueRegKey;

namespace {

// The wide functions store what the narrow ones stored on a code page 936
// system, UTF-16 text with its terminator, and also every character that code
// page lacks.
bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    // The stored data includes the terminator, as the program list expects.
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

} // namespace

bool WriteUninstallValues(const std::wstring& installDir, DWORD estimatedKib) {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    UniqueRegKey base;
    // The base exists on every Windows; a fresh Wine prefix may lack it until
    // the first program registers.
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallBasePath(info.wProcessorArchitecture), 0,
                        nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, base.Put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    UniqueRegKey key;
    if (RegCreateKeyExW(base.Get(), kProductName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return false;

    // Written in this order; an existing record is overwritten value by value.
    const std::wstring site = ToWide(kWebSiteRoot);
    bool ok = true;
    ok &= SetString(key.Get(), L"UninstallString",
                    UninstallCommand(installDir + kUninstallerFileNameW));
    ok &= SetString(key.Get(), L"DisplayIcon", installDir + kClientFileNameW);
    ok &= SetString(key.Get(), L"DisplayName", kProductName);
    ok &= SetString(key.Get(), L"Publisher", kProductName);
    ok &= SetString(key.Get(), L"InstallLocation", installDir);
    ok &= SetString(key.Get(), L"DisplayVersion", kProductVersionW);
    ok &= SetString(key.Get(), L"URLInfoAbout", site);
    ok &= SetString(key.Get(), L"HelpLink", site);
    ok &= SetDword(key.Get(), L"EstimatedSize", estimatedKib);
    ok &= SetString(key.Get(), L"_PROCESS_CHANNEL_", ToWide(kProcessChannel));
    ok &= SetString(key.Get(), L"_CHANNEL_NAME_", ToWide(kChannelName));
    // For management tools that remove software without asking anyone.
    ok &= SetString(key.Get(), L"QuietUninstallString",
                    UninstallCommand(installDir + kUninstallerFileNameW) + L" /S");
    // A record with values missing is not a product the system can list and
    // remove, so it fails like a record that could not be created.
    return ok;
}

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

bool ReadRecordedInstall(TRecordedInstall* recorded) {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, KEY_QUERY_VALUE,
                      key.Put()) != ERROR_SUCCESS)
        return false;
    recorded->dir = RecordString(key.Get(), L"InstallLocation");
    if (!recorded->dir.empty() && recorded->dir.back() != L'\\' && recorded->dir.back() != L'/')
        recorded->dir += L'\\';
    recorded->version = RecordString(key.Get(), L"DisplayVersion");
    return true;
}

int CompareVersions(const std::wstring& a, const std::wstring& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() || j < b.size()) {
        // One part of each: its digits as a number (anything else ends it).
        auto part = [](const std::wstring& text, size_t* pos) {
            unsigned long long value = 0;
            while (*pos < text.size() && text[*pos] >= L'0' && text[*pos] <= L'9') {
                if (value < 100000000000ull)
                    value = value * 10 + static_cast<unsigned>(text[*pos] - L'0');
                ++*pos;
            }
            while (*pos < text.size() && text[*pos] != L'.')
                ++*pos;
            if (*pos < text.size())
                ++*pos;
            return value;
        };
        const unsigned long long x = part(a, &i);
        const unsigned long long y = part(b, &j);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

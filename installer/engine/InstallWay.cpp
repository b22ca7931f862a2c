// DetectInstallKind and WriteInstallKind: how the product came to be
// installed, recorded for the product's own statistics.
#include "installer/engine/InstallWay.h"

#include "installer/services/Product.h"

#include "skinui/core/Handles.h"

#include <shlwapi.h>

using SkinUI::UniqueRegKey;

InstallKind DetectInstallKind(InstallKind current) {
    UniqueRegKey record;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, KEY_ALL_ACCESS,
                      record.Put()) == ERROR_SUCCESS) {
        wchar_t icon[MAX_PATH] = {};
        // One character short of the buffer, so the text always ends with a NUL.
        DWORD size = sizeof(icon) - sizeof(wchar_t);
        LONG err = RegQueryValueExW(record.Get(), L"DisplayIcon", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(icon), &size);
        record.Reset();
        if (err == ERROR_SUCCESS && PathFileExistsW(icon))
            return INSTALL_KIND_OVER_RECORD;
    }
    UniqueRegKey settings;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, KEY_ALL_ACCESS, settings.Put()) ==
            ERROR_SUCCESS ||
        RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, settings.Put()) ==
            ERROR_SUCCESS)
        return INSTALL_KIND_OVER_SETTINGS;
    return current;
}

void WriteInstallKind(InstallKind kind) {
    UniqueRegKey software;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE", 0, KEY_ALL_ACCESS, software.Put()) !=
        ERROR_SUCCESS)
        return;
    UniqueRegKey flags;
    // The settings key below SOFTWARE, opened from there as the product's
    // other writers do.
    const wchar_t* subKey = kSettingsSubKey;
    if (RegOpenKeyExW(software.Get(), subKey, 0, KEY_ALL_ACCESS, flags.Put()) != ERROR_SUCCESS &&
        RegCreateKeyExW(software.Get(), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, flags.Put(), nullptr) != ERROR_SUCCESS)
        return;
    // Kinds 0, 1, 2 are stored as "1", "2", "3": one character without the
    // terminator, as the product's readers expect (the narrow functions
    // read it back as one byte).
    const int k = kind >= INSTALL_KIND_FRESH && kind <= INSTALL_KIND_OVER_SETTINGS ? kind : 0;
    const wchar_t way = static_cast<wchar_t>(L'1' + k);
    RegSetValueExW(flags.Get(), L"InstallWay", 0, REG_SZ, reinterpret_cast<const BYTE*>(&way),
                   sizeof(way));
}

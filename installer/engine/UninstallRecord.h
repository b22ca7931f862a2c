// The entry of the system's program list that names the product, its
// uninstaller and its size.
#pragma once

#include <windows.h>

#include <string>

// Writes (or overwrites, value by value) the record for the product in
// installDir (ending with a separator) taking estimatedKib of disk; false
// when a value could not be stored.
bool WriteUninstallValues(const std::wstring& installDir, DWORD estimatedKib);

// What the uninstall record says of the installation it names: its folder
// (with a trailing separator) and its version; false when there is no record.
struct TRecordedInstall {
    std::wstring dir;
    std::wstring version;
};
bool ReadRecordedInstall(TRecordedInstall* recorded);

// Compares dotted version numbers ("1.0.67" < "1.0.100" < "9.9.9") part by
// part as numbers, a missing part counting as 0: below 0, 0 or above 0.
int CompareVersions(const std::wstring& a, const std::wstring& b);

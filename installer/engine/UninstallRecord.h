// The entry of the system's program list that names the product, its
// uninstaller and its size.
#pragma once

#include <windows.h>

#include <string>

// Writes (or overwrites, value by value) the record for the product in
// installDir (ending with a separator) taking estimatedKib of disk; false
// when a value could not be stored.
bool WriteUninstallValues(const std::wstring& installDir, DWORD estimatedKib);

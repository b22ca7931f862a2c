// The product's fixed names and texts, shared by the install engine, the
// uninstall record, the shortcuts and the main window.
#pragma once

#include <windows.h>

#include <string>

// The display name users see in the program list, the Start menu and boxes.
extern const wchar_t kProductName[];
extern const char kProductVersion[];
// File names inside the install directory.
extern const char kClientFileName[];
extern const char kUninstallerFileName[];
// The maker's web site, for the program list's links.
extern const char kWebSiteRoot[];
// The product's own per-user settings key below HKEY_CURRENT_USER.
extern const wchar_t kSettingsKey[];

// The base of the uninstall keys for a native processor architecture
// (SYSTEM_INFO::wProcessorArchitecture): a 32-bit program on 64-bit Windows
// names the WOW6432Node branch itself, so no registry-view flag is needed.
const char* UninstallBasePath(WORD processorArchitecture);
// The product's uninstall key below HKEY_LOCAL_MACHINE on this machine.
std::string UninstallKeyPath();

// A fixed wide text in the ANSI code page, the encoding the narrow registry
// and shell functions expect; on the target systems that is code page 936.
std::string AnsiText(const wchar_t* text);

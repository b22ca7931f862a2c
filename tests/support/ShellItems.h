// Where the shell puts the product's links, what a link points at, and
// whether a registry key is there: what the whole-life tests read back.
#pragma once

#include <windows.h>

#include <string>

namespace qmtest {

// The user's desktop and Start-menu "Programs" folders, without a trailing
// separator, as the shell resolves them.
std::wstring DesktopFolder();
std::wstring ProgramsFolder();
// The target path a shell link stores, as written (not resolved); empty when
// the link cannot be read.
std::wstring ShortcutTarget(const std::wstring& link);
bool RegistryKeyExists(HKEY root, const std::wstring& path);

} // namespace qmtest

// Where the shell puts the product's links, what a link points at, and
// whether a registry key is there: what the whole-life tests read back.
#pragma once

#include <windows.h>

#include <string>

namespace qmtest {

// The all-users desktop and Start-menu "Programs" folders, where the product's
// links go, without a trailing separator, as the shell resolves them.
std::wstring DesktopFolder();
std::wstring ProgramsFolder();
// The user's own ones, where earlier versions put the links.
std::wstring UserDesktopFolder();
std::wstring UserProgramsFolder();
// The target path a shell link stores, as written (not resolved); empty when
// the link cannot be read.
std::wstring ShortcutTarget(const std::wstring& link);
// Saves a shell link at link that starts target; false when it cannot.
bool MakeShortcut(const std::wstring& link, const std::wstring& target);
bool RegistryKeyExists(HKEY root, const std::wstring& path);

} // namespace qmtest

// What an install says about versions: which one it installs where, and
// which recorded installation (folder and version) it replaces, in the log of
// every run and on the finish page of the window.
#pragma once

#include <string>

// Logs the version being installed into installDir and, when an installation
// is recorded, its folder and version, and whether this is an older version
// than the one it replaces.
void LogVersionChange(const std::wstring& installDir);

// The finish page's version line: the installed version, and the one it
// replaced when that differs ("版本: 1.0.67 (替换版本 1.0.60)").
std::wstring FinishVersionLine(const std::wstring& replacedVersion);

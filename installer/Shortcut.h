// Shell links: the shortcuts the installer puts in the Start menu and on the
// desktop (CFileManage::CreateStartMenuShortcuts, CreateDesktopShortcut).
#pragma once

#include "installer/FileManage.h"

#include <string>

// Writes a shell link file at linkPath that starts target and shows
// description as its tool tip. All three are narrow ANSI text. The calling
// thread must have COM initialised.
InstallResult CreateShortcut(std::string linkPath, std::string target, std::string description);

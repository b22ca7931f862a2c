// Shell links: the shortcuts the installer puts in the Start menu and on the
// desktop (CFileManage::CreateStartMenuShortcuts, CreateDesktopShortcut).
#pragma once

#include "installer/FileManage.h"

#include <string>

// Writes a shell link file at linkPath that starts target and shows
// description as its tool tip. Refused, with nothing written, when the target
// or the link's own path does not fit MAX_PATH: a link never holds a cut
// target. The calling thread must have COM initialised.
InstallResult CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                             const std::wstring& description);

// Shell links: the shortcuts the installer puts in the Start menu and on the
// desktop.
#pragma once

#include "installer/engine/InstallJob.h"

#include <string>

// Writes a shell link file at linkPath that starts target and shows
// description as its tool tip. Refused, with nothing written, when the target
// or the link's own path does not fit MAX_PATH: a link never holds a cut
// target.
InstallResult CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                             const std::wstring& description);

class CInstallJournal;

// Where a guarded run journals what the link operations below change before
// they change it: the folder they create, and a copy of each link they write
// over (in the run's staging folder, as copyPrefix and a number). Without a
// journal nothing is journaled. A failure to journal stops the operation
// with nothing made.
struct TLinkJournal {
    CInstallJournal* journal = nullptr;
    std::wstring copyPrefix;
    // The copies made so far, for the next copy's number.
    int* copies = nullptr;
};

// The client's and the uninstaller's links in the product's Start-menu
// folder, for the product installed in installDir (ending with a separator).
InstallResult CreateStartMenuLinks(const std::wstring& installDir, const TLinkJournal& journal);
// The client's link on the desktop every user sees.
InstallResult CreateDesktopLink(const std::wstring& installDir, const TLinkJournal& journal);

// Shell links: the shortcuts the installer puts in the Start menu and on the
// desktop.
#pragma once

#include "installer/engine/InstallJob.h"

#include <string>

// Writes a shell link file at linkPath that starts target and shows
// description as its tool tip. Refused, with nothing written, when the target
// or the link's own path does not fit MAX_PATH: a link never holds a cut
// target. The calling thread must have COM initialised.
InstallResult CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                             const std::wstring& description);

// Told of every change before the link operations below make it, so that a
// run can journal it; a false answer stops the operation with nothing made.
class ILinkGuard {
public:
    virtual bool BeforeCreateFolder(const std::wstring& folder) = 0;
    // A link about to be written over whatever is at its name now.
    virtual bool BeforeWriteLink(const std::wstring& link) = 0;

protected:
    ~ILinkGuard() = default;
};

// The client's and the uninstaller's links in the product's Start-menu
// folder, for the product installed in installDir (ending with a separator).
InstallResult CreateStartMenuLinks(const std::wstring& installDir, ILinkGuard& guard);
// The client's link on the desktop every user sees.
InstallResult CreateDesktopLink(const std::wstring& installDir, ILinkGuard& guard);

#include "installer/app/Startup.h"

#include "installer/app/FrameUI.h"
#include "installer/app/Guard.h"
#include "installer/engine/InstallDir.h"
#include "installer/services/SetupLog.h"

#include "skinui/core/TextFormat.h"
#include "skinui/window/PaintManagerUI.h"

#include <cwchar>

using SkinUI::CPaintManagerUI;

namespace {

// The skin archive among the program's resources.
constexpr WORD kSkinArchiveId = 103;
const wchar_t kSkinArchiveType[] = L"ZIPRES";
// Only stored by the UI library; the archive set below is what makes it read
// every skin file from memory.
constexpr int kResourceTypeZipResource = 4;

} // namespace

// ===========================================================================
// The window's start

void SetupSkinResources() {
    CPaintManagerUI::SetResourceType(kResourceTypeZipResource);
    HINSTANCE module = CPaintManagerUI::GetInstance();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kSkinArchiveId), kSkinArchiveType);
    if (found) {
        // A resource block is part of the mapped program image: it stays valid
        // for the life of the process and is read in place, never copied.
        HGLOBAL loaded = LoadResource(module, found);
        const DWORD size = SizeofResource(module, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (data && size != 0)
            CPaintManagerUI::SetResourceZip(data, size);
    }
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
}

bool IsSilentStart(const std::vector<std::wstring>& args) {
    return !args.empty() && args[0] == L"path";
}

void ApplyStartMode(CFrameUI& frame, const std::vector<std::wstring>& args) {
    if (args.empty()) {
        if (frame.LoadRecordedInstallDir()) {
            frame.m_useRecordedDir = 1;
            frame.m_askOverwrite = 1;
        }
        return;
    }
    const std::wstring& mode = args[0];
    if (mode == L"Update") {
        if (args.size() > 1) {
            // As wcstol reads it: blanks and a sign allowed, no digits give 0.
            const DWORD pid = static_cast<DWORD>(wcstol(args[1].c_str(), nullptr, 10));
            // The updater names the client it replaces; only a client or
            // updater of the recorded installation is ended, never this
            // installer or anything else a caller names.
            std::wstring recorded;
            if (pid != GetCurrentProcessId() && ReadRecordedInstallDir(&recorded) &&
                !KillProductProcessById(pid, recorded))
                SetupLogLine(L"process " + SkinUI::DecimalText(pid) +
                             L" is not the product's client or updater; it is left running");
        }
        if (frame.LoadRecordedInstallDir()) {
            frame.m_useRecordedDir = 1;
            frame.StartInstall();
        }
    }
    // "path" never gets here: it runs silently, without the window
    // (RunSilentInstall). Any other word starts at the welcome page.
}

void ApplyStartRequest(CFrameUI& frame, const TStartRequest& request) {
    ApplyStartMode(frame, request.words);
    if (!request.parentDir.empty() && request.words.empty()) {
        // The field names the folder from the command line, also over a
        // recorded installation; that one is still there, so the overwrite
        // question stays.
        const int askOverwrite = frame.m_askOverwrite;
        frame.ApplyPathArgument(request.parentDir);
        frame.m_useRecordedDir = 0;
        frame.m_askOverwrite = askOverwrite;
    }
}

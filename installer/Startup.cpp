#include "installer/Startup.h"

#include "installer/FrameUI.h"
#include "installer/Guard.h"

#include "skinui/window/PaintManagerUI.h"

#include <windows.h>

#include <cstdlib>

using SkinUI::CPaintManagerUI;

namespace {

// The skin archive among the program's resources.
constexpr WORD kSkinArchiveId = 103;
const wchar_t kSkinArchiveType[] = L"ZIPRES";
// Only stored by the UI library; the archive set below is what makes it read
// every skin file from memory.
constexpr int kResourceTypeZipResource = 4;

} // namespace

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

bool IsSilentStart(const std::vector<std::string>& args) {
    return !args.empty() && args[0] == "path";
}

std::string JoinPathWords(const std::vector<std::string>& args) {
    if (args.size() == 2)
        return args[1];
    std::string text;
    for (size_t i = 1; i < args.size(); ++i)
        text += " " + args[i];
    return text;
}

void ApplyStartMode(CFrameUI& frame, const std::vector<std::string>& args) {
    if (args.empty()) {
        if (frame.LoadRecordedInstallDir()) {
            frame.m_useRecordedDir = 1;
            frame.m_askOverwrite = 1;
        }
        return;
    }
    const std::string& mode = args[0];
    if (mode == "Update") {
        if (args.size() > 1) {
            // As strtol reads it: blanks and a sign allowed, no digits give 0.
            const DWORD pid = static_cast<DWORD>(strtol(args[1].c_str(), nullptr, 10));
            // The updater names the client it replaces; never this installer.
            if (pid != GetCurrentProcessId())
                KillProcessById(pid);
        }
        if (frame.LoadRecordedInstallDir()) {
            frame.m_useRecordedDir = 1;
            frame.StartInstall();
        }
        return;
    }
    if (mode == "path") {
        frame.m_silent = true;
        // A recorded installation wins over the directory on the command line.
        if (frame.LoadRecordedInstallDir())
            frame.m_useRecordedDir = 1;
        else
            frame.ApplyPathArgument(JoinPathWords(args));
        frame.StartInstall();
    }
}

#include "installer/Shortcut.h"

#include "installer/Product.h"
#include "installer/TextConvert.h"

#include "skinui/core/Handles.h"

#include <objbase.h>
#include <shlobj.h>

using SkinUI::ComPtr;
using SkinUI::UniqueRegKey;

namespace {

const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The client shortcuts' tool tip: the name, "版本:" and the version, the name.
std::string ClientDescription() {
    std::string name = AnsiText(kProductName);
    return name + "\n" + AnsiText(L"版本:") + kProductVersion + "\n" + name;
}

// The per-user Programs folder. The Shell Folders value is what Explorer last
// wrote there; when it is absent or empty (a profile Explorer never ran in)
// the shell is asked for the known folder instead. False when neither names
// a folder that fits MAX_PATH.
bool ProgramsFolder(HKEY shellFolders, std::string* folder) {
    char buf[MAX_PATH] = {};
    // One byte short of the buffer, so the text always ends with a NUL even
    // when the stored value lacks one.
    DWORD size = sizeof(buf) - 1;
    LONG err = RegQueryValueExA(shellFolders, "Programs", nullptr, nullptr,
                                reinterpret_cast<BYTE*>(buf), &size);
    if (err == ERROR_SUCCESS && buf[0] != '\0') {
        *folder = buf;
        return true;
    }
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
        return false;
    char known[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, known)) ||
        known[0] == '\0')
        return false;
    *folder = known;
    return true;
}

bool FitsPath(const std::string& path) {
    return path.size() < MAX_PATH;
}

} // namespace

InstallResult CreateShortcut(std::string linkPath, std::string target, std::string description) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())))
        return INSTALL_ERR_SHORTCUT;
    link->SetPath(ToWide(target).c_str());
    link->SetDescription(ToWide(description).c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())))
        return INSTALL_ERR_SHORTCUT;
    // A link that was not saved is a shortcut the user will not find.
    if (FAILED(file->Save(ToWide(linkPath).c_str(), TRUE)))
        return INSTALL_ERR_SHORTCUT;
    return INSTALL_OK;
}

InstallResult CFileManage::CreateStartMenuShortcuts() {
    std::string programs;
    {
        UniqueRegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_QUERY_VALUE, key.Put()) !=
            ERROR_SUCCESS)
            return INSTALL_ERR_SHORTCUT;
        if (!ProgramsFolder(key.Get(), &programs))
            return INSTALL_ERR_SHORTCUT;
    }
    const std::string name = AnsiText(kProductName);
    std::string folder = programs + "\\" + name;
    // It may exist from an earlier install; its links are then overwritten.
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\";
    std::string clientLink = folder + AnsiText(kClientLinkName);
    std::string uninstallLink = folder + AnsiText(kUninstallLinkName);
    if (!FitsPath(clientLink) || !FitsPath(uninstallLink))
        return INSTALL_ERR_SHORTCUT;

    InstallResult result =
        CreateShortcut(clientLink, installDir + kClientFileName, ClientDescription());
    // The client's link is what users look for; the uninstaller's is also
    // reachable through the system's program list.
    CreateShortcut(uninstallLink, installDir + kUninstallerFileName, name);
    return result;
}

InstallResult CFileManage::CreateDesktopShortcut() {
    char desktop[MAX_PATH] = {};
    // Without the folder the link would land in the current drive's root.
    if (!SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE) || desktop[0] == '\0')
        return INSTALL_ERR_SHORTCUT;
    std::string link = std::string(desktop) + "\\" + AnsiText(kClientLinkName);
    if (!FitsPath(link))
        return INSTALL_ERR_SHORTCUT;
    InstallResult result = CreateShortcut(link, installDir + kClientFileName, ClientDescription());
    // Explorer refreshes the desktop on F5, so the icon shows at once.
    PostMessageW(GetDesktopWindow(), WM_KEYDOWN, VK_F5, 0);
    return result;
}

void CFileManage::CreateChosenShortcuts(const TInstallJob& job) {
    if (job.startMenuLink)
        CreateStartMenuShortcuts();
    if (job.desktopLink)
        CreateDesktopShortcut();
}

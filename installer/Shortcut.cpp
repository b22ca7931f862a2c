#include "installer/Shortcut.h"

#include "installer/Product.h"

#include "skinui/core/Handles.h"

#include <objbase.h>
#include <shlobj.h>

using SkinUI::ComPtr;
using SkinUI::UniqueRegKey;

namespace {

const wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The client shortcuts' tool tip: the name, "版本:" and the version, the name.
std::wstring ClientDescription() {
    const std::wstring name = kProductName;
    return name + L"\n版本:" + kProductVersionW + L"\n" + name;
}

// The per-user Programs folder. The Shell Folders value is what Explorer last
// wrote there; when it is absent or empty (a profile Explorer never ran in)
// the shell is asked for the known folder instead. False when neither names
// a folder that fits MAX_PATH.
bool ProgramsFolder(HKEY shellFolders, std::wstring* folder) {
    wchar_t buf[MAX_PATH] = {};
    // One character short of the buffer, so the text always ends with a NUL
    // even when the stored value lacks one.
    DWORD size = sizeof(buf) - sizeof(wchar_t);
    LONG err = RegQueryValueExW(shellFolders, L"Programs", nullptr, nullptr,
                                reinterpret_cast<BYTE*>(buf), &size);
    if (err == ERROR_SUCCESS && buf[0] != L'\0') {
        *folder = buf;
        return true;
    }
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
        return false;
    wchar_t known[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, known)) ||
        known[0] == L'\0')
        return false;
    *folder = known;
    return true;
}

bool FitsPath(const std::wstring& path) {
    return path.size() < MAX_PATH;
}

} // namespace

InstallResult CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                             const std::wstring& description) {
    // A link holds its target in a MAX_PATH buffer; a longer one would be
    // stored cut and start nothing, or something else.
    if (target.empty() || !FitsPath(target) || !FitsPath(linkPath))
        return INSTALL_ERR_SHORTCUT;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())))
        return INSTALL_ERR_SHORTCUT;
    if (FAILED(link->SetPath(target.c_str())))
        return INSTALL_ERR_SHORTCUT;
    // The target as the link holds it: anything but the whole path is a link
    // the user must not be given.
    wchar_t stored[MAX_PATH] = {};
    if (FAILED(link->GetPath(stored, MAX_PATH, nullptr, SLGP_RAWPATH)) ||
        CompareStringOrdinal(stored, -1, target.c_str(), -1, TRUE) != CSTR_EQUAL)
        return INSTALL_ERR_SHORTCUT;
    link->SetDescription(description.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())))
        return INSTALL_ERR_SHORTCUT;
    // A link that was not saved is a shortcut the user will not find.
    if (FAILED(file->Save(linkPath.c_str(), TRUE)))
        return INSTALL_ERR_SHORTCUT;
    return INSTALL_OK;
}

InstallResult CFileManage::CreateStartMenuShortcuts() {
    std::wstring programs;
    {
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_QUERY_VALUE, key.Put()) !=
            ERROR_SUCCESS)
            return INSTALL_ERR_SHORTCUT;
        if (!ProgramsFolder(key.Get(), &programs))
            return INSTALL_ERR_SHORTCUT;
    }
    std::wstring folder = programs + L"\\" + kProductName;
    // It may exist from an earlier install; its links are then overwritten.
    if (m_guarded && GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !m_journal.NoteCreatedDir(folder))
        return INSTALL_ERR_SHORTCUT;
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\";
    const std::wstring clientLink = folder + kClientLinkName;
    const std::wstring uninstallLink = folder + kUninstallLinkName;
    if (!FitsPath(clientLink) || !FitsPath(uninstallLink))
        return INSTALL_ERR_SHORTCUT;

    if (!GuardLink(clientLink))
        return INSTALL_ERR_SHORTCUT;
    InstallResult result =
        CreateShortcut(clientLink, installDir + kClientFileNameW, ClientDescription());
    // The client's link is what users look for; the uninstaller's is also
    // reachable through the system's program list.
    if (GuardLink(uninstallLink))
        CreateShortcut(uninstallLink, installDir + kUninstallerFileNameW, kProductName);
    return result;
}

InstallResult CFileManage::CreateDesktopShortcut() {
    wchar_t desktop[MAX_PATH] = {};
    // Without the folder the link would land in the current drive's root.
    if (!SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, FALSE) || desktop[0] == L'\0')
        return INSTALL_ERR_SHORTCUT;
    const std::wstring link = std::wstring(desktop) + L"\\" + kClientLinkName;
    if (!FitsPath(link) || !GuardLink(link))
        return INSTALL_ERR_SHORTCUT;
    InstallResult result = CreateShortcut(link, installDir + kClientFileNameW, ClientDescription());
    // Explorer refreshes the desktop on F5, so the icon shows at once.
    PostMessageW(GetDesktopWindow(), WM_KEYDOWN, VK_F5, 0);
    return result;
}

InstallResult CFileManage::CreateChosenShortcuts(const TInstallJob& job) {
    InstallResult result = INSTALL_OK;
    if (job.startMenuLink)
        result = CreateStartMenuShortcuts();
    if (result == INSTALL_OK && job.desktopLink)
        result = CreateDesktopShortcut();
    return result;
}

bool CFileManage::GuardLink(const std::wstring& link) {
    if (!m_guarded)
        return true;
    // The old link's bytes wait in the staging folder: links may lie on
    // another volume than anything else of the run.
    const std::wstring copy = stagingDir + L"link" + std::to_wstring(++m_linkCopies);
    return m_journal.NoteLink(link, copy);
}

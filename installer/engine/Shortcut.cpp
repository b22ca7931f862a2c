#include "installer/engine/Shortcut.h"

#include "installer/engine/LinkFile.h"
#include "installer/services/Journal.h"
#include "installer/services/NoFollowFile.h"
#include "installer/services/Product.h"
#include "installer/services/RandomText.h"
#include "installer/services/Staging.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <shlobj.h>

namespace {

// The client shortcuts' tool tip: the name, "版本:" and the version, the name.
std::wstring ClientDescription() {
    const std::wstring name = kProductName;
    return name + L"\n版本:" + kProductVersionW + L"\n" + name;
}

// The all-users Programs folder from the shell's known folders: the files and
// the uninstall record are the whole machine's, so every user of it finds
// the links. The values Explorer leaves under "Shell Folders" for old
// programs are not read: they can be pointed anywhere, and this process is
// elevated. A folder inside the Windows folder is refused all the same.
// False when there is none or it does not fit MAX_PATH.
bool ProgramsFolder(std::wstring* folder) {
    *folder = KnownFolderPath(FOLDERID_CommonPrograms);
    return !folder->empty() && folder->size() < MAX_PATH && !IsInsideWindowsFolder(*folder);
}

bool FitsPath(const std::wstring& path) {
    return path.size() < MAX_PATH;
}

// True when the file at path has more than one name (hard links).
bool HasOtherNames(const std::wstring& path) {
    SkinUI::UniqueHandle file(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    return file && GetFileInformationByHandle(file.Get(), &info) && info.nNumberOfLinks > 1;
}

} // namespace

InstallResult CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                             const std::wstring& description) {
    // A link holds its target in a MAX_PATH buffer; a longer one would be
    // stored cut and start nothing, or something else.
    if (target.empty() || !FitsPath(target) || !FitsPath(linkPath))
        return INSTALL_ERR_SHORTCUT;
    std::string bytes;
    if (!LinkFileBytes(target, description, &bytes))
        return INSTALL_ERR_SHORTCUT;
    // The Start menu and the desktop are the user's folders: a junction or
    // symbolic link planted at the link's name would have this elevated
    // process write the link over whatever it names. Such a link goes first,
    // as a link.
    if (IsReparsePoint(linkPath) && !RemoveTreeNoFollow(linkPath))
        return INSTALL_ERR_SHORTCUT;
    // Written under a new name beside it and renamed over the link's name: a
    // hard link planted at that name would have a write in place overwrite
    // the file it shares its data with, while a rename only replaces the
    // name. The new name is random and made new, as the file itself and not
    // through any link, so nothing planted there is written to.
    const std::wstring random = RandomHex(4);
    if (random.empty())
        return INSTALL_ERR_SHORTCUT;
    const std::wstring fresh = linkPath + L"." + random + L".tmp";
    if (!FitsPath(fresh))
        return INSTALL_ERR_SHORTCUT;
    SkinUI::UniqueHandle out(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
    if (!out)
        return INSTALL_ERR_SHORTCUT;
    DWORD done = 0;
    // Closed by hand: a delayed write can fail at the close, and a link that
    // was not written is a shortcut the user will not find.
    const bool written =
        WriteFile(out.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
        done == bytes.size() && CloseHandle(out.Release());
    if (!written || !MoveFileExW(fresh.c_str(), linkPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        out.Reset();
        DeleteFileW(fresh.c_str());
        return INSTALL_ERR_SHORTCUT;
    }
    return INSTALL_OK;
}

namespace {

// Tells the shell (Explorer's desktop and Start menu, open folder windows)
// that an item appeared or changed, so it shows without a refresh. Posted
// without waiting: a shell that is busy must not hold the install.
void AnnounceNewLink(const std::wstring& link) {
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSHNOWAIT, link.c_str(), nullptr);
}

// A link planted at the link's name would have its copy read, and an undo
// write, whatever it names: such a name is refused. A hard link there makes
// the name a second name of another file, which is no link of ours to keep:
// a copy would carry that file's bytes into the staging folder and an undo
// back out into the user's folder. The name alone goes; the file keeps its
// other name and its data.
bool ClearLinkName(const std::wstring& link, const TLinkJournal& journal) {
    if (IsReparsePoint(link))
        return false;
    if (HasOtherNames(link) && !DeleteFileW(link.c_str()))
        return false;
    if (!journal.journal)
        return true;
    // The old link's bytes wait in the staging folder: links may lie on
    // another volume than anything else of the run.
    const std::wstring copy = journal.copyPrefix + SkinUI::DecimalText(++*journal.copies);
    return journal.journal->NoteLink(link, copy);
}

} // namespace

InstallResult CreateStartMenuLinks(const std::wstring& installDir, const TLinkJournal& journal) {
    std::wstring programs;
    if (!ProgramsFolder(&programs))
        return INSTALL_ERR_SHORTCUT;
    std::wstring folder = programs + L"\\" + kProductName;
    // It may exist from an earlier install; its links are then overwritten.
    // A link in its place would lead the links anywhere.
    if (journal.journal && GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !journal.journal->NoteCreatedDir(folder))
        return INSTALL_ERR_SHORTCUT;
    CreateDirectoryW(folder.c_str(), nullptr);
    if (IsReparsePoint(folder))
        return INSTALL_ERR_SHORTCUT;
    folder += L"\\";
    const std::wstring clientLink = folder + kClientLinkName;
    const std::wstring uninstallLink = folder + kUninstallLinkName;
    if (!FitsPath(clientLink) || !FitsPath(uninstallLink))
        return INSTALL_ERR_SHORTCUT;

    if (!ClearLinkName(clientLink, journal))
        return INSTALL_ERR_SHORTCUT;
    InstallResult result =
        CreateShortcut(clientLink, installDir + kClientFileNameW, ClientDescription());
    // The client's link is what users look for; the uninstaller's is also
    // reachable through the system's program list.
    if (ClearLinkName(uninstallLink, journal))
        CreateShortcut(uninstallLink, installDir + kUninstallerFileNameW, kProductName);
    AnnounceNewLink(clientLink);
    AnnounceNewLink(uninstallLink);
    return result;
}

InstallResult CreateDesktopLink(const std::wstring& installDir, const TLinkJournal& journal) {
    // The desktop every user sees. Without the folder the link would land
    // in the current drive's root.
    const std::wstring desktop = KnownFolderPath(FOLDERID_PublicDesktop);
    if (desktop.empty() || IsInsideWindowsFolder(desktop))
        return INSTALL_ERR_SHORTCUT;
    const std::wstring link = desktop + L"\\" + kClientLinkName;
    if (!FitsPath(link) || !ClearLinkName(link, journal))
        return INSTALL_ERR_SHORTCUT;
    InstallResult result = CreateShortcut(link, installDir + kClientFileNameW, ClientDescription());
    // Explorer refreshes the desktop on F5, so the icon shows at once. The
    // key reaches no window of Explorer's on Windows (the desktop window is
    // not Explorer's), so the new link is announced to the shell as well.
    PostMessageW(GetDesktopWindow(), WM_KEYDOWN, VK_F5, 0);
    AnnounceNewLink(link);
    return result;
}

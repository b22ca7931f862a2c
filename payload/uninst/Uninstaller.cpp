#include "payload/uninst/Uninstaller.h"

#include "payload/uninst/UninstallWindow.h"

#include "installer/services/MessageBox.h"
#include "installer/services/NoFollowFile.h"
#include "installer/services/Processes.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/Staging.h"
#include "installer/services/SystemFolders.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <utility>

using SkinUI::ComPtr;
using SkinUI::UniqueHandle;
using SkinUI::UniqueRegKey;

namespace {

const wchar_t kCaption[] = L"提示:";
// The name a run's journal has in its staging folder (Journal.cpp): an empty
// one held open marks the clean-up copy's folder as in use.
const wchar_t kJournalFileName[] = L"journal";

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// Whether a path lies in dir (a folder with a trailing separator), as the
// file system resolves both: "C:\\x\\..\\Apps", "C:\\Apps/sub" and "C:\\\\Apps"
// name the folders they resolve to.
bool IsInside(const std::wstring& path, const std::wstring& dir) {
    return StartsWithNoCase(WithSeparator(CanonicalPath(path)), WithSeparator(CanonicalPath(dir)));
}

bool DeleteFileForced(const std::wstring& path) {
    DWORD attrs = GetFileAttributesW(path.c_str());
    // A link is removed as a link: its target's attributes are not touched.
    if (IsReparsePoint(path))
        return RemoveTreeNoFollow(path);
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return true; // already gone
    if (attrs & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    if (attrs & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path.c_str()) != 0;
}

// The uninstall key's base follows the installer: a 32-bit program on 64-bit
// Windows writes below WOW6432Node.
std::wstring RecordKeyPath() {
    SYSTEM_INFO si = {};
    GetNativeSystemInfo(&si);
    const wchar_t* base =
        IsWow64Architecture(si.wProcessorArchitecture) ? kUninstallBaseWow64 : kUninstallBaseNative;
    return std::wstring(base) + L"\\" + kProductName;
}

// The target of the shell link open as file, read through that handle (the
// name may name another file by now); empty when it cannot be read.
std::wstring LinkTarget(HANDLE file) {
    LARGE_INTEGER size = {};
    // A shell link is a few kilobytes; anything much larger is no link of ours.
    constexpr LONGLONG kLargestLink = 1 << 20;
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > kLargestLink)
        return std::wstring();
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    OVERLAPPED start = {};
    if (!ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, &start) ||
        got != bytes.size())
        return std::wstring();
    ComPtr<IStream> stream;
    stream.Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), got));
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistStream> persist;
    if (!stream ||
        FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistStream, persist.PutVoid())) ||
        FAILED(persist->Load(stream.Get())))
        return std::wstring();
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)))
        return std::wstring();
    return target;
}

// The text as it comes back from the ANSI code page: characters the code page
// lacks become '?'.
std::wstring ThroughAnsiCodePage(const std::wstring& text) {
    const int len = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::wstring();
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), len, &narrow[0], n, nullptr, nullptr);
    std::wstring wide(static_cast<size_t>(len) + 1, L'\0');
    n = MultiByteToWideChar(CP_ACP, 0, narrow.data(), n, &wide[0], len + 1);
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return wide;
}

// Whether the link open as file leads into installDir. A link of the same
// name that leads elsewhere belongs to someone else. Wine's shell links
// store their target in the ANSI code page only, so there a link to this
// installation reads back with '?' for every character that code page lacks.
bool LinksInto(HANDLE file, const std::wstring& installDir) {
    const std::wstring target = LinkTarget(file);
    return !target.empty() && (IsInside(target, installDir) ||
                               StartsWithNoCase(target, ThroughAnsiCodePage(installDir)));
}

// Removes the shell link name of the folder open as folder when it leads
// into installDir. The per-user Start menu and desktop come from
// HKCU\...\User Shell Folders, which the user edits: the link is judged and
// deleted through one handle, opened relative to the folder's as the file
// itself and shared with no writer or deleter, so what is judged is what
// goes, whatever its name names by then. A link (junction, symbolic link)
// at the name is never opened through and stays.
void RemoveLinkIn(HANDLE folder, const std::wstring& name, const std::wstring& installDir) {
    TNoFollowOpen how;
    how.access = GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES;
    how.share = FILE_SHARE_READ;
    how.kind = TEntryKind::kFile;
    UniqueHandle file = OpenEntryNoFollow(folder, name, how);
    if (file && LinksInto(file.Get(), installDir))
        DeleteOpenedFile(file.Get());
}

// A folder of links (a Start-menu folder, a desktop), reached level by level
// from its volume without following a link at any level, held open without
// delete sharing so that nobody renames it away while its links are judged.
UniqueHandle OpenLinkFolder(const std::wstring& path, DWORD access) {
    TNoFollowOpen how;
    how.access = access;
    how.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    how.kind = TEntryKind::kFolder;
    return OpenPathNoFollow(path, how);
}

// Folders whose loss would hurt even when they are empty: the user may have
// installed straight into one of them.
bool IsProtectedFolder(const std::wstring& dirWithSlash) {
    return IsReservedFolder(dirWithSlash) || IsInsideWindowsFolder(dirWithSlash);
}

bool ClientMutexExists() {
    UniqueHandle h(OpenMutexA(SYNCHRONIZE, FALSE, kClientMutexName));
    if (h)
        return true;
    return GetLastError() == ERROR_ACCESS_DENIED;
}

} // namespace

bool RemoveListedEntries(const std::wstring& installDir, const TEntryList& list,
                         const std::wstring& skipPath, const RemovalProgress& progress) {
    bool ok = true;
    size_t done = 0;
    const size_t total = list.files.size() + list.dirs.size();
    auto tell = [&]() {
        if (progress)
            progress(++done, total);
    };
    // Below the install folder nothing is followed: a folder on the way that
    // is a link (junction, symbolic link, mount point) leads out of the
    // installation, and what lies behind it is not the product's. The link
    // itself is listed as a folder of ours and goes as a link below.
    auto behindLink = [&](const std::wstring& relative) {
        const size_t cut = relative.rfind(L'\\');
        return cut != std::wstring::npos &&
               !NoReparseBelow(installDir, installDir + relative.substr(0, cut));
    };
    for (const std::wstring& f : list.files) {
        std::wstring path = installDir + f;
        tell();
        if (!skipPath.empty() && SamePath(path, skipPath))
            continue;
        if (behindLink(f)) {
            SetupLogLine(L"not deleted, it lies behind a link: " + path);
            continue;
        }
        if (!DeleteFileForced(path)) {
            SetupLogFailure(L"could not delete " + path, GetLastError());
            ok = false;
        }
    }
    // Deepest first, so a parent is tried after its children; a folder that
    // still holds something that is not ours stays.
    std::vector<std::wstring> dirs = list.dirs;
    for (const std::wstring& f : list.files) {
        for (size_t cut = f.rfind(L'\\'); cut != std::wstring::npos && cut > 0;
             cut = f.rfind(L'\\', cut - 1))
            dirs.push_back(f.substr(0, cut));
    }
    std::sort(dirs.begin(), dirs.end(), [](const std::wstring& a, const std::wstring& b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    dirs.erase(std::unique(dirs.begin(), dirs.end()), dirs.end());
    // The folders count as the list names them; those only implied by a
    // file's path are quick and are not counted.
    for (size_t i = 0; i < list.dirs.size(); ++i)
        tell();
    for (const std::wstring& d : dirs) {
        const std::wstring path = installDir + d;
        if (behindLink(d))
            continue;
        // A link goes as a link, never with what it names.
        if (IsReparsePoint(path))
            RemoveTreeNoFollow(path);
        else
            RemoveDirectoryW(path.c_str());
    }
    return ok;
}

bool RemoveUninstallRecord(const std::wstring& installDir) {
    std::wstring keyPath = RecordKeyPath();
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS)
        return true; // nothing recorded
    // The folder the record names: its install location, or for a record
    // without one the uninstaller's folder from the command the program list
    // runs, quoted as now written or unquoted as earlier versions wrote it.
    std::wstring recorded = RecordString(key.Get(), L"InstallLocation");
    if (recorded.empty()) {
        recorded = UninstallerPathOf(RecordString(key.Get(), L"UninstallString"));
        const size_t cut = recorded.find_last_of(L"\\/");
        recorded = cut == std::wstring::npos ? std::wstring() : recorded.substr(0, cut + 1);
    }
    key.Reset();
    // A record that names another installation (the product was installed
    // again elsewhere) is that installation's, not ours.
    if (!recorded.empty() && !SamePath(WithSeparator(recorded), installDir))
        return true;
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str()) == ERROR_SUCCESS;
}

void RemoveShortcuts(const std::wstring& installDir) {
    // The links are made for all users; earlier versions made them for the
    // user who installed, and those go as well. The folders come from the
    // shell's known folders: the "Shell Folders" values any user can edit
    // are not read by an elevated program. The per-user ones still come from
    // values the user edits, so nothing there is deleted by its path.
    for (REFKNOWNFOLDERID id : {FOLDERID_CommonPrograms, FOLDERID_Programs}) {
        const std::wstring programs = KnownFolderPath(id);
        if (programs.empty())
            continue;
        UniqueHandle parent = OpenLinkFolder(programs, FILE_TRAVERSE);
        TNoFollowOpen how;
        how.access = DELETE | FILE_LIST_DIRECTORY | FILE_WRITE_ATTRIBUTES;
        how.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        how.kind = TEntryKind::kFolder;
        UniqueHandle folder =
            parent ? OpenEntryNoFollow(parent.Get(), kProductName, how) : UniqueHandle();
        if (!folder)
            continue;
        RemoveLinkIn(folder.Get(), kClientLinkName, installDir);
        RemoveLinkIn(folder.Get(), kUninstallLinkName, installDir);
        // Through its handle, and only when it is empty: a folder that holds
        // anything else is not ours alone.
        DeleteOpenedFile(folder.Get());
    }
    for (REFKNOWNFOLDERID id : {FOLDERID_PublicDesktop, FOLDERID_Desktop}) {
        const std::wstring desktop = KnownFolderPath(id);
        UniqueHandle folder = desktop.empty() ? UniqueHandle() : OpenLinkFolder(desktop, 0);
        if (folder)
            RemoveLinkIn(folder.Get(), kClientLinkName, installDir);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

std::vector<DWORD> InstalledClientIds(const std::wstring& installDir) {
    std::vector<TProcessEntry> processes;
    ListProcesses(&processes);
    const std::wstring client = WithSeparator(installDir) + kClientFileNameW;
    std::vector<DWORD> ids;
    // Any name: a client started by its 8.3 name is listed under that name.
    for (const TProcessEntry& process : InReachableSessions(processes)) {
        if (process.id == GetCurrentProcessId())
            continue;
        const std::wstring image = ProcessImageLongPath(process.id);
        if (!image.empty() && SamePath(image, client))
            ids.push_back(process.id);
    }
    return ids;
}

bool StopClients(const std::wstring& installDir, DWORD waitMs) {
    const TEndResult ended =
        EndProcessesGently(InstalledClientIds(installDir), kClientCloseWaitMs, waitMs);
    return ended.allEnded && InstalledClientIds(installDir).empty();
}

namespace {

int Tell(const UninstallOptions& options, const wchar_t* text, int code, HWND owner = nullptr) {
    if (options.silent)
        SetupLogLine(std::wstring(L"message: ") + text);
    else
        ShowMessageBox(owner, text, kCaption, MB_OK | (code ? MB_ICONWARNING : MB_ICONINFORMATION));
    return code;
}

// The steps of a removal as the window shows them and the log records them,
// with the share of the percentage each ends at.
struct TUninstallStep {
    const wchar_t* text; // what the window says
    const wchar_t* log;  // what the log says
    int endsAt;
};
const TUninstallStep kStepClients = {L"正在关闭" QM_PRODUCT_NAME "客户端...",
                                     L"close the running client", 5};
const TUninstallStep kStepFiles = {L"正在删除文件...", L"remove the files", 90};
const TUninstallStep kStepRecord = {L"正在删除注册信息和快捷方式...",
                                    L"remove the uninstall record and the shortcuts", 97};
const TUninstallStep kStepFinish = {L"正在完成卸载...", L"remove the entry list and the folders",
                                    100};

// Follows the removal in the window (when there is one) and in the log: each
// step's start and end, and within the files every tenth of the way, so that
// a silent removal of many files shows in its log as it goes.
class CUninstallReport {
public:
    explicit CUninstallReport(CUninstallWindow* window) : m_window(window) {}

    void Begin(const TUninstallStep& step) {
        m_step = &step;
        m_loggedTenth = 0;
        SetupLogLine(std::wstring(step.log) + L"...");
        Show(m_startsAt);
    }
    // Within the step: done of total.
    void Advance(size_t done, size_t total) {
        if (!m_step || total == 0)
            return;
        const int span = m_step->endsAt - m_startsAt;
        Show(m_startsAt + static_cast<int>(static_cast<uint64_t>(span) * done / total));
        const int tenth = static_cast<int>(10 * static_cast<uint64_t>(done) / total);
        if (tenth > m_loggedTenth && tenth < 10) {
            m_loggedTenth = tenth;
            SetupLogLine(std::wstring(m_step->log) + L": " + SkinUI::DecimalText(done) + L" of " +
                         SkinUI::DecimalText(total));
        }
    }
    void End(bool ok) {
        if (!m_step)
            return;
        SetupLogLine(std::wstring(m_step->log) + (ok ? L": done" : L": failed"));
        m_startsAt = m_step->endsAt;
        Show(m_startsAt);
    }

private:
    void Show(int percent) {
        if (m_window)
            m_window->Show(m_step->text, percent);
    }
    CUninstallWindow* m_window;
    const TUninstallStep* m_step = nullptr;
    int m_startsAt = 0;
    int m_loggedTenth = 0;
};

// Starts a copy of this program from the temporary folder that deletes the
// original once this process has ended: a running program cannot delete its
// own file.
void StartSelfCleanup(const std::wstring& selfPath, const std::wstring& installDir) {
    // A private folder of its own, made new with an unguessable name: under
    // a fixed name in the user's temporary folder, a link planted there would
    // have this elevated copy overwrite whatever it names.
    std::wstring staging;
    if (!CreateStagingDir(&staging))
        return;
    wchar_t copy[MAX_PATH + 64] = {};
    SkinUI::FormatText(copy, sizeof(copy) / sizeof(copy[0]), L"%ls%ls%lu.exe", staging.c_str(),
                       kUninstallerCopyPrefix, GetCurrentProcessId());
    if (!CopyFileW(selfPath.c_str(), copy, TRUE)) {
        RemoveStagingDir(staging);
        return;
    }
    // The folder goes without its trailing backslash: before the closing quote
    // it would escape the quote on the command line.
    const std::wstring folder = WithoutTrailingSeparators(installDir);
    std::wstring cmd = L"\"" + std::wstring(copy) + L"\" /cleanup " +
                       SkinUI::DecimalText(GetCurrentProcessId()) + L" \"" + folder + L"\" " +
                       FileIdentityText(selfPath);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    if (CreateProcessW(copy, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, staging.c_str(), &si,
                       &pi)) {
        // Nothing waits for the copy: both handles go at once.
        UniqueHandle thread(pi.hThread);
        UniqueHandle process(pi.hProcess);
    } else {
        RemoveStagingDir(staging);
    }
}

} // namespace

int RunUninstall(const UninstallOptions& options) {
    const std::wstring& dir = options.installDir;
    std::wstring listPath = dir + kEntryListName;
    // A list with one unsafe name counts as none (EntryList.h).
    TEntryList list;
    if (!ReadEntryList(listPath, &list))
        return Tell(options, L"找不到" QM_PRODUCT_NAME "的安装文件清单, 无法卸载!",
                    UNINSTALL_NO_LIST);

    if (!options.silent && ShowMessageBox(nullptr, L"确定要卸载" QM_PRODUCT_NAME "吗?", kCaption,
                                          MB_YESNO | MB_ICONQUESTION) != IDYES)
        return UNINSTALL_CANCELLED;

    const bool clientRunning = ClientMutexExists() || !InstalledClientIds(dir).empty();
    if (clientRunning && !options.silent &&
        ShowMessageBox(nullptr, L"" QM_PRODUCT_NAME "客户端正在运行, 是否强制关闭后卸载?", kCaption,
                       MB_YESNO) != IDYES)
        return UNINSTALL_CANCELLED;

    // From here on the removal runs; the window shows its step and how far
    // it got until the last box has been answered.
    CUninstallWindow window;
    if (!options.silent && !window.Open())
        SetupLogFailure(L"the progress window could not be shown", GetLastError());
    CUninstallReport report(options.silent ? nullptr : &window);
    HWND owner = window.Window();

    if (clientRunning) {
        report.Begin(kStepClients);
        const bool stopped = StopClients(dir, 10000);
        report.End(stopped);
        if (!stopped)
            return Tell(options, L"无法关闭" QM_PRODUCT_NAME "客户端, 请关闭后重试!",
                        UNINSTALL_CLIENT_RUNNING, owner);
    }

    // The list and the running uninstaller go last, so that a run that could
    // not remove everything can be repeated.
    TEntryList rest = list;
    rest.files.erase(
        std::remove_if(rest.files.begin(), rest.files.end(),
                       [&](const std::wstring& f) { return SamePath(dir + f, listPath); }),
        rest.files.end());
    report.Begin(kStepFiles);
    const bool filesGone =
        RemoveListedEntries(dir, rest, options.selfPath,
                            [&](size_t done, size_t total) { report.Advance(done, total); });
    report.End(filesGone);
    if (!filesGone)
        return Tell(options, L"部分文件无法删除, 请关闭正在使用它们的程序后重试!",
                    UNINSTALL_INCOMPLETE, owner);

    report.Begin(kStepRecord);
    bool recordGone = RemoveUninstallRecord(dir);
    RemoveShortcuts(dir);
    report.End(recordGone);

    report.Begin(kStepFinish);
    DeleteFileForced(listPath);
    RemoveListedEntries(dir, TEntryList{{}, list.dirs}, L"");

    bool selfInside = !options.selfPath.empty() && IsInside(options.selfPath, dir);
    if (selfInside)
        StartSelfCleanup(options.selfPath, dir);
    else if (!IsProtectedFolder(dir))
        RemoveDirectoryW(dir.c_str());
    report.End(true);

    if (!recordGone)
        return Tell(options, L"无法删除" QM_PRODUCT_NAME "的注册表信息!", UNINSTALL_INCOMPLETE,
                    owner);
    return Tell(options, L"" QM_PRODUCT_NAME "已成功卸载!", UNINSTALL_OK, owner);
}

namespace {

std::wstring IdentityText(const BY_HANDLE_FILE_INFORMATION& info) {
    wchar_t text[32] = {};
    SkinUI::FormatText(text, sizeof(text) / sizeof(text[0]), L"%08lx%08lx%08lx",
                       info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
    return text;
}

// Deletes the uninstaller at path through a handle, and only while it is the
// file identity names; true when it is gone or is another file now.
bool DeleteOriginal(const std::wstring& path, const std::wstring& identity) {
    if (identity.empty())
        return DeleteFileForced(path);
    UniqueHandle file(CreateFileW(path.c_str(),
                                  DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file.Get(), &info))
        return false;
    return identity != IdentityText(info) || DeleteOpenedFile(file.Get());
}

} // namespace

std::wstring FileIdentityText(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !GetFileInformationByHandle(file.Get(), &info))
        return std::wstring();
    return IdentityText(info);
}

int RunCleanup(const std::wstring& installDir, DWORD parentPid, const std::wstring& identity) {
    // This copy lives in a staging folder the index names. An empty journal
    // held open says the folder is in use; once this copy has ended, its
    // journal is an ended, empty one, and the next start of the installer or
    // the uninstaller removes the folder with the copy in it.
    std::wstring self = ModulePath();
    const size_t cut = self.find_last_of(L"\\/");
    UniqueHandle alive;
    if (cut != std::wstring::npos)
        alive.Reset(CreateFileW((self.substr(0, cut + 1) + kJournalFileName).c_str(),
                                GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    {
        UniqueHandle parent(OpenProcess(SYNCHRONIZE, FALSE, parentPid));
        if (parent)
            WaitForSingleObject(parent.Get(), 30000);
    }
    std::wstring original = installDir + kUninstallerFileNameW;
    // The file can stay locked for a moment after its process ended. An
    // install right after the uninstall may have put a new uninstaller there
    // by now: that one stays.
    for (int i = 0; i < 50 && !DeleteOriginal(original, identity); ++i)
        Sleep(100);
    if (!IsProtectedFolder(installDir))
        RemoveDirectoryW(installDir.c_str());
    // Should no program of the product start again, the system removes the
    // copy and its folder at the next restart (the uninstaller has the
    // administrator rights that needs).
    if (cut != std::wstring::npos) {
        MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExW((self.substr(0, cut + 1) + kJournalFileName).c_str(), nullptr,
                    MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExW(self.substr(0, cut).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return 0;
}

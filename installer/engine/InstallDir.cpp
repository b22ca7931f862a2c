// The install directory's policy: the reason line under the "无法创建目录"
// message, the space the payload needs against what the drive has free, the
// product folder a picked folder gets, the recorded folder, and the one
// sequence that checks and makes a directory.
#include "installer/engine/InstallDir.h"

#include "installer/engine/FileManage.h"
#include "installer/engine/FolderSecurity.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <shlwapi.h>

#include <cwchar>

namespace {

// The directory messages are formatted into a buffer of this many characters.
constexpr size_t kMessageChars = 360;

// "C:" of a drive-letter path.
std::wstring DriveName(const std::wstring& dir) {
    return dir.substr(0, 2);
}

// Characters Windows refuses in a file or folder name; the drive's colon is
// the only one a path may hold, right after the letter.
bool IsForbiddenNameChar(wchar_t c) {
    return c < 0x20 || wcschr(L"<>:\"|?*", c) != nullptr;
}

std::wstring NotReadyReason(const std::wstring& dir) {
    return L"驱动器 " + DriveName(dir) + L" 未就绪, 请插入磁盘或选择其他驱动器。";
}

// Asks a drive without the system's "no disk in the drive" box: an empty
// card reader or optical drive is a reason to name, not a question to a
// person who only typed a letter.
class CQuietDriveErrors {
public:
    CQuietDriveErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &m_previous); }
    ~CQuietDriveErrors() { SetThreadErrorMode(m_previous, nullptr); }
    CQuietDriveErrors(const CQuietDriveErrors&) = delete;
    CQuietDriveErrors& operator=(const CQuietDriveErrors&) = delete;

private:
    DWORD m_previous = 0;
};

// The system's own words for an error no reason above names.
std::wstring SystemErrorReason(DWORD error) {
    const std::wstring text = SystemErrorText(error);
    return L"系统错误 " + SkinUI::DecimalText(static_cast<int>(error)) +
           (text.empty() ? std::wstring(L"。") : L": " + text);
}

} // namespace

bool IsUsableInstallDir(std::wstring dir) {
    AppendSeparator(dir);
    if (dir.size() < 3 || dir[1] != L':' || dir[2] != L'\\')
        return false;
    return PathIsDirectoryW(dir.c_str()) && PathFileExistsW(dir.c_str());
}

// The refusal of an install directory below which the payload's paths would
// not fit what Explorer and shell links handle.
std::wstring TooLongMessage(size_t excess) {
    return L"安装路径太长, 超出了 " + SkinUI::DecimalText(excess) +
           L" 个字符, 请重新选择较短的安装目录!";
}

std::wstring CannotCreateMessage(const std::wstring& dir) {
    const wchar_t head[] = L"无法创建目录 : \"";
    const wchar_t tail[] = L"\", 请重新选择正确的安装目录!";
    const wchar_t ellipsis[] = L"...";
    const size_t fixed = wcslen(head) + wcslen(tail);
    // One character stays for the terminator of the fixed-size buffer.
    const size_t room = kMessageChars - 1 - fixed;
    std::wstring shown = dir;
    if (shown.size() > room) {
        // Both ends of a path say the most: the drive and the last folders.
        const size_t keep = room - wcslen(ellipsis);
        const size_t front = keep / 2;
        shown = dir.substr(0, front) + ellipsis + dir.substr(dir.size() - (keep - front));
    }
    return head + shown + tail;
}

TInstallDirCheck CheckAndCreateInstallDir(const std::wstring& text, CInstallPayload& payload,
                                          uint64_t neededBytes) {
    TInstallDirCheck check;
    if (text.empty()) {
        check.refusal = L"路径不能为空, 请重新选择!";
        return check;
    }
    std::wstring dir = WithSeparator(text);
    // Before anything is created: a refused directory leaves no trace. A
    // relative one would be made wherever the installer was started from.
    if (!IsAbsoluteLocalPath(dir)) {
        check.refusal = CannotCreateMessage(dir, RefusalBeforeCreating(dir, 0));
        return check;
    }
    // Recorded and compared the way the file system resolves it
    // ("C:\\x\\..\\Apps", "C:\\Apps/sub").
    dir = WithSeparator(CanonicalPath(dir));
    check.dir = dir;
    if (const size_t excess = payload.PathExcess(dir)) {
        check.refusal = TooLongMessage(excess);
        return check;
    }
    std::wstring reason = RefusalBeforeCreating(dir, neededBytes);
    if (reason.empty()) {
        const DWORD error = CreateInstallDirectory(dir, &check.created);
        if (IsUsableInstallDir(dir))
            return check;
        if (error != ERROR_SUCCESS)
            SetupLogFailure(L"could not create " + dir, error);
        reason = RefusalReason(dir, error);
    }
    check.refusal = CannotCreateMessage(dir, reason);
    return check;
}

std::wstring SizeText(uint64_t bytes) {
    using SkinUI::DecimalText;
    const uint64_t kib = 1024, mib = kib * 1024, gib = mib * 1024;
    // Rounded up, so that what the product needs is never understated.
    auto tenths = [](uint64_t value, uint64_t unit) { return (value * 10 + unit - 1) / unit; };
    if (bytes < mib)
        return DecimalText((bytes + kib - 1) / kib) + L" KB";
    // Above a GiB counted in MiB first, so that the tenths cannot overflow.
    const uint64_t t = bytes < gib ? tenths(bytes, mib) : tenths(bytes / mib, kib);
    return DecimalText(t / 10) + L"." + DecimalText(t % 10) + (bytes < gib ? L" MB" : L" GB");
}

std::wstring NearestExistingFolder(const std::wstring& dir) {
    if (!IsAbsoluteLocalPath(dir))
        return std::wstring();
    CQuietDriveErrors quiet;
    std::wstring folder = WithoutTrailingSeparators(dir);
    for (;;) {
        const DWORD attrs = GetFileAttributesW(folder.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY))
            return folder;
        if (folder.size() <= 3)
            return std::wstring();
        const size_t cut = folder.find_last_of(L"\\/");
        folder = WithoutTrailingSeparators(folder.substr(0, cut < 3 ? 3 : cut));
    }
}

bool FreeBytes(const std::wstring& dir, uint64_t* free, DWORD* error) {
    *error = ERROR_SUCCESS;
    CQuietDriveErrors quiet;
    // The folder itself may not exist yet: the space is its volume's, read
    // at the nearest folder that does, which also follows a folder mounted
    // on another volume.
    std::wstring at = NearestExistingFolder(dir);
    if (at.empty())
        at = dir.substr(0, 3);
    AppendSeparator(at);
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExW(at.c_str(), &available, nullptr, nullptr)) {
        *error = GetLastError();
        return false;
    }
    *free = available.QuadPart;
    return true;
}

std::wstring NotEnoughSpaceReason(const std::wstring& dir, uint64_t needed, uint64_t free) {
    return L"磁盘空间不足: 安装需要 " + SizeText(needed) + L", 驱动器 " + DriveName(dir) +
           L" 只有 " + SizeText(free) + L" 可用, 还差 " + SizeText(needed - free) + L"。";
}

std::wstring RefusalBeforeCreating(const std::wstring& dir, uint64_t needed) {
    if (!IsAbsoluteLocalPath(dir))
        return L"请填写以盘符和 \\ 开头的本地完整路径, 例如 C:\\Program Files\\。";
    for (size_t i = 3; i < dir.size(); ++i)
        if (IsForbiddenNameChar(dir[i])) {
            const std::wstring shown =
                dir[i] < 0x20 ? std::wstring(L"控制字符") : L"\"" + std::wstring(1, dir[i]) + L"\"";
            return L"路径中含有 Windows 不允许的字符 " + shown +
                   L", 文件夹名称不能包含 \\ / : * ? \" < > |。";
        }
    const std::wstring root = dir.substr(0, 3);
    if (GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR)
        return L"驱动器 " + DriveName(dir) + L" 不存在, 请选择其他驱动器。";
    uint64_t free = 0;
    DWORD error = ERROR_SUCCESS;
    if (!FreeBytes(dir, &free, &error))
        return error == ERROR_NOT_READY ? NotReadyReason(dir) : std::wstring();
    if (free < needed)
        return NotEnoughSpaceReason(dir, needed, free);
    return std::wstring();
}

std::wstring RefusalReason(const std::wstring& dir, DWORD error) {
    // A level that exists as a file: the folder cannot be made below it,
    // whatever error the attempt gave.
    for (const std::wstring& level : DirectoryLevels(L"", dir)) {
        // Asked without the separator, which a file's name cannot end in.
        const DWORD attrs = GetFileAttributesW(WithoutTrailingSeparators(level).c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY))
            return L"\"" + WithoutTrailingSeparators(level) + L"\" 是一个文件, 不是文件夹。";
    }
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
        return L"没有在此位置创建文件夹的权限, 请选择其他位置。";
    case ERROR_NOT_READY:
        return NotReadyReason(dir);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return L"路径中含有 Windows 不允许的名称, 请换一个文件夹名称。";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return L"磁盘空间不足, 请选择其他驱动器。";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
        if (GetDriveTypeW(dir.substr(0, 3).c_str()) == DRIVE_NO_ROOT_DIR)
            return L"驱动器 " + DriveName(dir) + L" 不存在, 请选择其他驱动器。";
        break;
    case ERROR_SUCCESS:
        return L"该位置不能用作安装目录, 请选择其他位置。";
    default:
        break;
    }
    return SystemErrorReason(error);
}

std::wstring CannotCreateMessage(const std::wstring& dir, const std::wstring& reason) {
    return reason.empty() ? CannotCreateMessage(dir) : CannotCreateMessage(dir) + L"\n" + reason;
}

DWORD CreateInstallDirectory(const std::wstring& dir, std::vector<std::wstring>* created) {
    // Level by level, keeping the error of the last level that could not be
    // made: that one says why the folder is not there.
    DWORD error = ERROR_SUCCESS;
    for (const std::wstring& level : DirectoryLevels(L"", dir)) {
        if (CreateInstallFolderLevel(level))
            created->push_back(level);
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            error = GetLastError();
    }
    return error;
}

std::wstring ProductDirBelow(const std::wstring& parent) {
    return WithSeparator(parent) + kProductFolder;
}

std::wstring WithProductFolder(const std::wstring& chosen) {
    std::wstring dir = WithoutTrailingSeparators(chosen);
    const size_t cut = dir.find_last_of(L"\\/");
    const std::wstring last = cut == std::wstring::npos ? dir : dir.substr(cut + 1);
    const std::wstring product = WithoutTrailingSeparators(kProductFolder);
    AppendSeparator(dir);
    // Already the product's own folder (an earlier install, or the picker
    // opened at the default one): used as it is.
    if (CompareStringOrdinal(last.c_str(), -1, product.c_str(), -1, TRUE) == CSTR_EQUAL)
        return dir;
    return dir + kProductFolder;
}

// ===========================================================================
// The recorded folder and the default

const wchar_t* RecordedDirRefusal(const std::wstring& dir) {
    // The record lies in a key an earlier install wrote, but whoever could
    // write it once may have pointed it anywhere, and an elevated install
    // over it would write and later delete there.
    if (!IsAbsoluteLocalPath(dir))
        return L"not an absolute local path";
    if (IsReservedFolder(dir) || IsInsideWindowsFolder(dir))
        return L"a drive root, a system folder or a shell folder";
    const DWORD attrs =
        GetFileAttributesW((WithSeparator(CanonicalPath(dir)) + kClientFileNameW).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY))
        return L"the product is no longer there";
    return nullptr;
}

bool ReadRecordedInstallDir(std::wstring* dir) {
    SkinUI::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, KEY_QUERY_VALUE,
                      key.Put()) != ERROR_SUCCESS)
        return false;
    // One character more than the size passed, so a value that fills the
    // buffer without a terminator still ends with one.
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), L"InstallLocation", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
        return false;
    const std::wstring recorded = buf;
    const wchar_t* refusal = RecordedDirRefusal(recorded);
    if (refusal) {
        SetupLogLine(L"the recorded folder " + recorded + L" is ignored: " + refusal);
        return false;
    }
    *dir = WithSeparator(CanonicalPath(recorded));
    return true;
}

std::wstring DefaultParentDir() {
    return ProgramFilesForProduct();
}

#include "installer/FileManage.h"

#include "installer/FrameUI.h"
#include "installer/Handles.h"
#include "installer/InstallMessages.h"
#include "installer/Log.h"
#include "installer/MoveTree.h"
#include "installer/Product.h"
#include "installer/TextConvert.h"

#include <objbase.h>
#include <shellapi.h>
#include <unzip.h>

#include <cstring>

const char kProcessChannel[] = "com.quillmoss.business.220822";
const char kChannelName[] = "220822";

namespace {

// The longest path text that still leaves room for a terminator in MAX_PATH.
constexpr size_t kMaxPathText = MAX_PATH - 1;
// The longest directory text that still fits the shell's double-terminated
// list form in MAX_PATH.
constexpr size_t kMaxListText = MAX_PATH - 2;
// Every entry is copied through one buffer of this size: large enough that
// inflate and the file writes run in long stretches, small enough that the
// peak memory does not depend on the payload, and a header that lies about an
// entry's size cannot make the installer allocate it.
constexpr size_t kCopyBufferSize = 256 * 1024;
// The resource is written in slices so that each WriteFile stays well inside
// its 32-bit count and a short write is seen where it happens.
constexpr DWORD kArchiveSlice = 1024 * 1024;
// A move that fails is tried this many times in all, kMoveRetryDelayMs apart:
// a file in the install directory held by another program (a client that is
// slow to exit, a virus scanner) is often released within a few seconds.
constexpr int kMoveAttempts = 10;
constexpr DWORD kMoveRetryDelayMs = 500;
// The log lines of the first and of the repeated move attempts carry these
// line numbers, which support staff know from earlier releases.
constexpr int kLogLineFirstMove = 232;
constexpr int kLogLineRetryMove = 238;

const char kArchiveName[] = "qmstmp.zip";
const char kUnpackDirName[] = "qmsTmp\\";

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
bool EndsWithSeparator(const std::string& s) {
    return !s.empty() && IsSeparator(s.back());
}

// Owns an open minizip archive; closing it also closes an entry left open.
class UniqueZip {
public:
    explicit UniqueZip(unzFile zip) : m_zip(zip) {}
    ~UniqueZip() {
        if (m_zip)
            unzClose(m_zip);
    }
    UniqueZip(const UniqueZip&) = delete;
    UniqueZip& operator=(const UniqueZip&) = delete;
    unzFile Get() const { return m_zip; }
    explicit operator bool() const { return m_zip != nullptr; }

private:
    unzFile m_zip;
};

// Names that Windows maps to a device in any directory ("dir\nul.txt" is the
// null device), compared without extension and trailing spaces.
bool IsDeviceName(const std::string& component) {
    std::string stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// True when an archive entry name can only name something inside the unpack
// directory. Refused: absolute names, anything with a colon (a drive or an
// alternate stream), components of dots and spaces only ("..", and the forms
// Windows trims to it), and device names. The name is split at every '\' and
// '/' byte, also where one is the second byte of a double-byte character:
// that finds extra components but never hides a real one, so the test only
// errs towards refusing.
bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || IsSeparator(name[0]) || name.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        std::string component = name.substr(start, end - start);
        if (!component.empty()) {
            if (component.find_first_not_of(". ") == std::string::npos)
                return false;
            if (IsDeviceName(component))
                return false;
        }
        start = end + 1;
    }
    return true;
}

// Copies the open entry into a new file at target through the one buffer and
// closes the entry. False when reading, writing or the entry's CRC check
// fails. WriteFile reports every short write; the C runtime's buffered
// writes can lose the failure of their last flush (Wine's fclose does).
bool UnpackCurrentEntry(unzFile zip, const std::string& target, std::vector<char>& buffer,
                        uint64_t* bytes) {
    bool ok = true;
    {
        UniqueHandle out(CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = out.Valid();
        while (ok) {
            int n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (n == 0)
                break;
            DWORD done = 0;
            if (n < 0 ||
                !WriteFile(out.Get(), buffer.data(), static_cast<DWORD>(n), &done, nullptr) ||
                done != static_cast<DWORD>(n)) {
                ok = false;
                break;
            }
            *bytes += static_cast<uint64_t>(n);
        }
        if (out && !CloseHandle(out.Release()))
            ok = false;
    }
    if (unzCloseCurrentFile(zip) != UNZ_OK)
        ok = false;
    return ok;
}

// True for a well-formed archive without entries: nothing but the end record
// (and its comment). The reader cannot open those, as it looks for the end
// record only after the first byte of the file.
bool IsEmptyArchive(const std::string& path) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    unsigned char end[22] = {};
    DWORD got = 0;
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) ||
        !ReadFile(file.Get(), end, sizeof(end), &got, nullptr) || got != sizeof(end))
        return false;
    auto u16 = [&](int at) { return static_cast<unsigned>(end[at] | (end[at + 1] << 8)); };
    const bool signature = end[0] == 'P' && end[1] == 'K' && end[2] == 5 && end[3] == 6;
    // Entries on this disk, entries in all, directory size and offset all 0.
    bool empty = true;
    for (int at = 8; at < 20; ++at)
        empty = empty && end[at] == 0;
    return signature && empty && size.QuadPart == static_cast<LONGLONG>(sizeof(end) + u16(20));
}

// One move attempt: everything below sourceDir into installDir, creating the
// install directory's missing levels first. Both end with a separator.
DWORD MoveTreeOnce(const std::string& sourceDir, const std::string& installDir) {
    for (const std::string& level : CFileManage::DirectoryLevels("", installDir))
        CreateDirectoryA(level.c_str(), nullptr);
    return MoveDirectoryContent(sourceDir, installDir);
}

} // namespace

// ---------------------------------------------------------------------------
// Results

std::string GetErrorText(unsigned code) {
    switch (code) {
    case INSTALL_ERR_UNZIP:
        return AnsiText(L"解压文件失败!");
    case INSTALL_ERR_RESOURCE:
        return AnsiText(L"释放资源文件失败!");
    case INSTALL_ERR_COPY:
        return AnsiText(L"拷贝文件失败!");
    case INSTALL_ERR_SHORTCUT:
        return AnsiText(L"创建快捷方式失败!");
    case INSTALL_ERR_REGISTRY:
        return AnsiText(L"保存信息到注册表失败!");
    default:
        return std::string();
    }
}

// ---------------------------------------------------------------------------
// Construction

CFileManage* CFileManage::GetInstance() {
    // Never destroyed: the installer ends with ExitProcess, and a worker may
    // still be using the instance then.
    static CFileManage* instance = new CFileManage();
    return instance;
}

CFileManage::CFileManage() {
    char buf[MAX_PATH] = {};
    DWORD n = GetTempPathA(MAX_PATH, buf);
    // A temporary directory that does not fit leaves both paths empty, and the
    // steps that need them refuse; nothing is deleted anywhere else.
    if (n == 0 || n > kMaxPathText)
        return;
    tempDir.assign(buf, n);
    std::string unpack = tempDir + kUnpackDirName;
    if (unpack.size() > kMaxListText)
        return;

    // Whatever an earlier run left there goes, so every start unpacks into an
    // empty directory. The shell takes a double-terminated list; the
    // directory is named without its trailing separator, which the shell's
    // delete does not accept everywhere.
    if (GetFileAttributesA(unpack.c_str()) != INVALID_FILE_ATTRIBUTES) {
        char list[MAX_PATH] = {};
        memcpy(list, unpack.data(), unpack.size() - 1);
        SHFILEOPSTRUCTA op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = list;
        // FOF_NOERRORUI: on Windows a failure would otherwise show a box on a
        // window that does not exist yet.
        op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
        SHFileOperationA(&op);
    }
    unpackDir = unpack;
    CreateDirectoryA(unpackDir.c_str(), nullptr);
}

void CFileManage::PostProgress(int percent) {
    progress = percent;
    PostMessageW(hwnd, WM_INSTALL_PROGRESS, static_cast<WPARAM>(percent), 0);
}

std::string CFileManage::TempArchivePath() const {
    return tempDir + kArchiveName;
}

// ---------------------------------------------------------------------------
// The install sequence

InstallResult CFileManage::RunInstall(std::string dir) {
    installDir = dir;
    HRESULT com = CoInitialize(nullptr);
    InstallResult result = ExtractPayload();
    if (result == INSTALL_OK)
        result = UnzipPayload();
    if (result == INSTALL_OK)
        result = MoveFiles(installDir, unpackDir);
    // A product missing from the system's program list cannot be removed the
    // usual way, so the user is told when the record could not be written.
    if (result == INSTALL_OK)
        result = WriteUninstallRecord();
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

InstallResult CFileManage::ExtractPayload() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(101), L"ZIP");
    if (!found)
        return INSTALL_ERR_RESOURCE;
    DWORD size = SizeofResource(self, found);
    HGLOBAL loaded = LoadResource(self, found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return INSTALL_ERR_RESOURCE;

    std::string path = TempArchivePath();
    if (tempDir.empty() || path.size() > kMaxPathText)
        return INSTALL_ERR_RESOURCE;
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return INSTALL_ERR_RESOURCE;
    // A temporary archive that is cut short would only fail later as a bad
    // archive, or not at all if the cut fell between entries.
    for (DWORD offset = 0; offset < size;) {
        DWORD slice = size - offset < kArchiveSlice ? size - offset : kArchiveSlice;
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes + offset, slice, &written, nullptr) || written != slice)
            return INSTALL_ERR_RESOURCE;
        // The resource is read once. VirtualUnlock on pages that are not
        // locked takes them out of the working set (and fails, as expected),
        // so a 20 MB payload does not stay in the process's memory figures.
        VirtualUnlock(const_cast<char*>(bytes + offset), slice);
        offset += written;
    }
    if (!CloseHandle(file.Release()))
        return INSTALL_ERR_RESOURCE;
    PostProgress(10);
    return INSTALL_OK;
}

InstallResult CFileManage::UnzipPayload() {
    totalBytes = 0;
    std::string archive = TempArchivePath();
    if (tempDir.empty() || unpackDir.empty() || archive.size() > kMaxPathText)
        return INSTALL_ERR_UNZIP;
    UniqueZip zip(unzOpen64(archive.c_str()));
    unz_global_info64 global = {};
    if (!zip || unzGetGlobalInfo64(zip.Get(), &global) != UNZ_OK)
        return IsEmptyArchive(archive) ? INSTALL_OK : INSTALL_ERR_UNZIP;

    std::vector<char> buffer(kCopyBufferSize);
    uint64_t written = 0;
    const uint64_t count = global.number_entry;
    for (uint64_t i = 0; i < count; ++i) {
        // An archive that declares more entries than its directory holds is
        // damaged; going on would unpack the last entry again and again.
        if (i > 0 && unzGoToNextFile(zip.Get()) != UNZ_OK)
            return INSTALL_ERR_UNZIP;

        char nameBuf[MAX_PATH] = {};
        unz_file_info64 info = {};
        if (unzGetCurrentFileInfo64(zip.Get(), &info, nameBuf, sizeof(nameBuf), nullptr, 0, nullptr,
                                    0) != UNZ_OK)
            return INSTALL_ERR_UNZIP;
        // The reader cuts a name that does not fit without terminating it; a
        // name with a NUL inside would be cut by every file function.
        if (info.size_filename == 0 || info.size_filename >= sizeof(nameBuf) ||
            strlen(nameBuf) != info.size_filename)
            return INSTALL_ERR_UNZIP;
        std::string name(nameBuf, info.size_filename);
        std::string target = unpackDir + name;
        if (!IsSafeEntryName(name) || target.size() > kMaxPathText)
            return INSTALL_ERR_UNZIP;

        CreateDirectories(unpackDir, name);
        if (unzOpenCurrentFile(zip.Get()) != UNZ_OK)
            return INSTALL_ERR_UNZIP;
        if (IsSeparator(name.back())) {
            if (unzCloseCurrentFile(zip.Get()) != UNZ_OK)
                return INSTALL_ERR_UNZIP;
        } else {
            uint64_t entryBytes = 0;
            // The reader checks the CRC only when the declared size was read
            // in full, so data that ends early is caught by the size.
            if (!UnpackCurrentEntry(zip.Get(), target, buffer, &entryBytes) ||
                entryBytes != info.uncompressed_size) {
                DeleteFileA(target.c_str());
                return INSTALL_ERR_UNZIP;
            }
            written += entryBytes;
        }
        PostProgress(10 +
                     static_cast<int>(80.0 * static_cast<double>(i) / static_cast<double>(count)));
    }
    totalBytes = static_cast<uint32_t>(written >> 10);
    return INSTALL_OK;
}

InstallResult CFileManage::MoveFiles(std::string dir, std::string sourceDir) {
    if (!EndsWithSeparator(dir))
        dir += '\\';
    if (!EndsWithSeparator(sourceDir))
        sourceDir += '\\';
    std::string from = sourceDir + '*';
    InstallResult result = INSTALL_ERR_COPY;
    if (sourceDir.size() > 1 && from.size() <= kMaxListText && dir.size() <= kMaxListText) {
        // In the log this step is "copy", as support staff know it.
        DWORD ret = MoveTreeOnce(sourceDir, dir);
        CLog::Instance().Write(1, "FileManage", kLogLineFirstMove,
                               "copy szFrom=%s, szTo=%s, ret=%d\n", from.c_str(), dir.c_str(),
                               static_cast<int>(ret));
        for (int attempt = 1; ret != ERROR_SUCCESS && attempt < kMoveAttempts; ++attempt) {
            Sleep(kMoveRetryDelayMs);
            ret = MoveTreeOnce(sourceDir, dir);
            CLog::Instance().Write(1, "FileManage", kLogLineRetryMove,
                                   "copy szFrom=%s, szTo=%s, ret=%d\n", from.c_str(), dir.c_str(),
                                   static_cast<int>(ret));
        }
        if (ret == ERROR_SUCCESS)
            result = INSTALL_OK;
    }
    PostProgress(95);
    return result;
}

// ---------------------------------------------------------------------------
// Directories

std::vector<std::string> CFileManage::DirectoryLevels(const std::string& base,
                                                      const std::string& relative) {
    // Each level is the leftmost match of [^\\/]+?[/?\\] in what is left of
    // the path: a run of characters that are not '\' or '/', ended by the
    // first '/', '?' or '\' after its first character. Doubled separators are
    // skipped; a last component without a separator after it is not a level.
    auto endsLevel = [](char c) { return c == '/' || c == '?' || c == '\\'; };
    std::vector<std::string> levels;
    std::string path = base;
    size_t pos = 0;
    const size_t n = relative.size();
    // Without a base, leading separators belong to the path: skipped, they
    // would turn "\\server\share\" and "\dir\" into folders below the
    // current directory.
    if (base.empty())
        while (pos < n && IsSeparator(relative[pos]))
            path += relative[pos++];
    for (;;) {
        size_t start = pos;
        while (start < n && IsSeparator(relative[start]))
            ++start;
        if (start >= n)
            break;
        size_t end = start + 1;
        while (end < n && !endsLevel(relative[end]))
            ++end;
        if (end >= n)
            break;
        path.append(relative, start, end - start + 1);
        levels.push_back(path);
        pos = end + 1;
    }
    return levels;
}

void CFileManage::CreateDirectories(std::string base, std::string relative) {
    for (const std::string& level : DirectoryLevels(base, relative))
        CreateDirectoryA(level.c_str(), nullptr);
}

// ---------------------------------------------------------------------------
// The worker thread

void InstallWorkerThread(CFrameUI* frame) {
    frame->DetectInstallWay();
    std::string dir = ToNarrow(frame->m_installDir);
    InstallResult result = CFileManage::GetInstance()->RunInstall(dir);
    // The install kind is written before the result is posted: once the
    // window has the result it may end the process at any moment (the finish
    // button, the end of a silent install), which would cut a later write off.
    if (result == INSTALL_OK)
        frame->WriteInstallWay();
    PostMessageW(frame->GetHWND(), WM_INSTALL_RESULT, static_cast<WPARAM>(result), 0);
}

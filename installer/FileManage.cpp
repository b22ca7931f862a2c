#include "installer/FileManage.h"

#include "installer/ArchiveEntry.h"
#include "installer/Log.h"
#include "installer/MoveTree.h"
#include "installer/PayloadReader.h"
#include "installer/Product.h"
#include "installer/SetupLog.h"

#include "skinui/core/Handles.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstring>

const char kProcessChannel[] = "com.quillmoss.business.220822";
const char kChannelName[] = "220822";

using SkinUI::UniqueHandle;

namespace {

// The longest path text that still leaves room for a terminator in MAX_PATH.
constexpr size_t kMaxPathText = MAX_PATH - 1;
// The longest directory text that still fits MAX_PATH in the shell's
// double-terminated list form: the limit of the unpack directory, which the
// shell deletes, and of the move's directories, as installs have always had.
constexpr size_t kMaxListText = MAX_PATH - 2;
// Every entry is copied through one buffer of this size: large enough that
// inflate and the file writes run in long stretches, small enough that the
// peak memory does not depend on the payload, and a header that lies about an
// entry's size cannot make the installer allocate it.
constexpr size_t kCopyBufferSize = 256 * 1024;
// A move that fails is tried this many times in all, kMoveRetryDelayMs apart:
// a file in the install directory held by another program (a client that is
// slow to exit, a virus scanner) is often released within a few seconds.
constexpr int kMoveAttempts = 10;
constexpr DWORD kMoveRetryDelayMs = 500;
// The log lines of the first and of the repeated move attempts carry these
// line numbers, which support staff know from earlier releases.
constexpr int kLogLineFirstMove = 232;
constexpr int kLogLineRetryMove = 238;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
bool EndsWithSeparator(const std::string& s) {
    return !s.empty() && IsSeparator(s.back());
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
    if (m_target.window)
        PostMessageW(m_target.window, m_target.progressMessage, static_cast<WPARAM>(percent), 0);
}

// ---------------------------------------------------------------------------
// The install sequence

void CFileManage::BeginJob(const TInstallJob& job) {
    // Stored with a trailing separator, as every install directory text is:
    // the record and the shortcuts append file names to it.
    installDir = job.installDir;
    if (!EndsWithSeparator(installDir))
        installDir += '\\';
    m_target = job.target;
}

InstallResult CFileManage::RunInstall(const TInstallJob& job) {
    installKind = DetectInstallKind(installKind);
    BeginJob(job);
    HRESULT com = CoInitialize(nullptr);
    // Each step's outcome goes to the setup log, a failure with the system's
    // error as the step left it.
    auto logged = [](const wchar_t* step, InstallResult r) {
        const DWORD error = GetLastError();
        if (r == INSTALL_OK)
            SetupLogLine(std::wstring(step) + L": done");
        else
            SetupLogFailure(std::wstring(step) + L": failed with result " + std::to_wstring(r),
                            error);
        return r;
    };
    SetupLogLine(L"installing into " + LogText(installDir));
    InstallResult result = logged(L"find the payload", ExtractPayload());
    if (result == INSTALL_OK)
        result = logged(L"unpack the payload", UnzipPayload());
    if (result == INSTALL_OK)
        result = logged(L"move the files into place", MoveFiles(installDir, unpackDir));
    // A product missing from the system's program list cannot be removed the
    // usual way, so the user is told when the record could not be written.
    if (result == INSTALL_OK)
        result = logged(L"write the uninstall record", WriteUninstallRecord());
    if (SUCCEEDED(com))
        CoUninitialize();
    // Before the starter learns the result: once it has it, it may end the
    // process at any moment (the finish button, the end of a silent install),
    // which would cut a later write off.
    if (result == INSTALL_OK)
        WriteInstallKind(installKind);
    return result;
}

// ---- The payload: read where it lies in the executable ----
// Nothing of the archive is written to disk and none of the resource's pages
// are read through the image, so memory does not grow with the payload.

InstallResult CFileManage::ExtractPayload() {
    PayloadRange range;
    if (!FindOwnPayload(&range))
        return INSTALL_ERR_RESOURCE;
    // The unpack directory is where the payload goes; without one the step
    // refuses before anything is posted.
    PayloadStream stream;
    if (unpackDir.empty() || !stream.Open(range))
        return INSTALL_ERR_RESOURCE;
    payload = range;
    PostProgress(10);
    return INSTALL_OK;
}

InstallResult CFileManage::UnzipPayload() {
    totalBytes = 0;
    PayloadStream stream;
    if (unpackDir.empty() || !stream.Open(payload))
        return INSTALL_ERR_UNZIP;
    UniqueZip zip(stream.OpenZip());
    unz_global_info64 global = {};
    if (!zip || unzGetGlobalInfo64(zip.Get(), &global) != UNZ_OK)
        return stream.IsEmptyArchive() ? INSTALL_OK : INSTALL_ERR_UNZIP;

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
        else
            SetupLogFailure(L"moving " + LogText(from) + L" to " + LogText(dir) + L" failed", ret);
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

void InstallWorkerThread(TInstallJob job) {
    InstallResult result = CFileManage::GetInstance()->RunInstall(job);
    if (job.target.window)
        PostMessageW(job.target.window, job.target.resultMessage, static_cast<WPARAM>(result), 0);
}

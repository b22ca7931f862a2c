#include "installer/services/SetupLog.h"

#include "installer/services/NoFollowFile.h"
#include "installer/services/Product.h"
#include "installer/services/RandomText.h"
#include "installer/services/SlimLock.h"
#include "installer/services/Staging.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>
#include <utility>

namespace {

// The first line of every log: what tells a log of this program from any
// other file that a /LOG= switch names, which is never written to. A shell
// that reads it takes the first word for a program and finds none.
constexpr char kLogHeader[] = "\xEF\xBB\xBF" QM_PRODUCT_ID " run log\r\n";
constexpr size_t kLogHeaderBytes = sizeof(kLogHeader) - 1;
// Logs of earlier versions began with the byte order mark and a line
// "<time>  <program> <version> started: <command line>".
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kEarlierFirstLine[] = " started: ";
// How much of a file is read to tell whether it is a log of ours: the first
// line of an earlier version's log, which holds the command line.
constexpr DWORD kFirstLineBytes = 8192;

// The default log of an elevated run: administrators and SYSTEM only, given
// at creation and not inherited from the system's temporary folder (where
// users may create files of their own).
constexpr wchar_t kAdminsOnlyLog[] = L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)";

// Random names a default log tries in turn. Each has 32 random bits, so a
// user who fills the temporary folder with names in advance would need
// billions of files to make a single attempt fail; the attempts only cover
// that unlikely collision.
constexpr int kNewLogAttempts = 32;

// The open log. Kept for the life of the process, so deliberately not an RAII
// holder: a worker thread may still be logging while the process ends.
SkinUI::UniqueHandle g_file;
std::wstring g_path;
SRWLOCK g_lock = SRWLOCK_INIT;

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD done = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
}

} // namespace

std::wstring DefaultSetupLogPath(const wchar_t* kind, const SYSTEMTIME& t) {
    // Elevated, the user's temporary folder is the user's to redirect (in the
    // split-token case its very value comes from HKCU\Environment): the log
    // goes where only administrators and SYSTEM decide what lies.
    const std::wstring folder = StagingParent();
    if (folder.empty())
        return std::wstring();
    wchar_t name[96] = {};
    const int written = SkinUI::FormatText(
        name, sizeof(name) / sizeof(name[0]), L"%ls-%ls-%04u%02u%02u-%02u%02u%02u.log",
        L"" QM_PRODUCT_ID, kind, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    if (written <= 0)
        return std::wstring();
    return folder + name;
}

namespace {

// Whether the file open as file starts as a log of ours does: with the
// header, or as a log of an earlier version did.
bool IsOurLog(HANDLE file) {
    std::string head(kFirstLineBytes, '\0');
    DWORD got = 0;
    OVERLAPPED start = {};
    if (!ReadFile(file, &head[0], kFirstLineBytes, &got, &start))
        return false;
    head.resize(got);
    if (head.compare(0, kLogHeaderBytes, kLogHeader) == 0)
        return true;
    const size_t end = head.find('\n');
    return head.compare(0, 3, kByteOrderMark) == 0 && end != std::string::npos &&
           head.substr(0, end).find(kEarlierFirstLine) != std::string::npos;
}

// Makes file the log (it is closed when that fails); a new file gets the
// header first.
bool AdoptLogFile(SkinUI::UniqueHandle file, const std::wstring& path, bool existed) {
    if (!SetFilePointerEx(file.Get(), LARGE_INTEGER{}, nullptr, FILE_END) ||
        (!existed && !WriteAll(file.Get(), std::string(kLogHeader, kLogHeaderBytes))))
        return false;
    CSlimLockHold guard(&g_lock);
    g_file = std::move(file);
    g_path = path;
    return true;
}

// What a character of a log line becomes: control characters a blank, and
// the characters a command shell acts on (& | < > ^ %) their full-width
// forms, which read the same and which no shell acts on. A log may end up
// where a shell reads it (a /LOG= name ending in .cmd in a folder that
// scripts run from), and its lines hold text a caller chose: the command
// line, the folders it names.
wchar_t Harmless(wchar_t c) {
    if (c < 0x20 || c == 0x7f)
        return L' ';
    switch (c) {
    case L'&':
    case L'|':
    case L'<':
    case L'>':
    case L'^':
    case L'%':
        // The full-width forms lie 0xFEE0 above the ASCII ones.
        return static_cast<wchar_t>(c + 0xFEE0);
    default:
        return c;
    }
}

} // namespace

bool OpenSetupLog(const std::wstring& path) {
    if (path.empty())
        return false;
    // The name may lie in a folder a user can write, below folders a user can
    // swap for links: every level is opened without following one, and a
    // link or a hard link at the name is refused.
    bool existed = false;
    SkinUI::UniqueHandle file(OpenFileNoFollow(path, GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS,
                                               &existed));
    if (!file)
        return false;
    // An existing log of ours (a script that names the same log for every
    // run) is continued, so the runs stay readable one after the other; any
    // other file is left exactly as it is. Appended to, an administrator's
    // batch file would run what the command line put into the log.
    if (existed && !IsOurLog(file.Get())) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    return AdoptLogFile(std::move(file), path, existed);
}

bool OpenNewSetupLog(const std::wstring& path) {
    const size_t dot = path.rfind(L'.');
    if (path.empty() || dot == std::wstring::npos)
        return false;
    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (IsProcessElevated() && !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                   kAdminsOnlyLog, SDDL_REVISION_1, descriptor.Put(), nullptr))
        return false;
    for (int attempt = 1; attempt <= kNewLogAttempts; ++attempt) {
        // A name nobody can foresee: with the time alone a user could make
        // every name a run might take before it starts.
        const std::wstring random = RandomHex(4);
        if (random.empty())
            return false;
        const std::wstring name = path.substr(0, dot) + L"-" + random + path.substr(dot);
        // Created new: whatever lies at the name is never written through.
        SkinUI::UniqueHandle file(OpenFileNoFollow(name, GENERIC_READ | GENERIC_WRITE,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW,
                                                   nullptr, descriptor.Get()));
        if (file)
            return AdoptLogFile(std::move(file), name, false);
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

std::wstring SetupLogPath() {
    CSlimLockHold guard(&g_lock);
    return g_path;
}

void SetupLogLine(const std::wstring& text) {
    SYSTEMTIME t = {};
    GetLocalTime(&t);
    wchar_t stamp[40] = {};
    SkinUI::FormatText(stamp, sizeof(stamp) / sizeof(stamp[0]),
                       L"%04u-%02u-%02u %02u:%02u:%02u.%03u  ", t.wYear, t.wMonth, t.wDay, t.wHour,
                       t.wMinute, t.wSecond, t.wMilliseconds);
    std::wstring line = stamp;
    line.reserve(line.size() + text.size() + 2);
    for (wchar_t c : text)
        line += Harmless(c);
    line += L"\r\n";
    const std::string bytes = Utf8(line);
    CSlimLockHold guard(&g_lock);
    if (g_file)
        WriteAll(g_file.Get(), bytes);
}

std::wstring SystemErrorText(DWORD error) {
    SkinUI::UniqueLocal<wchar_t*> buffer;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    std::wstring text;
    if (n != 0 && buffer)
        text.assign(buffer.Get(), n);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return text.empty() ? L"(no system text)" : text;
}

void SetupLogFailure(const std::wstring& text, DWORD error) {
    SetupLogLine(text + L" (error " + SkinUI::DecimalText(error) + L": " + SystemErrorText(error) +
                 L")");
}

std::wstring LogText(const std::string& ansi) {
    return ToWide(ansi);
}

#include "installer/services/SetupLog.h"

#include "installer/services/NoFollowFile.h"
#include "installer/services/Product.h"
#include "installer/services/RandomText.h"
#include "installer/services/SlimLock.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <cwchar>
#include <utility>

// The system's random source (RtlGenRandom), exported by advapi32 under
// this name.

namespace {

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
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH)
        return std::wstring();
    wchar_t name[96] = {};
    const int written = SkinUI::FormatText(
        name, sizeof(name) / sizeof(name[0]), L"%ls-%ls-%04u%02u%02u-%02u%02u%02u.log",
        L"" QM_PRODUCT_ID, kind, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    if (written <= 0)
        return std::wstring();
    std::wstring path(temp, n);
    if (path.back() != L'\\')
        path += L'\\';
    return path + name;
}

namespace {

// Makes file the log (it is closed when that fails).
bool AdoptLogFile(SkinUI::UniqueHandle file, const std::wstring& path, bool existed) {
    LARGE_INTEGER size = {};
    GetFileSizeEx(file.Get(), &size);
    if (!SetFilePointerEx(file.Get(), LARGE_INTEGER{}, nullptr, FILE_END) ||
        ((!existed || size.QuadPart == 0) && !WriteAll(file.Get(), "\xEF\xBB\xBF")))
        return false;
    CSlimLockHold guard(&g_lock);
    g_file = std::move(file);
    g_path = path;
    return true;
}

} // namespace

bool OpenSetupLog(const std::wstring& path) {
    if (path.empty())
        return false;
    // The name may lie in a folder a user can write: a link or a hard link
    // put there would have this elevated run append to the file it names.
    bool existed = false;
    SkinUI::UniqueHandle file(OpenFileNoFollow(
        path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, &existed));
    if (!file)
        return false;
    // An existing file (a script that names the same log for every run) is
    // continued, so the runs stay readable one after the other.
    return AdoptLogFile(std::move(file), path, existed);
}

bool OpenNewSetupLog(const std::wstring& path) {
    const size_t dot = path.rfind(L'.');
    if (path.empty() || dot == std::wstring::npos)
        return false;
    for (int attempt = 1; attempt <= kNewLogAttempts; ++attempt) {
        // A name nobody can foresee: with the time alone a user could make
        // every name a run might take before it starts.
        const std::wstring random = RandomHex(4);
        if (random.empty())
            return false;
        const std::wstring name = path.substr(0, dot) + L"-" + random + path.substr(dot);
        // Created new: whatever lies at the name (a link planted in the
        // user's temporary folder above all) is never written through.
        SkinUI::UniqueHandle file(OpenFileNoFollow(
            name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW, nullptr));
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
        line += (c == L'\r' || c == L'\n') ? L' ' : c;
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

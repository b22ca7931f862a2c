#include "installer/services/Log.h"

#include "installer/services/NoFollowFile.h"
#include "installer/services/SlimLock.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <windows.h>

#include <cstdarg>
#include <ctime>

using SkinUI::FormatText;
using SkinUI::UniqueHandle;

namespace {

constexpr size_t kBodyBufferSize = 20480;
constexpr size_t kHeadBufferSize = 1024;

std::string BaseName(const std::string& file) {
    // Only '\' separates here: the callers pass Windows paths.
    size_t slash = file.rfind('\\');
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

// A failed write is not reported: the line has reached the debugger output.
void WriteAll(HANDLE file, const std::string& text) {
    DWORD done = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
}

} // namespace

std::string FormatLogLine(const std::string& file, int line, const std::string& timeStamp,
                          const std::string& body) {
    char head[kHeadBufferSize];
    // A head cut at the buffer keeps what fits; it is always terminated.
    FormatText(head, sizeof(head), "%s[%s][%d]", timeStamp.c_str(), BaseName(file).c_str(), line);
    char padded[kHeadBufferSize + 2];
    // A head longer than 60 characters is kept whole: the buffer has room for
    // the longest head and the tab.
    FormatText(padded, sizeof(padded), "%-60s\t", head);
    return std::string(padded) + body;
}

void CLog::SetLogPath(const std::string& path) {
    CSlimLockHold guard(&m_lock);
    m_path = path;
}

void CLog::Write(int level, std::string file, int line, const char* format, ...) {
    CSlimLockHold guard(&m_lock);
    if (level < m_minLevel)
        return;

    // Longer bodies are cut at the buffer, and the cut text is terminated.
    char body[kBodyBufferSize] = {};
    va_list args;
    va_start(args, format);
    SkinUI::FormatTextV(body, sizeof(body), format, args);
    va_end(args);

    char stamp[kHeadBufferSize] = {};
    time_t now = time(nullptr);
    const struct tm* local = localtime(&now);
    if (local)
        strftime(stamp, 80, "[%Y-%m-%d %H:%M:%S]", local);

    std::string text = FormatLogLine(file, line, stamp, body);
    OutputDebugStringA(text.c_str());

    if (m_path.empty())
        return;
    // Appended as it is to a file that exists and is small enough; otherwise
    // the file is made afresh and its first line is written as the C
    // runtime's text mode writes it, with CRLF line ends. A link at the name
    // (symbolic, junction or hard) is never written through, nor cut short:
    // the file is opened without following one and emptied only after the
    // checks, where creating it anew would have cut the linked file first.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    bool existed = false;
    UniqueHandle log(OpenFileNoFollow(ToWide(m_path), GENERIC_READ | GENERIC_WRITE, share,
                                      OPEN_ALWAYS, &existed));
    if (!log)
        return;
    LARGE_INTEGER size = {};
    if (existed && GetFileSizeEx(log.Get(), &size) && size.QuadPart <= kMaxFileSize &&
        SetFilePointerEx(log.Get(), LARGE_INTEGER{}, nullptr, FILE_END)) {
        WriteAll(log.Get(), text);
        return;
    }
    if (!SetFilePointerEx(log.Get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(log.Get()))
        return;
    std::string crlf;
    crlf.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    WriteAll(log.Get(), crlf);
}

#include "installer/Log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace {

constexpr size_t kBodyBufferSize = 20480;
constexpr size_t kHeadBufferSize = 1024;

std::string BaseName(const std::string& file) {
    // Only '\' separates here: the callers pass Windows paths.
    size_t slash = file.rfind('\\');
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

} // namespace

std::string FormatLogLine(const std::string& file, int line, const std::string& timeStamp,
                          const std::string& body) {
    char head[kHeadBufferSize];
    int n =
        snprintf(head, sizeof(head), "%s[%s][%d]", timeStamp.c_str(), BaseName(file).c_str(), line);
    if (n < 0)
        head[0] = '\0';
    char padded[kHeadBufferSize + 2];
    // A head longer than 60 characters is kept whole; snprintf cuts only at the
    // buffer, which the head above can never reach.
    n = snprintf(padded, sizeof(padded), "%-60s\t", head);
    if (n < 0)
        padded[0] = '\0';
    return std::string(padded) + body;
}

void CLog::SetLogPath(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_path = path;
}

void CLog::Write(int level, std::string file, int line, const char* format, ...) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (level < m_minLevel)
        return;

    // Longer bodies are cut at the buffer: vsnprintf always terminates.
    char body[kBodyBufferSize] = {};
    va_list args;
    va_start(args, format);
    vsnprintf(body, sizeof(body), format, args);
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
    std::fstream stream(m_path, std::ios::in | std::ios::out | std::ios::binary);
    long long size = -1;
    if (stream) {
        stream.seekp(0, std::ios::end);
        size = static_cast<long long>(stream.tellp());
    }
    if (!stream || size < 0 || size > kMaxFileSize) {
        stream.close();
        stream.clear();
        stream.open(m_path, std::ios::out);
    }
    stream << text;
}

// A process-wide, thread-safe line log: each line gets a time stamp and its
// source location and goes to the debugger output and, when a path is set, to
// a log file capped at 10 MiB.
#pragma once

#include <windows.h>

#include <string>

// One instance per process, created on first use and never destroyed before the
// process ends (the installer leaves through ExitProcess).
template <typename T> class singleton {
public:
    static T& Instance() {
        static T* instance = new T();
        return *instance;
    }
    virtual ~singleton() = default;

protected:
    singleton() = default;
};

class CLog : public singleton<CLog> {
public:
    // Largest log file that still gets lines appended; one byte more and the
    // next line starts the file afresh.
    static constexpr long long kMaxFileSize = 10485760;

    void Write(int level, std::string file, int line, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(ms_printf, 5, 6)))
#endif
        ;

    // The installer never sets a path; tests and diagnostic builds may.
    void SetLogPath(const std::string& path);

private:
    friend class singleton<CLog>;
    CLog() = default;

    std::string m_path;
    // A slim lock: it cannot fail, and it brings no thread library along.
    SRWLOCK m_lock = SRWLOCK_INIT;
    int m_minLevel = 0;
};

// Builds one log line (head padded to 60 characters, a tab, the body) for the
// given local time; Write uses it, tests check it.
std::string FormatLogLine(const std::string& file, int line, const std::string& timeStamp,
                          const std::string& body);

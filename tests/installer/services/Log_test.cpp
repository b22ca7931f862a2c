#include "installer/services/Log.h"
#include "installer/services/TextConvert.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <thread>

namespace {

TEST(Log, HeadIsPaddedToSixtyThenTabThenBody) {
    std::string line = FormatLogLine("X", 232, "[2022-08-22 14:03:05]", "ret=0\n");
    std::string head = "[2022-08-22 14:03:05][X][232]";
    EXPECT_EQ(head + std::string(60 - head.size(), ' ') + "\tret=0\n", line);
}

TEST(Log, SourceNameIsCutAtTheLastBackslashOnly) {
    struct Case {
        const char* file;
        const char* shown;
    } cases[] = {
        {"a\\b\\X", "X"},   {"a/b/X", "a/b/X"}, {"C:\\src\\installer\\FileManage", "FileManage"},
        {"trailing\\", ""}, {"X", "X"},
    };
    for (const Case& c : cases) {
        std::string line = FormatLogLine(c.file, 7, "[t]", "");
        EXPECT_EQ(0u, line.find(std::string("[t][") + c.shown + "][7]")) << c.file;
    }
}

TEST(Log, LongHeadIsKeptWhole) {
    std::string name(100, 'n');
    std::string line = FormatLogLine(name, 1, "[t]", "b");
    EXPECT_EQ("[t][" + name + "][1]\tb", line);
}

// Runs the log writer as a debuggee and collects its debugger output.
std::string DebugOutputOf(const std::wstring& args) {
    std::wstring cmd = qmtest::Quote(qmtest::ProgramDir() + L"\\qm_log_writer.exe") + L" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &si, &pi))
        return "<no process>";
    std::string out;
    DWORD start = GetTickCount();
    for (bool done = false; !done && GetTickCount() - start < 30000;) {
        DEBUG_EVENT ev = {};
        if (!WaitForDebugEvent(&ev, 1000))
            continue;
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& s = ev.u.DebugString;
            std::string text(s.nDebugStringLength, '\0');
            SIZE_T got = 0;
            ReadProcessMemory(pi.hProcess, s.lpDebugStringData, &text[0], text.size(), &got);
            text.resize(got);
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            out += text;
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(ev.u.LoadDll.hFile);
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            done = true;
            break;
        default:
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return out;
}

TEST(Log, LineReachesTheDebuggerOutput) {
    std::string out = DebugOutputOf(L"a\\b\\X 232");
    std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\]\[X\]\[232\] +\tret=0\n)");
    EXPECT_TRUE(std::regex_search(out, line)) << out;
    size_t tab = out.find('\t');
    size_t head = out.find("[20");
    ASSERT_NE(std::string::npos, tab);
    EXPECT_EQ(60u, tab - head);
}

class LogFile : public ::testing::Test {
protected:
    void TearDown() override { CLog::Instance().SetLogPath(""); }
    qmtest::TempDir dir{L"qmlog"};
    std::string Path() { return ToNarrow(dir / L"install.log"); }
};

TEST_F(LogFile, MissingFileIsCreatedByTheFirstLine) {
    CLog::Instance().SetLogPath(Path());
    CLog::Instance().Write(1, "X", 1, "first\n");
    std::string content = qmtest::ReadFileBytes(ToWide(Path()));
    EXPECT_NE(std::string::npos, content.find("\tfirst"));
}

TEST_F(LogFile, TenMebibytesIsAppendedToAndOneByteMoreStartsAfresh) {
    CLog::Instance().SetLogPath(Path());
    std::string big(static_cast<size_t>(CLog::kMaxFileSize), 'x');
    ASSERT_TRUE(qmtest::WriteFileBytes(ToWide(Path()), big));
    CLog::Instance().Write(1, "X", 2, "appended\n");
    std::string content = qmtest::ReadFileBytes(ToWide(Path()));
    EXPECT_GT(content.size(), big.size());
    EXPECT_EQ(std::string::npos, content.find("appended", 0) < big.size() ? 0 : std::string::npos);
    EXPECT_NE(std::string::npos, content.find("\tappended", big.size()));

    ASSERT_TRUE(qmtest::WriteFileBytes(ToWide(Path()), big + "x"));
    CLog::Instance().Write(1, "X", 3, "replaced\n");
    content = qmtest::ReadFileBytes(ToWide(Path()));
    EXPECT_LT(content.size(), 200u);
    EXPECT_NE(std::string::npos, content.find("\treplaced"));
}

// The path a diagnostic build sets may lie where a user can write: a hard
// link there is neither appended to nor, when the file it names is past the
// size limit, cut short (Wine 8 shows hard links, not symbolic links to
// files, which Windows refuses alike).
TEST_F(LogFile, AHardLinkAtThePathIsNeverWrittenThroughNorCut) {
    const std::wstring victim = dir / L"victim.bin";
    for (const std::string& bytes :
         {std::string("the user's secret"),
          std::string(static_cast<size_t>(CLog::kMaxFileSize) + 1, 'v')}) {
        ASSERT_TRUE(qmtest::WriteFileBytes(victim, bytes));
        ASSERT_TRUE(CreateHardLinkW(ToWide(Path()).c_str(), victim.c_str(), nullptr));
        CLog::Instance().SetLogPath(Path());
        CLog::Instance().Write(1, "X", 4, "must not land\n");
        EXPECT_EQ(bytes.size(), qmtest::ReadFileBytes(victim).size());
        EXPECT_TRUE(bytes == qmtest::ReadFileBytes(victim));
        ASSERT_TRUE(DeleteFileW(ToWide(Path()).c_str()));
    }
}

TEST(Log, WritesFromManyThreadsNeverInterleave) {
    qmtest::TempDir dir{L"qmlog"};
    std::string path = ToNarrow(dir / L"threads.log");
    CLog::Instance().SetLogPath(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 25; ++i)
                CLog::Instance().Write(1, "T", t, "thread %d line %d end\n", t, i);
        });
    for (auto& th : threads)
        th.join();
    CLog::Instance().SetLogPath("");
    std::string content = qmtest::ReadFileBytes(ToWide(path));
    std::regex whole(R"(^\[[^\]]+\]\[T\]\[(\d)\] +\tthread \1 line \d+ end$)");
    int lines = 0;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        ASSERT_NE(std::string::npos, end);
        std::string one = content.substr(pos, end - pos);
        // The file is created in text mode, so its first line ends in CRLF.
        if (!one.empty() && one.back() == '\r')
            one.pop_back();
        EXPECT_TRUE(std::regex_match(one, whole)) << one;
        ++lines;
        pos = end + 1;
    }
    EXPECT_EQ(100, lines);
}

} // namespace

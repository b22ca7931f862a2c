// Paths compared as the file system resolves them, 8.3 names included.
#include "installer/services/SystemFolders.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// A program started by its 8.3 path gets that path from GetModuleFileNameW;
// the record and the links hold the long one.
TEST(CanonicalPath, ShortNamesBecomeLongAlsoBelowWhatDoesNotExistYet) {
    qmtest::TempDir dir{L"qmlong"};
    const std::wstring tools = dir / L"My Tools Folder";
    ASSERT_TRUE(CreateDirectoryW(tools.c_str(), nullptr));
    ASSERT_TRUE(qmtest::WriteFileBytes(tools + L"\\uninstaller program.exe", "u"));
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(tools.c_str(), buf, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    const std::wstring shortTools = buf;
    ASSERT_NE(tools, shortTools) << "the file system made no 8.3 name";
    // Wine makes its 8.3 names from a hash ("MY_T~QPK"), Windows from a count
    // ("MYTOOL~1"): the file's is asked for, not spelled here.
    const DWORD m =
        GetShortPathNameW((tools + L"\\uninstaller program.exe").c_str(), buf, MAX_PATH);
    ASSERT_TRUE(m > 0 && m < MAX_PATH);
    const std::wstring shortFile = buf;
    const std::wstring longTools = CanonicalPath(tools);
    const struct {
        std::wstring path;
        std::wstring canonical;
    } cases[] = {
        {shortTools, longTools},
        {shortTools + L"\\", longTools},
        {shortFile, longTools + L"\\uninstaller program.exe"},
        // Not there yet: the part that exists is made long, the rest kept.
        {shortTools + L"\\new folder\\x.txt", longTools + L"\\new folder\\x.txt"},
        {shortTools + L"/sub/../y.txt", longTools + L"\\y.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path);
        EXPECT_TRUE(CompareStringOrdinal(c.canonical.c_str(), -1, CanonicalPath(c.path).c_str(), -1,
                                         TRUE) == CSTR_EQUAL)
            << CanonicalPath(c.path);
        EXPECT_TRUE(SamePath(c.path, c.canonical));
    }
    EXPECT_EQ(L"Q:\\no such\\folder", CanonicalPath(L"Q:\\no such\\folder\\"));
    EXPECT_EQ(L"C:\\", CanonicalPath(L"C:\\"));
}

} // namespace

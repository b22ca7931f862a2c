#include "installer/services/PathText.h"
#include "installer/services/TextConvert.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

namespace {

TEST(PathText, SeparatorsAtTheEnd) {
    struct Case {
        const wchar_t* path;
        const wchar_t* with;
        const wchar_t* without;
    } cases[] = {
        {L"C:\\a", L"C:\\a\\", L"C:\\a"},
        {L"C:\\a\\\\", L"C:\\a\\\\", L"C:\\a"},
        {L"C:\\a/", L"C:\\a/", L"C:\\a"},
        // A drive root keeps its separator: "C:" is the drive's current folder.
        {L"C:\\", L"C:\\", L"C:\\"},
        {L"", L"\\", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.with, WithSeparator(c.path)) << ToNarrow(c.path);
        EXPECT_EQ(c.without, WithoutTrailingSeparators(c.path)) << ToNarrow(c.path);
    }
    EXPECT_EQ(L"a", WithoutTrailingSeparator(L"a\\/"));
    EXPECT_EQ(L"", WithoutTrailingSeparator(L"\\"));
}

TEST(PathText, SlashesAndBlanks) {
    EXPECT_EQ(L"a\\b\\c\\", WithBackslashes(L"a/b\\c/"));
    EXPECT_EQ(L"a/b/c/", WithSlashes(L"a/b\\c\\"));
    EXPECT_EQ(L"C:\\My  Apps", TrimmedBlanks(L"  C:\\My  Apps  "));
    EXPECT_EQ(L"", TrimmedBlanks(L"   "));
    EXPECT_EQ(L"x", TrimmedBlanks(L"x"));
}

TEST(PathText, LevelsFollowTheSeparatorPattern) {
    struct Case {
        const wchar_t* base;
        const wchar_t* relative;
        std::vector<std::wstring> levels;
    } cases[] = {
        {L"X\\", L"a/b/c.txt", {L"X\\a/", L"X\\a/b/"}},
        {L"X\\", L"a\\b?c/d", {L"X\\a\\", L"X\\a\\b?", L"X\\a\\b?c/"}},
        {L"X\\", L"//a//b/", {L"X\\a/", L"X\\a/b/"}},
        {L"X\\", L"?\?/x", {L"X\\?\?"}},
        {L"X\\", L"file.txt", {}},
        {L"X\\", L"", {}},
        {L"",
         L"C:\\Program Files\\Dir\\",
         {L"C:\\", L"C:\\Program Files\\", L"C:\\Program Files\\Dir\\"}},
        // Without a base the leading separators stay, so a network path or a
        // root-relative path never becomes a folder below the current one.
        {L"",
         L"\\\\server\\share\\d\\",
         {L"\\\\server\\", L"\\\\server\\share\\", L"\\\\server\\share\\d\\"}},
        {L"", L"\\top\\", {L"\\top\\"}},
        // Names in any script are levels like any other.
        {L"X\\", L"한글/配置/😀.ini", {L"X\\한글/", L"X\\한글/配置/"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.levels, DirectoryLevels(c.base, c.relative)) << ToNarrow(c.relative);
}

TEST(PathText, LevelsMatchTheRegularExpressionForAnyBase) {
    // The levels are the successive leftmost matches of this expression.
    const std::wregex level(LR"([^\\/]+?[/?\\])");
    const wchar_t* paths[] = {L"a/b/c", L"\\\\x\\\\y\\z", L"a?b?c", L"?/?", L"a b/c d\\e",
                              L"//",    L"x/y/"};
    for (const wchar_t* p : paths) {
        std::vector<std::wstring> expected;
        std::wstring base = L"B\\";
        std::wstring rest = p;
        std::wsmatch m;
        while (std::regex_search(rest, m, level)) {
            base += m.str();
            expected.push_back(base);
            rest = m.suffix();
        }
        EXPECT_EQ(expected, DirectoryLevels(L"B\\", p)) << ToNarrow(p);
    }
}

TEST(PathText, ExcessMeasuresEachFolderAndFileAsTheFileSystemWillSeeIt) {
    const std::wstring name(100, L'n');
    // "C:\" + 100 + "\" + 100 + "\" + 50: a file of 255 characters fits 259,
    // its folders of 103 and 204 fit 247.
    const std::wstring file = name + L"/" + name + L"/" + std::wstring(50, L'f');
    struct Case {
        std::wstring dir;
        std::vector<std::wstring> names;
        size_t excess;
    } cases[] = {
        {L"C:\\", {file}, 0},
        // The root's own separator is the one before the names.
        {L"C:\\", {std::wstring(MAX_PATH - 4, L'f')}, 0},
        {L"C:\\", {std::wstring(MAX_PATH - 3, L'f')}, 1},
        {L"C:\\" + std::wstring(10, L'd') + L"\\", {file}, 14 + 252 - 259},
        // A folder must leave room for an 8.3 name below it.
        {L"C:\\d\\", {std::wstring(245, L'x') + L"/"}, 5 + 245 - 247},
        {L"C:\\" + std::wstring(MAX_PATH, L'd'), {}, MAX_PATH + 3 - (MAX_PATH - 13)},
        {L"C:\\d", {L"a//b"}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.excess, PathExcess(c.dir, c.names)) << ToNarrow(c.dir);
}

TEST(PathText, ModulePathIsTheProgramsOwnFile) {
    const std::wstring self = ModulePath();
    ASSERT_FALSE(self.empty());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(self.c_str()));
    const std::wstring folder = FolderOf(self);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(L'\\', folder.back());
    EXPECT_EQ(folder, self.substr(0, folder.size()));
    EXPECT_EQ(L"", FolderOf(L"name.exe"));
}

} // namespace

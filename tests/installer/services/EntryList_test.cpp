#include "installer/services/EntryList.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(EntryList, ParsesFilesAndFoldersInEveryLineForm) {
    TEntryList list;
    ASSERT_TRUE(ParseEntryList("\xEF\xBB\xBF# entries\r\nQuillmossdex.exe\r\nres/\nres/a.png\n"
                               "res/sub/b.dat\n\n\xE9\x9D\x92.txt\n",
                               &list));
    EXPECT_EQ((std::vector<std::wstring>{L"Quillmossdex.exe", L"res\\a.png", L"res\\sub\\b.dat",
                                         L"青.txt"}),
              list.files);
    EXPECT_EQ((std::vector<std::wstring>{L"res"}), list.dirs);
}

TEST(EntryList, LinesInCodePage936AreReadAsSuchBesideUtf8Lines) {
    // "使用说明.txt" and "res/配置.ini" as Chinese tools write them, between
    // UTF-8 lines with Korean and an emoji.
    TEntryList list;
    ASSERT_TRUE(ParseEntryList("\xCA\xB9\xD3\xC3\xCB\xB5\xC3\xF7.txt\n"
                               "res/\xC5\xE4\xD6\xC3.ini\n"
                               "\xED\x95\x9C\xEA\xB8\x80/\xF0\x9F\x98\x80.txt\n",
                               &list));
    EXPECT_EQ((std::vector<std::wstring>{L"使用说明.txt", L"res\\配置.ini", L"한글\\😀.txt"}),
              list.files);
}

TEST(EntryList, OneUnsafeNameMakesTheWholeListUntrusted) {
    const char* unsafe[] = {"../evil.dll",
                            "a/../../b",
                            "C:/Windows/x.dll",
                            "/etc",
                            "\\\\server\\share\\f",
                            "a\\..\\b",
                            "res/nul.txt",
                            "com1",
                            "a/. ./b",
                            "f.txt:stream"};
    for (const char* line : unsafe) {
        // Good names before and after it change nothing.
        TEntryList list;
        EXPECT_FALSE(
            ParseEntryList(std::string("Quillmossdex.exe\nres/\n") + line + "\nb.txt\n", &list))
            << line;
        EXPECT_TRUE(list.files.empty() && list.dirs.empty()) << line;
    }
    // A list that names no file is no list either.
    for (const char* text : {"", "\n", "# only a comment\n", "res/\n"}) {
        TEntryList list;
        EXPECT_FALSE(ParseEntryList(text, &list)) << text;
    }
}

TEST(EntryList, WhatTheWriterWritesTheReaderReadsBack) {
    qmtest::TempDir dir(L"qmlist");
    const std::wstring path = dir / L"uninst.lst";
    // A list already at the name (the payload may carry one) is replaced.
    ASSERT_TRUE(qmtest::WriteFileBytes(path, "old.txt\nmore.txt\n"));
    ASSERT_TRUE(WriteEntryList(path, {L"a/", L"a\\b.txt", L"青.txt"}));
    EXPECT_EQ("a/\na/b.txt\n\xE9\x9D\x92.txt\nuninst.lst\n", qmtest::ReadFileBytes(path));
    TEntryList list;
    ASSERT_TRUE(ReadEntryList(path, &list));
    EXPECT_EQ((std::vector<std::wstring>{L"a\\b.txt", L"青.txt", L"uninst.lst"}), list.files);
    EXPECT_EQ((std::vector<std::wstring>{L"a"}), list.dirs);
    // The list's own name is written once, however the payload spells it.
    ASSERT_TRUE(WriteEntryList(path, {L"UNINST.LST", L"x"}));
    EXPECT_EQ("UNINST.LST\nx\n", qmtest::ReadFileBytes(path));
    EXPECT_FALSE(ReadEntryList(dir / L"missing.lst", &list));
    EXPECT_TRUE(list.files.empty());
}

} // namespace

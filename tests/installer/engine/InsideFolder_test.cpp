// The folders a run makes inside the install folder: new under names nobody
// can foresee, never one that was there first. (Windows also gives them the
// administrators' ACL at creation, which Wine does not keep; FolderSecurity
// tests judge descriptors.)
#include "installer/engine/InsideFolder.h"
#include "installer/services/FolderHandle.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qmtest;

namespace {

SkinUI::UniqueHandle OpenParent(const TempDir& dir) {
    return OpenFolderLevels(dir.Path(), FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE);
}

TEST(InsideFolder, NamesAreDrawnAnewEachTimeAndCarryTheirSuffix) {
    const std::wstring a = InsideFolderName(L".new");
    const std::wstring b = InsideFolderName(L".new");
    EXPECT_NE(a, b);
    ASSERT_EQ(4u + 16u + 4u, a.size());
    EXPECT_EQ(L"qms-", a.substr(0, 4));
    EXPECT_EQ(L".new", a.substr(20));
    EXPECT_EQ(L".old", InsideFolderName(L".old").substr(20));
}

// A file planted at the first name and a folder of someone else's at the
// second: both stay as they were, each name is journaled before it is tried,
// and the folder is made at the third.
TEST(InsideFolder, ANameInTheWayIsLeftAloneAndTheNextIsTried) {
    TempDir work(L"qminside");
    ASSERT_TRUE(WriteFileBytes(work / L"qms-first.new", "planted file"));
    ASSERT_TRUE(CreateDirectoryW((work / L"qms-second.new").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(work / L"qms-second.new\\mine.txt", "planted folder"));
    SkinUI::UniqueHandle parent = OpenParent(work);
    ASSERT_TRUE(parent.Valid());
    std::vector<std::wstring> names = {L"qms-first.new", L"qms-second.new", L"qms-third.new"};
    size_t drawn = 0;
    std::vector<std::wstring> noted;
    TInsideFolder folder;
    ASSERT_TRUE(CreateInsideFolder(
        parent.Get(), work.Path() + L"\\", kUnpackFolderSddl,
        [&] { return drawn < names.size() ? names[drawn++] : std::wstring(); },
        [&](const std::wstring& path) {
            noted.push_back(path);
            return true;
        },
        &folder));
    const std::wstring base = L"\\\\?\\" + work.Path() + L"\\";
    EXPECT_EQ((std::vector<std::wstring>{base + L"qms-first.new\\", base + L"qms-second.new\\",
                                         base + L"qms-third.new\\"}),
              noted);
    EXPECT_EQ(base + L"qms-third.new\\", folder.path);
    EXPECT_TRUE(folder.handle.Valid());
    EXPECT_EQ("planted file", ReadFileBytes(work / L"qms-first.new"));
    EXPECT_EQ("planted folder", ReadFileBytes(work / L"qms-second.new\\mine.txt"));
    folder = TInsideFolder();
}

// The journal must name a folder before it exists: when it cannot, nothing
// is made.
TEST(InsideFolder, NothingIsMadeThatTheJournalCouldNotName) {
    TempDir work(L"qminside");
    SkinUI::UniqueHandle parent = OpenParent(work);
    ASSERT_TRUE(parent.Valid());
    TInsideFolder folder;
    EXPECT_FALSE(CreateInsideFolder(
        parent.Get(), work.Path() + L"\\", kAsideFolderSddl, [] { return L"qms-x.old"; },
        [](const std::wstring&) { return false; }, &folder));
    EXPECT_FALSE(FileExists(work / L"qms-x.old"));
    EXPECT_FALSE(folder.handle.Valid());
}

} // namespace

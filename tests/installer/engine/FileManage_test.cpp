#include "installer/engine/FileManage.h"
#include "installer/services/Staging.h"
#include "installer/services/Log.h"
#include "installer/services/SetupLog.h"
#include "installer/services/TextConvert.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/support/TestPayload.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <thread>

namespace {

using qmtest::InstallProbe;
using qmtest::ZipEntry;

std::wstring W(const std::string& s) {
    return ToWide(s);
}

bool IsDir(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool IsFile(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
std::string ReadFile(const std::wstring& path) {
    return qmtest::ReadFileBytes(path);
}
void WriteFile(const std::wstring& path, const std::string& bytes) {
    ASSERT_TRUE(qmtest::WriteFileBytes(path, bytes)) << ToNarrow(path);
}
// The ZIP archives directly in dir: a staging copy of the payload would be one.
std::vector<std::wstring> ArchivesIn(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"\\*.zip").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

// ---------------------------------------------------------------------------
// Result texts

TEST(InstallResultText, EachCodeHasItsTextInUtf8) {
    struct Case {
        unsigned code;
        const char* bytes;
    } cases[] = {
        {INSTALL_OK, ""},
        {INSTALL_ERR_UNZIP,
         "\xe8\xa7\xa3\xe5\x8e\x8b\xe6\x96\x87\xe4\xbb\xb6\xe5\xa4\xb1\xe8\xb4\xa5!"},
        {INSTALL_ERR_RESOURCE,
         "\xe9\x87\x8a\xe6\x94\xbe\xe8\xb5\x84\xe6\xba\x90\xe6\x96\x87\xe4\xbb\xb6"
         "\xe5\xa4\xb1\xe8\xb4\xa5!"},
        {INSTALL_ERR_COPY,
         "\xe6\x8b\xb7\xe8\xb4\x9d\xe6\x96\x87\xe4\xbb\xb6\xe5\xa4\xb1\xe8\xb4\xa5!"},
        {INSTALL_ERR_SHORTCUT,
         "\xe5\x88\x9b\xe5\xbb\xba\xe5\xbf\xab\xe6\x8d\xb7\xe6\x96\xb9\xe5\xbc\x8f"
         "\xe5\xa4\xb1\xe8\xb4\xa5!"},
        {INSTALL_ERR_REGISTRY,
         "\xe4\xbf\x9d\xe5\xad\x98\xe4\xbf\xa1\xe6\x81\xaf\xe5\x88\xb0\xe6\xb3\xa8"
         "\xe5\x86\x8c\xe8\xa1\xa8\xe5\xa4\xb1\xe8\xb4\xa5!"},
        {6, ""},
        {INSTALL_ERR_DAMAGED,
         "\xe5\xae\x89\xe8\xa3\x85\xe6\x96\x87\xe4\xbb\xb6\xe5\xb7\xb2\xe6\x8d\x9f\xe5\x9d\x8f, "
         "\xe8\xaf\xb7\xe9\x87\x8d\xe6\x96\xb0\xe4\xb8\x8b\xe8\xbd\xbd\xe5\xae\x89\xe8\xa3\x85\xe7"
         "\xa8\x8b\xe5\xba\x8f\xe3\x80\x82"},
        {0xFFFFFFFFu, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(c.bytes), GetErrorText(c.code)) << c.code;
}

// ---------------------------------------------------------------------------
// Directory levels

TEST(CreateDirectories, CreatesEachLevelAndStopsBeforeTheLastName) {
    qmtest::TempDir dir(L"qmdirs");
    std::wstring base = dir.Path() + L"\\";
    CFileManage* fm = CFileManage::GetInstance();

    fm->CreateDirectories(base, L"a/b/c.txt");
    EXPECT_TRUE(IsDir(base + L"a"));
    EXPECT_TRUE(IsDir(base + L"a\\b"));
    EXPECT_FALSE(IsDir(base + L"a\\b\\c.txt") || IsFile(base + L"a\\b\\c.txt"));

    // 'X\a\' is made; 'X\a\b?' and 'X\a\b?c/' are refused by the file
    // system; 'd' is never asked for.
    fm->CreateDirectories(base, L"q\\b?c/d");
    EXPECT_TRUE(IsDir(base + L"q"));
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((base + L"q\\*").c_str(), &found);
    int children = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
                ++children;
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    EXPECT_EQ(0, children);

    // An absolute path with an empty base, as the main window passes it.
    fm->CreateDirectories(L"", base + L"abs\\deeper\\");
    EXPECT_TRUE(IsDir(base + L"abs\\deeper"));
}

// ---------------------------------------------------------------------------
// Unpacking (the archive lies inside a larger file, as in the executable)

class Unzip : public ::testing::Test {
protected:
    void SetUp() override {
        fm = CFileManage::GetInstance();
        fm->BeginJob(qmtest::ProgressTo(probe.Hwnd()));
        ASSERT_FALSE(fm->Run().unpackDir.empty());
        qmtest::RemoveTree(fm->Run().unpackDir);
        CreateDirectoryW(fm->Run().unpackDir.c_str(), nullptr);
    }
    void TearDown() override {
        fm->BeginJob(TInstallJob());
        fm->Payload().Close();
        qmtest::RemoveTree(fm->Run().unpackDir);
        CreateDirectoryW(fm->Run().unpackDir.c_str(), nullptr);
        DeleteFileW((fm->tempDir + L"evil.txt").c_str());
    }
    InstallResult Unpack(const std::string& archive) {
        probe.progress.clear();
        probe.steps.clear();
        // Bytes before and after the payload, as the executable has its image
        // before it and may have a signature after it: the reader must keep
        // to the range. The payload's handle lets nobody write the file.
        const std::string before(4099, 'B'), after(513, 'A');
        fm->Payload().Close();
        EXPECT_TRUE(qmtest::WriteFileBytes(container, before + archive + after));
        fm->Payload().OpenRange(container, before.size(), archive.size());
        InstallResult r = fm->UnzipPayload();
        probe.Drain();
        return r;
    }
    std::wstring At(const std::string& name) { return fm->Run().unpackDir + W(name); }

    CFileManage* fm = nullptr;
    InstallProbe probe;
    qmtest::TempDir work{L"qmpayload"};
    std::wstring container = work / L"container.bin";
};

TEST_F(Unzip, EachEntryPostsItsShareOfEightyFromTen) {
    ASSERT_EQ(INSTALL_OK,
              Unpack(qmtest::BuildPayload({{"a", "1"}, {"b", "2"}, {"c/", ""}, {"c/d", "3"}})));
    EXPECT_EQ((std::vector<int>{10, 30, 50, 70}), probe.progress);
    EXPECT_EQ(70, fm->Run().progress);
    EXPECT_EQ("3", ReadFile(At("c/d")));
}

TEST_F(Unzip, TheIndexIsDecodedOnceForEveryQuestionAndEveryUnpack) {
    const std::string archive = qmtest::BuildPayload({{"a/", ""}, {"a/b", "12"}, {"c", "345"}});
    const long before = CInstallPayload::IndexDecodes();
    ASSERT_EQ(INSTALL_OK, Unpack(archive));
    EXPECT_EQ(5u, fm->Payload().UnpackedBytes());
    EXPECT_EQ(0u, fm->Payload().PathExcess(L"C:\\x\\"));
    EXPECT_EQ(3u, fm->Payload().Entries().size());
    // A second unpack of the same payload starts its data again.
    qmtest::RemoveTree(fm->Run().unpackDir);
    ASSERT_EQ(INSTALL_OK, fm->UnzipPayload());
    EXPECT_EQ("345", ReadFile(At("c")));
    EXPECT_EQ(before + 1, CInstallPayload::IndexDecodes());
}

TEST_F(Unzip, EmptyArchiveSucceedsWithoutProgress) {
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildPayload({})));
    EXPECT_TRUE(probe.progress.empty());
    EXPECT_EQ(0u, fm->Run().totalBytes);
}

TEST_F(Unzip, DirectoryEntriesMakeFoldersOnlyAndStillPostProgress) {
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildPayload({{"dir/", ""}, {"dir\\sub\\", ""}})));
    EXPECT_TRUE(IsDir(At("dir")));
    EXPECT_TRUE(IsDir(At("dir\\sub")));
    EXPECT_EQ(0u, fm->Run().totalBytes);
    EXPECT_EQ((std::vector<int>{10, 50}), probe.progress);
}

TEST_F(Unzip, ZeroAndOneByteFilesKeepTheirSize) {
    ASSERT_EQ(INSTALL_OK,
              Unpack(qmtest::BuildPayload(
                  {{"zero.bin", ""}, {"one.bin", "x"}, {"one-stored.bin", "y", false}})));
    EXPECT_TRUE(IsFile(At("zero.bin")));
    EXPECT_EQ("", ReadFile(At("zero.bin")));
    EXPECT_EQ("x", ReadFile(At("one.bin")));
    EXPECT_EQ("y", ReadFile(At("one-stored.bin")));
}

// Data is handed between threads in buffers of 256 KiB: sizes on both sides
// of a buffer's edge, stored and deflated, each byte in its place.
TEST_F(Unzip, EntriesAcrossManyBuffersArriveWhole) {
    const size_t buffer = 256 * 1024;
    std::vector<qmtest::ZipEntry> entries;
    int seed = 1;
    for (size_t size : {buffer - 1, buffer, buffer + 1, size_t{0}, 5 * buffer + 17}) {
        for (bool deflate : {true, false}) {
            entries.push_back({"d/" + std::to_string(size) + (deflate ? ".z" : ".s"),
                               qmtest::NoiseBytes(size, seed++), deflate});
        }
    }
    // Named twice: the later entry replaces the earlier file.
    entries.push_back({"d/0.z", "second", true});
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildPayload(entries)));
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        if (entries[i].name == "d/0.z")
            continue;
        EXPECT_EQ(entries[i].data, ReadFile(At(entries[i].name))) << entries[i].name;
    }
    EXPECT_EQ("second", ReadFile(At("d/0.z")));
    EXPECT_EQ(entries.size(), probe.progress.size());
}

// After a damaged entry nothing more is unpacked, though the entries that
// follow were read while the damaged one was still being checked.
TEST_F(Unzip, NothingFollowsADamagedEntry) {
    const std::string big = qmtest::NoiseBytes(600000, 9);
    ASSERT_EQ(INSTALL_ERR_UNZIP, Unpack(qmtest::BuildPayload({{"good.txt", "g"},
                                                              {"bad.bin", big, true, true},
                                                              {"after.txt", "a"},
                                                              {"later/", ""}})));
    EXPECT_TRUE(IsFile(At("good.txt")));
    EXPECT_FALSE(IsFile(At("bad.bin")));
    EXPECT_FALSE(IsFile(At("after.txt")));
    EXPECT_FALSE(IsDir(At("later")));
    EXPECT_EQ(std::vector<int>{10}, probe.progress);
}

TEST_F(Unzip, TotalBytesIsTheWrittenSizeInWholeKibibytes) {
    struct Case {
        size_t first, second;
        uint32_t kib;
    } cases[] = {{1048000, 576, 1024}, {1048000, 575, 1023}, {1023, 0, 0}};
    for (const Case& c : cases) {
        ASSERT_EQ(INSTALL_OK,
                  Unpack(qmtest::BuildPayload({{"a.bin", qmtest::NoiseBytes(c.first, 7)},
                                               {"b.bin", std::string(c.second, 'b')}})));
        EXPECT_EQ(c.kib, fm->Run().totalBytes) << c.first + c.second;
    }
}

TEST_F(Unzip, NamesThatWouldLeaveTheUnpackDirectoryFailAndWriteNothing) {
    const char* names[] = {
        "../evil.txt", "..\\evil.txt", "a/../../evil.txt", "a\\..\\..\\evil.txt",
        "/evil.txt",   "\\evil.txt",   "C:evil.txt",       "C:\\evil.txt",
        "C:/evil.txt", ".. /evil.txt", ".../evil.txt",     "sub/nul.txt",
        "con",         "COM1.log",     "a.txt:stream",     "sub/../evil.txt",
    };
    for (const char* name : names) {
        SetUp();
        InstallResult r = Unpack(qmtest::BuildPayload(
            {{"before.txt", "b"}, {name, "evil"}, {"after.txt", "a"}, {"sub/", ""}}));
        EXPECT_EQ(INSTALL_ERR_UNZIP, r) << name;
        EXPECT_TRUE(IsFile(At("before.txt"))) << name;
        EXPECT_FALSE(IsFile(At("after.txt"))) << name;
        EXPECT_FALSE(IsFile(fm->tempDir + L"evil.txt")) << name;
        EXPECT_FALSE(IsFile(L"C:\\evil.txt")) << name;
        EXPECT_FALSE(IsDir(At("a")) || IsDir(At("sub"))) << name;
        EXPECT_EQ(std::vector<int>{10}, probe.progress) << name;
    }
}

TEST_F(Unzip, NamesWithDotsThatStayInsideAreUnpacked) {
    ASSERT_EQ(
        INSTALL_OK,
        Unpack(qmtest::BuildPayload(
            {{"a..b.txt", "1"}, {"..config", "2"}, {"dir.d/.x", "3"}, {"console.txt", "4"}})));
    EXPECT_EQ("1", ReadFile(At("a..b.txt")));
    EXPECT_EQ("2", ReadFile(At("..config")));
    EXPECT_EQ("3", ReadFile(At("dir.d/.x")));
    EXPECT_EQ("4", ReadFile(At("console.txt")));
}

TEST_F(Unzip, NamesThatDoNotFitThePathBufferAreRefusedNotCut) {
    // The longest path that fits: 259 bytes and the terminator.
    const size_t room = MAX_PATH - 1 - fm->Run().unpackDir.size();
    ASSERT_LT(room, 256u);
    std::string fits(room, 'f');
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildPayload({{fits, "ok"}})));
    EXPECT_EQ("ok", ReadFile(At(fits)));

    std::string tooLong(room + 1, 'g');
    std::string nested = std::string(100, 'h') + "/" + std::string(199, 'i'); // 300 bytes
    for (const std::string& name : {tooLong, nested}) {
        SetUp();
        EXPECT_EQ(INSTALL_ERR_UNZIP, Unpack(qmtest::BuildPayload({{name, "x"}}))) << name.size();
        EXPECT_FALSE(IsFile(At(name.substr(0, room))));
        EXPECT_FALSE(IsDir(At(std::string(100, 'h'))));
        EXPECT_TRUE(probe.progress.empty());
    }
}

TEST_F(Unzip, DamagedEntriesFailAndLeaveNoFileBehind) {
    const std::string data = std::string(300000, 'z') + qmtest::NoiseBytes(70000, 3);
    struct Case {
        const char* what;
        ZipEntry entry;
    } cases[] = {
        {"wrong CRC", {"bad.bin", data, true, true}},
        {"wrong CRC, stored", {"bad.bin", "short", false, true}},
        {"broken deflate data", {"bad.bin", data, true, false, -1, true}},
        {"data ends before the declared size", {"bad.bin", data, true, false, 400000}},
        {"data goes on past the declared size", {"bad.bin", data, true, false, 1000}},
        {"a size no installer should allocate", {"bad.bin", data, true, false, 0xFFFFFFF0}},
        {"stored, declared larger", {"bad.bin", "abc", false, false, 0x7FFFFFFF}},
    };
    for (const Case& c : cases) {
        SetUp();
        EXPECT_EQ(INSTALL_ERR_UNZIP, Unpack(qmtest::BuildPayload({{"good.txt", "g"}, c.entry})))
            << c.what;
        EXPECT_TRUE(IsFile(At("good.txt"))) << c.what;
        EXPECT_FALSE(IsFile(At("bad.bin"))) << c.what;
        EXPECT_EQ(std::vector<int>{10}, probe.progress) << c.what;
    }
}

TEST_F(Unzip, ArchiveThatCannotBeReadFails) {
    std::string twoEntries = qmtest::BuildPayload({{"a", "1"}, {"b", "2"}}, /*declaredCount=*/3);
    std::string oneEntry = qmtest::BuildPayload({{"a", "1"}});
    // The header's sizes no longer add up to the payload's.
    std::string longer = oneEntry + "trailing bytes";
    std::string cut = oneEntry.substr(0, oneEntry.size() - 2);
    const std::string cases[] = {"", "not a payload at all", twoEntries, longer, cut};
    for (const std::string& archive : cases)
        EXPECT_EQ(INSTALL_ERR_UNZIP, Unpack(archive)) << archive.size();
    // A range longer than its file, and no file at all.
    ASSERT_EQ(INSTALL_OK, Unpack(oneEntry));
    fm->Payload().Close();
    EXPECT_FALSE(fm->Payload().OpenRange(container, 4099, oneEntry.size() + 1000));
    EXPECT_EQ(INSTALL_ERR_UNZIP, fm->UnzipPayload());
    DeleteFileW(container.c_str());
    EXPECT_FALSE(fm->Payload().OpenRange(container, 4099, oneEntry.size()));
    EXPECT_EQ(INSTALL_ERR_UNZIP, fm->UnzipPayload());
}

TEST_F(Unzip, FailedWriteOfAnUnpackedFileFails) {
    // Every write to /dev/full fails as on a full disk: a large entry fails in
    // a write, a one-byte entry only when the file is closed.
    for (size_t size : {size_t{1}, size_t{600000}}) {
        SetUp();
        if (!qmtest::MakeUnixSymlink(At("full.bin"), "/dev/full"))
            GTEST_SKIP() << "needs Wine's Unix side to provoke a failing write";
        EXPECT_EQ(INSTALL_ERR_UNZIP,
                  Unpack(qmtest::BuildPayload({{"full.bin", std::string(size, 'f')}})))
            << size;
        EXPECT_TRUE(probe.progress.empty());
        qmtest::RemoveUnixSymlink(At("full.bin"));
    }
}

// ---------------------------------------------------------------------------
// Moving into place

class Move : public ::testing::Test {
protected:
    void SetUp() override {
        fm = CFileManage::GetInstance();
        fm->BeginJob(qmtest::ProgressTo(probe.Hwnd()));
        src = srcDir.Path() + L"\\";
        dst = dstDir.Path() + L"\\";
        log = qmtest::Narrow(logDir / L"move.log");
        CLog::Instance().SetLogPath(log);
    }
    void TearDown() override {
        CLog::Instance().SetLogPath("");
        fm->BeginJob(TInstallJob());
    }
    // The log's lines without their line ends.
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        std::string content = qmtest::ReadFileBytes(W(log));
        size_t pos = 0;
        while (pos < content.size()) {
            size_t end = content.find('\n', pos);
            if (end == std::string::npos)
                end = content.size();
            std::string line = content.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            pos = end + 1;
        }
        return lines;
    }

    CFileManage* fm = nullptr;
    InstallProbe probe;
    qmtest::TempDir srcDir{L"qmsrc"}, dstDir{L"qmdst"}, logDir{L"qmlog"};
    std::wstring src, dst;
    std::string log;
};

TEST_F(Move, ReplacesFilesMergesFoldersAndEmptiesTheSource) {
    CreateDirectoryW((src + L"sub").c_str(), nullptr);
    CreateDirectoryW((src + L"new").c_str(), nullptr);
    CreateDirectoryW((dst + L"sub").c_str(), nullptr);
    WriteFile(src + L"a.txt", "new a");
    WriteFile(src + L"sub\\b.txt", "new b");
    WriteFile(src + L"new\\c.txt", "c");
    WriteFile(dst + L"a.txt", "old a");
    WriteFile(dst + L"sub\\b.txt", "old b");
    WriteFile(dst + L"sub\\keep.txt", "keep");
    // An earlier install may have left a read-only file.
    SetFileAttributesW((dst + L"sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(INSTALL_OK, fm->MoveFiles(dst, src));
    probe.Drain();
    EXPECT_EQ("new a", ReadFile(dst + L"a.txt"));
    EXPECT_EQ("new b", ReadFile(dst + L"sub\\b.txt"));
    EXPECT_EQ("keep", ReadFile(dst + L"sub\\keep.txt"));
    EXPECT_EQ("c", ReadFile(dst + L"new\\c.txt"));
    EXPECT_FALSE(IsFile(src + L"a.txt") || IsDir(src + L"sub") || IsDir(src + L"new"));
    EXPECT_TRUE(IsDir(src));
    EXPECT_EQ(std::vector<int>{95}, probe.progress);

    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(1u, lines.size());
    std::regex one(R"(^\[[^\]]+\]\[FileManage\]\[232\] +\tcopy szFrom=(.*), szTo=(.*), ret=0$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, one)) << lines[0];
    EXPECT_EQ(ToNarrow(src + L"*"), m.str(1));
    EXPECT_EQ(ToNarrow(dst), m.str(2));
}

TEST_F(Move, MissingInstallDirectoryLevelsAreCreated) {
    WriteFile(src + L"a.txt", "a");
    std::wstring deep = dst + L"x\\y\\z"; // no trailing separator: one is added
    EXPECT_EQ(INSTALL_OK, fm->MoveFiles(deep, src));
    EXPECT_EQ("a", ReadFile(deep + L"\\a.txt"));
}

TEST_F(Move, HeldTargetFileIsTriedTenTimesThenReported) {
    WriteFile(src + L"held.txt", "new");
    WriteFile(src + L"other.txt", "other");
    WriteFile(dst + L"held.txt", "old");
    // Held open without FILE_SHARE_DELETE, so it cannot be replaced.
    HANDLE held =
        CreateFileW((dst + L"held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    InstallResult r = fm->MoveFiles(dst, src);
    CloseHandle(held);
    probe.Drain();

    EXPECT_EQ(INSTALL_ERR_COPY, r);
    // The reason is the last attempt's, as the move returned it.
    EXPECT_EQ(dst, fm->Run().failure.path);
    EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), fm->Run().failure.error);
    EXPECT_EQ(std::vector<int>{95}, probe.progress);
    EXPECT_EQ("old", ReadFile(dst + L"held.txt"));
    EXPECT_EQ("other", ReadFile(dst + L"other.txt")); // the rest went on
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(10u, lines.size());
    std::regex attempt(
        R"(^\[[^\]]+\]\[FileManage\]\[(\d+)\] +\tcopy szFrom=.*, szTo=.*, ret=(\d+)$)");
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, attempt)) << lines[i];
        EXPECT_EQ(i == 0 ? "232" : "238", m.str(1)) << i;
        EXPECT_NE("0", m.str(2)) << i;
    }
}

TEST_F(Move, InstallDirectoryThatDoesNotFitIsRefused) {
    WriteFile(src + L"a.txt", "a");
    std::wstring longDir = L"C:\\" + std::wstring(300, L'l') + L"\\";
    EXPECT_EQ(INSTALL_ERR_COPY, fm->MoveFiles(longDir, src));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), fm->Run().failure.error);
    probe.Drain();
    EXPECT_EQ(std::vector<int>{95}, probe.progress);
    EXPECT_TRUE(IsFile(src + L"a.txt"));
    EXPECT_TRUE(LogLines().empty());
}

// ---------------------------------------------------------------------------
// Why a run failed

TEST(InstallFailure, TextNamesTheStepThePathAndTheSystemsWords) {
    TInstallFailure failure;
    EXPECT_EQ(L"", failure.Text());
    failure.step = L"move the files into place";
    failure.path = L"C:\\Apps\\";
    EXPECT_EQ(L"move the files into place: C:\\Apps\\", failure.Text());
    failure.error = ERROR_SHARING_VIOLATION;
    EXPECT_EQ(L"move the files into place: C:\\Apps\\: " + SystemErrorText(ERROR_SHARING_VIOLATION),
              failure.Text());
}

// What a person reads after a run that did not complete: the step's text,
// then why (the file or folder as typed, without the long-path prefix, and
// the system's words, or the error's number where the system has none), then
// what became of the changes. A stop names no failure.
TEST(InstallFailure, TheMessageNamesTheStepThenWhyThenWhatWasPutBack) {
    const std::wstring copy = L"拷贝文件失败!";
    const std::wstring undone = L"所做的更改已全部撤销, 您电脑上的内容没有任何改变。";
    const std::wstring partly = L"部分更改未能撤销, 下次运行安装程序时将继续恢复原状。";
    const DWORD unknown = 0xE0001234;
    struct Case {
        const char* what;
        InstallResult result;
        std::wstring path;
        DWORD error;
        bool rolledBack;
        bool complete;
        std::wstring message;
    } cases[] = {
        {"a held file, all put back", INSTALL_ERR_COPY, L"\\\\?\\C:\\Apps\\Q\\uninst.exe",
         ERROR_SHARING_VIOLATION, true, true,
         copy + L"\nC:\\Apps\\Q\\uninst.exe: " + SystemErrorText(ERROR_SHARING_VIOLATION) + L"\n" +
             undone},
        {"an error without the system's words, partly put back", INSTALL_ERR_COPY, L"", unknown,
         true, false, copy + L"\n错误代码 " + std::to_wstring(unknown) + L"\n" + partly},
        {"a place without an error", INSTALL_ERR_REGISTRY, L"HKEY_LOCAL_MACHINE\\X", ERROR_SUCCESS,
         true, true, L"保存信息到注册表失败!\nHKEY_LOCAL_MACHINE\\X\n" + undone},
        {"nothing known, nothing to put back", INSTALL_ERR_DAMAGED, L"", ERROR_SUCCESS, false, true,
         L"安装文件已损坏, 请重新下载安装程序。"},
        {"a stop", INSTALL_CANCELLED, L"C:\\Apps\\Q\\a.txt", ERROR_ACCESS_DENIED, true, true,
         L"安装已停止。\n" + undone},
    };
    for (const Case& c : cases) {
        TInstallOutcome outcome;
        outcome.result = c.result;
        outcome.rolledBack = c.rolledBack;
        outcome.rollbackComplete = c.complete;
        outcome.failure.step = L"some step";
        outcome.failure.path = c.path;
        outcome.failure.error = c.error;
        EXPECT_EQ(c.message, OutcomeMessage(outcome)) << c.what;
    }
}

TEST(InstallFailure, TheWorkerReportsTheStepAndTheFileWhereTheRunFailed) {
    CFileManage* fm = CFileManage::GetInstance();
    // This program carries no payload of its own.
    fm->Payload().Close();
    TInstallJob job;
    job.installDir = L"C:\\nowhere\\";
    CRunReport report = job.report;
    std::thread worker(InstallWorkerThread, job);
    worker.join();
    const TInstallOutcome outcome = report.Load();
    EXPECT_EQ(INSTALL_ERR_RESOURCE, outcome.result);
    EXPECT_EQ(L"find the payload", outcome.failure.step);
    EXPECT_EQ(ModulePath(), outcome.failure.path);
}

// ---------------------------------------------------------------------------
// Whole runs: a copy of the runner with the test's archive as its payload

class InstallRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        qmtest::DeleteProductRegistry();
        CreateDirectoryW(tempDir.c_str(), nullptr);
    }
    void TearDown() override { qmtest::DeleteProductRegistry(); }
    std::wstring Installer(const std::string* payload) {
        return qmtest::MakeInstaller(work / L"setup.exe", payload);
    }
    qmtest::TempDir work{L"qmrun"};
    std::wstring tempDir = work / L"tmp";
    std::wstring installDir = work / L"inst\\";
};

TEST_F(InstallRunTest, FourEntriesPostTheWholeSequenceAndInstallAgainOverThemselves) {
    // Left by an earlier run: the next start of the installer clears it.
    CreateDirectoryW((tempDir + L"\\qmsTmp").c_str(), nullptr);
    qmtest::WriteFileBytes(tempDir + L"\\qmsTmp\\stale.txt", "stale");

    std::string payload = qmtest::BuildPayload({{"Quillmossdex.exe", "client 1"},
                                                {"res/", ""},
                                                {"res/one.bin", "1"},
                                                {"empty.txt", ""},
                                                {"uninst.exe", "uninstaller 1"}});
    std::wstring exe = Installer(&payload);
    ASSERT_FALSE(exe.empty());
    qmtest::InstallRun run = qmtest::RunInstaller(exe, installDir, tempDir);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ((std::vector<int>{10, 10, 26, 42, 58, 74, 95, 99, 100}), run.progress);
    // What the window says beside the bar: files until the move is done,
    // then the registration.
    const int files = INSTALL_STEP_WRITE_FILES, reg = INSTALL_STEP_REGISTER;
    EXPECT_EQ((std::vector<int>{files, files, files, files, files, files, reg, reg, reg}),
              run.steps);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    std::wstring inst = installDir;
    EXPECT_EQ("client 1", ReadFile(inst + L"Quillmossdex.exe"));
    EXPECT_EQ("1", ReadFile(inst + L"res\\one.bin"));
    EXPECT_TRUE(IsFile(inst + L"empty.txt"));
    EXPECT_FALSE(IsFile(inst + L"stale.txt"));
    EXPECT_EQ(qmtest::Narrow(inst) + '\0', qmtest::ReadRecordValue("InstallLocation"));
    EXPECT_EQ("1", qmtest::ReadInstallWay());
    // The archive is read from the executable; no copy of it is staged.
    EXPECT_EQ(std::vector<std::wstring>{}, ArchivesIn(tempDir));

    // Over the first install: the record names an existing client.
    payload = qmtest::BuildPayload(
        {{"Quillmossdex.exe", "client 2"}, {"res/one.bin", "2"}, {"uninst.exe", "uninstaller 2"}});
    ASSERT_FALSE(Installer(&payload).empty());
    run = qmtest::RunInstaller(exe, installDir, tempDir);
    EXPECT_EQ((std::vector<int>{10, 10, 36, 63, 95, 99, 100}), run.progress);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    EXPECT_EQ("client 2", ReadFile(inst + L"Quillmossdex.exe"));
    EXPECT_EQ("2", ReadFile(inst + L"res\\one.bin"));
    EXPECT_EQ("2", qmtest::ReadInstallWay());
}

TEST_F(InstallRunTest, BuiltPayloadFollowsTheImageWithItsDigestInsideAndInstalls) {
    // The payload the build packed, as QuillmossdexSetup.exe carries it: its
    // digest (checked here by the system's own SHA-256) as resource
    // QMPAYLOAD / 101 in Chinese, the bytes after the image at a page
    // boundary and nothing after them.
    std::wstring build = qmtest::ProgramDir() + L"\\..\\..";
    std::string packed = qmtest::ReadFileBytes(build + L"\\payload\\payload.qmp");
    ASSERT_FALSE(packed.empty());
    EXPECT_EQ(qmtest::PayloadDigestRecord(packed),
              qmtest::ReadFileBytes(build + L"\\payload\\payload.digest"));
    HMODULE setup = LoadLibraryExW((build + L"\\QuillmossdexSetup.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, setup);
    HRSRC res = FindResourceExW(setup, L"QMPAYLOAD", MAKEINTRESOURCEW(101),
                                MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    ASSERT_NE(nullptr, res);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(setup, res)));
    EXPECT_EQ(qmtest::PayloadDigestRecord(packed), std::string(bytes, SizeofResource(setup, res)));
    FreeLibrary(setup);
    const std::string file = qmtest::ReadFileBytes(build + L"\\QuillmossdexSetup.exe");
    ASSERT_GT(file.size(), packed.size());
    const size_t start = file.size() - packed.size();
    EXPECT_EQ(0u, start % 4096);
    EXPECT_EQ(packed, file.substr(start));
    // The stub, everything but the payload, stays small with its decoder: a
    // ceiling that stops it growing unnoticed (its figure is in make bench).
    // The shipped 32-bit stub is held to the ceiling of its compressor by
    // the build check (tests/tools/stub_size_test.sh); here the larger of
    // the two, and the 64-bit build some machines test with carries wider
    // code.
#if defined(_WIN64)
    EXPECT_LE(start, 576u * 1024u);
#else
    EXPECT_LE(start, 475136u);
#endif

    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&packed), installDir, tempDir);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    EXPECT_TRUE(IsFile(installDir + L"Quillmossdex.exe"));
    EXPECT_TRUE(IsFile(installDir + L"uninst.exe"));
}

TEST_F(InstallRunTest, SmallestPayloadInstallsIntoADirectoryGivenWithoutSeparator) {
    std::string payload = qmtest::BuildPayload({{"Quillmossdex.exe", "c"}, {"uninst.exe", "u"}});
    // Given without its trailing separator, the directory is stored with one.
    std::wstring bare = installDir.substr(0, installDir.size() - 1);
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&payload), bare, tempDir);
    EXPECT_EQ((std::vector<int>{10, 10, 50, 95, 99, 100}), run.progress);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    EXPECT_EQ("\"" + qmtest::Narrow(installDir) + "uninst.exe\"" + '\0',
              qmtest::ReadRecordValue("UninstallString"));
}

// A payload that is empty, lacks the client or the uninstaller, or is not the
// one the program's digest names installs nothing: no progress past the
// start, no folder, no record.
TEST_F(InstallRunTest, PayloadThatIsIncompleteOrNotTheProgramsOwnChangesNothing) {
    const std::string good = qmtest::BuildPayload({{"Quillmossdex.exe", "c"}, {"uninst.exe", "u"}});
    const std::string other = qmtest::BuildPayload(
        {{"Quillmossdex.exe", "another c"}, {"uninst.exe", "u"}, {"evil.txt", "planted"}});
    struct Case {
        const char* what;
        std::string payload;
        const std::string* digestOf;
    } cases[] = {
        {"empty", qmtest::BuildPayload({}), nullptr},
        {"no uninstaller", qmtest::BuildPayload({{"Quillmossdex.exe", "c"}}), nullptr},
        {"no client", qmtest::BuildPayload({{"uninst.exe", "u"}, {"a.txt", "a"}}), nullptr},
        {"programs in a folder",
         qmtest::BuildPayload(
             {{"bin/", ""}, {"bin/Quillmossdex.exe", "c"}, {"bin/uninst.exe", "u"}}),
         nullptr},
        {"another payload than the digest names", other, &good},
        {"one byte changed", good, nullptr},
    };
    cases[5].payload[cases[5].payload.size() - 2] ^= 0x20;
    cases[5].digestOf = &good;
    for (const Case& c : cases) {
        const std::wstring exe =
            qmtest::MakePayloadCopy(qmtest::ProgramDir() + L"\\qm_install_runner.exe",
                                    work / L"setup.exe", &c.payload, c.digestOf);
        ASSERT_FALSE(exe.empty()) << c.what;
        qmtest::InstallRun run = qmtest::RunInstaller(exe, installDir, tempDir);
        ASSERT_TRUE(run.ended) << c.what;
        EXPECT_TRUE(run.progress.empty()) << c.what;
        EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_DAMAGED}, run.results) << c.what;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(installDir.c_str())) << c.what;
        EXPECT_EQ("", qmtest::ReadRecordValue("InstallLocation")) << c.what;
    }
}

TEST_F(InstallRunTest, MissingPayloadResourceGivesCodeTwoAndNoProgress) {
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(nullptr), installDir, tempDir);
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.progress.empty());
    EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_RESOURCE}, run.results);
    EXPECT_EQ("", qmtest::ReadInstallWay());
}

TEST_F(InstallRunTest, DamagedPayloadGivesCodeOneAfterThePayloadIsFound) {
    std::string payload = qmtest::BuildPayload(
        {{"a.txt", "a", true, true}, {"Quillmossdex.exe", "c"}, {"uninst.exe", "u"}});
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&payload), installDir, tempDir);
    // Then the putting back is named, at the same percentage.
    EXPECT_EQ((std::vector<int>{10, 10}), run.progress);
    EXPECT_EQ((std::vector<int>{INSTALL_STEP_WRITE_FILES, INSTALL_STEP_ROLL_BACK}), run.steps);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_UNZIP}, run.results);
}

TEST_F(InstallRunTest, TemporaryDirectoryThatDoesNotFitIsNeverUsed) {
    std::string payload = qmtest::BuildPayload(
        {{"Quillmossdex.exe", "client"}, {"uninst.exe", "uninstaller"}, {"a.txt", "a"}});
    std::wstring exe = Installer(&payload);
    // A folder named like the unpack directory where the program starts: a
    // temporary directory that does not fit must not make the installer
    // delete something relative to it.
    qmtest::TempDir cwd(L"qmcwd");
    CreateDirectoryW((cwd / L"qmsTmp").c_str(), nullptr);
    qmtest::WriteFileBytes(cwd / L"qmsTmp\\keep.txt", "keep");

    // 255 characters: the directory itself fits, the unpack directory in it does not.
    std::wstring nearlyFull = L"C:\\" + std::wstring(251, L't') + L"\\";
    std::wstring overLong = L"C:\\" + std::wstring(300, L't') + L"\\";
    for (const std::wstring& temp : {nearlyFull, overLong}) {
        qmtest::InstallRun run = qmtest::RunInstaller(exe, installDir, temp, L"", cwd.Path());
        ASSERT_TRUE(run.ended);
        // An elevated run stages in the system's temporary folder (the user's
        // is the user's to plant things in), so the user's does not matter;
        // without elevation it is where staging goes, and one that does not
        // fit refuses the run before anything is made.
        if (IsProcessElevated()) {
            EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results) << temp.size();
        } else {
            EXPECT_TRUE(run.progress.empty()) << temp.size();
            EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_RESOURCE}, run.results) << temp.size();
        }
        EXPECT_TRUE(qmtest::FileExists(cwd / L"qmsTmp\\keep.txt"));
    }
}

TEST_F(InstallRunTest, NoStagingArchiveIsWrittenSoAFullDiskThereDoesNotMatter) {
    // Any write to a staging archive at the old name would fail as on a full
    // disk; the payload is read from the executable instead.
    if (!qmtest::MakeUnixSymlink(tempDir + L"\\qmstmp.zip", "/dev/full"))
        GTEST_SKIP() << "needs Wine's Unix side to provoke a failing write";
    const std::string data = qmtest::NoiseBytes(100000, 5);
    std::string payload =
        qmtest::BuildPayload({{"a.bin", data}, {"Quillmossdex.exe", "c"}, {"uninst.exe", "u"}});
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&payload), installDir, tempDir);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results)
        << "ended " << run.ended << ", exit code " << run.exitCode << ", " << run.progress.size()
        << " progress messages";
    EXPECT_EQ(data, ReadFile(installDir + L"a.bin"));
    // The planted link is the only archive there: nothing was staged beside it.
    EXPECT_EQ(std::vector<std::wstring>{L"qmstmp.zip"}, ArchivesIn(tempDir));
    qmtest::RemoveUnixSymlink(tempDir + L"\\qmstmp.zip");
}

} // namespace

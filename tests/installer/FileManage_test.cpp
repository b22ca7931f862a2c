#include "installer/FileManage.h"
#include "installer/Log.h"
#include "installer/TextConvert.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/support/TestZip.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

namespace {

using qmtest::InstallProbe;
using qmtest::ZipEntry;

std::wstring W(const std::string& s) {
    return ToWide(s);
}

bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool IsFile(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
std::string ReadFile(const std::string& path) {
    return qmtest::ReadFileBytes(W(path));
}
void WriteFile(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(qmtest::WriteFileBytes(W(path), bytes)) << path;
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

TEST(InstallResultText, EachCodeHasItsTextInCodePage936) {
    struct Case {
        unsigned code;
        const char* bytes;
    } cases[] = {
        {INSTALL_OK, ""},
        {INSTALL_ERR_UNZIP, "\xbd\xe2\xd1\xb9\xce\xc4\xbc\xfe\xca\xa7\xb0\xdc!"},
        {INSTALL_ERR_RESOURCE, "\xca\xcd\xb7\xc5\xd7\xca\xd4\xb4\xce\xc4\xbc\xfe\xca\xa7\xb0\xdc!"},
        {INSTALL_ERR_COPY, "\xbf\xbd\xb1\xb4\xce\xc4\xbc\xfe\xca\xa7\xb0\xdc!"},
        {INSTALL_ERR_SHORTCUT, "\xb4\xb4\xbd\xa8\xbf\xec\xbd\xdd\xb7\xbd\xca\xbd\xca\xa7\xb0\xdc!"},
        {INSTALL_ERR_REGISTRY,
         "\xb1\xa3\xb4\xe6\xd0\xc5\xcf\xa2\xb5\xbd\xd7\xa2\xb2\xe1\xb1\xed\xca\xa7\xb0\xdc!"},
        {6, ""},
        {0xFFFFFFFFu, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(c.bytes), GetErrorText(c.code)) << c.code;
}

// ---------------------------------------------------------------------------
// Directory levels

TEST(CreateDirectories, LevelsFollowTheSeparatorPattern) {
    struct Case {
        const char* base;
        const char* relative;
        std::vector<std::string> levels;
    } cases[] = {
        {"X\\", "a/b/c.txt", {"X\\a/", "X\\a/b/"}},
        {"X\\", "a\\b?c/d", {"X\\a\\", "X\\a\\b?", "X\\a\\b?c/"}},
        {"X\\", "//a//b/", {"X\\a/", "X\\a/b/"}},
        {"X\\", "?\?/x", {"X\\?\?"}},
        {"X\\", "file.txt", {}},
        {"X\\", "", {}},
        {"",
         "C:\\Program Files\\Dir\\",
         {"C:\\", "C:\\Program Files\\", "C:\\Program Files\\Dir\\"}},
        // Without a base the leading separators stay, so a network path or a
        // root-relative path never becomes a folder below the current one.
        {"",
         "\\\\server\\share\\d\\",
         {"\\\\server\\", "\\\\server\\share\\", "\\\\server\\share\\d\\"}},
        {"", "\\top\\", {"\\top\\"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.levels, CFileManage::DirectoryLevels(c.base, c.relative)) << c.relative;
}

TEST(CreateDirectories, LevelsMatchTheRegularExpressionForAnyBase) {
    // The levels are the successive leftmost matches of this expression.
    const std::regex level(R"([^\\/]+?[/?\\])");
    const char* paths[] = {"a/b/c", "\\\\x\\\\y\\z", "a?b?c", "?/?", "a b/c d\\e", "//", "x/y/"};
    for (const char* p : paths) {
        std::vector<std::string> expected;
        std::string base = "B\\";
        std::string rest = p;
        std::smatch m;
        while (std::regex_search(rest, m, level)) {
            base += m.str();
            expected.push_back(base);
            rest = m.suffix();
        }
        EXPECT_EQ(expected, CFileManage::DirectoryLevels("B\\", p)) << p;
    }
}

TEST(CreateDirectories, CreatesEachLevelAndStopsBeforeTheLastName) {
    qmtest::TempDir dir(L"qmdirs");
    std::string base = qmtest::Narrow(dir.Path()) + "\\";
    CFileManage* fm = CFileManage::GetInstance();

    fm->CreateDirectories(base, "a/b/c.txt");
    EXPECT_TRUE(IsDir(base + "a"));
    EXPECT_TRUE(IsDir(base + "a\\b"));
    EXPECT_FALSE(IsDir(base + "a\\b\\c.txt") || IsFile(base + "a\\b\\c.txt"));

    // 'X\a\' is made; 'X\a\b?' and 'X\a\b?c/' are refused by the file
    // system; 'd' is never asked for.
    fm->CreateDirectories(base, "q\\b?c/d");
    EXPECT_TRUE(IsDir(base + "q"));
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((base + "q\\*").c_str(), &found);
    int children = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, ".."))
                ++children;
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    EXPECT_EQ(0, children);

    // An absolute path with an empty base, as the main window passes it.
    fm->CreateDirectories("", base + "abs\\deeper\\");
    EXPECT_TRUE(IsDir(base + "abs\\deeper"));
}

// ---------------------------------------------------------------------------
// Unpacking (the archive lies inside a larger file, as in the executable)

class Unzip : public ::testing::Test {
protected:
    void SetUp() override {
        fm = CFileManage::GetInstance();
        ASSERT_FALSE(fm->unpackDir.empty());
        qmtest::RemoveTree(W(fm->unpackDir));
        CreateDirectoryA(fm->unpackDir.c_str(), nullptr);
        fm->BeginJob(qmtest::ProgressTo(probe.Hwnd()));
    }
    void TearDown() override {
        fm->BeginJob(TInstallJob());
        qmtest::RemoveTree(W(fm->unpackDir));
        CreateDirectoryA(fm->unpackDir.c_str(), nullptr);
        DeleteFileA((fm->tempDir + "evil.txt").c_str());
    }
    InstallResult Unpack(const std::string& archive) {
        probe.progress.clear();
        // Bytes before and after the archive, as the executable has around
        // its resource: the reader must keep to the range.
        const std::string before(4099, 'B'), after(513, 'A');
        EXPECT_TRUE(qmtest::WriteFileBytes(container, before + archive + after));
        fm->payload.file = container;
        fm->payload.offset = before.size();
        fm->payload.size = archive.size();
        InstallResult r = fm->UnzipPayload();
        probe.Drain();
        return r;
    }
    std::string At(const std::string& name) { return fm->unpackDir + name; }

    CFileManage* fm = nullptr;
    InstallProbe probe;
    qmtest::TempDir work{L"qmpayload"};
    std::wstring container = work / L"container.bin";
};

TEST_F(Unzip, EachEntryPostsItsShareOfEightyFromTen) {
    ASSERT_EQ(INSTALL_OK,
              Unpack(qmtest::BuildZip({{"a", "1"}, {"b", "2"}, {"c/", ""}, {"c/d", "3"}})));
    EXPECT_EQ((std::vector<int>{10, 30, 50, 70}), probe.progress);
    EXPECT_EQ(70, fm->progress);
    EXPECT_EQ("3", ReadFile(At("c/d")));
}

TEST_F(Unzip, EmptyArchiveSucceedsWithoutProgress) {
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildZip({})));
    EXPECT_TRUE(probe.progress.empty());
    EXPECT_EQ(0u, fm->totalBytes);
}

TEST_F(Unzip, DirectoryEntriesMakeFoldersOnlyAndStillPostProgress) {
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildZip({{"dir/", ""}, {"dir\\sub\\", ""}})));
    EXPECT_TRUE(IsDir(At("dir")));
    EXPECT_TRUE(IsDir(At("dir\\sub")));
    EXPECT_EQ(0u, fm->totalBytes);
    EXPECT_EQ((std::vector<int>{10, 50}), probe.progress);
}

TEST_F(Unzip, ZeroAndOneByteFilesKeepTheirSize) {
    ASSERT_EQ(INSTALL_OK,
              Unpack(qmtest::BuildZip(
                  {{"zero.bin", ""}, {"one.bin", "x"}, {"one-stored.bin", "y", false}})));
    EXPECT_TRUE(IsFile(At("zero.bin")));
    EXPECT_EQ("", ReadFile(At("zero.bin")));
    EXPECT_EQ("x", ReadFile(At("one.bin")));
    EXPECT_EQ("y", ReadFile(At("one-stored.bin")));
}

TEST_F(Unzip, TotalBytesIsTheWrittenSizeInWholeKibibytes) {
    struct Case {
        size_t first, second;
        uint32_t kib;
    } cases[] = {{1048000, 576, 1024}, {1048000, 575, 1023}, {1023, 0, 0}};
    for (const Case& c : cases) {
        ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildZip({{"a.bin", qmtest::NoiseBytes(c.first, 7)},
                                                       {"b.bin", std::string(c.second, 'b')}})));
        EXPECT_EQ(c.kib, fm->totalBytes) << c.first + c.second;
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
        InstallResult r = Unpack(qmtest::BuildZip(
            {{"before.txt", "b"}, {name, "evil"}, {"after.txt", "a"}, {"sub/", ""}}));
        EXPECT_EQ(INSTALL_ERR_UNZIP, r) << name;
        EXPECT_TRUE(IsFile(At("before.txt"))) << name;
        EXPECT_FALSE(IsFile(At("after.txt"))) << name;
        EXPECT_FALSE(IsFile(fm->tempDir + "evil.txt")) << name;
        EXPECT_FALSE(IsFile("C:\\evil.txt")) << name;
        EXPECT_FALSE(IsDir(At("a")) || IsDir(At("sub"))) << name;
        EXPECT_EQ(std::vector<int>{10}, probe.progress) << name;
    }
}

TEST_F(Unzip, NamesWithDotsThatStayInsideAreUnpacked) {
    ASSERT_EQ(
        INSTALL_OK,
        Unpack(qmtest::BuildZip(
            {{"a..b.txt", "1"}, {"..config", "2"}, {"dir.d/.x", "3"}, {"console.txt", "4"}})));
    EXPECT_EQ("1", ReadFile(At("a..b.txt")));
    EXPECT_EQ("2", ReadFile(At("..config")));
    EXPECT_EQ("3", ReadFile(At("dir.d/.x")));
    EXPECT_EQ("4", ReadFile(At("console.txt")));
}

TEST_F(Unzip, NamesThatDoNotFitThePathBufferAreRefusedNotCut) {
    // The longest path that fits: 259 bytes and the terminator.
    const size_t room = MAX_PATH - 1 - fm->unpackDir.size();
    ASSERT_LT(room, 256u);
    std::string fits(room, 'f');
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildZip({{fits, "ok"}})));
    EXPECT_EQ("ok", ReadFile(At(fits)));

    std::string tooLong(room + 1, 'g');
    std::string nested = std::string(100, 'h') + "/" + std::string(199, 'i'); // 300 bytes
    for (const std::string& name : {tooLong, nested}) {
        SetUp();
        EXPECT_EQ(INSTALL_ERR_UNZIP, Unpack(qmtest::BuildZip({{name, "x"}}))) << name.size();
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
        EXPECT_EQ(INSTALL_ERR_UNZIP, Unpack(qmtest::BuildZip({{"good.txt", "g"}, c.entry})))
            << c.what;
        EXPECT_TRUE(IsFile(At("good.txt"))) << c.what;
        EXPECT_FALSE(IsFile(At("bad.bin"))) << c.what;
        EXPECT_EQ(std::vector<int>{10}, probe.progress) << c.what;
    }
}

TEST_F(Unzip, ArchiveThatCannotBeReadFails) {
    std::string twoEntries = qmtest::BuildZip({{"a", "1"}, {"b", "2"}}, /*declaredCount=*/3);
    const std::string cases[] = {"", "not a zip archive at all", twoEntries};
    for (const std::string& archive : cases)
        EXPECT_EQ(INSTALL_ERR_UNZIP, Unpack(archive)) << archive.size();
    // A range longer than its file, and a file that is gone.
    ASSERT_EQ(INSTALL_OK, Unpack(qmtest::BuildZip({{"a", "1"}})));
    fm->payload.size += 1000;
    EXPECT_EQ(INSTALL_ERR_UNZIP, fm->UnzipPayload());
    DeleteFileW(container.c_str());
    EXPECT_EQ(INSTALL_ERR_UNZIP, fm->UnzipPayload());
}

TEST_F(Unzip, FailedWriteOfAnUnpackedFileFails) {
    // Every write to /dev/full fails as on a full disk: a large entry fails in
    // a write, a one-byte entry only when the file is closed.
    for (size_t size : {size_t{1}, size_t{600000}}) {
        SetUp();
        if (!qmtest::MakeUnixSymlink(W(At("full.bin")), "/dev/full"))
            GTEST_SKIP() << "needs Wine's Unix side to provoke a failing write";
        EXPECT_EQ(INSTALL_ERR_UNZIP,
                  Unpack(qmtest::BuildZip({{"full.bin", std::string(size, 'f')}})))
            << size;
        EXPECT_TRUE(probe.progress.empty());
        qmtest::RemoveUnixSymlink(W(At("full.bin")));
    }
}

// ---------------------------------------------------------------------------
// Moving into place

class Move : public ::testing::Test {
protected:
    void SetUp() override {
        fm = CFileManage::GetInstance();
        fm->BeginJob(qmtest::ProgressTo(probe.Hwnd()));
        src = qmtest::Narrow(srcDir.Path()) + "\\";
        dst = qmtest::Narrow(dstDir.Path()) + "\\";
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
        std::string content = ReadFile(log);
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
    std::string src, dst, log;
};

TEST_F(Move, ReplacesFilesMergesFoldersAndEmptiesTheSource) {
    CreateDirectoryA((src + "sub").c_str(), nullptr);
    CreateDirectoryA((src + "new").c_str(), nullptr);
    CreateDirectoryA((dst + "sub").c_str(), nullptr);
    WriteFile(src + "a.txt", "new a");
    WriteFile(src + "sub\\b.txt", "new b");
    WriteFile(src + "new\\c.txt", "c");
    WriteFile(dst + "a.txt", "old a");
    WriteFile(dst + "sub\\b.txt", "old b");
    WriteFile(dst + "sub\\keep.txt", "keep");
    // An earlier install may have left a read-only file.
    SetFileAttributesA((dst + "sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(INSTALL_OK, fm->MoveFiles(dst, src));
    probe.Drain();
    EXPECT_EQ("new a", ReadFile(dst + "a.txt"));
    EXPECT_EQ("new b", ReadFile(dst + "sub\\b.txt"));
    EXPECT_EQ("keep", ReadFile(dst + "sub\\keep.txt"));
    EXPECT_EQ("c", ReadFile(dst + "new\\c.txt"));
    EXPECT_FALSE(IsFile(src + "a.txt") || IsDir(src + "sub") || IsDir(src + "new"));
    EXPECT_TRUE(IsDir(src));
    EXPECT_EQ(std::vector<int>{95}, probe.progress);

    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(1u, lines.size());
    std::regex one(R"(^\[[^\]]+\]\[FileManage\]\[232\] +\tcopy szFrom=(.*), szTo=(.*), ret=0$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, one)) << lines[0];
    EXPECT_EQ(src + "*", m.str(1));
    EXPECT_EQ(dst, m.str(2));
}

TEST_F(Move, MissingInstallDirectoryLevelsAreCreated) {
    WriteFile(src + "a.txt", "a");
    std::string deep = dst + "x\\y\\z"; // no trailing separator: one is added
    EXPECT_EQ(INSTALL_OK, fm->MoveFiles(deep, src));
    EXPECT_EQ("a", ReadFile(deep + "\\a.txt"));
}

TEST_F(Move, HeldTargetFileIsTriedTenTimesThenReported) {
    WriteFile(src + "held.txt", "new");
    WriteFile(src + "other.txt", "other");
    WriteFile(dst + "held.txt", "old");
    // Held open without FILE_SHARE_DELETE, so it cannot be replaced.
    HANDLE held =
        CreateFileA((dst + "held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    InstallResult r = fm->MoveFiles(dst, src);
    CloseHandle(held);
    probe.Drain();

    EXPECT_EQ(INSTALL_ERR_COPY, r);
    EXPECT_EQ(std::vector<int>{95}, probe.progress);
    EXPECT_EQ("old", ReadFile(dst + "held.txt"));
    EXPECT_EQ("other", ReadFile(dst + "other.txt")); // the rest went on
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
    WriteFile(src + "a.txt", "a");
    std::string longDir = "C:\\" + std::string(300, 'l') + "\\";
    EXPECT_EQ(INSTALL_ERR_COPY, fm->MoveFiles(longDir, src));
    probe.Drain();
    EXPECT_EQ(std::vector<int>{95}, probe.progress);
    EXPECT_TRUE(IsFile(src + "a.txt"));
    EXPECT_TRUE(LogLines().empty());
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

    std::string payload = qmtest::BuildZip(
        {{"Quillmossdex.exe", "client 1"}, {"res/", ""}, {"res/one.bin", "1"}, {"empty.txt", ""}});
    std::wstring exe = Installer(&payload);
    ASSERT_FALSE(exe.empty());
    qmtest::InstallRun run = qmtest::RunInstaller(exe, installDir, tempDir);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ((std::vector<int>{10, 10, 30, 50, 70, 95, 99, 100}), run.progress);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    std::string inst = qmtest::Narrow(installDir);
    EXPECT_EQ("client 1", ReadFile(inst + "Quillmossdex.exe"));
    EXPECT_EQ("1", ReadFile(inst + "res\\one.bin"));
    EXPECT_TRUE(IsFile(inst + "empty.txt"));
    EXPECT_FALSE(IsFile(inst + "stale.txt"));
    EXPECT_EQ(inst + '\0', qmtest::ReadRecordValue("InstallLocation"));
    EXPECT_EQ("1", qmtest::ReadInstallWay());
    // The archive is read from the executable; no copy of it is staged.
    EXPECT_EQ(std::vector<std::wstring>{}, ArchivesIn(tempDir));

    // Over the first install: the record names an existing client.
    payload = qmtest::BuildZip({{"Quillmossdex.exe", "client 2"}, {"res/one.bin", "2"}});
    ASSERT_FALSE(Installer(&payload).empty());
    run = qmtest::RunInstaller(exe, installDir, tempDir);
    EXPECT_EQ((std::vector<int>{10, 10, 50, 95, 99, 100}), run.progress);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    EXPECT_EQ("client 2", ReadFile(inst + "Quillmossdex.exe"));
    EXPECT_EQ("2", ReadFile(inst + "res\\one.bin"));
    EXPECT_EQ("2", qmtest::ReadInstallWay());
}

TEST_F(InstallRunTest, BuiltPayloadIsTheInstallersChineseZip101AndInstalls) {
    // The archive the build packed, as QuillmossdexSetup.exe carries it.
    std::wstring build = qmtest::ProgramDir() + L"\\..\\..";
    std::string packed = qmtest::ReadFileBytes(build + L"\\payload\\payload.zip");
    ASSERT_FALSE(packed.empty());
    HMODULE setup = LoadLibraryExW((build + L"\\QuillmossdexSetup.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, setup);
    HRSRC res = FindResourceExW(setup, L"ZIP", MAKEINTRESOURCEW(101),
                                MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    ASSERT_NE(nullptr, res);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(setup, res)));
    EXPECT_EQ(packed, std::string(bytes, SizeofResource(setup, res)));
    FreeLibrary(setup);

    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&packed), installDir, tempDir);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    EXPECT_TRUE(IsFile(qmtest::Narrow(installDir) + "Quillmossdex.exe"));
    EXPECT_TRUE(IsFile(qmtest::Narrow(installDir) + "uninst.exe"));
}

TEST_F(InstallRunTest, EmptyArchiveInstallsNothingAndSucceeds) {
    std::string payload = qmtest::BuildZip({});
    // Given without its trailing separator, the directory is stored with one.
    std::wstring bare = installDir.substr(0, installDir.size() - 1);
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&payload), bare, tempDir);
    EXPECT_EQ((std::vector<int>{10, 95, 99, 100}), run.progress);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    EXPECT_EQ(qmtest::Narrow(installDir) + "uninst.exe" + '\0',
              qmtest::ReadRecordValue("UninstallString"));
}

TEST_F(InstallRunTest, MissingPayloadResourceGivesCodeTwoAndNoProgress) {
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(nullptr), installDir, tempDir);
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.progress.empty());
    EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_RESOURCE}, run.results);
    EXPECT_EQ("", qmtest::ReadInstallWay());
}

TEST_F(InstallRunTest, DamagedPayloadGivesCodeOneAfterThePayloadIsFound) {
    std::string payload = qmtest::BuildZip({{"a.txt", "a", true, true}});
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&payload), installDir, tempDir);
    EXPECT_EQ(std::vector<int>{10}, run.progress);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_UNZIP}, run.results);
}

TEST_F(InstallRunTest, TemporaryDirectoryThatDoesNotFitIsRefused) {
    std::string payload = qmtest::BuildZip({{"a.txt", "a"}});
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
        EXPECT_TRUE(run.progress.empty()) << temp.size();
        EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_RESOURCE}, run.results) << temp.size();
        EXPECT_TRUE(qmtest::FileExists(cwd / L"qmsTmp\\keep.txt"));
    }
}

TEST_F(InstallRunTest, NoStagingArchiveIsWrittenSoAFullDiskThereDoesNotMatter) {
    // Any write to a staging archive at the old name would fail as on a full
    // disk; the payload is read from the executable instead.
    if (!qmtest::MakeUnixSymlink(tempDir + L"\\qmstmp.zip", "/dev/full"))
        GTEST_SKIP() << "needs Wine's Unix side to provoke a failing write";
    const std::string data = qmtest::NoiseBytes(100000, 5);
    std::string payload = qmtest::BuildZip({{"a.bin", data}});
    qmtest::InstallRun run = qmtest::RunInstaller(Installer(&payload), installDir, tempDir);
    EXPECT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
    EXPECT_EQ(data, ReadFile(qmtest::Narrow(installDir) + "a.bin"));
    // The planted link is the only archive there: nothing was staged beside it.
    EXPECT_EQ(std::vector<std::wstring>{L"qmstmp.zip"}, ArchivesIn(tempDir));
    qmtest::RemoveUnixSymlink(tempDir + L"\\qmstmp.zip");
}

} // namespace

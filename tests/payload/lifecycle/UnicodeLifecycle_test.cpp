// The product's whole life under any system language, with file and folder
// names from many scripts, and in install folders near the path limit. The
// same program runs once per prefix locale (see CMakeLists.txt): the system
// code page it expects comes in QM_EXPECT_ACP.
#include "tests/payload/lifecycle/LifecycleTest.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TestPayload.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

using namespace qmtest;

const std::wstring kRecordKey = RecordKey();
// A file's full path must fit MAX_PATH with its terminator.
constexpr size_t kLongestFilePath = MAX_PATH - 1;

std::string Utf8(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::string Gbk(const std::wstring& w) {
    int n = WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring BuildDir() {
    return qmtest::ProgramDir() + L"\\..\\..\\..";
}

std::wstring RecordValue(const wchar_t* name) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof(buf) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRecordKey.c_str(), name, RRF_RT_REG_SZ, nullptr, buf,
                     &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

bool Gone(const std::wstring& path) {
    for (int i = 0; i < 400 && FileExists(path); ++i)
        Sleep(50);
    return !FileExists(path);
}

std::wstring UnpackDir() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"qmsTmp";
}

// One payload entry: its name as the test expects it on disk ('/' separated),
// and whether the archive stores it as flagged UTF-8 or as code page 936.
struct Entry {
    std::wstring name;
    bool utf8;
};

class UnicodeLifecycle : public qmtest::LifecycleTest {
protected:
    // A copy of the built installer that carries the built client and
    // uninstaller and, beside them, entries, each holding its own name.
    std::wstring MakeSetup(const std::vector<Entry>& entries) {
        std::vector<qmtest::ZipEntry> zip;
        const std::wstring build = BuildDir();
        zip.push_back({"Quillmossdex.exe",
                       qmtest::ReadFileBytes(build + L"\\payload\\client\\Quillmossdex.exe")});
        zip.push_back(
            {"uninst.exe", qmtest::ReadFileBytes(build + L"\\payload\\uninst\\uninst.exe")});
        for (const Entry& e : entries) {
            qmtest::ZipEntry z;
            z.name = e.utf8 ? Utf8(e.name) : Gbk(e.name);
            z.data = e.name.back() == L'/' ? "" : Utf8(e.name);
            z.utf8Name = e.utf8;
            zip.push_back(z);
        }
        const std::string payload = qmtest::BuildPayload(zip);
        const std::wstring setup = work / L"setup.exe";
        if (qmtest::MakePayloadCopy(build + L"\\QuillmossdexSetup.exe", setup, &payload).empty())
            return L"";
        return setup;
    }

    // Runs a program to its end. Boxes it shows are answered with OK, their
    // texts collected in boxes.
    DWORD Run(const std::wstring& commandLine, std::vector<std::wstring>* boxes = nullptr) {
        qmtest::ChildProcess p;
        EXPECT_TRUE(p.Start(commandLine));
        for (int i = 0; i < 1200 && !p.Wait(100); ++i) {
            for (HWND w : qmtest::ProcessWindows(p.Pid())) {
                std::wstring text = qmtest::MessageBoxText(w);
                if (text.empty())
                    continue;
                if (boxes)
                    boxes->push_back(text);
                qmtest::PressDialogButton(w, IDOK);
            }
        }
        EXPECT_FALSE(p.Running()) << "did not end";
        return p.ExitCode();
    }

    qmtest::TempDir root{L"qmuni"};
    qmtest::TempDir work{L"qmuniwork"};
};

TEST_F(UnicodeLifecycle, TheSystemCodePageIsTheOneThisRunIsFor) {
    const char* expected = getenv("QM_EXPECT_ACP");
    EXPECT_EQ(expected ? static_cast<UINT>(atoi(expected)) : 936u, GetACP());
}

TEST_F(UnicodeLifecycle, NamesInEveryScriptInstallLinkRecordAndUninstallWithoutLeftovers) {
    const std::vector<Entry> entries = {
        {L"使用说明.txt", true},
        {L"res/", true},
        {L"res/配置.ini", true},
        {L"日本語/", true},
        {L"日本語/ファイル・テスト.txt", true},
        {L"한글/파일.txt", true},
        {L"Café Crème/résumé ñ ü.txt", true},
        {L"emoji 😀/🎉.txt", true},
        // Names as Chinese archivers store them: code page 936, no flag.
        {L"说明书.txt", false},
        {L"数据/表格.dat", false},
    };
    const std::wstring setup = MakeSetup(entries);
    ASSERT_FALSE(setup.empty());
    const std::wstring chosen = root / L"Ünïcode 한글 日本語 青梧 😀";
    const std::wstring installDir = chosen + L"\\Quillmossdex\\";

    ASSERT_EQ(0u, Run(qmtest::Quote(setup) + L" path " + qmtest::Quote(chosen)));

    // Every entry under its own name, holding that name.
    std::set<std::string> expectedList = {"Quillmossdex.exe", "uninst.exe", "uninst.lst"};
    for (const Entry& e : entries) {
        std::wstring path = installDir + e.name;
        std::replace(path.begin(), path.end(), L'/', L'\\');
        if (e.name.back() == L'/') {
            EXPECT_TRUE(FileExists(path)) << Utf8(e.name);
        } else {
            EXPECT_EQ(Utf8(e.name), qmtest::ReadFileBytes(path)) << Utf8(e.name);
        }
        expectedList.insert(Utf8(e.name));
    }
    // The entry list names exactly what was installed, in UTF-8.
    std::set<std::string> listed;
    const std::string list = qmtest::ReadFileBytes(installDir + L"uninst.lst");
    for (size_t pos = 0; pos < list.size();) {
        size_t end = list.find('\n', pos);
        if (end == std::string::npos)
            end = list.size();
        if (end > pos)
            listed.insert(list.substr(pos, end - pos));
        pos = end + 1;
    }
    EXPECT_EQ(expectedList, listed);
    EXPECT_FALSE(FileExists(UnpackDir())) << "the unpack folder stays";

    // The links lead to the whole paths; the record reads back as UTF-16.
    using qmtest::AsLinkStoresIt;
    EXPECT_EQ(AsLinkStoresIt(installDir + L"Quillmossdex.exe"), ShortcutTarget(DesktopLink()));
    EXPECT_EQ(AsLinkStoresIt(installDir + L"Quillmossdex.exe"),
              ShortcutTarget(MenuFolder() + L"\\" + kProduct + L".lnk"));
    EXPECT_EQ(AsLinkStoresIt(installDir + L"uninst.exe"),
              ShortcutTarget(MenuFolder() + L"\\卸载" + kProduct + L".lnk"));
    const struct {
        const wchar_t* name;
        std::wstring value;
    } values[] = {
        {L"DisplayName", kProduct},
        {L"Publisher", kProduct},
        {L"InstallLocation", installDir},
        {L"UninstallString", L"\"" + installDir + L"uninst.exe\""},
        {L"DisplayIcon", installDir + L"Quillmossdex.exe"},
        {L"DisplayVersion", L"1.0.67"},
    };
    for (const auto& v : values)
        EXPECT_EQ(v.value, RecordValue(v.name)) << Utf8(v.name);

    // The client starts from where the links lead and shows its window.
    qmtest::ChildProcess client;
    ASSERT_TRUE(client.Start(qmtest::Quote(installDir + L"Quillmossdex.exe")));
    bool shown = false;
    for (int i = 0; i < 300 && !shown; ++i) {
        shown = FindWindowW(L"QuillmossdexClient", kProduct) != nullptr;
        if (!shown)
            Sleep(50);
    }
    EXPECT_TRUE(shown) << "the client showed no window";

    // Uninstalling closes it and leaves nothing of the product.
    EXPECT_EQ(0u, Run(qmtest::Quote(installDir + L"uninst.exe") + L" /S"));
    EXPECT_TRUE(client.Wait(10000)) << "the client still runs";
    EXPECT_TRUE(Gone(installDir)) << "the install folder stays";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
    EXPECT_FALSE(FileExists(DesktopLink()));
    EXPECT_FALSE(FileExists(MenuFolder()));
}

TEST_F(UnicodeLifecycle, FoldersUpToTheLimitInstallAndUninstallLongerOnesAreRefusedUpFront) {
    // The payload's longest path is this file's.
    const std::wstring deepest = L"长文件名/" + std::wstring(20, L'é') + L".txt";
    const std::wstring setup = MakeSetup({{L"长文件名/", true}, {deepest, true}});
    ASSERT_FALSE(setup.empty());
    const struct {
        int over; // characters the longest path is longer than the limit
        DWORD exitCode;
    } cases[] = {{-1, 0}, {0, 0}, {1, 2}, {37, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.over);
        Forget();
        // The chosen folder: below root, padded with folders of up to 100
        // characters so that the longest payload path has the wanted length.
        const size_t fixed = std::wstring(L"\\Quillmossdex\\").size() + deepest.size();
        const size_t chosenLength = kLongestFilePath + c.over - fixed;
        std::wstring chosen = root.Path();
        while (chosen.size() < chosenLength) {
            const size_t room = chosenLength - chosen.size();
            // One character left: the last folder gets it, as a separator
            // alone would name nothing.
            if (room == 1)
                chosen += L'長';
            else
                chosen += L'\\' + std::wstring(std::min<size_t>(100, room - 1), L'長');
        }
        ASSERT_EQ(chosenLength, chosen.size());
        const std::wstring installDir = chosen + L"\\Quillmossdex\\";
        ASSERT_EQ(kLongestFilePath + c.over, installDir.size() + deepest.size());

        std::vector<std::wstring> boxes;
        const std::wstring log = work.Path() + L"\\setup.log";
        DeleteFileW(log.c_str());
        EXPECT_EQ(c.exitCode, Run(qmtest::Quote(setup) + L" " + qmtest::Quote(L"/LOG=" + log) +
                                      L" path " + qmtest::Quote(chosen),
                                  &boxes));
        // A silent run shows no box; what it would say goes to its log.
        EXPECT_TRUE(boxes.empty());
        if (c.exitCode != 0) {
            // Refused before anything was made, saying by how much.
            const std::string text = qmtest::ReadFileBytes(log);
            EXPECT_NE(std::string::npos,
                      text.find(Utf8(L"超出了 " + std::to_wstring(c.over) + L" 个字符")))
                << text;
            EXPECT_FALSE(FileExists(installDir));
            EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
            EXPECT_FALSE(FileExists(DesktopLink()));
            EXPECT_FALSE(FileExists(UnpackDir()));
            continue;
        }
        std::wstring file = installDir + deepest;
        std::replace(file.begin(), file.end(), L'/', L'\\');
        EXPECT_EQ(Utf8(deepest), qmtest::ReadFileBytes(file));
        EXPECT_EQ(qmtest::AsLinkStoresIt(installDir + L"Quillmossdex.exe"),
                  ShortcutTarget(DesktopLink()));
        EXPECT_EQ(0u, Run(qmtest::Quote(installDir + L"uninst.exe") + L" /S"));
        EXPECT_TRUE(Gone(installDir)) << "the install folder stays";
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
        EXPECT_FALSE(FileExists(DesktopLink()));
    }
}

} // namespace

#include "installer/engine/LinkFile.h"
#include "installer/engine/Shortcut.h"
#include "installer/services/Product.h"
#include "installer/services/TextConvert.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace {

const std::wstring kName = L"青梧云端助手";
const std::wstring kClientDescription = kName + L"\n版本:1.0.67\n" + kName;
const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kProgramsValue[] = "Common Programs";

struct Link {
    bool loaded = false;
    std::wstring target;
    std::wstring description;
};

// Reads a link file back through the shell-link object.
Link ReadLink(const std::wstring& path) {
    Link link;
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell))))
        return link;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t buf[1024] = {};
            link.loaded = true;
            if (SUCCEEDED(shell->GetPath(buf, 1024, nullptr, SLGP_RAWPATH)))
                link.target = buf;
            buf[0] = 0;
            if (SUCCEEDED(shell->GetDescription(buf, 1024)))
                link.description = buf;
        }
        file->Release();
    }
    shell->Release();
    return link;
}

class Shortcut : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        fm = CFileManage::GetInstance();
        install = dir / L"inst\\";
        CreateDirectoryW(install.c_str(), nullptr);
        qmtest::WriteFileBytes(install + L"Quillmossdex.exe", "c");
        qmtest::WriteFileBytes(install + L"uninst.exe", "u");
        fm->BeginJob(TInstallJob());
        fm->Run().installDir = install;
        SaveProgramsValue();
    }
    void TearDown() override {
        RestoreProgramsValue();
        CoUninitialize();
    }

    // The all-users Programs folder's value, which an elevated program
    // must not follow either.
    void SaveProgramsValue() {
        char buf[MAX_PATH] = {};
        DWORD size = sizeof(buf);
        m_hadPrograms = RegGetValueA(HKEY_LOCAL_MACHINE, kShellFolders, kProgramsValue,
                                     RRF_RT_REG_SZ, nullptr, buf, &size) == ERROR_SUCCESS;
        m_programs = buf;
    }
    void RestoreProgramsValue() {
        if (m_hadPrograms)
            SetProgramsValue(m_programs.c_str());
        else
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kShellFolders, kProgramsValue);
    }
    void SetProgramsValue(const char* value) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kShellFolders, kProgramsValue, REG_SZ, value,
                        static_cast<DWORD>(strlen(value) + 1));
    }

    void ExpectStartMenuLinks(const std::wstring& programs) {
        std::wstring folder = programs + L"\\" + kName + L"\\";
        Link client = ReadLink(folder + kName + L".lnk");
        ASSERT_TRUE(client.loaded) << "client link missing";
        EXPECT_EQ(install + L"Quillmossdex.exe", client.target);
        EXPECT_EQ(kClientDescription, client.description);
        Link uninstaller = ReadLink(folder + L"卸载" + kName + L".lnk");
        ASSERT_TRUE(uninstaller.loaded) << "uninstaller link missing";
        EXPECT_EQ(install + L"uninst.exe", uninstaller.target);
        EXPECT_EQ(kName, uninstaller.description);
    }

    CFileManage* fm = nullptr;
    qmtest::TempDir dir{L"qmlnk"};
    std::wstring install;

private:
    bool m_hadPrograms = false;
    std::string m_programs;
};

TEST_F(Shortcut, TargetAndDescriptionReadBack) {
    std::wstring link = dir / L"test.lnk";
    ASSERT_EQ(INSTALL_OK, CreateShortcut(link, install + L"uninst.exe", L"第一行\n第二行"));
    Link read = ReadLink(link);
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(install + L"uninst.exe", read.target);
    EXPECT_EQ(L"第一行\n第二行", read.description);
}

TEST_F(Shortcut, AHardLinkAtTheNameIsReplacedNotWrittenThrough) {
    const std::wstring victim = dir / L"victim.txt";
    const std::wstring link = dir / L"test.lnk";
    ASSERT_TRUE(qmtest::WriteFileBytes(victim, "the user's secret"));
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), victim.c_str(), nullptr));
    ASSERT_EQ(INSTALL_OK, CreateShortcut(link, install + L"uninst.exe", L"d"));
    EXPECT_EQ("the user's secret", qmtest::ReadFileBytes(victim));
    Link read = ReadLink(link);
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(install + L"uninst.exe", read.target);
    // Nothing is left under the name it was saved as first.
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW((dir / L"*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find) << qmtest::Narrow(found.cFileName);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

TEST_F(Shortcut, LinkThatCannotBeSavedIsReported) {
    std::wstring link = dir / L"no such folder\\test.lnk";
    EXPECT_EQ(INSTALL_ERR_SHORTCUT, CreateShortcut(link, install + L"uninst.exe", L"d"));
    EXPECT_FALSE(qmtest::FileExists(link));
}

TEST_F(Shortcut, TargetsInAnyScriptReadBackWholeAndLongOnesAreRefusedNotCut) {
    struct Case {
        size_t length; // of the target's whole path
        InstallResult result;
    } cases[] = {{MAX_PATH - 2, INSTALL_OK},
                 {MAX_PATH - 1, INSTALL_OK},
                 {MAX_PATH, INSTALL_ERR_SHORTCUT},
                 {MAX_PATH + 40, INSTALL_ERR_SHORTCUT}};
    const std::wstring folder = dir / L"한글 配置 ñ😀\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const Case& c : cases) {
        ASSERT_GT(c.length, folder.size() + 4);
        std::wstring target = folder + std::wstring(c.length - folder.size() - 4, L'é') + L".exe";
        ASSERT_EQ(c.length, target.size());
        std::wstring link = dir / L"long.lnk";
        DeleteFileW(link.c_str());
        EXPECT_EQ(c.result, CreateShortcut(link, target, L"d")) << c.length;
        Link read = ReadLink(link);
        EXPECT_EQ(c.result == INSTALL_OK, read.loaded) << c.length;
        if (read.loaded) {
            EXPECT_EQ(qmtest::AsLinkStoresIt(target), read.target) << c.length;
        }
    }
}

TEST_F(Shortcut, StartMenuGetsTheAllUsersProgramsFolderWhateverShellFoldersSays) {
    wchar_t known[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(
        SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, known)));
    wchar_t own[MAX_PATH] = {};
    ASSERT_TRUE(
        SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, own)));
    // Every user of the machine finds the links; a per-user folder is not
    // where they go.
    ASSERT_NE(std::wstring(known), std::wstring(own));
    const std::wstring programs = known;
    // The value Explorer leaves for old programs is the user's to edit: an
    // elevated installer that followed it would make its folder anywhere.
    const std::wstring decoy = dir / L"Decoy";
    CreateDirectoryW(decoy.c_str(), nullptr);
    enum class Value { kDecoy, kEmpty, kAbsent };
    for (Value value : {Value::kDecoy, Value::kEmpty, Value::kAbsent}) {
        SCOPED_TRACE(static_cast<int>(value));
        if (value == Value::kAbsent)
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs");
        else
            SetProgramsValue(value == Value::kDecoy ? qmtest::Narrow(decoy).c_str() : "");
        // An earlier install's folder with a link that is no longer valid.
        CreateDirectoryW((programs + L"\\" + kName).c_str(), nullptr);
        qmtest::WriteFileBytes(programs + L"\\" + kName + L"\\" + kName + L".lnk", "stale");
        EXPECT_EQ(INSTALL_OK, fm->CreateStartMenuShortcuts());
        ExpectStartMenuLinks(programs);
        EXPECT_FALSE(qmtest::FileExists(decoy + L"\\" + kName));
        EXPECT_FALSE(qmtest::FileExists(std::wstring(own) + L"\\" + kName));
        qmtest::RemoveTree(programs + L"\\" + kName);
    }
}

TEST_F(Shortcut, ThePublicDesktopGetsTheClientLink) {
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_COMMON_DESKTOPDIRECTORY, FALSE));
    wchar_t own[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, own, CSIDL_DESKTOP, FALSE));
    ASSERT_NE(std::wstring(desktop), std::wstring(own));
    std::wstring link = std::wstring(desktop) + L"\\" + kName + L".lnk";
    EXPECT_EQ(INSTALL_OK, fm->CreateDesktopShortcut());
    EXPECT_FALSE(qmtest::FileExists(std::wstring(own) + L"\\" + kName + L".lnk"));
    Link read = ReadLink(link);
    DeleteFileW(link.c_str());
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(install + L"Quillmossdex.exe", read.target);
    EXPECT_EQ(kClientDescription, read.description);
}

} // namespace

// Wine's link object reads only the path in the system code page (above);
// Windows reads the UTF-16 path of the link information, which must hold the
// target whole in any script, with the description beside it.
TEST(LinkFile, HoldsTheTargetWholeInUtf16AndTheDescription) {
    const std::wstring target = L"C:\\한글 配置 ñ😀\\Quillmossdex.exe";
    std::string bytes;
    ASSERT_TRUE(LinkFileBytes(target, L"青梧\n版本", &bytes));
    auto u16 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes.at(at)) |
                                     (static_cast<uint8_t>(bytes.at(at + 1)) << 8));
    };
    auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
    auto wide = [&](size_t at, size_t count) {
        std::wstring text;
        for (size_t i = 0; count == std::wstring::npos ? u16(at + 2 * i) != 0 : i < count; ++i)
            text += static_cast<wchar_t>(u16(at + 2 * i));
        return text;
    };
    ASSERT_EQ(0x4Cu, u32(0));
    const uint32_t flags = u32(20);
    ASSERT_EQ(0x86u, flags & 0x86u); // link information, a name, UTF-16 texts
    size_t at = 0x4C;
    if (flags & 1)
        at += 2 + u16(at);
    const size_t info = at;
    ASSERT_GE(u32(info + 4), 0x24u);
    EXPECT_EQ(1u, u32(info + 8)); // a volume and a local path
    EXPECT_EQ(target, wide(info + u32(info + 28), std::wstring::npos));
    at = info + u32(info);
    const uint32_t count = u16(at);
    EXPECT_EQ(L"青梧\n版本", wide(at + 2, count));
    EXPECT_EQ(0u, u32(at + 2 + 2 * count));
    EXPECT_EQ(bytes.size(), at + 2 + 2 * count + 4);
    // A path that is not a local one, or too long for a link, is refused.
    EXPECT_FALSE(LinkFileBytes(L"relative\\Quillmossdex.exe", L"d", &bytes));
    EXPECT_FALSE(LinkFileBytes(L"C:\\" + std::wstring(MAX_PATH, L'a'), L"d", &bytes));
}

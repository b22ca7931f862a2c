#include "installer/Shortcut.h"
#include "installer/Product.h"
#include "installer/TextConvert.h"
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
        fm->installDir = qmtest::Narrow(install);
        SaveProgramsValue();
    }
    void TearDown() override {
        RestoreProgramsValue();
        CoUninitialize();
    }

    void SaveProgramsValue() {
        char buf[MAX_PATH] = {};
        DWORD size = sizeof(buf);
        m_hadPrograms = RegGetValueA(HKEY_CURRENT_USER, kShellFolders, "Programs", RRF_RT_REG_SZ,
                                     nullptr, buf, &size) == ERROR_SUCCESS;
        m_programs = buf;
    }
    void RestoreProgramsValue() {
        if (m_hadPrograms)
            SetProgramsValue(m_programs.c_str());
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs");
    }
    void SetProgramsValue(const char* value) {
        RegSetKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs", REG_SZ, value,
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
    ASSERT_EQ(INSTALL_OK,
              CreateShortcut(qmtest::Narrow(link), qmtest::Narrow(install + L"uninst.exe"),
                             qmtest::Narrow(L"第一行\n第二行")));
    Link read = ReadLink(link);
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(install + L"uninst.exe", read.target);
    EXPECT_EQ(L"第一行\n第二行", read.description);
}

TEST_F(Shortcut, LinkThatCannotBeSavedIsReported) {
    std::wstring link = dir / L"no such folder\\test.lnk";
    EXPECT_EQ(INSTALL_ERR_SHORTCUT,
              CreateShortcut(qmtest::Narrow(link), qmtest::Narrow(install + L"uninst.exe"), "d"));
    EXPECT_FALSE(qmtest::FileExists(link));
}

TEST_F(Shortcut, StartMenuGetsTheProductFolderWithBothLinksOverwritingOldOnes) {
    std::wstring programs = dir / L"Programs";
    CreateDirectoryW(programs.c_str(), nullptr);
    SetProgramsValue(qmtest::Narrow(programs).c_str());
    // An earlier install's folder with a link that is no longer valid.
    CreateDirectoryW((programs + L"\\" + kName).c_str(), nullptr);
    qmtest::WriteFileBytes(programs + L"\\" + kName + L"\\" + kName + L".lnk", "stale");

    EXPECT_EQ(INSTALL_OK, fm->CreateStartMenuShortcuts());
    ExpectStartMenuLinks(programs);
}

TEST_F(Shortcut, StartMenuFallsBackToTheKnownProgramsFolder) {
    char known[MAX_PATH] = {};
    ASSERT_TRUE(
        SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, known)));
    std::wstring programs = ToWide(known);
    for (bool absent : {false, true}) {
        if (absent)
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs");
        else
            SetProgramsValue("");
        EXPECT_EQ(INSTALL_OK, fm->CreateStartMenuShortcuts()) << absent;
        ExpectStartMenuLinks(programs);
        qmtest::RemoveTree(programs + L"\\" + kName);
    }
}

TEST_F(Shortcut, DesktopGetsTheClientLink) {
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, FALSE));
    std::wstring link = std::wstring(desktop) + L"\\" + kName + L".lnk";
    EXPECT_EQ(INSTALL_OK, fm->CreateDesktopShortcut());
    Link read = ReadLink(link);
    DeleteFileW(link.c_str());
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(install + L"Quillmossdex.exe", read.target);
    EXPECT_EQ(kClientDescription, read.description);
}

} // namespace

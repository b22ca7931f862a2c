#include "skinui/core/SkinFile.h"
#include "skinui/core/ResourceZip.h"
#include "skinui/window/PaintManagerUI.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using SkinUI::CPaintManagerUI;
using SkinUI::CSkinFileBuffer;
using SkinUI::ReadSkinFile;
using SkinUI::SkinFileError;

namespace {

class SkinFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_dir = std::wstring(temp) + L"skinui_file_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_dir.c_str(), nullptr);
        CPaintManagerUI::SetResourcePath(m_dir.c_str());
    }
    void TearDown() override {
        CPaintManagerUI::SetResourceZip(L"", false);
        CPaintManagerUI::Term();
        CPaintManagerUI::SetResourcePath(L"");
        for (const std::wstring& f : m_files)
            DeleteFileW(f.c_str());
        RemoveDirectoryW(m_dir.c_str());
    }
    std::wstring Write(const wchar_t* name, const std::string& bytes) {
        const std::wstring path = m_dir + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
        m_files.push_back(path);
        return path;
    }
    static std::string Read(const wchar_t* name, SkinFileError expected, DWORD max = 0) {
        CSkinFileBuffer bytes;
        EXPECT_EQ(expected, ReadSkinFile(name, max, &bytes)) << name;
        if (expected != SkinFileError::None) {
            EXPECT_EQ(nullptr, bytes.GetData());
            return std::string();
        }
        return std::string(reinterpret_cast<const char*>(bytes.GetData()), bytes.GetSize());
    }
    static std::string Archive(const char* content) {
        std::vector<qmtest::ZipEntry> entries(2);
        entries[0].name = "logo.png";
        entries[0].data = content;
        entries[1].name = "empty.png";
        return qmtest::BuildZip(entries);
    }

    std::wstring m_dir;
    std::vector<std::wstring> m_files;
};

TEST_F(SkinFileTest, PlainFilesUnderTheResourcePath) {
    Write(L"logo.png", "PNGDATA");
    Write(L"empty.png", "");
    EXPECT_EQ("PNGDATA", Read(L"logo.png", SkinFileError::None));
    Read(L"missing.png", SkinFileError::OpenFile);
    Read(L"empty.png", SkinFileError::Empty);
    Read(L"logo.png", SkinFileError::TooLarge, 6);
    EXPECT_EQ("PNGDATA", Read(L"logo.png", SkinFileError::None, 7));
}

TEST_F(SkinFileTest, UncachedArchiveIsOpenedForEveryReadAndClosedAgain) {
    const std::wstring path = Write(L"skin.zip", Archive("first"));
    CPaintManagerUI::SetResourceZip(L"skin.zip", false);
    EXPECT_EQ(nullptr, CPaintManagerUI::GetResourceZipHandle());
    EXPECT_EQ("first", Read(L"LOGO.png", SkinFileError::None));
    Write(L"skin.zip", Archive("second"));
    EXPECT_EQ("second", Read(L"logo.png", SkinFileError::None));
    Read(L"empty.png", SkinFileError::Empty);
    Read(L"other.png", SkinFileError::EntryNotFound);
    Read(L"logo.png", SkinFileError::TooLarge, 5);
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "no read keeps the archive open";
    Read(L"logo.png", SkinFileError::OpenZip);
}

TEST_F(SkinFileTest, CachedArchiveStaysOpenUntilTerm) {
    const std::wstring path = Write(L"skin.zip", Archive("kept"));
    CPaintManagerUI::SetResourceZip(L"skin.zip", true);
    EXPECT_NE(nullptr, CPaintManagerUI::GetResourceZipHandle());
    EXPECT_TRUE(CPaintManagerUI::IsCachedResourceZip());
    EXPECT_EQ("kept", Read(L"logo.png", SkinFileError::None));
    EXPECT_FALSE(DeleteFileW(path.c_str())) << "the cached archive is open";
    CPaintManagerUI::Term();
    EXPECT_EQ(nullptr, CPaintManagerUI::GetResourceZipHandle());
    Read(L"logo.png", SkinFileError::OpenZip);
}

} // namespace

#include "installer/engine/FileManage.h"
#include "installer/services/Product.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

class InstallWay : public ::testing::Test {
protected:
    void SetUp() override { qmtest::DeleteProductRegistry(); }
    void TearDown() override { qmtest::DeleteProductRegistry(); }

    void WriteRecordIcon(const std::string& icon) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExA(key, "DisplayIcon", 0, REG_SZ, reinterpret_cast<const BYTE*>(icon.c_str()),
                       static_cast<DWORD>(icon.size() + 1));
        RegCloseKey(key);
    }
    void CreateUserKey(const wchar_t* path) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    int Detect() { return DetectInstallKind(INSTALL_KIND_FRESH); }

    qmtest::TempDir dir{L"qmway"};
};

TEST_F(InstallWay, IsStoredAsOneCharacterWithoutTerminator) {
    struct Case {
        int kind;
        const char* stored;
    } cases[] = {{0, "1"}, {1, "2"}, {2, "3"}};
    for (const Case& c : cases) {
        WriteInstallKind(static_cast<InstallKind>(c.kind));
        DWORD type = 0;
        EXPECT_EQ(std::string(c.stored), qmtest::ReadInstallWay(&type)) << c.kind;
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    }
    // Written with the wide functions' view too: one character, no NUL.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key));
    wchar_t buf[8] = {};
    DWORD size = sizeof(buf);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"InstallWay", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(buf), &size));
    RegCloseKey(key);
    EXPECT_EQ(sizeof(wchar_t), size);
}

TEST_F(InstallWay, FreshInstallIsKindZero) {
    EXPECT_EQ(0, Detect());
}

TEST_F(InstallWay, RecordNamingAnExistingClientIsKindOne) {
    std::wstring client = dir / L"Quillmossdex.exe";
    qmtest::WriteFileBytes(client, "c");
    WriteRecordIcon(qmtest::Narrow(client));
    CreateUserKey(kSettingsKey); // the record wins over leftover settings
    EXPECT_EQ(1, Detect());
}

TEST_F(InstallWay, LeftoverSettingsWithoutAnInstalledClientAreKindTwo) {
    // A record whose client file is gone counts as no install.
    WriteRecordIcon(qmtest::Narrow(dir / L"gone.exe"));
    CreateUserKey(L"SOFTWARE\\Quillmossdex");
    EXPECT_EQ(2, Detect());
}

TEST_F(InstallWay, DetectionLeavesAnEarlierKindWhenNothingIsFound) {
    EXPECT_EQ(2, DetectInstallKind(INSTALL_KIND_OVER_SETTINGS));
}

} // namespace

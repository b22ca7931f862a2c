#include "installer/engine/FileManage.h"
#include "installer/services/Product.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/support/TestPayload.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

namespace {

// "青梧云端助手" in code page 936.
const std::string kNameGbk = "\xc7\xe0\xce\xe0\xd4\xc6\xb6\xcb\xd6\xfa\xca\xd6";

TEST(UninstallRecord, BasePathFollowsTheNativeArchitecture) {
    struct Case {
        WORD arch;
        const wchar_t* base;
    } cases[] = {
        {PROCESSOR_ARCHITECTURE_AMD64,
         L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {PROCESSOR_ARCHITECTURE_IA64,
         L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {PROCESSOR_ARCHITECTURE_INTEL, L"SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Uninstall"},
        {PROCESSOR_ARCHITECTURE_ARM, L"SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Uninstall"},
        {PROCESSOR_ARCHITECTURE_UNKNOWN,
         L"SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Uninstall"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.base, UninstallBasePath(c.arch)) << c.arch;
}

class Record : public ::testing::Test {
protected:
    void SetUp() override {
        qmtest::DeleteProductRegistry();
        fm = CFileManage::GetInstance();
        fm->BeginJob(qmtest::ProgressTo(probe.Hwnd()));
    }
    void TearDown() override {
        fm->BeginJob(TInstallJob());
        qmtest::DeleteProductRegistry();
    }
    CFileManage* fm = nullptr;
    qmtest::InstallProbe probe;
};

TEST_F(Record, ElevenValuesByteForByteInCodePage936) {
    // An existing record is overwritten value by value; nothing is deleted.
    HKEY pre = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &pre, nullptr));
    RegSetValueExA(pre, "DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>("0.9"), 4);
    RegSetValueExA(pre, "Other", 0, REG_SZ, reinterpret_cast<const BYTE*>("kept"), 5);
    RegCloseKey(pre);

    const std::string dir = "C:\\Program Files\\" + kNameGbk + "\\";
    // The engine holds the directory as wide text; its narrow form in code
    // page 936 is dir.
    fm->Run().installDir = L"C:\\Program Files\\青梧云端助手\\";
    fm->Run().totalBytes = 1048576 >> 10;
    ASSERT_EQ(INSTALL_OK, fm->WriteUninstallRecord());
    probe.Drain();
    EXPECT_EQ((std::vector<int>{99, 100}), probe.progress);

    const std::string z(1, '\0');
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    } cases[] = {
        {"UninstallString", REG_SZ, "\"" + dir + "uninst.exe\"" + z},
        {"DisplayIcon", REG_SZ, dir + "Quillmossdex.exe" + z},
        {"DisplayName", REG_SZ, kNameGbk + z},
        {"Publisher", REG_SZ, kNameGbk + z},
        {"InstallLocation", REG_SZ, dir + z},
        {"DisplayVersion", REG_SZ, "1.0.67" + z},
        {"URLInfoAbout", REG_SZ, "https://quillmoss.com" + z},
        {"HelpLink", REG_SZ, "https://quillmoss.com" + z},
        {"EstimatedSize", REG_DWORD, std::string("\x00\x04\x00\x00", 4)},
        {"_PROCESS_CHANNEL_", REG_SZ, "com.quillmoss.business.220822" + z},
        {"_CHANNEL_NAME_", REG_SZ, "220822" + z},
        {"Other", REG_SZ, "kept" + z},
    };
    for (const Case& c : cases) {
        DWORD type = 0;
        EXPECT_EQ(c.bytes, qmtest::ReadRecordValue(c.name, &type)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
    }
    EXPECT_EQ(13u, qmtest::ReadRecordValue("DisplayName").size());
    EXPECT_EQ(22u, qmtest::ReadRecordValue("URLInfoAbout").size());
}

TEST_F(Record, ThisThirtyTwoBitPrefixKeepsTheRecordOutsideWow6432Node) {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    // A 64-bit prefix (the bench where the kernel runs no 32-bit programs)
    // reports AMD64 and takes the other base, which the table test above covers.
    if (info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL)
        GTEST_SKIP() << "64-bit prefix: the record goes below WOW6432Node";
    fm->Run().installDir = L"C:\\q\\";
    ASSERT_EQ(INSTALL_OK, fm->WriteUninstallRecord());
    std::string key =
        std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kNameGbk;
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h));
    RegCloseKey(h);
    std::string wow =
        std::string("SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
        kNameGbk;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, wow.c_str(), 0, KEY_READ, &h));
}

// Makes the uninstall base key read-only for the scope of the object, so the
// record cannot be written; its own security is put back afterwards.
class ReadOnlyUninstallBase {
public:
    ReadOnlyUninstallBase() {
        SYSTEM_INFO info = {};
        GetNativeSystemInfo(&info);
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallBasePath(info.wProcessorArchitecture), 0,
                      READ_CONTROL | WRITE_DAC, &m_key);
        DWORD size = 0;
        RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, nullptr, &size);
        m_saved.resize(size);
        m_ok = RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_saved.data(), &size) ==
               ERROR_SUCCESS;
        PSECURITY_DESCRIPTOR readOnly = nullptr;
        // Read, and change the security back: nothing else.
        m_ok = m_ok && ConvertStringSecurityDescriptorToSecurityDescriptorA(
                           "D:(A;;KRWDRC;;;WD)", SDDL_REVISION_1, &readOnly, nullptr);
        m_ok =
            m_ok && RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
        LocalFree(readOnly);
    }
    ~ReadOnlyUninstallBase() {
        if (!m_saved.empty())
            RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_saved.data());
        RegCloseKey(m_key);
    }
    bool Ok() const { return m_ok; }

private:
    HKEY m_key = nullptr;
    std::vector<BYTE> m_saved;
    bool m_ok = false;
};

TEST_F(Record, RecordThatCannotBeWrittenFailsTheWholeRun) {
    fm->Run().installDir = L"C:\\q\\";
    {
        ReadOnlyUninstallBase guard;
        ASSERT_TRUE(guard.Ok());
        EXPECT_EQ(INSTALL_ERR_REGISTRY, fm->WriteUninstallRecord());
        probe.Drain();
        // 99 is posted before the record is tried; 100 never comes.
        EXPECT_EQ(std::vector<int>{99}, probe.progress);

        qmtest::TempDir work(L"qmrec");
        CreateDirectoryW((work / L"tmp").c_str(), nullptr);
        // The smallest payload an install accepts: the client and the uninstaller.
        std::string payload =
            qmtest::BuildPayload({{"Quillmossdex.exe", "c"}, {"uninst.exe", "u"}});
        std::wstring exe = qmtest::MakeInstaller(work / L"setup.exe", &payload);
        qmtest::InstallRun run = qmtest::RunInstaller(exe, work / L"inst\\", work / L"tmp");
        // The last message names the putting back, at the percentage reached.
        EXPECT_EQ((std::vector<int>{10, 10, 50, 95, 99, 99}), run.progress);
        ASSERT_FALSE(run.steps.empty());
        EXPECT_EQ(INSTALL_STEP_ROLL_BACK, run.steps.back());
        EXPECT_EQ(std::vector<unsigned>{INSTALL_ERR_REGISTRY}, run.results);
        // The install kind is only recorded for a successful install.
        EXPECT_EQ("", qmtest::ReadInstallWay());
    }
    EXPECT_EQ(INSTALL_OK, fm->WriteUninstallRecord());
}

} // namespace

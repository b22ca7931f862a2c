#include "skinui/core/ResourceZip.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using qmtest::BuildZip;
using qmtest::ZipEntry;
using SkinUI::CResourceZip;
using SkinUI::TZipEntry;

namespace {

ZipEntry Entry(const char* name, const std::string& data, bool deflate = true) {
    ZipEntry e;
    e.name = name;
    e.data = data;
    e.deflate = deflate;
    return e;
}

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 7 + i / 13) & 0xFF);
    return s;
}

class ResourceZipTest : public ::testing::Test {
protected:
    void Open(const std::vector<ZipEntry>& entries) {
        m_bytes = BuildZip(entries);
        m_zip = CResourceZip::OpenFromMemory(m_bytes.data(), m_bytes.size());
        ASSERT_NE(nullptr, m_zip);
    }
    void TearDown() override { delete m_zip; }

    std::string m_bytes;
    CResourceZip* m_zip = nullptr;
};

TEST_F(ResourceZipTest, FindsEntriesIgnoringCase) {
    Open({Entry("skin.xml", "<Window/>"), Entry("bk_top.png", Pattern(300), false)});
    EXPECT_EQ(2, m_zip->GetEntryCount());
    TZipEntry entry;
    ASSERT_TRUE(m_zip->FindEntry(L"Skin.XML", &entry));
    EXPECT_EQ(0, entry.index);
    EXPECT_EQ(std::wstring(L"skin.xml"), entry.name.GetData());
    EXPECT_EQ(9u, entry.uncompressedSize);
    ASSERT_TRUE(m_zip->FindEntry(L"BK_TOP.PNG", &entry));
    EXPECT_EQ(1, entry.index);
    EXPECT_EQ(300u, entry.uncompressedSize);
    EXPECT_FALSE(m_zip->FindEntry(L"skin.xm", &entry));
    EXPECT_FALSE(m_zip->FindEntry(L"skin.xml ", &entry));
    EXPECT_FALSE(m_zip->FindEntry(nullptr, &entry));
}

TEST_F(ResourceZipTest, Utf8AndCodePageNames) {
    ZipEntry utf8 = Entry("\xE5\x9B\xBE.png", "u"); // 图.png
    utf8.utf8Name = true;
    ZipEntry gbk = Entry("\xCD\xBC"
                         "2.png",
                         "g"); // 图2.png in code page 936
    Open({utf8, gbk});
    TZipEntry entry;
    EXPECT_TRUE(m_zip->FindEntry(L"图.PNG", &entry));
    EXPECT_TRUE(m_zip->FindEntry(L"图2.png", &entry));
}

TEST_F(ResourceZipTest, InflateResultsCompleteMoreAndFailure) {
    const std::string data = Pattern(70000);
    ZipEntry bad = Entry("bad.bin", data);
    bad.wrongCrc = true;
    Open({Entry("data.bin", data), Entry("stored.bin", data, false), bad});
    std::vector<BYTE> buffer(data.size());
    for (int index : {0, 1}) {
        std::fill(buffer.begin(), buffer.end(), 0);
        EXPECT_EQ(SkinUI::kZipOk, m_zip->Unzip(index, buffer.data(), (DWORD)buffer.size()));
        EXPECT_EQ(0, memcmp(buffer.data(), data.data(), data.size()));
        // A buffer that fills before the end of the entry.
        EXPECT_EQ(SkinUI::kZipMore, m_zip->Unzip(index, buffer.data(), 1000));
        EXPECT_EQ(0, memcmp(buffer.data(), data.data(), 1000));
    }
    // A larger buffer takes the whole entry.
    std::vector<BYTE> larger(data.size() + 10);
    EXPECT_EQ(SkinUI::kZipOk, m_zip->Unzip(0, larger.data(), (DWORD)larger.size()));
    // The check of the data fails only once all of it was read.
    EXPECT_NE(SkinUI::kZipOk, m_zip->Unzip(2, buffer.data(), (DWORD)buffer.size()));
    EXPECT_NE(SkinUI::kZipMore, m_zip->Unzip(2, buffer.data(), (DWORD)buffer.size()));
    EXPECT_EQ(SkinUI::kZipArgs, m_zip->Unzip(3, buffer.data(), 10));
    EXPECT_EQ(SkinUI::kZipArgs, m_zip->Unzip(-1, buffer.data(), 10));
    EXPECT_EQ(SkinUI::kZipArgs, m_zip->Unzip(0, nullptr, 10));
    // Entries can be read again, in any order.
    EXPECT_EQ(SkinUI::kZipOk, m_zip->Unzip(1, buffer.data(), (DWORD)buffer.size()));
}

TEST_F(ResourceZipTest, EncryptedAndUnknownMethodsAreRefused) {
    ZipEntry encrypted = Entry("secret.xml", "<a/>", false);
    encrypted.extraFlags = 1;
    ZipEntry bzip = Entry("bzip.xml", "<a/>", false);
    bzip.method = 12;
    Open({encrypted, bzip});
    BYTE buffer[8];
    EXPECT_EQ(SkinUI::kZipUnsupported, m_zip->Unzip(0, buffer, 4));
    EXPECT_EQ(SkinUI::kZipUnsupported, m_zip->Unzip(1, buffer, 4));
}

TEST_F(ResourceZipTest, DeclaredSizeLargerThanTheDataIsAFailure) {
    ZipEntry liar = Entry("liar.xml", "<a/>");
    liar.declaredSize = 100;
    Open({liar});
    BYTE buffer[100];
    const DWORD result = m_zip->Unzip(0, buffer, sizeof(buffer));
    EXPECT_NE(SkinUI::kZipOk, result);
    EXPECT_NE(SkinUI::kZipMore, result);
}

TEST(ResourceZip, NotAnArchive) {
    const char junk[] = "this is not a zip archive at all, just some text";
    EXPECT_EQ(nullptr, CResourceZip::OpenFromMemory(junk, sizeof(junk)));
    EXPECT_EQ(nullptr, CResourceZip::OpenFromMemory(nullptr, 10));
    EXPECT_EQ(nullptr, CResourceZip::OpenFromMemory(junk, 0));
    EXPECT_EQ(nullptr, CResourceZip::OpenFromFile(L"Z:\\no\\such\\archive.zip"));
    EXPECT_EQ(nullptr, CResourceZip::OpenFromFile(nullptr));
}

TEST(ResourceZip, MemoryIsReadInPlace) {
    // The archive reads the caller's block: changing the stored bytes of an
    // entry afterwards changes what is read.
    std::string bytes = BuildZip({Entry("a.txt", "hello", false)});
    CResourceZip* zip = CResourceZip::OpenFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(nullptr, zip);
    const size_t at = bytes.find("hello");
    ASSERT_NE(std::string::npos, at);
    bytes[at] = 'j';
    char out[5];
    EXPECT_NE(SkinUI::kZipOk, zip->Unzip(0, out, 5)) << "the CRC no longer matches";
    EXPECT_EQ('j', out[0]);
    delete zip;
}

TEST(ResourceZip, OpensFromFile) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path =
        std::wstring(temp) + L"skinui_zip_" + std::to_wstring(GetCurrentProcessId()) + L".zip";
    const std::string bytes = BuildZip({Entry("Skin.xml", "<Window/>")});
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(h);

    CResourceZip* zip = CResourceZip::OpenFromFile(path.c_str());
    ASSERT_NE(nullptr, zip);
    TZipEntry entry;
    ASSERT_TRUE(zip->FindEntry(L"skin.xml", &entry));
    char out[9];
    EXPECT_EQ(SkinUI::kZipOk, zip->Unzip(entry.index, out, 9));
    EXPECT_EQ(std::string("<Window/>"), std::string(out, 9));
    delete zip;
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "the archive file is closed with the handle";
}

} // namespace

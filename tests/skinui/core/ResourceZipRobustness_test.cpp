// Seeded random damage to a skin archive: corrupted, truncated and oversized
// archives through the archive reader and through the skin file source must
// each end in a clean failure (or, where the damage missed, in a success),
// without reading outside the archive's block or writing outside a buffer.
#include "skinui/core/Markup.h"
#include "skinui/core/ResourceZip.h"
#include "skinui/core/SkinFile.h"
#include "skinui/window/PaintManagerUI.h"
#include "tests/skinui/support/GuardedBuffer.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

using qmtest::ZipEntry;
using SkinUI::CMarkup;
using SkinUI::CPaintManagerUI;
using SkinUI::CResourceZip;
using SkinUI::TZipEntry;
using skinui_test::GuardedBuffer;

namespace {

std::string SkinArchive() {
    std::vector<ZipEntry> entries(4);
    entries[0].name = "skin.xml";
    entries[0].data = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                      "<Window size=\"560,420\"><VerticalLayout><Button name=\"install\" "
                      "normalimage=\"file='buttom.png' source='0,0,200,48'\"/></VerticalLayout>"
                      "</Window>";
    entries[1].name = "buttom.png";
    for (int i = 0; i < 3000; ++i)
        entries[1].data += static_cast<char>((i * 31) ^ (i >> 3));
    entries[2].name = "close.png";
    entries[2].data = std::string(500, 'x');
    entries[2].deflate = false;
    entries[3].name = "empty.txt";
    return qmtest::BuildZip(entries);
}

const std::set<std::wstring>& LoadMessages() {
    static const std::set<std::wstring> messages = {
        L"Error opening zip file",
        L"Could not find ziped file",
        L"File is empty",
        L"File too large",
        L"Could not unzip file",
        L"Expected start tag",
        L"Error parsing element name",
        L"Expected start-tag closing",
        L"Expected end-tag start",
        L"Unmatched closing tag",
        L"Error while parsing attributes",
        L"Expected attribute value",
        L"Error while parsing attribute string",
    };
    return messages;
}

// Every entry of an archive that opened: looked up by its own name and
// inflated into a buffer that ends at a guard page.
void ReadEveryEntry(CResourceZip* zip) {
    for (int i = 0; i < zip->GetEntryCount(); ++i) {
        TZipEntry entry;
        ASSERT_TRUE(zip->GetEntry(i, &entry));
        TZipEntry found;
        EXPECT_TRUE(zip->FindEntry(entry.name, &found));
        // Declared sizes of damaged archives can be anything; a bounded buffer
        // exercises the same paths.
        const DWORD size =
            entry.uncompressedSize > 65536 ? 65536 : static_cast<DWORD>(entry.uncompressedSize);
        GuardedBuffer out(size);
        (void)zip->Unzip(i, out.Data(), size);
    }
}

void LoadThroughSource(const GuardedBuffer& archive, const char* what, int iteration) {
    CPaintManagerUI::SetResourceZip(archive.Data(), static_cast<unsigned>(archive.Size()));
    for (const wchar_t* name : {L"skin.xml", L"buttom.png", L"close.png", L"empty.txt"}) {
        CMarkup m;
        if (!m.LoadFromFile(name)) {
            wchar_t message[100];
            m.GetLastErrorMessage(message, 100);
            EXPECT_EQ(1u, LoadMessages().count(message)) << what << " " << iteration;
        }
        SkinUI::CSkinFileBuffer bytes;
        (void)SkinUI::ReadSkinFile(name, 16 * 1024 * 1024, &bytes);
    }
    CPaintManagerUI::Term();
}

void Put32(std::string& s, size_t at, uint32_t v) {
    if (at + 4 > s.size())
        return;
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put16(std::string& s, size_t at, uint32_t v) {
    if (at + 2 > s.size())
        return;
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

TEST(ResourceZipRobustness, IntactArchiveReadsThroughTheSource) {
    const std::string bytes = SkinArchive();
    GuardedBuffer archive(bytes.data(), bytes.size());
    CPaintManagerUI::SetResourceZip(archive.Data(), static_cast<unsigned>(archive.Size()));
    CMarkup m;
    EXPECT_TRUE(m.LoadFromFile(L"skin.xml"));
    CPaintManagerUI::Term();
}

TEST(ResourceZipRobustness, EveryTruncation) {
    const std::string bytes = SkinArchive();
    for (size_t len = 0; len < bytes.size(); ++len) {
        GuardedBuffer archive(bytes.data(), len);
        CResourceZip* zip = CResourceZip::OpenFromMemory(archive.Data(), len);
        if (zip != nullptr) {
            ReadEveryEntry(zip);
            delete zip;
        }
        if (len % 16 == 0)
            LoadThroughSource(archive, "truncated", static_cast<int>(len));
    }
}

TEST(ResourceZipRobustness, RandomCorruption) {
    const std::string intact = SkinArchive();
    std::mt19937 rng(20240611);
    int opened = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string bytes = intact;
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int f = 0; f < flips; ++f)
            bytes[rng() % bytes.size()] = static_cast<char>(rng());
        GuardedBuffer archive(bytes.data(), bytes.size());
        CResourceZip* zip = CResourceZip::OpenFromMemory(archive.Data(), archive.Size());
        if (zip != nullptr) {
            ++opened;
            ReadEveryEntry(zip);
            delete zip;
        }
        if (i % 8 == 0)
            LoadThroughSource(archive, "corrupted", i);
    }
    EXPECT_GT(opened, 0);
}

TEST(ResourceZipRobustness, OversizedFieldsFailCleanly) {
    const std::string intact = SkinArchive();
    const size_t eocd = intact.rfind("PK\x05\x06");
    const size_t central = intact.find("PK\x01\x02");
    ASSERT_NE(std::string::npos, eocd);
    ASSERT_NE(std::string::npos, central);
    const uint32_t huge[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x00400001u, 0x10000000u};
    struct Field {
        size_t at;
        int width;
    };
    const Field fields[] = {
        {central + 20, 4}, // compressed size
        {central + 24, 4}, // uncompressed size
        {central + 28, 2}, // name length
        {central + 30, 2}, // extra length
        {central + 42, 4}, // local header offset
        {eocd + 8, 2},     // entries on this disk
        {eocd + 10, 2},    // entries in total
        {eocd + 12, 4},    // central directory size
        {eocd + 16, 4},    // central directory offset
        {eocd + 20, 2},    // comment length
        {18, 4},           // local compressed size
        {22, 4},           // local uncompressed size
        {26, 2},           // local name length
        {28, 2},           // local extra length
    };
    for (const Field& field : fields) {
        for (uint32_t value : huge) {
            std::string bytes = intact;
            if (field.width == 4)
                Put32(bytes, field.at, value);
            else
                Put16(bytes, field.at, value & 0xFFFF);
            GuardedBuffer archive(bytes.data(), bytes.size());
            CResourceZip* zip = CResourceZip::OpenFromMemory(archive.Data(), archive.Size());
            if (zip != nullptr) {
                ReadEveryEntry(zip);
                delete zip;
            }
            LoadThroughSource(archive, "oversized", static_cast<int>(field.at));
        }
    }
}

} // namespace

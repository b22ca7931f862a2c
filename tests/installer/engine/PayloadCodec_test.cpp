// Both compressors end to end: payloads the packer made at build time from
// one folder (helpers/make_codec_tree.py), installed by a copy of the
// installer, must give that folder byte for byte; a damaged LZMA payload
// installs nothing.
#include "installer/engine/FileManage.h"
#include "installer/engine/Sha256.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/support/LittleEndian.h"
#include "tests/support/TestPayload.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

namespace {

std::wstring CodecDir() {
    return qmtest::ProgramDir() + L"\\codec\\";
}

uint64_t Le64At(const std::string& bytes, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

class PayloadCodec : public ::testing::Test {
protected:
    void SetUp() override {
        qmtest::DeleteProductRegistry();
        CreateDirectoryW(tempDir.c_str(), nullptr);
    }
    void TearDown() override { qmtest::DeleteProductRegistry(); }

    qmtest::InstallRun Install(const std::string& payload, const std::string* digestOf = nullptr) {
        const std::wstring exe =
            qmtest::MakePayloadCopy(qmtest::ProgramDir() + L"\\qm_install_runner.exe",
                                    work / L"setup.exe", &payload, digestOf);
        EXPECT_FALSE(exe.empty());
        return qmtest::RunInstaller(exe, installDir, tempDir);
    }

    qmtest::TempDir work{L"qmcodec"};
    std::wstring tempDir = work / L"tmp";
    std::wstring installDir = work / L"inst\\";
};

TEST_F(PayloadCodec, EitherCompressorInstallsTheFolderByteForByte) {
    std::map<std::wstring, std::string> expected = qmtest::ReadTree(CodecDir() + L"tree\\");
    ASSERT_GT(expected.size(), 10u);
    // The installer writes the list of what it installed beside the files.
    expected[L"uninst.lst"] = "";
    for (const wchar_t* codec : {L"zstd", L"lzma"}) {
        SCOPED_TRACE(qmtest::Narrow(codec));
        const std::string payload = qmtest::ReadFileBytes(CodecDir() + codec + L".qmp");
        ASSERT_FALSE(payload.empty());
        const qmtest::InstallRun run = Install(payload);
        ASSERT_TRUE(run.ended);
        ASSERT_EQ(std::vector<unsigned>{INSTALL_OK}, run.results);
        std::map<std::wstring, std::string> installed = qmtest::ReadTree(installDir);
        ASSERT_EQ(1u, installed.count(L"uninst.lst"));
        installed[L"uninst.lst"] = "";
        for (const auto& [name, bytes] : expected) {
            ASSERT_EQ(1u, installed.count(name)) << qmtest::Narrow(name);
            EXPECT_TRUE(bytes == installed[name]) << qmtest::Narrow(name);
        }
        EXPECT_EQ(expected.size(), installed.size());
        qmtest::RemoveTree(installDir);
        qmtest::DeleteProductRegistry();
    }
}

// A changed byte is found by the digest before anything is made; a payload
// whose digest matches but whose LZMA data is damaged fails while unpacking
// and everything is put back.
TEST_F(PayloadCodec, DamagedLzmaPayloadInstallsNothing) {
    const std::string good = qmtest::ReadFileBytes(CodecDir() + L"lzma.qmp");
    ASSERT_GT(good.size(), 4096u);
    ASSERT_EQ(1, good[12]);
    const size_t data = 48 + static_cast<size_t>(Le64At(good, 16));
    std::string flipped = good;
    flipped[data + (good.size() - data) / 2] ^= 0x10;
    std::string bigDictionary = good;
    bigDictionary[data] = 40;
    std::string indexDictionary = good;
    indexDictionary[48] = 25;
    struct Case {
        const char* what;
        const std::string payload;
        const std::string* digestOf;
        unsigned result;
    } cases[] = {
        {"a byte changed", flipped, &good, INSTALL_ERR_DAMAGED},
        {"damaged data with its own digest", flipped, nullptr, INSTALL_ERR_UNZIP},
        {"a data dictionary above 2^24 bytes", bigDictionary, nullptr, INSTALL_ERR_UNZIP},
        {"an index dictionary above 2^24 bytes", indexDictionary, nullptr, INSTALL_ERR_DAMAGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const qmtest::InstallRun run = Install(c.payload, c.digestOf);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(std::vector<unsigned>{c.result}, run.results);
        if (c.result == INSTALL_ERR_DAMAGED) {
            EXPECT_TRUE(run.progress.empty());
        }
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(installDir.c_str()));
        EXPECT_EQ("", qmtest::ReadRecordValue("InstallLocation"));
    }
}

// The digest with the processor's SHA instructions (where it has them) and
// with the portable rounds, against the system's own SHA-256, for lengths
// around the 64-byte block and data given in uneven pieces.
TEST(Sha256, BothWaysGiveTheSystemsDigest) {
    const std::string data = qmtest::NoiseBytes(300000, 5);
    for (size_t length : {size_t{0}, size_t{1}, size_t{55}, size_t{56}, size_t{63}, size_t{64},
                          size_t{65}, size_t{128}, size_t{4097}, data.size()}) {
        const std::string bytes = data.substr(0, length);
        // The record is "QMDIGEST", the size, then the SHA-256.
        const std::string expected = qmtest::PayloadDigestRecord(bytes).substr(16);
        for (bool portable : {false, true}) {
            CSha256 sha(portable);
            sha.Update(bytes.data(), length / 3);
            sha.Update(bytes.data() + length / 3, length - length / 3);
            uint8_t digest[CSha256::kDigestSize];
            sha.Finish(digest);
            EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(digest), sizeof(digest)))
                << length << (portable ? " portable" : "");
        }
    }
}

} // namespace

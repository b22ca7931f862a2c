#include "tests/support/TestPayload.h"

#include "tests/support/LittleEndian.h"

#include <windows.h>

#include <wincrypt.h>

#include <zlib.h>

#include <cstring>

namespace qmtest {

namespace {

constexpr size_t kRawBlockMax = 128 * 1024;
constexpr size_t kAlignment = 4096;

void BlockHeader(std::string& out, bool last, int type, size_t size) {
    const uint32_t v =
        (last ? 1u : 0u) | (static_cast<uint32_t>(type) << 1) | (static_cast<uint32_t>(size) << 3);
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>((v >> 16) & 0xFF);
}

// A zstd frame of raw blocks with a window of 128 KiB; at breakAt (a data
// offset) a block of the reserved type stands instead of the rest.
std::string RawFrame(const std::string& data, size_t breakAt = std::string::npos) {
    std::string out("\x28\xB5\x2F\xFD", 4);
    out += '\0';                      // no content size, no checksum, no dictionary
    out += static_cast<char>(7 << 3); // window 2^(10+7)
    const bool broken = breakAt != std::string::npos;
    const size_t end = broken && breakAt < data.size() ? breakAt : data.size();
    for (size_t pos = 0; pos < end;) {
        const size_t n = end - pos < kRawBlockMax ? end - pos : kRawBlockMax;
        BlockHeader(out, !broken && pos + n == data.size(), 0, n);
        out.append(data, pos, n);
        pos += n;
    }
    if (broken) {
        BlockHeader(out, true, 3, 1);
        out += '\0';
    } else if (data.empty()) {
        BlockHeader(out, true, 0, 0);
    }
    return out;
}

// The compressor of the installer the tests drive (make test COMPRESSION=):
// it carries that compressor's decoder alone.
#if defined(QM_TEST_PAYLOAD_LZMA)
constexpr uint32_t kCodec = 1;
#else
constexpr uint32_t kCodec = 0;
#endif

// An LZMA2 frame of stored chunks, behind the byte naming its dictionary
// (2^16 bytes); at breakAt a chunk of an undefined kind stands instead of
// the rest.
std::string StoredLzmaFrame(const std::string& data, size_t breakAt = std::string::npos) {
    constexpr size_t kChunkMax = 64 * 1024;
    std::string out(1, '\x08');
    const bool broken = breakAt != std::string::npos;
    const size_t end = broken && breakAt < data.size() ? breakAt : data.size();
    for (size_t pos = 0; pos < end;) {
        const size_t n = end - pos < kChunkMax ? end - pos : kChunkMax;
        out += static_cast<char>(pos == 0 ? 0x01 : 0x02); // stored, the first resets the dictionary
        out += static_cast<char>(((n - 1) >> 8) & 0xFF);
        out += static_cast<char>((n - 1) & 0xFF);
        out.append(data, pos, n);
        pos += n;
    }
    out += static_cast<char>(broken ? 0x03 : 0x00);
    return out;
}

std::string Frame(const std::string& data, size_t breakAt = std::string::npos) {
    return kCodec == 1 ? StoredLzmaFrame(data, breakAt) : RawFrame(data, breakAt);
}

std::string Utf8Name(const ZipEntry& entry) {
    if (entry.utf8Name)
        return entry.name;
    const int len = static_cast<int>(entry.name.size());
    int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, entry.name.data(), len, nullptr, 0);
    if (n <= 0)
        return entry.name; // left as it is: the installer refuses it
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, entry.name.data(), len, &wide[0], n);
    n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::string Sha256(const std::string& bytes) {
    std::string digest;
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return digest;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        BYTE value[32];
        DWORD size = sizeof(value);
        if (CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()), 0) &&
            CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0) && size == sizeof(value))
            digest.assign(reinterpret_cast<const char*>(value), size);
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return digest;
}

std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size = {};
    DWORD got = 0;
    if (GetFileSizeEx(file, &size)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        if (!bytes.empty() &&
            (!::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) ||
             got != bytes.size()))
            bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const bool ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
        done == bytes.size();
    return CloseHandle(file) && ok;
}

// Where an image's parts lie in its file: the end of the sections' raw data,
// and the symbols with the string table after them (which hold section names
// longer than eight characters, ".eh_frame", even in a stripped image).
struct ImageParts {
    size_t pe = 0;
    size_t sectionsEnd = 0;
    size_t symbols = 0; // 0: none
    size_t tailEnd = 0;
};

bool ReadImageParts(const std::string& image, ImageParts* parts) {
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z')
        return false;
    uint32_t pe = 0;
    memcpy(&pe, image.data() + 0x3C, 4);
    if (pe > image.size() - 24 || memcmp(image.data() + pe, "PE\0\0", 4) != 0)
        return false;
    uint16_t count = 0, optional = 0;
    memcpy(&count, image.data() + pe + 6, 2);
    memcpy(&optional, image.data() + pe + 20, 2);
    const size_t table = pe + 24 + optional;
    size_t end = 0;
    for (size_t i = 0; i < count && table + 40 * (i + 1) <= image.size(); ++i) {
        uint32_t rawSize = 0, rawPointer = 0;
        memcpy(&rawSize, image.data() + table + 40 * i + 16, 4);
        memcpy(&rawPointer, image.data() + table + 40 * i + 20, 4);
        if (rawSize > 0 && rawPointer + size_t{rawSize} > end)
            end = rawPointer + size_t{rawSize};
    }
    if (end > image.size())
        return false;
    uint32_t symbols = 0, symbolCount = 0, stringsSize = 0;
    memcpy(&symbols, image.data() + pe + 12, 4);
    memcpy(&symbolCount, image.data() + pe + 16, 4);
    parts->pe = pe;
    parts->sectionsEnd = end;
    parts->symbols = 0;
    parts->tailEnd = end;
    const size_t strings = symbols + size_t{symbolCount} * 18;
    if (symbols != 0 && symbols >= end && strings + 4 <= image.size()) {
        memcpy(&stringsSize, image.data() + strings, 4);
        if (stringsSize >= 4 && strings + stringsSize <= image.size()) {
            parts->symbols = symbols;
            parts->tailEnd = strings + stringsSize;
        }
    }
    return true;
}

void SetSymbols(std::string& image, size_t pe, uint32_t pointer, uint32_t count) {
    memcpy(&image[pe + 12], &pointer, 4);
    memcpy(&image[pe + 16], &count, 4);
}

} // namespace

std::string BuildPayload(const std::vector<ZipEntry>& entries, int64_t declaredCount) {
    std::string index, data;
    size_t breakAt = std::string::npos;
    for (const ZipEntry& entry : entries) {
        const std::string name = Utf8Name(entry);
        const bool folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
        const std::string content = folder ? std::string() : entry.data;
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(content.data()),
                    static_cast<uInt>(content.size()));
        if (entry.wrongCrc)
            crc ^= 0x1;
        if (entry.brokenDeflate && breakAt == std::string::npos)
            breakAt = data.size();
        Put16(index, static_cast<uint32_t>(name.size()));
        index += name;
        Put64(index,
              entry.declaredSize >= 0 ? static_cast<uint64_t>(entry.declaredSize) : content.size());
        Put32(index, static_cast<uint32_t>(crc));
        index += '\0'; // no filter
        data += content;
    }
    uint64_t declaredTotal = 0;
    for (const ZipEntry& entry : entries) {
        const std::string name = Utf8Name(entry);
        const bool folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
        declaredTotal += entry.declaredSize >= 0 ? static_cast<uint64_t>(entry.declaredSize)
                         : folder                ? 0
                                                 : entry.data.size();
    }
    const std::string packedIndex = Frame(index);
    const std::string packedData = Frame(data, breakAt);
    std::string out("QMPACK\0\1", 8);
    Put32(out, declaredCount >= 0 ? static_cast<uint32_t>(declaredCount)
                                  : static_cast<uint32_t>(entries.size()));
    Put32(out, kCodec);
    Put64(out, packedIndex.size());
    Put64(out, index.size());
    Put64(out, packedData.size());
    Put64(out, declaredTotal);
    return out + packedIndex + packedData;
}

std::string PayloadDigestRecord(const std::string& payload) {
    std::string out("QMDIGEST", 8);
    Put64(out, payload.size());
    return out + Sha256(payload);
}

std::wstring MakePayloadCopy(const std::wstring& program, const std::wstring& path,
                             const std::string* payload, const std::string* digestOf) {
    std::string image = ReadAll(program);
    ImageParts parts;
    if (!ReadImageParts(image, &parts))
        return L"";
    // The symbols and string table go aside while the resources are updated
    // (the system's updater knows nothing of them and may leave them where
    // the sections no longer end), and back right after the sections then.
    const std::string tail = image.substr(parts.sectionsEnd, parts.tailEnd - parts.sectionsEnd);
    uint32_t symbolCount = 0;
    memcpy(&symbolCount, image.data() + parts.pe + 16, 4);
    image.resize(parts.sectionsEnd);
    SetSymbols(image, parts.pe, 0, 0);
    if (!payload)
        return WriteAll(path, image) ? path : L"";
    if (!WriteAll(path, image))
        return L"";
    {
        std::string digest = PayloadDigestRecord(digestOf ? *digestOf : *payload);
        HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
        if (!update)
            return L"";
        const BOOL ok = UpdateResourceW(update, L"QMPAYLOAD", MAKEINTRESOURCEW(101),
                                        MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
                                        &digest[0], static_cast<DWORD>(digest.size()));
        if (!EndUpdateResourceW(update, !ok) || !ok)
            return L"";
        image = ReadAll(path);
        if (!ReadImageParts(image, &parts))
            return L"";
        image.resize(parts.sectionsEnd);
    }
    if (!tail.empty()) {
        SetSymbols(image, parts.pe, static_cast<uint32_t>(image.size()), symbolCount);
        image += tail;
    }
    const size_t start = (image.size() + kAlignment - 1) / kAlignment * kAlignment;
    image.append(start - image.size(), '\0');
    image += *payload;
    return WriteAll(path, image) ? path : L"";
}

} // namespace qmtest

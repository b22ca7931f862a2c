#include "skinui/core/ResourceZip.h"

#include "skinui/core/Crc32.h"
#include "skinui/core/Handles.h"

#include <stb_image.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace SkinUI {

// The archive's bytes: a memory block used in place, or a file read whole
// into a block of the reader's own (skins are small).
struct CResourceZip::Source {
    const BYTE* data = nullptr;
    size_t size = 0;
    std::unique_ptr<BYTE[]> owned;
    // Held open without write or delete sharing while the archive is, so
    // nobody changes or swaps the file under a cached archive.
    UniqueHandle file;
};

struct CResourceZip::Entry {
    CSkinString name;
    // Where the entry's local header starts in the source.
    size_t localHeader;
    ULONGLONG compressedSize;
    ULONGLONG uncompressedSize;
    uint32_t crc;
    unsigned flag;
    unsigned method;
};

namespace {

constexpr unsigned kFlagEncrypted = 0x1;
constexpr unsigned kFlagUtf8Name = 0x800;
constexpr unsigned kMethodStored = 0;
constexpr unsigned kMethodDeflated = 8;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
// A skin file larger than this is damage, not something to allocate for.
constexpr ULONGLONG kMaxEntrySize = 256ull * 1024 * 1024;
constexpr size_t kMaxFileSize = 512u * 1024 * 1024;
constexpr size_t kInflatePadding = 8;

uint32_t Get16(const BYTE* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t Get32(const BYTE* p) {
    return Get16(p) | Get16(p + 2) << 16;
}

// Whether [at, at + size) lies inside a block of total bytes.
bool Inside(size_t total, size_t at, size_t size) {
    return at <= total && size <= total - at;
}

// Case-insensitive key: the name upper-cased by the system's simple case
// mapping, the same mapping for every character whatever the locale.
CSkinString LookupKey(const wchar_t* name) {
    CSkinString key(name);
    const int len = key.GetLength();
    if (len > 0) {
        // The string owns at least len + 1 characters.
        CharUpperBuffW(const_cast<wchar_t*>(key.GetData()), static_cast<DWORD>(len));
    }
    return key;
}

} // namespace

CResourceZip* CResourceZip::OpenFromMemory(const void* data, size_t size) {
    if (data == nullptr || size == 0)
        return nullptr;
    Source* source = new (std::nothrow) Source;
    if (source == nullptr)
        return nullptr;
    source->data = static_cast<const BYTE*>(data);
    source->size = size;
    return OpenSource(source);
}

CResourceZip* CResourceZip::OpenFromFile(const wchar_t* path) {
    if (path == nullptr || path[0] == 0)
        return nullptr;
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<ULONGLONG>(size.QuadPart) > kMaxFileSize)
        return nullptr;
    Source* source = new (std::nothrow) Source;
    if (source == nullptr)
        return nullptr;
    source->size = static_cast<size_t>(size.QuadPart);
    source->owned.reset(new (std::nothrow) BYTE[source->size]);
    DWORD read = 0;
    if (!source->owned ||
        !ReadFile(file.Get(), source->owned.get(), static_cast<DWORD>(source->size), &read,
                  nullptr) ||
        read != source->size) {
        delete source;
        return nullptr;
    }
    source->data = source->owned.get();
    source->file = std::move(file);
    return OpenSource(source);
}

CResourceZip* CResourceZip::OpenSource(Source* source) {
    CResourceZip* zip = new (std::nothrow) CResourceZip;
    if (zip == nullptr) {
        delete source;
        return nullptr;
    }
    zip->m_source = source;
    if (!zip->BuildIndex()) {
        delete zip;
        return nullptr;
    }
    return zip;
}

CResourceZip::~CResourceZip() {
    for (int i = 0; i < m_entries.GetSize(); ++i)
        delete static_cast<Entry*>(m_entries[i]);
    delete m_source;
}

// Walks the central directory once. An archive whose directory cannot be read
// to the end is refused as a whole rather than served in part.
bool CResourceZip::BuildIndex() {
    const BYTE* data = m_source->data;
    const size_t total = m_source->size;
    if (total < kEndSize)
        return false;
    // The end record is the last thing in the archive but for a comment of at
    // most 65535 bytes.
    size_t end = total - kEndSize;
    const size_t lowest = end > 0xFFFF ? end - 0xFFFF : 0;
    while (Get32(data + end) != kEndSignature) {
        if (end == lowest)
            return false;
        --end;
    }
    const BYTE* record = data + end;
    const uint32_t count = Get16(record + 10);
    const uint32_t directorySize = Get32(record + 12);
    const uint32_t directoryOffset = Get32(record + 16);
    // One disk only.
    if (Get16(record + 4) != 0 || Get16(record + 6) != 0 || Get16(record + 8) != count)
        return false;
    if (directorySize > end)
        return false;
    // Bytes before the archive (a program it was appended to) shift every
    // offset it records by the same amount.
    const size_t directory = end - directorySize;
    if (directory < directoryOffset)
        return false;
    const size_t shift = directory - directoryOffset;

    size_t at = directory;
    for (uint32_t i = 0; i < count; ++i) {
        if (!Inside(end, at, kCentralSize) || Get32(data + at) != kCentralSignature)
            return false;
        const BYTE* h = data + at;
        const uint32_t nameLen = Get16(h + 28);
        const size_t next = at + kCentralSize + nameLen + Get16(h + 30) + Get16(h + 32);
        if (!Inside(end, at + kCentralSize, nameLen) || next > end)
            return false;
        const uint32_t localOffset = Get32(h + 42);
        if (localOffset > total - shift)
            return false;

        Entry* entry = new (std::nothrow) Entry;
        if (entry == nullptr || !m_entries.Add(entry)) {
            delete entry;
            return false;
        }
        entry->flag = Get16(h + 8);
        entry->method = Get16(h + 10);
        entry->crc = Get32(h + 16);
        entry->compressedSize = Get32(h + 20);
        entry->uncompressedSize = Get32(h + 24);
        entry->localHeader = shift + localOffset;
        const UINT codePage = (entry->flag & kFlagUtf8Name) != 0 ? CP_UTF8 : CP_OEMCP;
        const char* nameBytes = reinterpret_cast<const char*>(h + kCentralSize);
        const int wideLen = nameLen > 0 ? MultiByteToWideChar(codePage, 0, nameBytes,
                                                              static_cast<int>(nameLen), nullptr, 0)
                                        : 0;
        std::unique_ptr<wchar_t[]> wide(new (std::nothrow) wchar_t[wideLen > 0 ? wideLen + 1 : 1]);
        if (!wide)
            return false;
        const int made = wideLen > 0
                             ? MultiByteToWideChar(codePage, 0, nameBytes,
                                                   static_cast<int>(nameLen), wide.get(), wideLen)
                             : 0;
        wide[made > 0 ? made : 0] = 0;
        entry->name = wide.get();
        // The first of two names that differ only in case wins.
        m_byName.Insert(LookupKey(wide.get()), entry);
        at = next;
    }
    return true;
}

bool CResourceZip::GetEntry(int index, TZipEntry* entry) const {
    const Entry* found = static_cast<const Entry*>(m_entries.GetAt(index));
    if (found == nullptr || entry == nullptr)
        return false;
    entry->index = index;
    entry->name = found->name;
    entry->uncompressedSize = found->uncompressedSize;
    entry->compressedSize = found->compressedSize;
    return true;
}

bool CResourceZip::FindEntry(const wchar_t* name, TZipEntry* entry) const {
    if (name == nullptr)
        return false;
    const Entry* found = static_cast<const Entry*>(m_byName.Find(LookupKey(name)));
    if (found == nullptr)
        return false;
    if (entry != nullptr)
        GetEntry(m_entries.Find(found), entry);
    return true;
}

DWORD CResourceZip::Unzip(int index, void* buffer, DWORD size) {
    const Entry* entry = static_cast<const Entry*>(m_entries.GetAt(index));
    if (entry == nullptr || (buffer == nullptr && size > 0))
        return kZipArgs;
    if ((entry->flag & kFlagEncrypted) != 0 ||
        (entry->method != kMethodStored && entry->method != kMethodDeflated))
        return kZipUnsupported;
    const BYTE* data = m_source->data;
    const size_t total = m_source->size;
    const size_t local = entry->localHeader;
    if (!Inside(total, local, kLocalSize) || Get32(data + local) != kLocalSignature)
        return kZipCorrupt;
    const size_t start = local + kLocalSize + Get16(data + local + 26) + Get16(data + local + 28);
    if (entry->compressedSize > total ||
        !Inside(total, start, static_cast<size_t>(entry->compressedSize)) ||
        entry->uncompressedSize > kMaxEntrySize)
        return kZipCorrupt;
    const BYTE* packed = data + start;
    const size_t packedSize = static_cast<size_t>(entry->compressedSize);
    const size_t unpackedSize = static_cast<size_t>(entry->uncompressedSize);

    // The whole entry is unpacked and checked, so that a buffer smaller than
    // the entry still gets its verdict; callers use the buffer only after
    // kZipOk or kZipMore.
    const BYTE* whole = packed;
    std::unique_ptr<BYTE[]> inflated;
    if (entry->method == kMethodStored) {
        if (packedSize != unpackedSize)
            return kZipCorrupt;
    } else {
        // One byte more than recorded, so that data longer than its record
        // shows as such.
        inflated.reset(new (std::nothrow) BYTE[unpackedSize + 1]);
        if (!inflated)
            return kZipCorrupt;
        // The decoder takes a stream that ends right at its last bits for
        // one cut short, so it is given a few bytes past the entry; it stops
        // at the stream's own end all the same. In an archive the central
        // directory follows every entry, so those bytes are there to read in
        // place; only a damaged archive needs a padded copy.
        const BYTE* input = packed;
        std::unique_ptr<BYTE[]> padded;
        if (!Inside(total, start, packedSize + kInflatePadding)) {
            padded.reset(new (std::nothrow) BYTE[packedSize + kInflatePadding]);
            if (!padded)
                return kZipCorrupt;
            memcpy(padded.get(), packed, packedSize);
            memset(padded.get() + packedSize, 0, kInflatePadding);
            input = padded.get();
        }
        const int n = stbi_zlib_decode_noheader_buffer(
            reinterpret_cast<char*>(inflated.get()), static_cast<int>(unpackedSize + 1),
            reinterpret_cast<const char*>(input), static_cast<int>(packedSize + kInflatePadding));
        if (n < 0 || static_cast<size_t>(n) != unpackedSize)
            return kZipCorrupt;
        whole = inflated.get();
    }
    const size_t copied = size < unpackedSize ? size : unpackedSize;
    if (copied > 0)
        memcpy(buffer, whole, copied);
    if (Crc32(0, whole, unpackedSize) != entry->crc)
        return kZipCorrupt;
    return size < unpackedSize ? kZipMore : kZipOk;
}

} // namespace SkinUI

#include "skinui/core/ResourceZip.h"

#include "skinui/core/Handles.h"

#include <new>
#include <utility>

#include <unzip.h>

namespace SkinUI {

// The bytes minizip reads: a memory block used in place, or an open file.
// minizip reaches them only through the callbacks below, which never read
// outside the block and fail a seek beyond its end.
struct CResourceZip::Source {
    const BYTE* data = nullptr;
    ULONGLONG size = 0;
    ULONGLONG pos = 0;
    UniqueHandle file;
};

struct CResourceZip::Entry {
    CSkinString name;
    unz64_file_pos pos;
    ULONGLONG compressedSize;
    ULONGLONG uncompressedSize;
    unsigned long flag;
    unsigned long method;
};

namespace {

constexpr unsigned long kFlagEncrypted = 0x1;
constexpr unsigned long kFlagUtf8Name = 0x800;
constexpr unsigned long kMethodStored = 0;

voidpf ZCALLBACK SourceOpen(voidpf opaque, const void* /*filename*/, int /*mode*/) {
    auto* source = static_cast<CResourceZip::Source*>(opaque);
    source->pos = 0;
    return source;
}

uLong ZCALLBACK SourceRead(voidpf /*opaque*/, voidpf stream, void* buf, uLong size) {
    auto* source = static_cast<CResourceZip::Source*>(stream);
    if (source->file) {
        DWORD read = 0;
        if (!ReadFile(source->file.Get(), buf, size, &read, nullptr))
            return 0;
        return read;
    }
    if (source->pos >= source->size)
        return 0;
    ULONGLONG available = source->size - source->pos;
    const uLong count = available < size ? static_cast<uLong>(available) : size;
    memcpy(buf, source->data + source->pos, count);
    source->pos += count;
    return count;
}

uLong ZCALLBACK SourceWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK SourceTell(voidpf /*opaque*/, voidpf stream) {
    auto* source = static_cast<CResourceZip::Source*>(stream);
    if (source->file) {
        LARGE_INTEGER zero = {};
        LARGE_INTEGER pos = {};
        if (!SetFilePointerEx(source->file.Get(), zero, &pos, FILE_CURRENT))
            return static_cast<ZPOS64_T>(-1);
        return static_cast<ZPOS64_T>(pos.QuadPart);
    }
    return source->pos;
}

long ZCALLBACK SourceSeek(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
    auto* source = static_cast<CResourceZip::Source*>(stream);
    if (source->file) {
        DWORD method = FILE_BEGIN;
        if (origin == ZLIB_FILEFUNC_SEEK_CUR)
            method = FILE_CURRENT;
        else if (origin == ZLIB_FILEFUNC_SEEK_END)
            method = FILE_END;
        LARGE_INTEGER distance;
        distance.QuadPart = static_cast<LONGLONG>(offset);
        return SetFilePointerEx(source->file.Get(), distance, nullptr, method) ? 0 : -1;
    }
    ULONGLONG base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = source->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = source->size;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    // Offsets are unsigned: anything past the end of the block is an error.
    if (offset > source->size || base > source->size - offset)
        return -1;
    source->pos = base + offset;
    return 0;
}

int ZCALLBACK SourceClose(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK SourceError(voidpf, voidpf) {
    return 0;
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
    if (!file)
        return nullptr;
    Source* source = new (std::nothrow) Source;
    if (source == nullptr)
        return nullptr;
    source->file = std::move(file);
    return OpenSource(source);
}

CResourceZip* CResourceZip::OpenSource(Source* source) {
    CResourceZip* zip = new (std::nothrow) CResourceZip;
    if (zip == nullptr) {
        delete source;
        return nullptr;
    }
    if (!zip->Open(source)) {
        delete zip;
        return nullptr;
    }
    return zip;
}

// Takes ownership of `source` whatever the outcome.
bool CResourceZip::Open(Source* source) {
    m_source = source;
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = SourceOpen;
    functions.zread_file = SourceRead;
    functions.zwrite_file = SourceWrite;
    functions.ztell64_file = SourceTell;
    functions.zseek64_file = SourceSeek;
    functions.zclose_file = SourceClose;
    functions.zerror_file = SourceError;
    functions.opaque = source;
    m_unz = unzOpen2_64(source, &functions);
    if (m_unz == nullptr)
        return false;
    return BuildIndex();
}

CResourceZip::~CResourceZip() {
    if (m_unz != nullptr)
        unzClose(m_unz);
    for (int i = 0; i < m_entries.GetSize(); ++i)
        delete static_cast<Entry*>(m_entries[i]);
    delete m_source;
}

// Walks the central directory once. An archive whose directory cannot be read
// to the end is refused as a whole rather than served in part.
bool CResourceZip::BuildIndex() {
    unz_global_info64 global = {};
    if (unzGetGlobalInfo64(m_unz, &global) != UNZ_OK)
        return false;
    if (global.number_entry == 0)
        return true;
    // Names are at most 65535 bytes.
    const uLong nameCapacity = 0x10000;
    char* nameBytes = static_cast<char*>(malloc(nameCapacity + 1));
    wchar_t* nameWide = static_cast<wchar_t*>(malloc((nameCapacity + 1) * sizeof(wchar_t)));
    bool ok = nameBytes != nullptr && nameWide != nullptr;
    int err = ok ? unzGoToFirstFile(m_unz) : UNZ_INTERNALERROR;
    for (ZPOS64_T i = 0; ok; ++i) {
        if (err != UNZ_OK) {
            ok = false;
            break;
        }
        unz_file_info64 info = {};
        if (unzGetCurrentFileInfo64(m_unz, &info, nameBytes, nameCapacity, nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            ok = false;
            break;
        }
        const int nameLen =
            static_cast<int>(info.size_filename < nameCapacity ? info.size_filename : nameCapacity);
        const UINT codePage = (info.flag & kFlagUtf8Name) != 0 ? CP_UTF8 : CP_OEMCP;
        int wideLen = nameLen > 0 ? MultiByteToWideChar(codePage, 0, nameBytes, nameLen, nameWide,
                                                        static_cast<int>(nameCapacity))
                                  : 0;
        if (wideLen < 0)
            wideLen = 0;
        nameWide[wideLen] = 0;

        Entry* entry = new (std::nothrow) Entry;
        if (entry == nullptr || unzGetFilePos64(m_unz, &entry->pos) != UNZ_OK ||
            !m_entries.Add(entry)) {
            delete entry;
            ok = false;
            break;
        }
        entry->name = nameWide;
        entry->compressedSize = info.compressed_size;
        entry->uncompressedSize = info.uncompressed_size;
        entry->flag = info.flag;
        entry->method = info.compression_method;
        // The first of two names that differ only in case wins.
        m_byName.Insert(LookupKey(nameWide), entry);

        if (i + 1 >= global.number_entry)
            break;
        err = unzGoToNextFile(m_unz);
    }
    free(nameBytes);
    free(nameWide);
    return ok;
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
        (entry->method != kMethodStored && entry->method != Z_DEFLATED))
        return kZipUnsupported;
    unz64_file_pos pos = entry->pos;
    if (unzGoToFilePos64(m_unz, &pos) != UNZ_OK || unzOpenCurrentFile(m_unz) != UNZ_OK)
        return kZipCorrupt;

    BYTE* out = static_cast<BYTE*>(buffer);
    DWORD done = 0;
    while (done < size) {
        const DWORD left = size - done;
        const unsigned chunk = left > 0x40000000u ? 0x40000000u : left;
        const int read = unzReadCurrentFile(m_unz, out + done, chunk);
        if (read < 0) {
            unzCloseCurrentFile(m_unz);
            return kZipCorrupt;
        }
        if (read == 0)
            break;
        done += static_cast<DWORD>(read);
    }
    if (done == size) {
        BYTE probe = 0;
        const int more = unzReadCurrentFile(m_unz, &probe, 1);
        if (more > 0) {
            unzCloseCurrentFile(m_unz);
            return kZipMore;
        }
        if (more < 0) {
            unzCloseCurrentFile(m_unz);
            return kZipCorrupt;
        }
    }
    // Closing checks the CRC once the whole entry was read.
    if (unzCloseCurrentFile(m_unz) != UNZ_OK)
        return kZipCorrupt;
    // An entry whose data ends before its recorded size is damaged; the caller
    // sized its buffer by that record.
    if (done < size && done != entry->uncompressedSize)
        return kZipCorrupt;
    return kZipOk;
}

} // namespace SkinUI

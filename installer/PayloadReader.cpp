#include "installer/PayloadReader.h"

#include <cstdio>
#include <cstring>

namespace {

// The archive reader asks for a few dozen bytes at a time while it walks the
// directory; one read of this size serves many of them. Entry data is read
// in pieces at least this large, which bypass the buffer. Every read of the
// file costs a system call, which under a compatibility layer is dear.
constexpr uint32_t kReadBufferSize = 256 * 1024;
// GetModuleFileNameW cuts without saying so except by filling the buffer;
// the longest path Windows has is 32,767 characters.
constexpr DWORD kLongestPath = 32768;
constexpr uint64_t kEndRecordSize = 22;

bool OwnFileName(std::wstring* name) {
    for (DWORD room = MAX_PATH; room <= kLongestPath; room *= 2) {
        name->assign(room, L'\0');
        DWORD n = GetModuleFileNameW(nullptr, &(*name)[0], room);
        if (n == 0)
            return false;
        if (n < room) {
            name->resize(n);
            return true;
        }
    }
    return false;
}

// The reader's file functions; the "file name" it is given is the stream.
voidpf ZCALLBACK StreamOpen(voidpf, const void* stream, int) {
    return const_cast<void*>(stream);
}
uLong ZCALLBACK StreamRead(voidpf, voidpf stream, void* out, uLong count) {
    return static_cast<PayloadStream*>(stream)->Read(out, static_cast<uint32_t>(count));
}
uLong ZCALLBACK StreamWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}
ZPOS64_T ZCALLBACK StreamTell(voidpf, voidpf stream) {
    return static_cast<PayloadStream*>(stream)->Tell();
}
long ZCALLBACK StreamSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    int whence = origin == ZLIB_FILEFUNC_SEEK_SET   ? SEEK_SET
                 : origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR
                                                    : SEEK_END;
    // The reader passes backward distances from the end as their two's
    // complement in the unsigned type.
    return static_cast<PayloadStream*>(stream)->Seek(static_cast<int64_t>(offset), whence) ? 0 : -1;
}
// The stream's owner closes the file.
int ZCALLBACK StreamClose(voidpf, voidpf) {
    return 0;
}
int ZCALLBACK StreamError(voidpf, voidpf stream) {
    return static_cast<PayloadStream*>(stream)->Failed() ? 1 : 0;
}

} // namespace

bool FindOwnPayload(PayloadRange* range) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(101), L"ZIP");
    if (!found)
        return false;
    const DWORD size = SizeofResource(self, found);
    HGLOBAL loaded = LoadResource(self, found);
    // Only the address is used: reading through it would make every page of
    // the archive part of the working set.
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const BYTE* base = reinterpret_cast<const BYTE*>(self);
    if (!data || data < base)
        return false;
    const uint64_t rva = static_cast<uint64_t>(data - base);

    // The headers are resident from the load.
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return false;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return false;
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const uint64_t start = section->VirtualAddress;
        const uint64_t raw = section->SizeOfRawData;
        if (rva < start || rva - start >= raw)
            continue;
        // A tail past the raw data would be the loader's zero fill, which the
        // file does not hold.
        if (rva - start + size > raw)
            return false;
        range->offset = section->PointerToRawData + (rva - start);
        range->size = size;
        return OwnFileName(&range->file);
    }
    return false;
}

// ---------------------------------------------------------------------------
// PayloadStream

bool PayloadStream::Open(const PayloadRange& range) {
    // Others may read the file meanwhile (the system's loader keeps its own
    // image of it); nobody may change it while the archive is read.
    m_file.Reset(CreateFileW(range.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER fileSize = {};
    if (!m_file || !GetFileSizeEx(m_file.Get(), &fileSize))
        return false;
    const uint64_t total = static_cast<uint64_t>(fileSize.QuadPart);
    if (range.offset > total || range.size > total - range.offset)
        return false;
    m_base = range.offset;
    m_size = range.size;
    m_pos = 0;
    m_bufferLength = 0;
    m_failed = false;
    m_buffer.resize(kReadBufferSize);
    return true;
}

unzFile PayloadStream::OpenZip() {
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = StreamOpen;
    functions.zread_file = StreamRead;
    functions.zwrite_file = StreamWrite;
    functions.ztell64_file = StreamTell;
    functions.zseek64_file = StreamSeek;
    functions.zclose_file = StreamClose;
    functions.zerror_file = StreamError;
    m_pos = 0;
    return unzOpen2_64(this, &functions);
}

bool PayloadStream::IsEmptyArchive() {
    unsigned char end[kEndRecordSize] = {};
    if (m_size < kEndRecordSize || !Seek(0, SEEK_SET) || Read(end, sizeof(end)) != sizeof(end))
        return false;
    auto u16 = [&](int at) { return static_cast<unsigned>(end[at] | (end[at + 1] << 8)); };
    const bool signature = end[0] == 'P' && end[1] == 'K' && end[2] == 5 && end[3] == 6;
    // Entries on this disk, entries in all, directory size and offset all 0.
    bool empty = true;
    for (int at = 8; at < 20; ++at)
        empty = empty && end[at] == 0;
    return signature && empty && m_size == kEndRecordSize + u16(20);
}

uint32_t PayloadStream::Read(void* out, uint32_t count) {
    if (!m_file || m_pos >= m_size)
        return 0;
    if (count > m_size - m_pos)
        count = static_cast<uint32_t>(m_size - m_pos);
    char* to = static_cast<char*>(out);
    uint32_t done = 0;
    while (done < count) {
        const uint32_t want = count - done;
        if (m_pos >= m_bufferPos && m_pos < m_bufferPos + m_bufferLength) {
            const uint32_t at = static_cast<uint32_t>(m_pos - m_bufferPos);
            const uint32_t n = want < m_bufferLength - at ? want : m_bufferLength - at;
            memcpy(to + done, m_buffer.data() + at, n);
            done += n;
            m_pos += n;
            continue;
        }
        if (want >= m_buffer.size()) {
            const uint32_t n = ReadAt(m_pos, to + done, want);
            done += n;
            m_pos += n;
            break;
        }
        const uint64_t left = m_size - m_pos;
        const uint32_t fill = left < m_buffer.size() ? static_cast<uint32_t>(left)
                                                     : static_cast<uint32_t>(m_buffer.size());
        m_bufferPos = m_pos;
        m_bufferLength = ReadAt(m_pos, m_buffer.data(), fill);
        if (m_bufferLength == 0)
            break;
    }
    return done;
}

bool PayloadStream::Seek(int64_t offset, int origin) {
    const uint64_t from = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? m_pos : m_size;
    const uint64_t to = from + static_cast<uint64_t>(offset);
    // Unsigned wrap-around makes a step before the start land far past the end.
    if (offset < 0 ? to > from : to < from)
        return false;
    if (to > m_size)
        return false;
    m_pos = to;
    return true;
}

uint32_t PayloadStream::ReadAt(uint64_t pos, char* out, uint32_t count) {
    // The offset travels with each read, so no file position is shared
    // between seeks and reads.
    OVERLAPPED at = {};
    const uint64_t absolute = m_base + pos;
    at.Offset = static_cast<DWORD>(absolute);
    at.OffsetHigh = static_cast<DWORD>(absolute >> 32);
    DWORD got = 0;
    if (!ReadFile(m_file.Get(), out, count, &got, &at) || got != count) {
        // The range was checked against the file's size: a short read is a
        // failure of the file, not its end.
        m_failed = true;
        return 0;
    }
    return got;
}

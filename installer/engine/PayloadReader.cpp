#include "installer/engine/PayloadReader.h"

#include "installer/engine/ArchiveEntry.h"
#include "installer/services/PathText.h"
#include "installer/engine/EntryWriter.h"
#include "installer/engine/Sha256.h"
#include "installer/services/SlimLock.h"

// A shipped installer carries the decoder of its own payload's codec only
// (QM_PAYLOAD_CODEC is that codec's number): the other one would be tens of
// kilobytes of every download that nothing runs. Without it both are built
// in, as the tests and tools want.
#if !defined(QM_PAYLOAD_CODEC) || QM_PAYLOAD_CODEC == 0
#define QM_WITH_ZSTD 1
#else
#define QM_WITH_ZSTD 0
#endif
#if !defined(QM_PAYLOAD_CODEC) || QM_PAYLOAD_CODEC == 1
#define QM_WITH_LZMA 1
#else
#define QM_WITH_LZMA 0
#endif

#if QM_WITH_ZSTD
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>
#endif

extern "C" {
#include <Bra.h>
#if QM_WITH_LZMA
#include <Lzma2Dec.h>
#endif
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const char kPayloadMagic[8] = {'Q', 'M', 'P', 'A', 'C', 'K', 0, 1};
const char kDigestMagic[8] = {'Q', 'M', 'D', 'I', 'G', 'E', 'S', 'T'};
constexpr size_t kHeaderSize = 48;
constexpr size_t kDigestRecordSize = 8 + 8 + kPayloadDigestSize;
// The window the packer uses is 2^23 bytes; a frame asking for more than twice
// that is refused rather than given the memory.
constexpr int kWindowLogMax = 24;
// An index this large would list millions of entries; anything larger is damage.
constexpr uint64_t kIndexMax = 64ull << 20;
// An LZMA2 frame's first byte names its dictionary size; 24 is 2^24 bytes,
// the same bound as zstd's window.
constexpr uint8_t kLzmaDictPropMax = 24;
// Each index record: name length, name, size, CRC, filter.
constexpr size_t kRecordFixed = 2 + 8 + 4 + 1;
// The x86 converter looks this many bytes past an instruction's first byte.
constexpr size_t kX86Lookahead = 4;
// Reads of the file go in pieces this large: under a compatibility layer each
// read is a dear system call, and the decoder wants at most one block at once.
constexpr uint32_t kInputSize = 256 * 1024;

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint64_t Le64(const uint8_t* p) {
    return uint64_t{Le32(p)} | (uint64_t{Le32(p + 4)} << 32);
}

bool SameName(const std::wstring& a, const wchar_t* b) {
    return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

#if QM_WITH_LZMA
void* LzmaAlloc(ISzAllocPtr, size_t size) {
    return malloc(size);
}
void LzmaFree(ISzAllocPtr, void* address) {
    free(address);
}
const ISzAlloc kLzmaAlloc = {LzmaAlloc, LzmaFree};
#endif

} // namespace

#if QM_WITH_LZMA
// The LZMA2 decoder of the frame being read: its dictionary is the window,
// allocated when the frame's first byte says how large it is.
struct TLzmaStream {
    CLzma2Dec dec;
    bool started = false;
    bool allocated = false;
    uint8_t prop = 0xFF;
    TLzmaStream() { Lzma2Dec_CONSTRUCT(&dec); }
    ~TLzmaStream() { Lzma2Dec_Free(&dec, &kLzmaAlloc); }
};
#endif

// ---------------------------------------------------------------------------
// Finding the payload

bool ParseDigestRecord(const void* data, size_t length, TPayloadDigest* digest) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (!p || length != kDigestRecordSize || memcmp(p, kDigestMagic, sizeof(kDigestMagic)) != 0)
        return false;
    digest->size = Le64(p + 8);
    memcpy(digest->sha256, p + 16, kPayloadDigestSize);
    return true;
}

bool OwnPayloadDigest(TPayloadDigest* digest) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(101), L"QMPAYLOAD");
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data && ParseDigestRecord(data, SizeofResource(self, found), digest);
}

static bool ImageFileLayout(const BYTE* headers, size_t length, uint64_t* sectionsEnd,
                            uint64_t* stringTable) {
    if (length < sizeof(IMAGE_DOS_HEADER))
        return false;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(headers);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0 ||
        static_cast<size_t>(dos->e_lfanew) > length - sizeof(IMAGE_NT_HEADERS32))
        return false;
    // The file header and the section table are the same for 32- and 64-bit
    // images; only the optional header between them differs in size.
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(headers + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return false;
    const size_t table = static_cast<size_t>(dos->e_lfanew) + 4 + sizeof(IMAGE_FILE_HEADER) +
                         nt->FileHeader.SizeOfOptionalHeader;
    const size_t count = nt->FileHeader.NumberOfSections;
    if (table > length || count > (length - table) / sizeof(IMAGE_SECTION_HEADER))
        return false;
    auto section = reinterpret_cast<const IMAGE_SECTION_HEADER*>(headers + table);
    uint64_t end = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t last = uint64_t{section[i].PointerToRawData} + section[i].SizeOfRawData;
        if (section[i].SizeOfRawData > 0 && last > end)
            end = last;
    }
    *sectionsEnd = end;
    // Section names longer than eight characters (".eh_frame") live in the
    // COFF string table after the symbols, which even a stripped image keeps.
    const uint64_t symbols = nt->FileHeader.PointerToSymbolTable;
    *stringTable =
        symbols == 0 ? 0 : symbols + uint64_t{nt->FileHeader.NumberOfSymbols} * IMAGE_SIZEOF_SYMBOL;
    return true;
}

// ---------------------------------------------------------------------------
// CPayloadFile

bool CPayloadFile::OpenOwn(const TPayloadDigest& digest) {
    // The headers are resident from the load, and they are the image's own:
    // the section table says where its file ends.
    HMODULE self = GetModuleHandleW(nullptr);
    MEMORY_BASIC_INFORMATION page = {};
    uint64_t end = 0, stringTable = 0;
    std::wstring path;
    if (!VirtualQuery(self, &page, sizeof(page)) || page.RegionSize == 0 ||
        !ImageFileLayout(reinterpret_cast<const BYTE*>(self), page.RegionSize, &end,
                         &stringTable) ||
        (path = ModulePath()).empty() || !OpenRange(path, 0, 0))
        return false;
    // The string table is not mapped: its size comes from the file, through
    // the handle just opened. A file changed before that is caught by the
    // digest, which comes from the image.
    if (stringTable != 0) {
        uint8_t size[4];
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(stringTable);
        at.OffsetHigh = static_cast<DWORD>(stringTable >> 32);
        DWORD got = 0;
        if (!ReadFile(m_file.Get(), size, sizeof(size), &got, &at) || got != sizeof(size) ||
            Le32(size) < sizeof(size)) {
            Close();
            return false;
        }
        end = std::max(end, stringTable + Le32(size));
    }
    end = (end + kPayloadAlignment - 1) / kPayloadAlignment * kPayloadAlignment;
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(m_file.Get(), &fileSize) || end > static_cast<uint64_t>(fileSize.QuadPart) ||
        digest.size > static_cast<uint64_t>(fileSize.QuadPart) - end) {
        Close();
        return false;
    }
    m_offset = end;
    m_size = digest.size;
    return true;
}

bool CPayloadFile::OpenRange(const std::wstring& path, uint64_t offset, uint64_t size) {
    Close();
    // Others may read the file meanwhile; nobody may write it, and nobody may
    // rename or delete it, which would let another file take its name.
    m_file.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER fileSize = {};
    if (!m_file || !GetFileSizeEx(m_file.Get(), &fileSize) ||
        offset > static_cast<uint64_t>(fileSize.QuadPart) ||
        size > static_cast<uint64_t>(fileSize.QuadPart) - offset) {
        Close();
        return false;
    }
    m_offset = offset;
    m_size = size;
    return true;
}

void CPayloadFile::Close() {
    // A check still running reads through the handle.
    if (m_verifier) {
        WaitForSingleObject(m_verifier.Get(), INFINITE);
        m_verifier.Reset();
    }
    m_file.Reset();
    m_offset = 0;
    m_size = 0;
    m_checked = false;
    m_verified = false;
}

void CPayloadFile::StartVerify(const TPayloadDigest& digest) {
    CSlimLockHold hold(&m_lock);
    if (m_checked || m_verifier || !IsOpen())
        return;
    m_startedDigest = digest;
    m_verifier.Reset(CreateThread(nullptr, 0, VerifyThread, this, CREATE_SUSPENDED, nullptr));
    if (!m_verifier)
        return;
    SetThreadPriority(m_verifier.Get(), THREAD_PRIORITY_BELOW_NORMAL);
    ResumeThread(m_verifier.Get());
}

DWORD WINAPI CPayloadFile::VerifyThread(void* param) {
    auto self = static_cast<CPayloadFile*>(param);
    const bool ok = self->Check(self->m_startedDigest);
    CSlimLockHold hold(&self->m_lock);
    self->m_checked = true;
    self->m_verified = ok;
    return 0;
}

bool CPayloadFile::Verify(const TPayloadDigest& digest) {
    // The thread's handle stays open until Close, which no one calls while
    // the payload is in use: waiting on it needs no lock.
    HANDLE verifier = nullptr;
    {
        CSlimLockHold hold(&m_lock);
        if (!m_checked)
            verifier = m_verifier.Get();
    }
    if (verifier)
        WaitForSingleObject(verifier, INFINITE);
    CSlimLockHold hold(&m_lock);
    // A check made against another digest says nothing about this one.
    if (m_checked && memcmp(&digest, &m_startedDigest, sizeof(digest)) == 0)
        return m_verified;
    m_startedDigest = digest;
    m_verified = Check(digest);
    m_checked = true;
    return m_verified;
}

bool CPayloadFile::Check(const TPayloadDigest& digest) {
    if (!IsOpen() || digest.size != m_size)
        return false;
    std::vector<char> buffer(kInputSize);
    CSha256 sha;
    for (uint64_t pos = 0; pos < m_size;) {
        const uint64_t left = m_size - pos;
        const uint32_t n = left < kInputSize ? static_cast<uint32_t>(left) : kInputSize;
        if (!ReadAt(pos, buffer.data(), n))
            return false;
        sha.Update(buffer.data(), n);
        pos += n;
    }
    uint8_t actual[kPayloadDigestSize];
    sha.Finish(actual);
    return memcmp(actual, digest.sha256, kPayloadDigestSize) == 0;
}

bool CPayloadFile::ReadAt(uint64_t pos, void* out, uint32_t count) {
    if (!IsOpen() || pos > m_size || count > m_size - pos)
        return false;
    // The offset travels with each read, so no file position is shared.
    OVERLAPPED at = {};
    const uint64_t absolute = m_offset + pos;
    at.Offset = static_cast<DWORD>(absolute);
    at.OffsetHigh = static_cast<DWORD>(absolute >> 32);
    DWORD got = 0;
    return count == 0 || (ReadFile(m_file.Get(), out, count, &got, &at) && got == count);
}

// ---------------------------------------------------------------------------
// CPayloadReader

CPayloadReader::~CPayloadReader() {
    ReleaseDecoder();
}

bool CPayloadReader::Open(CPayloadFile* file) {
    m_file = file;
    m_entries.clear();
    m_dataOffset = 0;
    uint8_t header[kHeaderSize];
    if (!file->IsOpen() || !file->ReadAt(0, header, sizeof(header)) ||
        memcmp(header, kPayloadMagic, sizeof(kPayloadMagic)) != 0)
        return false;
    const uint32_t codec = Le32(header + 12);
    // A codec this program has no decoder for is refused as damage is.
    if (!(QM_WITH_ZSTD && codec == static_cast<uint32_t>(PayloadCodec::Zstd)) &&
        !(QM_WITH_LZMA && codec == static_cast<uint32_t>(PayloadCodec::Lzma2)))
        return false;
    m_codec = static_cast<PayloadCodec>(codec);
    const uint32_t count = Le32(header + 8);
    const uint64_t indexPacked = Le64(header + 16);
    const uint64_t indexSize = Le64(header + 24);
    const uint64_t dataPacked = Le64(header + 32);
    const uint64_t dataSize = Le64(header + 40);
    const uint64_t room = file->Size() - kHeaderSize;
    if (indexPacked > room || dataPacked != room - indexPacked || indexSize > kIndexMax ||
        indexSize < uint64_t{count} * kRecordFixed)
        return false;
    if (!EnsureDecoder())
        return false;

    std::vector<char> index(static_cast<size_t>(indexSize));
    size_t filled = 0;
    if (!StartFrame(kHeaderSize, indexPacked) || !Decode(index.data(), index.size(), &filled) ||
        !AtEnd())
        return false;
    m_entries.reserve(count);
    uint64_t total = 0;
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (index.size() - at < 2)
            return false;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(index.data()) + at;
        const size_t nameLength = p[0] | (p[1] << 8);
        if (index.size() - at < kRecordFixed + nameLength)
            return false;
        const std::string bytes(index.data() + at + 2, nameLength);
        TPayloadEntry entry;
        // A name that could only be guessed at would be installed where no
        // list finds it; one with a NUL would be cut by every file function.
        entry.name = DecodeEntryName(bytes, true);
        if (entry.name.empty() || bytes.find('\0') != std::string::npos)
            return false;
        entry.size = Le64(p + 2 + nameLength);
        entry.crc = Le32(p + 2 + nameLength + 8);
        const uint8_t filter = p[2 + nameLength + 12];
        if (filter > static_cast<uint8_t>(PayloadFilter::X86))
            return false;
        entry.filter = static_cast<PayloadFilter>(filter);
        if (entry.size > dataSize - total)
            return false;
        total += entry.size;
        at += kRecordFixed + nameLength;
        m_entries.push_back(std::move(entry));
    }
    if (at != index.size() || total != dataSize)
        return false;
    m_dataOffset = kHeaderSize + indexPacked;
    m_dataPacked = dataPacked;
    return StartFrame(m_dataOffset, m_dataPacked);
}

bool CPayloadReader::EnsureDecoder() {
    if (m_input.empty())
        m_input.resize(kInputSize);
#if QM_WITH_LZMA
    if (m_codec == PayloadCodec::Lzma2) {
        if (!m_lzma)
            m_lzma = new (std::nothrow) TLzmaStream();
        return m_lzma != nullptr;
    }
#endif
#if QM_WITH_ZSTD
    if (m_codec == PayloadCodec::Zstd) {
        if (m_stream)
            return true;
        m_stream = ZSTD_createDStream();
        return m_stream &&
               !ZSTD_isError(ZSTD_DCtx_setParameter(m_stream, ZSTD_d_windowLogMax, kWindowLogMax));
    }
#endif
    return false;
}

void CPayloadReader::ReleaseDecoder() {
#if QM_WITH_ZSTD
    ZSTD_freeDStream(m_stream);
    m_stream = nullptr;
#endif
#if QM_WITH_LZMA
    delete m_lzma;
    m_lzma = nullptr;
#endif
    std::vector<char>().swap(m_input);
    m_inputLength = 0;
    m_inputPos = 0;
}

bool CPayloadReader::Rewind() {
    return m_file && m_dataOffset != 0 && EnsureDecoder() && StartFrame(m_dataOffset, m_dataPacked);
}

bool CPayloadReader::CarriesProductPrograms() const {
    bool client = false, uninstaller = false;
    for (const TPayloadEntry& entry : m_entries) {
        client = client || SameName(entry.name, L"Quillmossdex.exe");
        uninstaller = uninstaller || SameName(entry.name, L"uninst.exe");
    }
    return client && uninstaller;
}

bool CPayloadReader::StartFrame(uint64_t offset, uint64_t size) {
#if QM_WITH_LZMA
    if (m_codec == PayloadCodec::Lzma2)
        m_lzma->started = false;
#endif
#if QM_WITH_ZSTD
    if (m_codec == PayloadCodec::Zstd &&
        ZSTD_isError(ZSTD_DCtx_reset(m_stream, ZSTD_reset_session_only)))
        return false;
#endif
    m_framePos = offset;
    m_frameLeft = size;
    m_frameDone = false;
    // Enough for the frame's magic number and first header byte; each call
    // of the decoder says how much it wants next.
    m_want = 5;
    m_inputLength = 0;
    m_inputPos = 0;
    return true;
}

bool CPayloadReader::Fill() {
    if (m_frameLeft == 0)
        return false;
    const uint32_t n =
        m_frameLeft < m_input.size() ? static_cast<uint32_t>(m_frameLeft) : kInputSize;
    if (!m_file->ReadAt(m_framePos, m_input.data(), n))
        return false;
    m_framePos += n;
    m_frameLeft -= n;
    m_inputLength = n;
    m_inputPos = 0;
    return true;
}

#if QM_WITH_ZSTD
size_t CPayloadReader::Step(ZSTD_outBuffer_s* to, bool* progressed) {
    // At most the input the decoder asked for: given more, it reads on past a
    // full output into the next block, and damage there would fail this call
    // and lose the output it made, which belongs to an entry that is whole.
    const size_t left = m_inputLength - m_inputPos;
    ZSTD_inBuffer from = {m_input.data(), m_inputPos + (left < m_want ? left : m_want), m_inputPos};
    const size_t before = to->pos;
    const size_t hint = ZSTD_decompressStream(m_stream, to, &from);
    *progressed = to->pos != before || from.pos != m_inputPos;
    m_inputPos = from.pos;
    // The hint counts the next block's header in; the size of the next step
    // alone keeps the decoder to one block a call.
    if (!ZSTD_isError(hint) && hint > 0) {
        const size_t next = ZSTD_nextSrcSizeToDecompress(m_stream);
        m_want = next > 0 ? next : hint;
    }
    return hint;
}

#endif

bool CPayloadReader::Decode(char* out, size_t size, size_t* pos) {
#if QM_WITH_LZMA
    if (m_codec == PayloadCodec::Lzma2)
        return DecodeLzma(out, size, pos);
#endif
#if QM_WITH_ZSTD
    if (m_codec == PayloadCodec::Zstd)
        return DecodeZstd(out, size, pos);
#endif
    return false;
}

#if QM_WITH_LZMA
bool CPayloadReader::DecodeLzma(char* out, size_t size, size_t* pos) {
    TLzmaStream& lz = *m_lzma;
    while (*pos < size) {
        // A frame that ended before the entries did is damage.
        if (m_frameDone)
            return false;
        if (m_inputPos == m_inputLength && !Fill())
            return false;
        if (!lz.started) {
            // The frame's first byte: the dictionary's size. The dictionary
            // is kept while the next frame asks for the same.
            const uint8_t prop = static_cast<uint8_t>(m_input[m_inputPos++]);
            if (prop > kLzmaDictPropMax)
                return false;
            if (!lz.allocated || prop != lz.prop) {
                lz.allocated = Lzma2Dec_Allocate(&lz.dec, prop, &kLzmaAlloc) == SZ_OK;
                if (!lz.allocated)
                    return false;
                lz.prop = prop;
            }
            Lzma2Dec_Init(&lz.dec);
            lz.started = true;
            continue;
        }
        SizeT produced = size - *pos;
        SizeT consumed = m_inputLength - m_inputPos;
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        if (Lzma2Dec_DecodeToBuf(&lz.dec, reinterpret_cast<Byte*>(out + *pos), &produced,
                                 reinterpret_cast<const Byte*>(m_input.data() + m_inputPos),
                                 &consumed, LZMA_FINISH_ANY, &status) != SZ_OK)
            return false;
        *pos += produced;
        m_inputPos += consumed;
        if (status == LZMA_STATUS_FINISHED_WITH_MARK)
            m_frameDone = true;
        else if (produced == 0 && consumed == 0 && m_inputPos < m_inputLength)
            return false;
    }
    return true;
}

#endif

#if QM_WITH_ZSTD
bool CPayloadReader::DecodeZstd(char* out, size_t size, size_t* pos) {
    ZSTD_outBuffer to = {out, size, *pos};
    while (to.pos < to.size) {
        // A frame that ended before the entries did is damage.
        if (m_frameDone)
            return false;
        bool progressed = false;
        const size_t hint = Step(&to, &progressed);
        if (ZSTD_isError(hint))
            return false;
        if (hint == 0) {
            m_frameDone = true;
            continue;
        }
        // Without progress the decoder wants input; with input left it would
        // only repeat itself.
        if (!progressed && (m_inputPos < m_inputLength || !Fill()))
            return false;
    }
    *pos = to.pos;
    return true;
}
#endif

namespace {

class CWriterSink final : public IEntrySink {
public:
    explicit CWriterSink(CEntryWriter& writer) : m_writer(writer) {}
    char* Acquire() override { return m_writer.Acquire(); }
    void Submit(DWORD length) override { m_writer.Submit(length); }

private:
    CEntryWriter& m_writer;
};

} // namespace

bool CPayloadReader::ReadEntry(const TPayloadEntry& entry, CEntryWriter& writer, uint64_t* bytes) {
    CWriterSink sink(writer);
    return ReadEntry(entry, sink, bytes);
}

bool CPayloadReader::ReadEntry(const TPayloadEntry& entry, IEntrySink& writer, uint64_t* bytes) {
    if (entry.filter == PayloadFilter::X86)
        return ReadFiltered(entry, writer, bytes);
    uint64_t left = entry.size;
    while (left > 0) {
        char* out = writer.Acquire();
        if (out == nullptr)
            return false;
        const size_t want = left < CEntryWriter::kBufferSize ? static_cast<size_t>(left)
                                                             : CEntryWriter::kBufferSize;
        size_t got = 0;
        if (!Decode(out, want, &got))
            return false;
        writer.Submit(static_cast<DWORD>(got));
        left -= got;
        *bytes += got;
    }
    return true;
}

bool CPayloadReader::ReadFiltered(const TPayloadEntry& entry, IEntrySink& writer, uint64_t* bytes) {
    uint64_t left = entry.size;
    UInt32 state = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
    UInt32 pc = 0;
    char held[kX86Lookahead + 1];
    size_t heldCount = 0;
    while (left > 0 || heldCount > 0) {
        char* out = writer.Acquire();
        if (out == nullptr)
            return false;
        memcpy(out, held, heldCount);
        size_t got = heldCount;
        const size_t room = CEntryWriter::kBufferSize - heldCount;
        const size_t want = left < room ? static_cast<size_t>(left) : room;
        if (!Decode(out, heldCount + want, &got))
            return false;
        left -= want;
        // The packer converted the entry as a whole from offset 0: what the
        // converter leaves at the very end stays as it is.
        const Byte* done = z7_BranchConvSt_X86_Dec(reinterpret_cast<Byte*>(out), got, pc, &state);
        size_t converted = static_cast<size_t>(reinterpret_cast<const char*>(done) - out);
        if (left == 0 || converted > got)
            converted = got;
        heldCount = got - converted;
        if (heldCount > sizeof(held))
            return false;
        memcpy(held, out + converted, heldCount);
        pc += static_cast<UInt32>(converted);
        writer.Submit(static_cast<DWORD>(converted));
        *bytes += converted;
    }
    return true;
}

bool CPayloadReader::AtEnd() {
#if QM_WITH_LZMA
    if (m_codec == PayloadCodec::Lzma2) {
        // The frame must end here: one more byte of output is one too many.
        // Decoding fails either on damage or at the frame's end marker.
        char extra = 0;
        size_t pos = 0;
        if (!m_frameDone && DecodeLzma(&extra, 1, &pos))
            return false;
        return m_frameDone && m_inputPos == m_inputLength && m_frameLeft == 0;
    }
#endif
#if QM_WITH_ZSTD
    if (m_codec != PayloadCodec::Zstd)
        return false;
    // The frame must end here: one more byte of output is one too many.
    while (!m_frameDone) {
        char extra = 0;
        ZSTD_outBuffer to = {&extra, 1, 0};
        bool progressed = false;
        const size_t hint = Step(&to, &progressed);
        if (ZSTD_isError(hint) || to.pos != 0)
            return false;
        if (hint == 0)
            m_frameDone = true;
        else if (!progressed && (m_inputPos < m_inputLength || !Fill()))
            return false;
    }
    // Nothing may follow the frame.
    return m_inputPos == m_inputLength && m_frameLeft == 0;
#else
    return false;
#endif
}

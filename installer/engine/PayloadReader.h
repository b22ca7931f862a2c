// The payload: the product's files as one solid stream (zstd or LZMA2, the
// header says which) that the installer carries after its image (tools/pack_payload.py writes it;
// the format is described there). The loader never maps it, so none of its pages is resident before
// it is read; it is read through one handle that the program opens on its own file at start and
// keeps, which nobody can write, rename or delete meanwhile, and it is checked against a SHA-256
// digest in the image itself (resource QMPAYLOAD / 101) before anything of it is trusted.
#pragma once

#include "skinui/core/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CEntryWriter;
struct ZSTD_DCtx_s;
struct ZSTD_outBuffer_s;
struct TLzmaStream;

constexpr size_t kPayloadDigestSize = 32;
// The payload starts at the first multiple of this past the image's sections
// (and the string table that holds their long names), so that it never shares
// a page with them.
constexpr uint64_t kPayloadAlignment = 4096;

// What the image knows of its payload.
struct TPayloadDigest {
    uint64_t size = 0;
    uint8_t sha256[kPayloadDigestSize] = {};
};

// Reads a digest record ("QMDIGEST", the size, the SHA-256); false when the
// bytes are not one.
bool ParseDigestRecord(const void* data, size_t length, TPayloadDigest* digest);

// The digest record of the running image, read through the mapped image (the
// running image cannot be changed, unlike the file it came from). False when
// the program carries no payload.
bool OwnPayloadDigest(TPayloadDigest* digest);

// The payload's bytes in a file, read through one handle held open without
// write or delete sharing.
class CPayloadFile {
public:
    CPayloadFile() = default;
    ~CPayloadFile() { Close(); }
    CPayloadFile(const CPayloadFile&) = delete;
    CPayloadFile& operator=(const CPayloadFile&) = delete;

    bool IsOpen() const { return m_file.Valid(); }
    uint64_t Size() const { return m_size; }

    // The running program's own payload, as its image describes it. False
    // when the file cannot be opened so or is shorter than the payload.
    bool OpenOwn(const TPayloadDigest& digest);
    // size bytes of path from offset (tests and benchmarks give payloads so).
    bool OpenRange(const std::wstring& path, uint64_t offset, uint64_t size);
    void Close();

    // Reads every byte and compares the SHA-256 and the size with the digest.
    // The outcome stands for the life of the handle, which keeps the bytes as
    // they were: later calls (from any thread) only return it.
    bool Verify(const TPayloadDigest& digest);
    // Starts Verify on a thread of its own, below normal priority, so that
    // the check runs while the window waits for the click; Verify then waits
    // for its outcome.
    void StartVerify(const TPayloadDigest& digest);
    // count bytes at pos of the payload; false when they are not all there.
    bool ReadAt(uint64_t pos, void* out, uint32_t count);

private:
    static DWORD WINAPI VerifyThread(void* self);
    bool Check(const TPayloadDigest& digest);

    SkinUI::UniqueHandle m_file;
    uint64_t m_offset = 0;
    uint64_t m_size = 0;
    // Verify's outcome, under the lock; the thread StartVerify made.
    SRWLOCK m_lock = SRWLOCK_INIT;
    bool m_checked = false;
    bool m_verified = false;
    SkinUI::UniqueHandle m_verifier;
    TPayloadDigest m_startedDigest;
};

// How the payload's two frames are compressed.
enum class PayloadCodec : uint32_t {
    Zstd = 0,
    Lzma2 = 1,
};

// What the packer did to an entry's data before it compressed it, undone as
// the data is decoded.
enum class PayloadFilter : uint8_t {
    None = 0,
    // Relative x86 call and jump targets made absolute (the branch converter),
    // which makes repeated calls of one function look alike to the coder.
    X86 = 1,
};

// One entry as the index lists it: the name decoded from UTF-8, folders ending
// in '/'; the size and CRC-32 of its data (as installed, after the filter).
struct TPayloadEntry {
    std::wstring name;
    uint64_t size = 0;
    uint32_t crc = 0;
    PayloadFilter filter = PayloadFilter::None;
};

// Where an entry's decoded data goes, one buffer at a time: the entry writer
// (on its own thread), or a plain loop.
class IEntrySink {
public:
    // A buffer of kBufferSize bytes to fill; null when nothing more is wanted.
    virtual char* Acquire() = 0;
    // The first length bytes of the buffer last acquired are the data's next.
    virtual void Submit(DWORD length) = 0;

protected:
    ~IEntrySink() = default;
};

// Decodes a payload: the index when it is opened, then each entry's data in
// the order of the index, streaming through a window of bounded size.
class CPayloadReader {
public:
    CPayloadReader() = default;
    ~CPayloadReader();
    CPayloadReader(const CPayloadReader&) = delete;
    CPayloadReader& operator=(const CPayloadReader&) = delete;

    // Reads the header and the index. False when the payload is damaged: a
    // header that does not add up, an unknown codec or filter, an index that
    // is not valid UTF-8 or does not hold the declared entries, a frame asking
    // for a larger window.
    bool Open(CPayloadFile* file);
    PayloadCodec Codec() const { return m_codec; }
    // Back to the first entry's data, the index as Open decoded it: a later
    // unpack from the same file decodes the data again, not the index.
    bool Rewind();
    // Gives back the decoder's window and input buffer (most of what an
    // unpack holds) once the data has been read; Rewind takes them again.
    void ReleaseDecoder();
    const std::vector<TPayloadEntry>& Entries() const { return m_entries; }
    // True when the payload carries the client and the uninstaller at its
    // top level: without them a product can neither be started nor removed.
    bool CarriesProductPrograms() const;

    // The next entry's data, handed to the writer's buffers for the entry the
    // writer has begun, adding the bytes to *bytes. False when the data ends
    // early, is damaged, or the writer failed.
    bool ReadEntry(const TPayloadEntry& entry, CEntryWriter& writer, uint64_t* bytes);
    // The same into any sink of buffers of CEntryWriter::kBufferSize bytes.
    bool ReadEntry(const TPayloadEntry& entry, IEntrySink& sink, uint64_t* bytes);
    // After the last entry: true when the data ends exactly there.
    bool AtEnd();

private:
    // The decoder of the payload's codec and the input buffer, made once.
    bool EnsureDecoder();
    bool StartFrame(uint64_t offset, uint64_t size);
    bool Fill();
    // One call of the zstd decoder; its hint, and whether it moved at all.
    size_t Step(ZSTD_outBuffer_s* to, bool* progressed);
    // Decodes into out[*pos, size); false on damage or a premature end.
    bool Decode(char* out, size_t size, size_t* pos);
    bool DecodeZstd(char* out, size_t size, size_t* pos);
    bool DecodeLzma(char* out, size_t size, size_t* pos);
    // An entry whose data went through the x86 filter: decoded, converted
    // back and handed on, the few bytes the converter must see the next
    // bytes for held back for the next buffer.
    bool ReadFiltered(const TPayloadEntry& entry, IEntrySink& sink, uint64_t* bytes);

    CPayloadFile* m_file = nullptr;
    PayloadCodec m_codec = PayloadCodec::Zstd;
    ZSTD_DCtx_s* m_stream = nullptr;
    TLzmaStream* m_lzma = nullptr;
    std::vector<TPayloadEntry> m_entries;
    uint64_t m_dataOffset = 0;
    uint64_t m_dataPacked = 0;
    // The frame being decoded: what of it is still unread in the file.
    uint64_t m_framePos = 0;
    uint64_t m_frameLeft = 0;
    bool m_frameDone = false;
    std::vector<char> m_input;
    size_t m_inputLength = 0;
    size_t m_inputPos = 0;
    size_t m_want = 0;
};

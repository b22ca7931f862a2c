// The payload archive read where it lies in the installer's own executable
// file: found as a byte range of that file and served to the archive reader
// through one fixed buffer, so the resource's pages are never touched and no
// copy of the archive is written anywhere.
#pragma once

#include "skinui/core/Handles.h"

#include <windows.h>

#include <unzip.h>

#include <cstdint>
#include <string>
#include <vector>

// A byte range of a file that holds one ZIP archive, from its first local
// header to the end of its end record.
struct PayloadRange {
    std::wstring file;
    uint64_t offset = 0;
    uint64_t size = 0;
};

// Finds the ZIP / 101 resource of the running executable as a range of the
// executable's file: the resource's address in the image goes through the
// section table to a file offset. False when there is no such resource or its
// data does not lie wholly in the file.
bool FindOwnPayload(PayloadRange* range);

// One open archive range, read through a buffer of fixed size. The stream
// must outlive the archive handle OpenZip returns.
class PayloadStream {
public:
    PayloadStream() = default;
    PayloadStream(const PayloadStream&) = delete;
    PayloadStream& operator=(const PayloadStream&) = delete;

    // Opens the range's file for reading; false when it cannot be opened or
    // is shorter than the range claims.
    bool Open(const PayloadRange& range);

    // The archive reader over the range, or null when it is no archive the
    // reader can open.
    unzFile OpenZip();

    // True for a well-formed archive without entries: nothing but the end
    // record (and its comment). The reader cannot open those, as it looks for
    // the end record only after the first byte.
    bool IsEmptyArchive();

    // Reads up to count bytes at the current position; the bytes read.
    uint32_t Read(void* out, uint32_t count);
    // origin is one of SEEK_SET, SEEK_CUR, SEEK_END; false outside the range.
    bool Seek(int64_t offset, int origin);
    uint64_t Tell() const { return m_pos; }
    // A read that the file refused; the reader asks after failed reads.
    bool Failed() const { return m_failed; }

private:
    uint32_t ReadAt(uint64_t pos, char* out, uint32_t count);

    SkinUI::UniqueHandle m_file;
    uint64_t m_base = 0;
    uint64_t m_size = 0;
    uint64_t m_pos = 0;
    // What the buffer holds: m_bufferLength bytes of the range from m_bufferPos.
    std::vector<char> m_buffer;
    uint64_t m_bufferPos = 0;
    uint32_t m_bufferLength = 0;
    bool m_failed = false;
};

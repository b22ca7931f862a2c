// The payload archive's entries: their names as text, which names are safe to
// unpack, and the reading and inflating of one entry's data for the writer.
#pragma once

#include <windows.h>

#include <unzip.h>

#include <cstdint>
#include <string>
#include <vector>

// Owns an open minizip archive; closing it also closes an entry left open.
class UniqueZip {
public:
    explicit UniqueZip(unzFile zip) : m_zip(zip) {}
    ~UniqueZip() {
        if (m_zip)
            unzClose(m_zip);
    }
    UniqueZip(const UniqueZip&) = delete;
    UniqueZip& operator=(const UniqueZip&) = delete;
    unzFile Get() const { return m_zip; }
    explicit operator bool() const { return m_zip != nullptr; }

private:
    unzFile m_zip;
};

// The general purpose flag that marks an entry name as UTF-8.
constexpr unsigned long kZipFlagUtf8Name = 0x800;
// The code page of entry names without that flag: what Chinese archivers write.
constexpr unsigned kZipLegacyNameCodePage = 936;

// The name of the archive's current entry as text: UTF-8 when the entry is
// flagged so, code page 936 otherwise. False when the entry cannot be read,
// the name is empty, holds a NUL, or is not valid in its encoding; a name
// that could only be guessed at would be installed where no list finds it.
bool CurrentEntryName(unzFile zip, std::wstring* name, unz_file_info64* info);

// Decodes a stored entry name; empty when it is not valid in its encoding.
std::wstring DecodeEntryName(const std::string& bytes, bool utf8);

// True when an archive entry name can only name something inside the unpack
// directory. Refused: absolute names, anything with a colon (a drive or an
// alternate stream), components of dots and spaces only ("..", and the forms
// Windows trims to it), and device names.
bool IsSafeEntryName(const std::wstring& name);

class CEntryWriter;
class PayloadStream;

// Where an entry's data lies in the archive and what it must come to.
struct TEntryData {
    uint64_t offset = 0;         // of the data, past the local header
    uint64_t compressedSize = 0; // as the central directory declares
    uint64_t size = 0;           // unpacked, as declared
    int method = 0;              // stored (0) or deflated (8)
};

// Reads an entry's data straight from the archive stream and hands it,
// inflated, to the writer's buffers for the entry the writer has begun,
// adding the bytes to *bytes; the writer checks the CRC. False when the data
// cannot be read, is damaged, uses another method, or comes to another size
// than the declared one (reading stops as soon as it exceeds it), or when the
// writer failed.
bool ReadEntryData(PayloadStream& stream, const TEntryData& entry, CEntryWriter& writer,
                   std::vector<char>& input, uint64_t* bytes);

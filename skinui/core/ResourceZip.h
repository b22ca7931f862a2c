// The skin archive reader: a ZIP archive read in place from a memory block or
// read from a file, with entries found by name without regard to case.
#pragma once

#include <windows.h>

#include "skinui/core/SkinString.h"
#include "skinui/core/StdContainers.h"

namespace SkinUI {

// Results of CResourceZip::Unzip. Callers accept kZipOk and kZipMore.
enum : DWORD {
    kZipOk = 0,              // the entry is complete in the buffer
    kZipMore = 0x600,        // the buffer was filled before the end of the entry
    kZipArgs = 0x10000,      // bad index, buffer or handle
    kZipCorrupt = 0x700,     // the entry's data cannot be inflated or fails its check
    kZipUnsupported = 0x800, // an encrypted entry or an unknown compression method
};

struct TZipEntry {
    int index = -1;
    // As stored in the archive (UTF-8 names when the archive says so, else the
    // system OEM code page, as Windows archivers write them).
    CSkinString name;
    ULONGLONG uncompressedSize = 0;
    ULONGLONG compressedSize = 0;
};

class CResourceZip {
public:
    // The block must stay valid and unchanged while the archive is open: it is
    // read in place, never copied. Null when the block is not a readable
    // archive.
    static CResourceZip* OpenFromMemory(const void* data, size_t size);
    static CResourceZip* OpenFromFile(const wchar_t* path);
    // Closing is deleting.
    ~CResourceZip();
    CResourceZip(const CResourceZip&) = delete;
    CResourceZip& operator=(const CResourceZip&) = delete;

    int GetEntryCount() const { return m_entries.GetSize(); }
    // Looks an entry up by name, comparing without regard to case; false when
    // there is none.
    bool FindEntry(const wchar_t* name, TZipEntry* entry) const;
    bool GetEntry(int index, TZipEntry* entry) const;
    // Inflates entry `index` into buffer[0..size): kZipOk when the whole entry
    // fit and passed its check, kZipMore when the buffer filled first, another
    // value on failure.
    DWORD Unzip(int index, void* buffer, DWORD size);

    // The bytes behind the archive.
    struct Source;

private:
    struct Entry;

    CResourceZip() = default;
    // A new archive over `source`, which it owns whatever the outcome.
    static CResourceZip* OpenSource(Source* source);
    bool BuildIndex();

    Source* m_source = nullptr;
    CStdPtrArrayOf<Entry> m_entries; // in archive order
    CStdStringPtrMap m_byName;       // upper-cased name -> Entry*
};

} // namespace SkinUI

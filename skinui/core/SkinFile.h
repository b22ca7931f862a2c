// Reading one skin file (the skin document or an image) from the process-wide
// resource source: a plain file under the resource path, or an entry of the
// skin archive (see CSkinSource).
#pragma once

#include <windows.h>

namespace SkinUI {

// What went wrong, so that each caller can word its own message.
enum class SkinFileError {
    None,
    OpenFile,      // no archive: the file cannot be opened
    Empty,         // size 0 (file or entry)
    TooLarge,      // above the caller's limit
    ReadFile,      // no archive: a short read, or no memory for the bytes
    OpenZip,       // the archive is not open and cannot be opened
    EntryNotFound, // no entry of that name in the archive
    Unzip,         // the entry cannot be inflated, or no memory for it
};

// Owns the bytes that were read; the caller may change them in place.
class CSkinFileBuffer {
public:
    CSkinFileBuffer() = default;
    ~CSkinFileBuffer() { Reset(); }
    CSkinFileBuffer(const CSkinFileBuffer&) = delete;
    CSkinFileBuffer& operator=(const CSkinFileBuffer&) = delete;

    BYTE* GetData() const { return m_data; }
    DWORD GetSize() const { return m_size; }
    bool Allocate(DWORD size);
    void Reset();

private:
    BYTE* m_data = nullptr;
    DWORD m_size = 0;
};

// Reads `name` from the resource source. maxSize 0 means no limit. On
// failure `out` is left empty.
SkinFileError ReadSkinFile(const wchar_t* name, DWORD maxSize, CSkinFileBuffer* out);

} // namespace SkinUI

// The payload archive's entries: which names are safe to unpack, and the copy
// of one entry to disk with every failure seen.
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

// True when an archive entry name can only name something inside the unpack
// directory. Refused: absolute names, anything with a colon (a drive or an
// alternate stream), components of dots and spaces only ("..", and the forms
// Windows trims to it), and device names.
bool IsSafeEntryName(const std::string& name);

// Copies the open entry into a new file at target through buffer, adding the
// bytes written to *bytes, and closes the entry. False when reading, writing
// or the entry's CRC check fails.
bool UnpackCurrentEntry(unzFile zip, const std::string& target, std::vector<char>& buffer,
                        uint64_t* bytes);

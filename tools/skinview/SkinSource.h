// Where skinview reads a skin from: a folder holding skin.xml, a skin document
// (its folder is the resource path), or a ZIP archive holding skin.xml at its
// root, used from memory as the installer uses its own skin archive.
#pragma once

#include <string>
#include <vector>

namespace skinview {

class CSkinSource {
public:
    // Configures the UI library's process-wide resource source for `path`.
    // False with a message when the path is neither a folder, a file nor a
    // readable archive.
    bool Open(const std::wstring& path, std::wstring* error);
    // The document name the window builds from.
    const std::wstring& SkinFileName() const { return m_skinFile; }

private:
    std::wstring m_skinFile;
    // The archive stays in memory as long as the library reads from it: for
    // the life of the process.
    std::vector<unsigned char> m_archive;
};

} // namespace skinview

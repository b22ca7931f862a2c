#include "installer/ArchiveEntry.h"

#include "skinui/core/Handles.h"

using SkinUI::UniqueHandle;

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Names that Windows maps to a device in any directory ("dir\nul.txt" is the
// null device), compared without extension and trailing spaces.
bool IsDeviceName(const std::wstring& component) {
    std::wstring stem = component.substr(0, component.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    static const wchar_t* const kDevices[] = {L"CON", L"PRN",    L"AUX",
                                              L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 &&
           (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

} // namespace

std::wstring DecodeEntryName(const std::string& bytes, bool utf8) {
    if (bytes.empty() || bytes.size() > 0xFFFF)
        return std::wstring();
    const UINT codePage = utf8 ? CP_UTF8 : kZipLegacyNameCodePage;
    const int len = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), len, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring name(static_cast<size_t>(n), L'\0');
    n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), len, &name[0], n);
    if (n <= 0)
        return std::wstring();
    name.resize(static_cast<size_t>(n));
    return name;
}

bool CurrentEntryName(unzFile zip, std::wstring* name, unz_file_info64* info) {
    // The first call learns the stored name's length (a 16-bit field), the
    // second reads exactly that many bytes.
    if (unzGetCurrentFileInfo64(zip, info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info->size_filename == 0)
        return false;
    std::string bytes(static_cast<size_t>(info->size_filename) + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, info, &bytes[0], static_cast<uLong>(bytes.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK)
        return false;
    bytes.resize(info->size_filename);
    // A name with a NUL inside would be cut by every file function.
    if (bytes.find('\0') != std::string::npos)
        return false;
    *name = DecodeEntryName(bytes, (info->flag & kZipFlagUtf8Name) != 0);
    return !name->empty();
}

bool IsSafeEntryName(const std::wstring& name) {
    if (name.empty() || IsSeparator(name[0]) || name.find(L':') != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        std::wstring component = name.substr(start, end - start);
        if (!component.empty()) {
            if (component.find_first_not_of(L". ") == std::wstring::npos)
                return false;
            if (IsDeviceName(component))
                return false;
        }
        start = end + 1;
    }
    return true;
}

// WriteFile reports every short write; the C runtime's buffered writes can
// lose the failure of their last flush (Wine's fclose does).
bool UnpackCurrentEntry(unzFile zip, const std::wstring& target, std::vector<char>& buffer,
                        uint64_t* bytes) {
    bool ok = true;
    {
        // Created new: whatever lies at the name already (a link above all)
        // is never written through.
        UniqueHandle out(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = out.Valid();
        while (ok) {
            int n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (n == 0)
                break;
            DWORD done = 0;
            if (n < 0 ||
                !WriteFile(out.Get(), buffer.data(), static_cast<DWORD>(n), &done, nullptr) ||
                done != static_cast<DWORD>(n)) {
                ok = false;
                break;
            }
            *bytes += static_cast<uint64_t>(n);
        }
        if (out && !CloseHandle(out.Release()))
            ok = false;
    }
    if (unzCloseCurrentFile(zip) != UNZ_OK)
        ok = false;
    return ok;
}

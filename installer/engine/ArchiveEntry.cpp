#include "installer/engine/ArchiveEntry.h"

#include "installer/services/SystemFolders.h"
#include "installer/services/TextConvert.h"

#include <windows.h>

namespace {

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
    return DecodeText(bytes, utf8 ? CP_UTF8 : kZipLegacyNameCodePage);
}

bool IsSafeEntryName(const std::wstring& name) {
    if (name.empty() || IsPathSeparator(name[0]) || name.find(L':') != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsPathSeparator(name[end]))
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

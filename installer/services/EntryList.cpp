#include "installer/services/EntryList.h"

#include "installer/services/NoFollowFile.h"
#include "installer/services/PathText.h"
#include "installer/services/Product.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"

#include <windows.h>

using SkinUI::UniqueHandle;

namespace {

// Code page 936: what lists written by Chinese tools hold.
constexpr unsigned kLegacyListCodePage = 936;
// A list larger than any install writes is not one.
constexpr uint64_t kLargestList = 64ull * 1024 * 1024;

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

// A line is UTF-8 when it decodes as UTF-8; a list from before the installer
// wrote its own holds code page 936 names, whose bytes are rarely valid UTF-8.
std::wstring LineToWide(const std::string& line) {
    std::wstring name = DecodeText(line, CP_UTF8);
    return name.empty() ? DecodeText(line, kLegacyListCodePage) : name;
}

bool IsListName(const std::wstring& name) {
    return CompareStringOrdinal(name.c_str(), -1, kEntryListName, -1, TRUE) == CSTR_EQUAL;
}

} // namespace

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

bool ParseEntryList(const std::string& bytes, TEntryList* out) {
    TEntryList list;
    size_t pos = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::wstring name = WithBackslashes(LineToWide(line));
        if (!IsSafeEntryName(name)) {
            *out = TEntryList();
            return false;
        }
        (EndsWithSeparator(name) ? list.dirs : list.files)
            .push_back(WithoutTrailingSeparator(name));
    }
    *out = std::move(list);
    return !out->files.empty();
}

bool ReadEntryList(const std::wstring& path, TEntryList* out) {
    *out = TEntryList();
    UniqueHandle in(OpenFileNoFollow(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     OPEN_EXISTING, nullptr));
    LARGE_INTEGER size = {};
    if (!in || !GetFileSizeEx(in.Get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > kLargestList)
        return false;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    if (!bytes.empty() &&
        (!ReadFile(in.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &done, nullptr) ||
         done != bytes.size()))
        return false;
    return ParseEntryList(bytes, out);
}

std::string EntryListText(const std::vector<std::wstring>& names) {
    std::string text;
    bool listed = false;
    for (const std::wstring& name : names) {
        listed = listed || IsListName(name);
        text += ToNarrow(WithSlashes(name)) + "\n";
    }
    if (!listed)
        text += ToNarrow(kEntryListName) + "\n";
    return text;
}

bool WriteEntryList(const std::wstring& path, const std::vector<std::wstring>& names) {
    const std::string text = EntryListText(names);
    // A list already there (the payload may carry one) goes first, so the
    // new one is created new like every other file of the install; a link at
    // the name goes as a link.
    DeleteFileW(path.c_str());
    UniqueHandle out(OpenFileNoFollow(path, GENERIC_WRITE, 0, CREATE_NEW, nullptr));
    DWORD done = 0;
    // Closed by hand: a delayed write can fail at the close.
    return out &&
           WriteFile(out.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
           done == text.size() && CloseHandle(out.Release());
}

#include "installer/ArchiveEntry.h"

#include "skinui/core/Handles.h"

using SkinUI::UniqueHandle;

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Names that Windows maps to a device in any directory ("dir\nul.txt" is the
// null device), compared without extension and trailing spaces.
bool IsDeviceName(const std::string& component) {
    std::string stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

} // namespace

// The name is split at every '\' and '/' byte, also where one is the second
// byte of a double-byte character: that finds extra components but never
// hides a real one, so the test only errs towards refusing.
bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || IsSeparator(name[0]) || name.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        std::string component = name.substr(start, end - start);
        if (!component.empty()) {
            if (component.find_first_not_of(". ") == std::string::npos)
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
bool UnpackCurrentEntry(unzFile zip, const std::string& target, std::vector<char>& buffer,
                        uint64_t* bytes) {
    bool ok = true;
    {
        UniqueHandle out(CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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

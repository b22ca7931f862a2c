#include "installer/services/TextConvert.h"

#include <windows.h>

#include <climits>

// The lengths are asked for first, so each buffer is exactly as large as the
// converted text; an unpaired surrogate or a broken UTF-8 sequence fails
// instead of turning into a replacement character that names another file.

std::string ToNarrow(const std::wstring& wide) {
    if (wide.empty() || wide.size() > INT_MAX)
        return std::string();
    const int len = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), len, nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), len, &out[0], n, nullptr,
                            nullptr);
    if (n <= 0)
        return std::string();
    out.resize(static_cast<size_t>(n));
    return out;
}

std::wstring ToWide(const std::string& narrow) {
    return DecodeText(narrow, CP_UTF8);
}

std::wstring DecodeText(const std::string& bytes, unsigned codePage) {
    if (bytes.empty() || bytes.size() > INT_MAX)
        return std::wstring();
    const int len = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), len, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), len, &out[0], n);
    if (n <= 0)
        return std::wstring();
    out.resize(static_cast<size_t>(n));
    return out;
}

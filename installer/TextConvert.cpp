#include "installer/TextConvert.h"

#include <windows.h>

#include <climits>
#include <vector>

// The working buffers hold three units per input character: enough for any
// double-byte code page, so one call always converts the whole text.

std::string ToNarrow(const std::wstring& wide) {
    if (wide.empty() || wide.size() > INT_MAX / 3)
        return std::string();
    int cap = static_cast<int>(wide.size()) * 3;
    std::vector<char> buf(static_cast<size_t>(cap));
    int n = WideCharToMultiByte(CP_OEMCP, 0, wide.data(), static_cast<int>(wide.size()), buf.data(),
                                cap, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::wstring ToWide(const std::string& narrow) {
    if (narrow.empty() || narrow.size() > INT_MAX / 3)
        return std::wstring();
    int cap = static_cast<int>(narrow.size()) * 3;
    std::vector<wchar_t> buf(static_cast<size_t>(cap));
    int n = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                buf.data(), cap);
    if (n <= 0)
        return std::wstring();
    return std::wstring(buf.data(), static_cast<size_t>(n));
}

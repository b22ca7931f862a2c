#include "installer/services/RandomText.h"

#include <windows.h>

#include <vector>

// The system's random source; advapi32 exports it under this name only, and
// advapi32 is loaded by every program anyway, so no further DLL is searched
// for next to the installer (which often lies in a downloads folder).
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

std::wstring RandomHex(size_t bytes) {
    std::vector<unsigned char> random(bytes);
    if (bytes == 0 || !SystemFunction036(random.data(), static_cast<ULONG>(bytes)))
        return std::wstring();
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(bytes * 2);
    for (unsigned char byte : random) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

#include "installer/engine/ArchiveEntry.h"

#include "installer/services/TextConvert.h"

#include <windows.h>

std::wstring DecodeEntryName(const std::string& bytes, bool utf8) {
    if (bytes.empty() || bytes.size() > 0xFFFF)
        return std::wstring();
    return DecodeText(bytes, utf8 ? CP_UTF8 : kZipLegacyNameCodePage);
}

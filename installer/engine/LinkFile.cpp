#include "installer/engine/LinkFile.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdint>
#include <cstring>

namespace {

// The shell link class, which every link file names in its header.
const uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint32_t kHasTargetIdList = 0x01;
constexpr uint32_t kHasLinkInfo = 0x02;
constexpr uint32_t kHasName = 0x04;
constexpr uint32_t kIsUnicode = 0x80;
// The link information's header with the offsets of the UTF-16 paths.
constexpr uint32_t kLinkInfoHeaderSize = 0x24;
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr uint32_t kVolumeIdSize = 0x11;
// What the shell's own link object holds at most in a description.
constexpr size_t kMaxDescription = INFOTIPSIZE - 1;

void Put16(std::string* out, uint16_t v) {
    out->push_back(static_cast<char>(v & 0xFF));
    out->push_back(static_cast<char>(v >> 8));
}

void Put32(std::string* out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

void PutWide(std::string* out, const std::wstring& text, bool terminated) {
    for (wchar_t c : text)
        Put16(out, static_cast<uint16_t>(c));
    if (terminated)
        Put16(out, 0);
}

// The path in the system code page, for the readers of a link that take no
// other; a character the code page lacks is given as the shell's own link
// object gives it. Every reader since the UTF-16 path was added takes that.
std::string AnsiPath(const std::wstring& path) {
    const int length = static_cast<int>(path.size());
    const int n =
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), length, &ansi[0], n, nullptr, nullptr);
    return ansi;
}

// The volume and the local path, as a link resolves its target when the item
// list no longer leads there.
bool LinkInfo(const std::wstring& target, std::string* out) {
    const std::string ansi = AnsiPath(target);
    if (target.size() < 3 || target[1] != L':' || target[2] != L'\\' || ansi.empty())
        return false;
    const std::wstring root = target.substr(0, 3);
    DWORD serial = 0;
    GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    const uint32_t volumeAt = kLinkInfoHeaderSize;
    const uint32_t pathAt = volumeAt + kVolumeIdSize;
    const uint32_t suffixAt = pathAt + static_cast<uint32_t>(ansi.size()) + 1;
    const uint32_t widePathAt = suffixAt + 1;
    const uint32_t wideSuffixAt = widePathAt + static_cast<uint32_t>(target.size() + 1) * 2;
    const uint32_t size = wideSuffixAt + 2;
    Put32(out, size);
    Put32(out, kLinkInfoHeaderSize);
    Put32(out, kVolumeIdAndLocalBasePath);
    Put32(out, volumeAt);
    Put32(out, pathAt);
    Put32(out, 0); // no network share
    Put32(out, suffixAt);
    Put32(out, widePathAt);
    Put32(out, wideSuffixAt);
    // The volume: its kind, its serial number and an empty label.
    Put32(out, kVolumeIdSize);
    Put32(out, GetDriveTypeW(root.c_str()));
    Put32(out, serial);
    Put32(out, 0x10);
    out->push_back('\0');
    out->append(ansi);
    out->push_back('\0');
    out->push_back('\0'); // the empty common path suffix
    PutWide(out, target, true);
    Put16(out, 0);
    return true;
}

} // namespace

bool LinkFileBytes(const std::wstring& target, const std::wstring& description,
                   std::string* bytes) {
    bytes->clear();
    if (target.empty() || target.size() >= MAX_PATH || description.size() > kMaxDescription)
        return false;
    // The item list the shell makes for the path, which it prefers when it
    // starts the link; the shell needs no COM for it.
    std::string idList;
    if (PIDLIST_ABSOLUTE pidl = ILCreateFromPathW(target.c_str())) {
        const UINT size = ILGetSize(pidl);
        if (size >= 2 && size <= 0xFFFF) {
            Put16(&idList, static_cast<uint16_t>(size));
            idList.append(reinterpret_cast<const char*>(pidl), size);
        }
        ILFree(pidl);
    }
    std::string info;
    const bool hasInfo = LinkInfo(target, &info);
    if (idList.empty() && !hasInfo)
        return false;

    WIN32_FILE_ATTRIBUTE_DATA found = {};
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &found))
        found = WIN32_FILE_ATTRIBUTE_DATA();
    std::string& out = *bytes;
    Put32(&out, kHeaderSize);
    out.append(reinterpret_cast<const char*>(kLinkClsid), sizeof(kLinkClsid));
    Put32(&out, (idList.empty() ? 0 : kHasTargetIdList) | (hasInfo ? kHasLinkInfo : 0) |
                    (description.empty() ? 0 : kHasName) | kIsUnicode);
    Put32(&out, found.dwFileAttributes);
    for (const FILETIME& time :
         {found.ftCreationTime, found.ftLastAccessTime, found.ftLastWriteTime}) {
        Put32(&out, time.dwLowDateTime);
        Put32(&out, time.dwHighDateTime);
    }
    Put32(&out, found.nFileSizeLow);
    Put32(&out, 0); // the icon: the target's first
    Put32(&out, SW_SHOWNORMAL);
    Put16(&out, 0); // no hot key
    Put16(&out, 0);
    Put32(&out, 0);
    Put32(&out, 0);
    out.append(idList);
    out.append(info);
    if (!description.empty()) {
        Put16(&out, static_cast<uint16_t>(description.size()));
        PutWide(&out, description, false);
    }
    Put32(&out, 0); // no extra data blocks
    return true;
}

#include "installer/engine/InsideFolder.h"

#include "installer/services/FolderHandle.h"
#include "installer/services/RandomText.h"
#include "installer/services/Staging.h"

#include <windows.h>

#include <sddl.h>

const wchar_t kUnpackFolderSddl[] =
    L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;0x1200a9;;;BU)";
const wchar_t kAsideFolderSddl[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

namespace {

// With 64 random bits a name is in the way only when something was planted
// there, and whoever plants cannot foresee the next draw: a few are plenty.
constexpr int kNameAttempts = 8;

} // namespace

std::wstring InsideFolderName(const wchar_t* suffix) {
    const std::wstring digits = RandomHex(8);
    return digits.empty() ? std::wstring() : L"qms-" + digits + suffix;
}

bool CreateInsideFolder(HANDLE parent, const std::wstring& installPath, const wchar_t* sddl,
                        const std::function<std::wstring()>& next,
                        const std::function<bool(const std::wstring&)>& note,
                        TInsideFolder* folder) {
    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (IsProcessElevated() && !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                   sddl, SDDL_REVISION_1, descriptor.Put(), nullptr))
        return false;
    std::wstring base = installPath;
    if (base.compare(0, 4, L"\\\\?\\") != 0)
        base = L"\\\\?\\" + base;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring name = next();
        if (name.empty())
            return false;
        const std::wstring path = base + name + L"\\";
        if (!note(path))
            return false;
        SkinUI::UniqueHandle made =
            OpenBelow(parent, name,
                      FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE |
                          FILE_READ_ATTRIBUTES,
                      true, BelowHow::New, descriptor.Get());
        if (made) {
            folder->path = path;
            folder->handle = std::move(made);
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

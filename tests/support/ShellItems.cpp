#include "tests/support/ShellItems.h"

#include <objbase.h>
#include <shlobj.h>

namespace qmtest {

namespace {
std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}
} // namespace

std::wstring DesktopFolder() {
    return SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
}

std::wstring ProgramsFolder() {
    return SpecialFolder(CSIDL_COMMON_PROGRAMS);
}

std::wstring UserDesktopFolder() {
    return SpecialFolder(CSIDL_DESKTOP);
}

std::wstring UserProgramsFolder() {
    return SpecialFolder(CSIDL_PROGRAMS);
}

std::wstring ShortcutTarget(const std::wstring& link) {
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell))))
        return std::wstring();
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {};
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)))
            shell->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        file->Release();
    }
    shell->Release();
    return target;
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target) {
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell))))
        return false;
    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->SetPath(target.c_str())) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = SUCCEEDED(file->Save(link.c_str(), TRUE));
        file->Release();
    }
    shell->Release();
    return saved;
}

bool RegistryKeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace qmtest

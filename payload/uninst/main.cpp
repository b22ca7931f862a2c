// Entry point of uninst.exe, the product's uninstaller.
//   uninst.exe        asks for confirmation, then removes the product
//   uninst.exe /S     silent: no questions, no boxes; the exit code tells
#include "payload/uninst/Uninstaller.h"
#include "skinui/core/SystemLibrary.h"

#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>

namespace {

std::wstring OwnDirectory(const std::wstring& self) {
    size_t slash = self.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : self.substr(0, slash + 1);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    SkinUI::HardenDllSearch();
    CoInitialize(nullptr);

    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    UninstallOptions options;
    wchar_t self[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return UNINSTALL_NO_LIST;
    options.selfPath = self;
    options.installDir = OwnDirectory(self);

    for (int i = 1; argv && i < argc; ++i) {
        if (_wcsicmp(argv[i], L"/S") == 0) {
            options.silent = true;
        } else if (_wcsicmp(argv[i], L"/cleanup") == 0 && i + 2 < argc) {
            DWORD pid = static_cast<DWORD>(wcstoul(argv[i + 1], nullptr, 10));
            std::wstring dir = argv[i + 2];
            if (dir.empty() || (dir.back() != L'\\' && dir.back() != L'/'))
                dir += L'\\';
            LocalFree(argv);
            return RunCleanup(dir, pid);
        }
    }
    if (argv)
        LocalFree(argv);
    return RunUninstall(options);
}

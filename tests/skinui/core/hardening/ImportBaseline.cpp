// Does nothing but import one function from every KnownDLL the programs may
// import. Under Wine, the system DLLs' own dependencies are looked up in the
// program's folder while the imports are resolved, before any program code
// runs (Windows resolves them in the system directory); whatever this
// program loads is that difference, not a fault of the programs.
#include <windows.h>

#include <commdlg.h>
#include <imm.h>
#include <oleauto.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Referenced only, never called with effect: the imports are the point.
    volatile bool never = GetTickCount() == 0 && GetTickCount() == 1;
    if (never) {
        GetStockObject(WHITE_BRUSH);
        GetDesktopWindow();
        RegCloseKey(nullptr);
        SHGetFolderPathW(nullptr, 0, nullptr, 0, nullptr);
        PathFileExistsW(L"");
        CoInitialize(nullptr);
        SysFreeString(nullptr);
        GetOpenFileNameW(nullptr);
        ImmGetContext(nullptr);
        GetProcessMemoryInfo(nullptr, nullptr, 0);
    }
    return 0;
}

// Entry point of QuillmossdexSetup.exe.
#include "installer/CrashDump.h"
#include "installer/Guard.h"
#include "skinui/core/SystemLibrary.h"

#include <objbase.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    // Before anything can load a DLL by name.
    SkinUI::HardenDllSearch();

    if (CheckSingleInstance())
        return 0;
    SetUnhandledExceptionFilter(WriteCrashDump);
    CoInitialize(nullptr);

    ReleaseInstallMutex();
    ExitProcess(0);
}

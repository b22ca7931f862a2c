// A DLL that stands for one planted beside a program under a system DLL's name.
// When anything loads it, it leaves a marker file beside itself, named after
// its own file name plus ".loaded", and then refuses to load.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH + 8] = {};
    DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return FALSE;
    lstrcatW(path, L".loaded");
    HANDLE marker =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    // Failing the load makes the program fall back or fail loudly, so a test
    // can never mistake a planted DLL for the real one.
    return FALSE;
}

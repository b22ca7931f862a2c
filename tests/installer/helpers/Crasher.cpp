// Faults on a worker thread with the installer's crash filter installed.
#include "installer/app/CrashDump.h"

#include <windows.h>

namespace {
DWORD WINAPI Fault(void*) {
    volatile int* p = nullptr;
    *p = 42;
    return 0;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SetUnhandledExceptionFilter(WriteCrashDump);
    HANDLE thread = CreateThread(nullptr, 0, Fault, nullptr, 0, nullptr);
    WaitForSingleObject(thread, 60000);
    return 7; // only reached if the fault did not end the process
}

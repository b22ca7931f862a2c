// Stands in for another program of the product: it stays alive (at most a
// minute, so a failed test never leaves it behind for long) and, when given a
// mutex name, holds that mutex meanwhile.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd, int) {
    HANDLE mutex = nullptr;
    if (cmd && *cmd)
        mutex = CreateMutexA(nullptr, TRUE, cmd);
    Sleep(60000);
    if (mutex)
        CloseHandle(mutex);
    return 0;
}

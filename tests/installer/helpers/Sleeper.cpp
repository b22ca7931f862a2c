// Stands in for another program of the product: it stays alive (at most a
// minute, so a failed test never leaves it behind for long) and, when given a
// mutex name, holds that mutex meanwhile.
#include <windows.h>

#include <sddl.h>

#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd, int) {
    HANDLE mutex = nullptr;
    // "elevated:NAME" makes the mutex as an elevated program's is on
    // Windows, owned by the administrators. Wine gives a program's objects
    // no owner at all, so there it is named explicitly.
    const char kElevated[] = "elevated:";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    if (cmd && strncmp(cmd, kElevated, sizeof(kElevated) - 1) == 0 &&
        ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1, &descriptor, nullptr)) {
        cmd += sizeof(kElevated) - 1;
        attributes.lpSecurityDescriptor = descriptor;
    }
    if (cmd && *cmd)
        mutex = CreateMutexA(descriptor ? &attributes : nullptr, TRUE, cmd);
    Sleep(60000);
    if (mutex)
        CloseHandle(mutex);
    return 0;
}

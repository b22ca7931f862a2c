// Stands in for another program of the product: it stays alive (at most a
// minute, so a failed test never leaves it behind for long) and, when given a
// mutex name, holds that mutex meanwhile. Like the client it has a top-level
// window: asked to close (WM_CLOSE), it saves its work, which here means
// writing "<its own path>.closed", and ends with exit code 0; started with
// the word "stubborn" first it ignores the request, as a hung client would.
#include <windows.h>

#include <sddl.h>

#include <cstdlib>
#include <cstring>

namespace {

bool g_stubborn = false;

void SaveWork() {
    wchar_t path[MAX_PATH + 16] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    wcscat(path, L".closed");
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
        if (g_stubborn)
            return 0;
        SaveWork();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmd, int) {
    const char kStubborn[] = "stubborn";
    if (cmd && strncmp(cmd, kStubborn, sizeof(kStubborn) - 1) == 0) {
        g_stubborn = true;
        cmd += sizeof(kStubborn) - 1;
        while (*cmd == ' ')
            ++cmd;
    }
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

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"QmSleeper";
    RegisterClassW(&wc);
    // Never shown: a client's main window may well be hidden in the tray.
    CreateWindowW(L"QmSleeper", L"sleeper", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                  instance, nullptr);
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= 60000)
            break;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 60000 - spent, QS_ALLINPUT) ==
            WAIT_TIMEOUT)
            break;
        MSG msg;
        bool quit = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                quit = true;
            DispatchMessageW(&msg);
        }
        if (quit)
            break;
    }
    if (mutex)
        CloseHandle(mutex);
    return 0;
}

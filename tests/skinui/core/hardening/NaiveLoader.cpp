// Loads a DLL by bare name with the classic search order, the way a program
// without hardening would: the test's proof that a planted DLL is found.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    HMODULE module = LoadLibraryW(argv[1]);
    return module ? 0 : 1;
}

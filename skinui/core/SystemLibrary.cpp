#include "skinui/core/SystemLibrary.h"

#include <cwchar>

namespace SkinUI {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32 needs KB2533623 on Windows 7; without it
// LoadLibraryExW rejects the flag, and we fall back to a full path into the
// system directory, which is just as safe.
constexpr DWORD kSearchSystem32 = 0x00000800;

HMODULE LoadByFullPath(const wchar_t* fileName) {
    wchar_t path[MAX_PATH];
    UINT len = GetSystemDirectoryW(path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return nullptr;
    size_t nameLen = wcslen(fileName);
    if (len + 1 + nameLen >= MAX_PATH)
        return nullptr;
    path[len] = L'\\';
    wmemcpy(path + len + 1, fileName, nameLen + 1);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

struct CachedModule {
    const wchar_t* name;
    HMODULE module;
    bool tried;
};

// The few system DLLs the programs use that Windows does not protect as
// KnownDLLs; each is looked up here once.
CachedModule g_modules[] = {
    {L"dbghelp.dll", nullptr, false},  // MiniDumpWriteDump for the crash filter
    {L"gdiplus.dll", nullptr, false},  // text through GDI+ and its start-up
    {L"msimg32.dll", nullptr, false},  // AlphaBlend and GradientFill
    {L"uxtheme.dll", nullptr, false},  // theme queries of the native edit box
    {L"version.dll", nullptr, false},  // version resources of the payload
    {L"comctl32.dll", nullptr, false}, // tool tips and InitCommonControlsEx
    {L"oleacc.dll", nullptr, false},   // the accessible object handed to screen readers
};

} // namespace

void HardenDllSearch() {
    using SetDirsFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDirs = kernel ? reinterpret_cast<SetDirsFn>(reinterpret_cast<void*>(
                                GetProcAddress(kernel, "SetDefaultDllDirectories")))
                          : nullptr;
    if (setDirs)
        setDirs(kSearchSystem32);
    // Also drops the current directory from the classic search order.
    SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    for (CachedModule& m : g_modules) {
        if (_wcsicmp(m.name, fileName) != 0)
            continue;
        if (!m.tried) {
            m.tried = true;
            m.module = LoadLibraryExW(fileName, nullptr, kSearchSystem32);
            if (!m.module)
                m.module = LoadByFullPath(fileName);
        }
        return m.module;
    }
    HMODULE module = LoadLibraryExW(fileName, nullptr, kSearchSystem32);
    return module ? module : LoadByFullPath(fileName);
}

FARPROC GetSystemProc(const wchar_t* dll, const char* name) {
    HMODULE module = LoadSystemLibrary(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

} // namespace SkinUI

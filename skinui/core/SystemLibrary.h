// Functions of system DLLs that are not KnownDLLs, loaded from the system
// directory only, so that a DLL planted beside the program is never used.
#pragma once

#include <windows.h>

namespace SkinUI {

// Limits the process's DLL search to the system directory and the program's
// KnownDLLs. Call it first thing in every entry point, before anything can
// load a DLL by name.
void HardenDllSearch();

// Loads a system DLL by file name from the system directory only; null when it
// is missing. The module stays loaded for the life of the process.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Looks a function up in a system DLL loaded by LoadSystemLibrary; null when
// the DLL or the function is missing. Results are cached per entry.
FARPROC GetSystemProc(const wchar_t* dll, const char* name);

// Typed access: SystemProc<decltype(&::MiniDumpWriteDump)>(L"dbghelp.dll", "MiniDumpWriteDump").
template <typename Fn> Fn SystemProc(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetSystemProc(dll, name)));
}

} // namespace SkinUI

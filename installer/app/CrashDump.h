// The process's unhandled-exception filter: tells the user where the dump goes
// and writes a mini-dump next to the executable.
#pragma once

#include <windows.h>

// Returns EXCEPTION_EXECUTE_HANDLER, so the process ends after the dump.
LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* pointers);

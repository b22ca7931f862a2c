// The user-facing log of one run of the installer or the uninstaller: a UTF-8
// text file, one line per step with its local time, so that an administrator
// can tell afterwards what a deployment did and why it failed. The diagnostic
// log (Log.h) is a different thing and keeps its own format.
#pragma once

#include <windows.h>

#include <string>

// The name a run's default log is made from:
// <temp>\Quillmossdex-<kind>-YYYYMMDD-HHMMSS.log, kind "install" or
// "uninstall" (OpenNewSetupLog adds a random part). Empty when the temporary
// directory cannot be found.
std::wstring DefaultSetupLogPath(const wchar_t* kind, const SYSTEMTIME& localTime);

// Opens path for appending (created with a UTF-8 byte order mark when new) as
// the process's log; false when it cannot be opened, and then the log stays
// where it was. A link at the name (symbolic link, junction, hard link) is
// refused, never written through. The file stays open, shared for reading,
// until the process ends, so a script can watch it grow.
bool OpenSetupLog(const std::wstring& path);
// The same for a file that must be new: the default log in the user's
// temporary folder. Eight random hexadecimal digits go before the extension
// of path ("...-013000-9f2c41d7.log"), drawn anew for each of several
// attempts, so that nobody can make the name in advance; false when no new
// file could be made.
bool OpenNewSetupLog(const std::wstring& path);
// The file the log writes to; empty when none is open.
std::wstring SetupLogPath();

// Appends one line: the local time, two blanks, the text. Line breaks inside
// the text are replaced by blanks, so every line is one step. Safe from any
// thread; does nothing while no file is open.
void SetupLogLine(const std::wstring& text);
// A failed step: the text, then the Win32 error code and the system's text
// for it.
void SetupLogFailure(const std::wstring& text, DWORD error);

// The system's text for a Win32 error code, on one line; "(no system text)"
// when the system has none.
std::wstring SystemErrorText(DWORD error);

// Narrow text of the install engine (ANSI code page) for a log line.
std::wstring LogText(const std::string& ansi);

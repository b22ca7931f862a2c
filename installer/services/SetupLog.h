// The user-facing log of one run of the installer or the uninstaller: a UTF-8
// text file, one line per step with its local time, so that an administrator
// can tell afterwards what a deployment did and why it failed. The diagnostic
// log (Log.h) is a different thing and keeps its own format.
#pragma once

#include <windows.h>

#include <string>

// The name a run's default log is made from:
// <folder>\Quillmossdex-<kind>-YYYYMMDD-HHMMSS.log, kind "install" or
// "uninstall" (OpenNewSetupLog adds a random part). The folder is the
// system's temporary folder (%SystemRoot%\Temp) when the process is
// elevated, the user's otherwise (StagingParent). Empty when it cannot be
// found.
std::wstring DefaultSetupLogPath(const wchar_t* kind, const SYSTEMTIME& localTime);

// Opens path for appending as the process's log: a new file gets the header
// line (with a UTF-8 byte order mark), and an existing one is continued only
// when it is a log of ours (it starts with the header, or as earlier
// versions' logs did); any other file fails with ERROR_FILE_EXISTS and is
// left untouched. False when it cannot be opened, and then the log stays
// where it was. No level of the path is followed through a link, and a link
// or a hard link at the name is refused (ERROR_CANT_ACCESS_FILE); a missing
// folder fails with ERROR_PATH_NOT_FOUND. The file stays open, shared for
// reading, until the process ends, so a script can watch it grow.
bool OpenSetupLog(const std::wstring& path);
// The same for a file that must be new: the default log. When elevated it
// gets an ACL for administrators and SYSTEM only. Eight random hexadecimal digits go before the
// extension of path ("...-013000-9f2c41d7.log"), drawn anew for each of several attempts, so that
// nobody can make the name in advance; false when no new file could be made.
bool OpenNewSetupLog(const std::wstring& path);
// The file the log writes to; empty when none is open.
std::wstring SetupLogPath();

// Appends one line: the local time, two blanks, the text. Control characters
// inside the text (line breaks among them) become blanks, so every line is
// one step, and & | < > ^ % their full-width forms, so that no command
// shell that reads the log acts on what a caller put into it. Safe from any
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

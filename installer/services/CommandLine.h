// The command line of the product's programs (the installer and the
// uninstaller read the same switches), and the run log and console output
// that go with it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the command line asks for. Switches come first, in the usual form of
// deployment tools (case-insensitive):
//   /S          silent: no window, no box; the exit code and the log tell
//   /D=dir      the parent directory of the install folder; the rest of the
//               line, blanks included, without quotes, so it comes last
//   /LOG=file   where the log goes (default: DefaultSetupLogPath)
//   /ALLSESSIONS  with /S: running clients of every session are closed, not
//               only those of the installer's own session
//   /? /help    the usage on the starter's console, exit 0
// The first word that is not a switch starts the words of the start modes
// (ApplyStartMode), read exactly as before: a switch after it is one of them.
struct TStartRequest {
    enum Mode { kStart, kUsage, kUnknownSwitch };
    Mode mode = kStart;
    // /S, or the "path" word.
    bool silent = false;
    // The start-mode words after the switches.
    std::vector<std::wstring> words;
    // /D=: given, and its text (may be empty, which is refused).
    bool hasParentDir = false;
    std::wstring parentDir;
    std::wstring logPath;
    // /ALLSESSIONS: honoured only in silent runs (Processes.h).
    bool allSessions = false;
    // The "path" mode's directory: the rest of the line after that word as
    // it was typed, blanks at both ends trimmed and quotes dropped (no path
    // holds one). Taken from the raw line because the system's splitting
    // reads a backslash before a closing quote as an escaped quote, and a
    // quoted directory ending in a backslash is what "%~dp0" gives a script.
    std::wstring pathDir;
    // The first switch that is not known, for the usage's first line.
    std::wstring unknownSwitch;
};

// Reads a whole command line (program path first, as GetCommandLineW gives it).
TStartRequest ParseStartCommandLine(const wchar_t* commandLine);

// The words after the program path, split as the system splits a command
// line (CommandLineToArgvW).
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);

// Opens the run's log: the given file, or when none is given or it cannot be
// used, the default one for kind ("install", "uninstall"): in the system's
// temporary folder when elevated, the user's otherwise. The first line after
// the header names the program, its version and its command line; when the
// given file was not used, the next one says why (a missing folder, a file
// that is not a log of ours, a link on the way).
void OpenRunLog(const std::wstring& requested, const wchar_t* kind, const wchar_t* program);

// Writes text to the console of the program that started this one (attached
// for the purpose), or to the standard output a starter redirected; false
// when there is neither.
bool PrintToParentConsole(const std::wstring& text);

// The "path" mode's directory from the words after "path": one word as it is,
// several each preceded by one space (a directory split at its blanks comes
// back with single blanks; the caller trims the leading one).
std::wstring JoinPathWords(const std::vector<std::wstring>& args);

// The start-up steps between the guard and the message loop: the command line
// read into a start request, the skin archive as the UI library's file
// source, and the start mode the command line asks for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CFrameUI;

// What the command line asks for. Switches come first, in the usual form of
// deployment tools (case-insensitive):
//   /S          silent: no window, no box; the exit code and the log tell
//   /D=dir      the parent directory of the install folder; the rest of the
//               line, blanks included, without quotes, so it comes last
//   /LOG=file   where the log goes (default: DefaultSetupLogPath)
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
// opened, the default one for kind ("install", "uninstall") in the temporary
// folder. The first line names the program, its version and its command line.
void OpenRunLog(const std::wstring& requested, const wchar_t* kind, const wchar_t* program);

// Writes text to the console of the program that started this one (attached
// for the purpose), or to the standard output a starter redirected; false
// when there is neither.
bool PrintToParentConsole(const std::wstring& text);

// Points the UI library at the skin archive inside the program (resource
// ZIPRES / 103), read in place; the library's instance must be set first. A
// missing archive is not reported here: building the window then fails with
// the window base's own message.
void SetupSkinResources();

// The command-line words (without the program path) select the start mode by
// the first word, compared exactly:
//   (none)            welcome page; a recorded installation is asked about
//                     before it is overwritten
//   Update [pid] ...  ends process pid, then installs over the recorded
//                     installation at once (welcome page when none)
//   path dir ...      silent: installs below dir (or over the recorded
//                     installation) without a window, then ends; run by
//                     RunSilentInstall, never through the window
//   anything else     welcome page, nothing recorded is used
void ApplyStartMode(CFrameUI& frame, const std::vector<std::string>& args);
// The start request on the window: its start-mode words, and a /D= parent
// directory in the directory edit when no recorded installation is used.
void ApplyStartRequest(CFrameUI& frame, const TStartRequest& request);

// True when the words ask for a silent install.
bool IsSilentStart(const std::vector<std::string>& args);

// The "path" mode's directory from the words after "path": one word as it is,
// several each preceded by one space (a directory split at its blanks comes
// back with single blanks; the caller trims the leading one).
std::string JoinPathWords(const std::vector<std::string>& args);
// The same for the wide words of a start request.
std::wstring JoinPathWordsW(const std::vector<std::wstring>& args);

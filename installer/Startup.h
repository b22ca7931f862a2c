// The start-up steps between the guard and the message loop: the skin archive
// as the UI library's file source, and the start mode the command line asks
// for.
#pragma once

#include <string>
#include <vector>

class CFrameUI;

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
//                     installation) without the window, then ends
//   anything else     welcome page, nothing recorded is used
void ApplyStartMode(CFrameUI& frame, const std::vector<std::string>& args);

// True when the words ask for a silent install.
bool IsSilentStart(const std::vector<std::string>& args);

// The "path" mode's directory from the words after "path": one word as it is,
// several each preceded by one space (a directory split at its blanks comes
// back with single blanks; the caller trims the leading one).
std::string JoinPathWords(const std::vector<std::string>& args);

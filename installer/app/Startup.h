// The start-up steps between the guard and the message loop: the skin
// archive as the UI library's file source, and the start mode the command
// line asks for.
#pragma once

#include "installer/services/CommandLine.h"

#include <windows.h>

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
//                     installation) without a window, then ends; run by
//                     RunSilentInstall, never through the window
//   anything else     welcome page, nothing recorded is used
void ApplyStartMode(CFrameUI& frame, const std::vector<std::wstring>& args);
// The start request on the window: its start-mode words, and a /D= parent
// directory in the directory edit when no recorded installation is used.
void ApplyStartRequest(CFrameUI& frame, const TStartRequest& request);

// True when the words ask for a silent install.
bool IsSilentStart(const std::vector<std::wstring>& args);

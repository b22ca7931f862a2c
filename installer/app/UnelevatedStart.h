// Starts a program as the signed-in user without administrator rights, from
// an installer that runs elevated: the installed product must not inherit
// the installer's token.
#pragma once

#include <string>

// Starts file (no arguments, its own folder as the current folder) with the
// user's own, unelevated token: through the shell that runs the desktop,
// which starts programs as the user, or failing that with a copy of the
// desktop shell's token. A process that is not elevated starts it directly.
// False when it could not be started without elevation (it is then not
// started at all).
bool StartUnelevated(const std::wstring& file);

// Opens a web page the same way: the browser, and any handler the user
// registered for the page's scheme, runs with the user's own token, never
// with the installer's. An elevated process that cannot reach the user's
// token opens nothing (false).
bool OpenPageUnelevated(const std::wstring& url);

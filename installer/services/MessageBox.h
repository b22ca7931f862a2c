// The one seam every message box of the installer and the uninstaller goes
// through: tests answer the boxes instead of a person, and silent runs, which
// have no person to answer, write them to the log instead.
#pragma once

#include <windows.h>

// Shows a modal message box (MessageBoxW) and returns the button pressed.
// Every box's text and answer also go to the setup log (SetupLog.h). In a
// silent run no box appears: the text goes to the log and the box's default
// button (MB_DEFBUTTON1..3 of its buttons) is the answer.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Makes every later box silent (true) or real again (false).
void SetSilentMessageBoxes(bool silent);

// The button a box of this type answers when nobody presses one: the one its
// MB_DEFBUTTONn flag names, the first when that button does not exist.
int DefaultMessageBoxButton(UINT type);

// Replaces the box by a function with the same signature; null restores the
// real box. Only tests install a hook; the programs themselves never do.
using MessageBoxHook = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

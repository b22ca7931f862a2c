// The one seam every message box of the installer goes through, so that tests
// can answer the boxes instead of a person.
#pragma once

#include <windows.h>

// Shows a modal message box (MessageBoxW) and returns the button pressed.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Replaces the box by a function with the same signature; null restores the
// real box. Only tests install a hook; the installer itself never does.
using MessageBoxHook = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

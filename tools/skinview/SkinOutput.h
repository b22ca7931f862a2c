// What skinview prints and writes: the control tree as text, and the client
// area as a PNG.
#pragma once

#include <windows.h>

#include <string>

namespace SkinUI {
class CControlUI;
}

namespace skinview {

// One line per control in tree pre-order, UTF-8:
//   DEPTH CLASS "NAME" LEFT,TOP,RIGHT,BOTTOM VISIBLE
// with the item rectangle in client coordinates and VISIBLE 1 or 0.
std::string DumpTree(SkinUI::CControlUI* root);

// Paints the window's client area as the window paints itself (through the
// paint manager, into a 32-bit bitmap) and writes it as an opaque PNG. False
// with a message on failure.
bool WriteClientPng(HWND window, const std::wstring& path, std::wstring* error);

// Text to standard output or standard error: UTF-16 to a console, UTF-8 to
// a pipe or file.
void Print(DWORD stdHandle, const std::wstring& text);
void PrintUtf8(DWORD stdHandle, const std::string& text);

} // namespace skinview

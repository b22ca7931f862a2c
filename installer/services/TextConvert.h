// The installer's two text conversions between the window's wide text and the
// narrow text that passes between its parts (command-line words, result
// texts). Narrow text is UTF-8, so every character survives the round trip
// whatever the system's code pages are.
#pragma once

#include <string>

// Wide (UTF-16) to UTF-8; empty for empty or invalid input.
std::string ToNarrow(const std::wstring& wide);
// UTF-8 to wide; empty for empty input or bytes that are not UTF-8.
std::wstring ToWide(const std::string& narrow);
// Bytes in the given code page to wide; empty for empty input or bytes that
// are no text in that code page.
std::wstring DecodeText(const std::string& bytes, unsigned codePage);

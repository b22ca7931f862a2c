// The payload's entry names: their decoding into text, and which names are
// safe to unpack.
#pragma once

#include <string>

// The code page of ZIP entry names without the UTF-8 flag: what Chinese
// archivers write (tools/pack_payload.py reads them so when it repacks one).
constexpr unsigned kZipLegacyNameCodePage = 936;

// Decodes a stored entry name, UTF-8 or code page 936; empty when it is not
// valid in its encoding.
std::wstring DecodeEntryName(const std::string& bytes, bool utf8);

// True when an entry name can only name something inside the unpack
// directory. Refused: absolute names, anything with a colon (a drive or an
// alternate stream), components of dots and spaces only ("..", and the forms
// Windows trims to it), and device names.
bool IsSafeEntryName(const std::wstring& name);

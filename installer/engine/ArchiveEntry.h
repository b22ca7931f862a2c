// The payload's entry names: their decoding into text. Which names are safe to
// unpack is the entry list's one rule (IsSafeEntryName, EntryList.h).
#pragma once

#include "installer/services/EntryList.h"

#include <string>

// The code page of ZIP entry names without the UTF-8 flag: what Chinese
// archivers write (tools/pack_payload.py reads them so when it repacks one).
constexpr unsigned kZipLegacyNameCodePage = 936;

// Decodes a stored entry name, UTF-8 or code page 936; empty when it is not
// valid in its encoding.
std::wstring DecodeEntryName(const std::string& bytes, bool utf8);

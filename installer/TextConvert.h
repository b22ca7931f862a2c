// The installer's two text conversions between the window's wide text and the
// narrow (code page 936) text of the install engine and the registry.
#pragma once

#include <string>

// Wide to narrow in the OEM code page.
std::string ToNarrow(const std::wstring& wide);
// Narrow to wide in the ANSI code page.
std::wstring ToWide(const std::string& narrow);

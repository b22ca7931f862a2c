// The bytes of a shell link file (.lnk) that starts a local program, made
// without the shell's link object: that object needs COM on the calling
// thread, whose first use in a process costs more than everything else the
// links take, and it can hand each saved file to other programs.
#pragma once

#include <string>

// A link to target (a full local path, "C:\..."), with description as its
// tool tip: the target's item list when the shell can make one (the target
// exists), and its volume and path, in UTF-16 and in the system code page;
// false when the target is no local path, or a text is longer than a link
// holds.
bool LinkFileBytes(const std::wstring& target, const std::wstring& description, std::string* bytes);

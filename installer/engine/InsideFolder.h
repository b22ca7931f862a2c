// The two folders a run makes inside the install folder: the one the payload
// is unpacked into and the one replaced files wait in. Both are made by this
// run, new, under a name nobody can foresee (nothing anyone can read before
// the folder exists tells it), and only the administrators and SYSTEM can
// change them from the moment they exist: a user who can write the install
// folder cannot plant one first, or add anything to one later.
#pragma once

#include "skinui/core/Handles.h"

#include <functional>
#include <string>

// A name for such a folder: "qms-" and 16 random hex digits, then suffix.
// Empty when the system's random source fails.
std::wstring InsideFolderName(const wchar_t* suffix);

// Where the payload is unpacked: the folder itself is the administrators'
// and SYSTEM's alone; users read and run what is created in it (an entry
// that only its children inherit), so the files carry the install folder's
// rights once they are moved into place, and nobody else can list, add to
// or take anything from the folder while the run fills it.
extern const wchar_t kUnpackFolderSddl[];
// Where replaced files wait: the administrators' and SYSTEM's alone.
extern const wchar_t kAsideFolderSddl[];

struct TInsideFolder {
    // Long-path form, ending with '\'.
    std::wstring path;
    // Held for as long as the run uses the folder; without delete sharing,
    // so that nobody can rename it away meanwhile.
    SkinUI::UniqueHandle handle;
};

// Creates a folder new below the install folder open as parent (installPath
// its path, ending with '\'): under the name next() gives, with sddl's ACL
// when the process is elevated. A name already there, whatever it is, is
// never taken over: the next name is tried. note(path) is called before each
// attempt (the journal names a folder before it is made) and ends the call
// when it fails. False when no folder could be made.
bool CreateInsideFolder(HANDLE parent, const std::wstring& installPath, const wchar_t* sddl,
                        const std::function<std::wstring()>& next,
                        const std::function<bool(const std::wstring&)>& note,
                        TInsideFolder* folder);

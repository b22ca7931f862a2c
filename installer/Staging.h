// The private folders an installer run keeps its temporary data in, below the
// system's temporary directory, and their removal.
#pragma once

#include <string>
#include <vector>

// One run's private staging folder: "<temp>\qms-<16 hex digits>\", created
// new. False when none could be made or its path would not fit MAX_PATH.
bool CreateStagingDir(std::wstring* dir); // dir gets a trailing backslash
// Earlier runs' staging folders (same naming), each with a trailing
// backslash; never a reparse point.
std::vector<std::wstring> FindStagingDirs();
// Deletes a tree without ever following a reparse point. False when
// something stayed.
bool RemoveTreeNoFollow(const std::wstring& dir);

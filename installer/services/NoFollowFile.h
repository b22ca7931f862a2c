// Opening a file by a name in a folder that someone else can write (the
// user's temporary folder, a log path a script names), without writing
// through whatever was put at that name. Both programs run elevated there.
#pragma once

#include <windows.h>

#include <string>

// Opens path as CreateFileW does (disposition OPEN_ALWAYS, OPEN_EXISTING or
// CREATE_NEW; never one that truncates, which would act before the checks),
// but opens a symbolic link, junction or mount point at the name itself and
// then refuses it, and refuses a file that has another name as well (a hard
// link makes the name another file's second name). A refused file is closed
// untouched and the call fails with ERROR_CANT_ACCESS_FILE. existed (may be
// null) tells whether the file was there before.
HANDLE OpenFileNoFollow(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                        bool* existed);

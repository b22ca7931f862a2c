// The install directory's one policy, for the window and for silent runs
// alike: how a typed, recorded or default directory is normalised, what
// refuses it (with the text the user or the log reads), and how its missing
// levels are made, before any install starts.
#pragma once

#include "installer/services/PathText.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CInstallPayload;

// A drive-letter path ("X:\...") that exists as a directory. UNC paths,
// relative paths and "X:/..." are refused even when they exist.
bool IsUsableInstallDir(std::wstring dir);

// What a check of a directory ended with: the directory as it will be used
// (full, canonical, with a trailing separator) and the levels the check made
// for it (outermost first), or the message that refuses it.
struct TInstallDirCheck {
    std::wstring dir;
    std::vector<std::wstring> created;
    // Empty when the directory is accepted.
    std::wstring refusal;
    bool Accepted() const { return refusal.empty(); }
};

// Normalises text, refuses what cannot take the payload before anything is
// made (empty, not a local drive-letter path, paths below it too long, a
// forbidden character, a missing or unready drive, too little space for
// neededBytes), then makes the missing levels and checks that the folder is
// usable. Every refusal says why, with the directory in it.
TInstallDirCheck CheckAndCreateInstallDir(const std::wstring& text, CInstallPayload& payload,
                                          uint64_t neededBytes);

// The "无法创建目录" message for a directory, shortened in the middle when
// the directory would not fit the message buffer.
std::wstring CannotCreateMessage(const std::wstring& dir);
// The same with the reason in a second line (none when reason is empty).
std::wstring CannotCreateMessage(const std::wstring& dir, const std::wstring& reason);
std::wstring TooLongMessage(size_t excess);

// Why dir cannot take the install, found before anything is made: not a
// local drive-letter path, a character Windows does not allow in a name, a
// drive that does not exist or is not ready, or less free space than needed
// bytes. Empty when none of these applies.
std::wstring RefusalBeforeCreating(const std::wstring& dir, uint64_t needed);
// Why dir could not be made, from the error of the level that failed
// (ERROR_SUCCESS when every level was there but it is no usable folder).
std::wstring RefusalReason(const std::wstring& dir, DWORD error);
std::wstring NotEnoughSpaceReason(const std::wstring& dir, uint64_t needed, uint64_t free);
// Creates dir's missing levels one by one; created gets those it made,
// outermost first. The error of the last level that could not be made.
DWORD CreateInstallDirectory(const std::wstring& dir, std::vector<std::wstring>* created);
// The nearest folder at or above dir that exists, without a trailing
// separator except at a drive root; empty when there is none.
std::wstring NearestExistingFolder(const std::wstring& dir);
// The bytes the caller may still write on dir's volume; false (with the
// error) when the drive cannot tell.
bool FreeBytes(const std::wstring& dir, uint64_t* free, DWORD* error);
// "812 KB", "12.4 MB", "45.6 GB", rounded up.
std::wstring SizeText(uint64_t bytes);
// A picked folder as an install directory: the product's folder below it,
// unless it is already the product's folder; with a trailing '\'.
std::wstring WithProductFolder(const std::wstring& chosen);
// The product's folder below parent, with a trailing '\'.
std::wstring ProductDirBelow(const std::wstring& parent);

// Why a recorded install folder is not used (a text for the log), or null
// when it is: it must be an absolute local path, no drive root, Windows,
// system or shell folder, and still hold the product's client.
const wchar_t* RecordedDirRefusal(const std::wstring& dir);
// The previous installation's directory from its uninstall record, as a
// canonical full path with a trailing separator; false when none is recorded
// or the recorded one is refused (RecordedDirRefusal; logged), and the
// normal default then applies.
bool ReadRecordedInstallDir(std::wstring* dir);
// The folder the product goes below by default: the program files folder
// (its x86 branch on 64-bit Windows), without a trailing separator; empty
// when the system cannot name it.
std::wstring DefaultParentDir();

// The installation's entry list, "uninst.lst" in the install folder: what
// one install put there, which the next install compares with its payload
// (to remove what the new version no longer carries) and the uninstaller
// removes. One reader and one writer for both programs.
//
// The form: one name a line, relative to the install folder, '/' between
// its parts and after a folder's name; UTF-8, with or without a byte order
// mark; "\n" or "\r\n" line ends. Empty lines and lines starting with '#'
// are comments. A line that is not UTF-8 is read in code page 936, as lists
// of older installs and Chinese tools hold. The installer writes UTF-8
// without a byte order mark or comments, the list's own name included.
//
// Unsafe names: one name that could reach outside the install folder
// (IsSafeEntryName), or a line that is text in neither encoding, makes the
// whole list untrusted, and it counts as missing. Only the installer writes
// the list, so such a name means someone else changed it, and then nothing
// in it can be trusted: the installer removes nothing an update no longer
// carries, and the uninstaller removes nothing and says it found no list.
#pragma once

#include <string>
#include <vector>

// What a list names: files and folders, '\' separated, relative to the
// install folder, without a separator at the end.
struct TEntryList {
    std::vector<std::wstring> files;
    std::vector<std::wstring> dirs;
};

// True when a name can only name something inside the folder it is below.
// Refused: empty and absolute names, anything with a colon (a drive or an
// alternate stream), components of dots and spaces only ("..", and the forms
// Windows trims to it), and device names ("nul", "com1.txt").
bool IsSafeEntryName(const std::wstring& name);

// Reads list text by the rules above; false (and out empty) when the list is
// untrusted or names no file.
bool ParseEntryList(const std::string& bytes, TEntryList* out);

// Reads the list at path, never through a link at its name; false when there
// is none, it is larger than any install writes, or ParseEntryList refuses it.
bool ReadEntryList(const std::wstring& path, TEntryList* out);

// The list text for names as a payload's index has them ('/' or '\'
// separated, folders ending in a separator); the list's own name is added
// when names lack it.
std::string EntryListText(const std::vector<std::wstring>& names);

// Writes EntryListText(names) as a new file at path; whatever was at the name
// goes first (a link there is removed, never written through). False when it
// could not be written completely.
bool WriteEntryList(const std::wstring& path, const std::vector<std::wstring>& names);

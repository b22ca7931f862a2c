// Paths as text, before any file function sees them: separators at the end,
// slashes, blanks around a typed path, the folder levels a path names, how
// far a tree of names would outgrow the path limits, and the program's own
// path. The installer, the uninstaller and the client share these.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Paths longer than Explorer and shell links can handle: a file's full path
// must fit MAX_PATH with its terminator, a folder's must leave room for an 8.3
// name as well, which is also what CreateDirectory accepts without the long
// path prefix.
constexpr size_t kMaxFilePathChars = MAX_PATH - 1;
constexpr size_t kMaxFolderPathChars = MAX_PATH - 13;

// '\' or '/': Windows takes either between the parts of a path.
inline bool IsPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

inline bool EndsWithSeparator(const std::wstring& path) {
    return !path.empty() && IsPathSeparator(path.back());
}

// '\' appended unless the text already ends with '\' or '/' (an empty text
// has no last character, so it becomes "\").
void AppendSeparator(std::wstring& path);
std::wstring WithSeparator(std::wstring path);

// The path without separators at its end, but for a drive root's ("C:\").
std::wstring WithoutTrailingSeparators(std::wstring path);
// A relative name (an entry's) without any separator at its end.
std::wstring WithoutTrailingSeparator(std::wstring name);

// Every '/' turned into '\' (a long-path form takes no '/' for a separator),
// and the other way round (the entry list's form).
std::wstring WithBackslashes(std::wstring path);
std::wstring WithSlashes(std::wstring path);

// The text without the blanks (spaces) at either end; empty when there is
// nothing else.
std::wstring TrimmedBlanks(const std::wstring& text);

// The directory levels a path names below base, in order: each level adds
// the next component and the separator after it ('/', '\' or '?'); doubled
// separators are skipped, and a last component without a separator after it
// (a file name) is not a level. Without a base, leading separators are kept,
// so "\\server\share\" stays a network path.
std::vector<std::wstring> DirectoryLevels(const std::wstring& base, const std::wstring& relative);

// How many characters the longest path below dir is too long by, for entry
// names as stored ('/' or '\' separated, folders ending in a separator); 0
// when every path fits. dir itself counts as a folder.
size_t PathExcess(const std::wstring& dir, const std::vector<std::wstring>& names);

// The full path of a module of this process (the program's own file for
// null), however long; empty when the system cannot tell.
std::wstring ModulePath(HMODULE module = nullptr);
// The folder of a file's path, with its trailing '\'; empty without one.
std::wstring FolderOf(const std::wstring& path);

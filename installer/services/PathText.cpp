#include "installer/services/PathText.h"

void AppendSeparator(std::wstring& path) {
    if (!EndsWithSeparator(path))
        path += L'\\';
}

std::wstring WithSeparator(std::wstring path) {
    AppendSeparator(path);
    return path;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && IsPathSeparator(path.back()))
        path.pop_back();
    return path;
}

std::wstring WithoutTrailingSeparator(std::wstring name) {
    while (EndsWithSeparator(name))
        name.pop_back();
    return name;
}

std::wstring WithBackslashes(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

std::wstring WithSlashes(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'\\')
            c = L'/';
    return path;
}

std::wstring TrimmedBlanks(const std::wstring& text) {
    const size_t begin = text.find_first_not_of(L' ');
    if (begin == std::wstring::npos)
        return std::wstring();
    return text.substr(begin, text.find_last_not_of(L' ') - begin + 1);
}

std::vector<std::wstring> DirectoryLevels(const std::wstring& base, const std::wstring& relative) {
    // Each level is the leftmost match of [^\\/]+?[/?\\] in what is left of
    // the path: a run of characters that are not '\' or '/', ended by the
    // first '/', '?' or '\' after its first character.
    auto endsLevel = [](wchar_t c) { return c == L'/' || c == L'?' || c == L'\\'; };
    std::vector<std::wstring> levels;
    std::wstring path = base;
    size_t pos = 0;
    const size_t n = relative.size();
    // Without a base, leading separators belong to the path: skipped, they
    // would turn "\\server\share\" and "\dir\" into folders below the
    // current directory.
    if (base.empty())
        while (pos < n && IsPathSeparator(relative[pos]))
            path += relative[pos++];
    for (;;) {
        size_t start = pos;
        while (start < n && IsPathSeparator(relative[start]))
            ++start;
        if (start >= n)
            break;
        size_t end = start + 1;
        while (end < n && !endsLevel(relative[end]))
            ++end;
        if (end >= n)
            break;
        path.append(relative, start, end - start + 1);
        levels.push_back(path);
        pos = end + 1;
    }
    return levels;
}

size_t PathExcess(const std::wstring& dir, const std::vector<std::wstring>& names) {
    // Below a drive root the root's separator is the one between the folder
    // and a name; elsewhere one is added.
    const std::wstring folder = WithoutTrailingSeparators(dir);
    const size_t below = WithSeparator(folder).size();
    size_t excess = 0;
    auto measure = [&](size_t length, size_t limit) {
        if (length > limit && length - limit > excess)
            excess = length - limit;
    };
    measure(WithoutTrailingSeparator(folder).size(), kMaxFolderPathChars);
    for (const std::wstring& name : names) {
        // Each folder on the way, then the entry itself: a file at its full
        // length, a folder without its trailing separator.
        for (size_t i = 0; i < name.size(); ++i)
            if (IsPathSeparator(name[i]) && i > 0 && !IsPathSeparator(name[i - 1]))
                measure(below + i, kMaxFolderPathChars);
        if (!name.empty() && !EndsWithSeparator(name))
            measure(below + name.size(), kMaxFilePathChars);
    }
    return excess;
}

std::wstring ModulePath(HMODULE module) {
    // GetModuleFileNameW cuts a path that does not fit and says so only by
    // filling the buffer; the longest path Windows has is 32,767 characters.
    for (DWORD room = MAX_PATH; room <= 32768; room *= 2) {
        std::wstring path(room, L'\0');
        const DWORD n = GetModuleFileNameW(module, &path[0], room);
        if (n == 0)
            return std::wstring();
        if (n < room) {
            path.resize(n);
            return path;
        }
    }
    return std::wstring();
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

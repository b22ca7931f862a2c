#include "installer/MoveTree.h"

#include "installer/Staging.h"

#include "skinui/core/Handles.h"

#include <cwchar>
#include <vector>

namespace {

// Moves one file over whatever is at to. A read-only file left by an earlier
// install would refuse the replacement, so it loses that attribute first.
DWORD MoveOneFile(const std::wstring& from, const std::wstring& to) {
    // A link at either end would make the move write or take what the link
    // names instead of what lies below the two directories.
    if (IsReparsePoint(from) || IsReparsePoint(to))
        return kMoveLinkRefused;
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;
    if (MoveFileExW(from.c_str(), to.c_str(), flags))
        return ERROR_SUCCESS;
    DWORD err = GetLastError();
    DWORD attrs = GetFileAttributesW(to.c_str());
    if (err == ERROR_ACCESS_DENIED && attrs != INVALID_FILE_ATTRIBUTES &&
        (attrs & FILE_ATTRIBUTE_READONLY) && !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(to.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
        if (MoveFileExW(from.c_str(), to.c_str(), flags))
            return ERROR_SUCCESS;
        err = GetLastError();
    }
    return err == ERROR_SUCCESS ? ERROR_GEN_FAILURE : err;
}

// Moves one directory: a rename when nothing is in the way, otherwise its
// content is merged into the existing directory of the same name.
DWORD MoveOneDirectory(const std::wstring& from, const std::wstring& to) {
    // A link at either end would make the move write or take what the link
    // names instead of what lies below the two directories.
    if (IsReparsePoint(from) || IsReparsePoint(to))
        return kMoveLinkRefused;
    DWORD attrs = GetFileAttributesW(to.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        if (MoveFileExW(from.c_str(), to.c_str(), 0))
            return ERROR_SUCCESS;
        // Directories cannot be renamed across volumes; the merge below
        // creates the target and moves the files one by one.
        if (GetLastError() != ERROR_NOT_SAME_DEVICE)
            return GetLastError();
        if (!CreateDirectoryW(to.c_str(), nullptr))
            return GetLastError();
    } else if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        return ERROR_ALREADY_EXISTS;
    }
    DWORD err = MoveDirectoryContent(from + L"\\", to + L"\\");
    if (err != ERROR_SUCCESS)
        return err;
    return RemoveDirectoryW(from.c_str()) ? ERROR_SUCCESS : GetLastError();
}

} // namespace

DWORD MoveDirectoryContent(const std::wstring& from, const std::wstring& to) {
    struct Item {
        std::wstring name;
        bool directory;
    };
    // The names are collected first: renaming entries out of a directory
    // while it is being enumerated is not something every file system
    // enumerates consistently.
    std::vector<Item> items;
    {
        WIN32_FIND_DATAW found = {};
        SkinUI::UniqueFind find(FindFirstFileW((from + L"*").c_str(), &found));
        if (!find) {
            DWORD err = GetLastError();
            return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : err;
        }
        do {
            if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
                continue;
            items.push_back(
                {found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (FindNextFileW(find.Get(), &found));
    }

    DWORD first = ERROR_SUCCESS;
    for (const Item& item : items) {
        std::wstring source = from + item.name;
        std::wstring target = to + item.name;
        DWORD err = item.directory ? MoveOneDirectory(source, target) : MoveOneFile(source, target);
        if (first == ERROR_SUCCESS)
            first = err;
    }
    return first;
}

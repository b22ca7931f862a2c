#include "installer/MoveTree.h"

#include "skinui/core/Handles.h"

#include <cstring>
#include <vector>

namespace {

// Moves one file over whatever is at to. A read-only file left by an earlier
// install would refuse the replacement, so it loses that attribute first.
DWORD MoveOneFile(const std::string& from, const std::string& to) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;
    if (MoveFileExA(from.c_str(), to.c_str(), flags))
        return ERROR_SUCCESS;
    DWORD err = GetLastError();
    DWORD attrs = GetFileAttributesA(to.c_str());
    if (err == ERROR_ACCESS_DENIED && attrs != INVALID_FILE_ATTRIBUTES &&
        (attrs & FILE_ATTRIBUTE_READONLY) && !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(to.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
        if (MoveFileExA(from.c_str(), to.c_str(), flags))
            return ERROR_SUCCESS;
        err = GetLastError();
    }
    return err == ERROR_SUCCESS ? ERROR_GEN_FAILURE : err;
}

// Moves one directory: a rename when nothing is in the way, otherwise its
// content is merged into the existing directory of the same name.
DWORD MoveOneDirectory(const std::string& from, const std::string& to) {
    DWORD attrs = GetFileAttributesA(to.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        if (MoveFileExA(from.c_str(), to.c_str(), 0))
            return ERROR_SUCCESS;
        // Directories cannot be renamed across volumes; the merge below
        // creates the target and moves the files one by one.
        if (GetLastError() != ERROR_NOT_SAME_DEVICE)
            return GetLastError();
        if (!CreateDirectoryA(to.c_str(), nullptr))
            return GetLastError();
    } else if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        return ERROR_ALREADY_EXISTS;
    }
    DWORD err = MoveDirectoryContent(from + "\\", to + "\\");
    if (err != ERROR_SUCCESS)
        return err;
    return RemoveDirectoryA(from.c_str()) ? ERROR_SUCCESS : GetLastError();
}

} // namespace

DWORD MoveDirectoryContent(const std::string& from, const std::string& to) {
    struct Item {
        std::string name;
        bool directory;
    };
    // The names are collected first: renaming entries out of a directory
    // while it is being enumerated is not something every file system
    // enumerates consistently.
    std::vector<Item> items;
    {
        WIN32_FIND_DATAA found = {};
        SkinUI::UniqueFind find(FindFirstFileA((from + "*").c_str(), &found));
        if (!find) {
            DWORD err = GetLastError();
            return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : err;
        }
        do {
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
                continue;
            items.push_back(
                {found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (FindNextFileA(find.Get(), &found));
    }

    DWORD first = ERROR_SUCCESS;
    for (const Item& item : items) {
        std::string source = from + item.name;
        std::string target = to + item.name;
        DWORD err = item.directory ? MoveOneDirectory(source, target) : MoveOneFile(source, target);
        if (first == ERROR_SUCCESS)
            first = err;
    }
    return first;
}

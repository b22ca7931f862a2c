#include "installer/engine/MoveTree.h"

#include "installer/services/Journal.h"
#include "installer/services/Staging.h"

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

struct Item {
    std::wstring name;
    bool directory;
};

// The names are collected first: renaming entries out of a directory while
// it is being enumerated is not something every file system enumerates
// consistently.
DWORD ListDirectory(const std::wstring& from, std::vector<Item>* items) {
    WIN32_FIND_DATAW found = {};
    SkinUI::UniqueFind find(FindFirstFileW((from + L"*").c_str(), &found));
    if (!find) {
        DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : err;
    }
    do {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
            continue;
        items->push_back(
            {found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(find.Get(), &found));
    return ERROR_SUCCESS;
}

bool Cancelled(const TGuardedMove& guard) {
    return guard.cancel && guard.cancel->load();
}

} // namespace

DWORD MoveDirectoryContentGuarded(const std::wstring& from, const std::wstring& to,
                                  const std::wstring& aside, const TGuardedMove& guard) {
    std::vector<Item> items;
    if (DWORD err = ListDirectory(from, &items))
        return err;

    // What is in the way, from one listing of the target rather than a
    // question per file: each question is a round trip to the file system.
    std::vector<Item> present;
    if (DWORD err = ListDirectory(to, &present))
        return err;
    auto isPresent = [&present](const std::wstring& name) {
        for (const Item& p : present)
            if (CompareStringOrdinal(p.name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
                return true;
        return false;
    };

    // Every file of this level is named in one write before the first is
    // touched: whether it replaces one is decided now, and an undo relies on
    // exactly that.
    std::vector<TJournalFile> files;
    for (const Item& item : items) {
        if (item.directory)
            continue;
        TJournalFile f;
        f.target = to + item.name;
        f.aside = aside + item.name;
        f.existed = isPresent(item.name);
        files.push_back(f);
    }
    if (!guard.journal->NoteFiles(files))
        return ERROR_WRITE_FAULT;

    DWORD first = ERROR_SUCCESS;
    auto keep = [&first](DWORD err) {
        if (first == ERROR_SUCCESS)
            first = err;
    };
    size_t next = 0;
    for (const Item& item : items) {
        if (item.directory)
            continue;
        if (Cancelled(guard))
            return ERROR_CANCELLED;
        const TJournalFile& f = files[next++];
        // A link at either end would make the move write or take what the
        // link names instead of what lies below the two directories.
        if (IsReparsePoint(from + item.name) || (f.existed && IsReparsePoint(f.target))) {
            keep(kMoveLinkRefused);
            continue;
        }
        if (f.existed) {
            // A rename on one volume: the old file is whole either here or
            // there at every moment. One held open by another program refuses.
            if (!MoveFileExW(f.target.c_str(), f.aside.c_str(), 0)) {
                keep(GetLastError());
                continue;
            }
            KillPoint();
        }
        if (!MoveFileExW((from + item.name).c_str(), f.target.c_str(), MOVEFILE_COPY_ALLOWED)) {
            keep(GetLastError());
            continue;
        }
        KillPoint();
    }
    for (const Item& item : items) {
        if (!item.directory)
            continue;
        if (Cancelled(guard))
            return ERROR_CANCELLED;
        const std::wstring source = from + item.name;
        const std::wstring target = to + item.name;
        const DWORD attrs = GetFileAttributesW(target.c_str());
        if (IsReparsePoint(source) ||
            (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT))) {
            keep(kMoveLinkRefused);
            continue;
        }
        if (attrs == INVALID_FILE_ATTRIBUTES) {
            if (!guard.journal->NoteTree(target))
                return ERROR_WRITE_FAULT;
            if (MoveFileExW(source.c_str(), target.c_str(), 0)) {
                KillPoint();
                continue;
            }
            // Directories cannot be renamed across volumes: created here and
            // filled file by file; the tree line above already covers it.
            if (GetLastError() != ERROR_NOT_SAME_DEVICE ||
                !CreateDirectoryW(target.c_str(), nullptr)) {
                keep(GetLastError());
                continue;
            }
        } else if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
            keep(ERROR_ALREADY_EXISTS);
            continue;
        }
        const std::wstring asideDir = aside + item.name + L"\\";
        CreateDirectoryW(asideDir.c_str(), nullptr);
        const DWORD err =
            MoveDirectoryContentGuarded(source + L"\\", target + L"\\", asideDir, guard);
        if (err == ERROR_CANCELLED)
            return err;
        if (err != ERROR_SUCCESS)
            keep(err);
        else if (!RemoveDirectoryW(source.c_str()))
            keep(GetLastError());
    }
    return first;
}

DWORD MoveDirectoryContent(const std::wstring& from, const std::wstring& to) {
    std::vector<Item> items;
    if (DWORD err = ListDirectory(from, &items))
        return err;

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

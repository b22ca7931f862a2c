#include "installer/engine/MoveTree.h"

#include "installer/engine/InstallJob.h"

#include "installer/services/FolderHandle.h"
#include "installer/services/Journal.h"
#include "installer/services/Staging.h"

#include "skinui/core/Handles.h"

#include <cwchar>
#include <vector>

using SkinUI::UniqueHandle;

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

// Waits here while the stop question is up; true when the move is to stop.
bool Cancelled(const TGuardedMove& guard) {
    return guard.stop && guard.stop->StopHere();
}

} // namespace

namespace {

constexpr ACCESS_MASK kFolderRead = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr ACCESS_MASK kFolderWrite = kFolderRead | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;

// A folder of the move: held open, and its path ending with '\\' for the
// journal, which names every change by path.
struct TLevel {
    HANDLE handle;
    std::wstring path;
};

// The folder name below the target, new in the aside folder, or the one a
// failed attempt before made there (the aside folder is the run's own).
UniqueHandle AsideFolder(HANDLE aside, const std::wstring& name) {
    UniqueHandle made = OpenBelow(aside, name, kFolderWrite, true, BelowHow::New);
    if (made || GetLastError() != ERROR_ALREADY_EXISTS)
        return made;
    return OpenBelow(aside, name, kFolderWrite, true, BelowHow::Existing);
}

// One level of the guarded move, every entry reached through the handles of
// the three folders and renamed through a handle to itself: no name is
// looked up by a path that a link at any level could turn elsewhere, and a
// link met at a name is refused, never followed (kMoveLinkRefused).
DWORD MoveLevelGuarded(const TLevel& from, const TLevel& to, const TLevel& aside,
                       const TGuardedMove& guard) {
    std::vector<TBelow> items;
    if (!ListBelow(from.handle, &items))
        return GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    // What is in the way, from one listing of the target rather than a
    // question per file: each question is a round trip to the file system.
    std::vector<TBelow> present;
    if (!ListBelow(to.handle, &present))
        return GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    auto inTheWay = [&present](const std::wstring& name) -> const TBelow* {
        for (const TBelow& p : present)
            if (CompareStringOrdinal(p.name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
                return &p;
        return nullptr;
    };
    auto isFolder = [](const TBelow& item) {
        return (item.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    };

    // Every file of this level is named in one write before the first is
    // touched: whether it replaces one is decided now, and an undo relies on
    // exactly that.
    std::vector<TJournalFile> files;
    for (const TBelow& item : items) {
        if (isFolder(item))
            continue;
        TJournalFile f;
        f.target = to.path + item.name;
        f.aside = aside.path + item.name;
        f.existed = inTheWay(item.name) != nullptr;
        files.push_back(f);
    }
    if (!guard.journal->NoteFiles(files))
        return ERROR_WRITE_FAULT;

    DWORD first = ERROR_SUCCESS;
    // The path is put together only once the error has been read.
    auto keep = [&first, &guard](DWORD err, const TLevel& level, const std::wstring& name) {
        if (first != ERROR_SUCCESS)
            return;
        first = err ? err : ERROR_GEN_FAILURE;
        if (guard.failedPath && guard.failedPath->empty())
            *guard.failedPath = level.path + name;
    };
    size_t next = 0;
    for (const TBelow& item : items) {
        if (isFolder(item))
            continue;
        if (Cancelled(guard))
            return ERROR_CANCELLED;
        const TJournalFile& f = files[next++];
        // The file this run wrote and checked, reached through the unpack
        // folder's handle, never by a path.
        UniqueHandle source = OpenBelow(from.handle, item.name, DELETE | FILE_READ_ATTRIBUTES,
                                        false, BelowHow::Existing);
        if (!source) {
            keep(GetLastError(), from, item.name);
            continue;
        }
        if (f.existed) {
            // A rename on one volume: the old file is whole either here or
            // there at every moment. One held open by another program
            // refuses; a link at the name is refused, not followed.
            UniqueHandle old = OpenBelow(to.handle, item.name, DELETE | FILE_READ_ATTRIBUTES, false,
                                         BelowHow::Existing);
            if (!old || !RenameBelow(old.Get(), aside.handle, aside.path, item.name)) {
                keep(GetLastError(), to, item.name);
                continue;
            }
            KillPoint();
        }
        if (!RenameBelow(source.Get(), to.handle, to.path, item.name)) {
            keep(GetLastError(), to, item.name);
            continue;
        }
        KillPoint();
    }
    for (const TBelow& item : items) {
        if (!isFolder(item))
            continue;
        if (Cancelled(guard))
            return ERROR_CANCELLED;
        const std::wstring target = to.path + item.name;
        UniqueHandle source =
            OpenBelow(from.handle, item.name, kFolderRead | DELETE, true, BelowHow::Existing);
        if (!source) {
            keep(GetLastError(), from, item.name);
            continue;
        }
        const TBelow* there = inTheWay(item.name);
        UniqueHandle into;
        if (!there) {
            if (!guard.journal->NoteTree(target))
                return ERROR_WRITE_FAULT;
            if (RenameBelow(source.Get(), to.handle, to.path, item.name)) {
                KillPoint();
                continue;
            }
            // Folders cannot be renamed across volumes: made here and filled
            // file by file; the tree line above already covers it.
            if (GetLastError() != ERROR_NOT_SAME_DEVICE) {
                keep(GetLastError(), to, item.name);
                continue;
            }
            into = OpenBelow(to.handle, item.name, kFolderWrite, true, BelowHow::New);
        } else if (there->attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            keep(kMoveLinkRefused, to, item.name);
            continue;
        } else if (!isFolder(*there)) {
            keep(ERROR_ALREADY_EXISTS, to, item.name);
            continue;
        } else {
            into = OpenBelow(to.handle, item.name, kFolderWrite, true, BelowHow::Existing);
        }
        UniqueHandle asideFolder = into ? AsideFolder(aside.handle, item.name) : UniqueHandle();
        if (!into || !asideFolder) {
            keep(GetLastError(), to, item.name);
            continue;
        }
        const DWORD err = MoveLevelGuarded(
            {source.Get(), from.path + item.name + L"\\"}, {into.Get(), target + L"\\"},
            {asideFolder.Get(), aside.path + item.name + L"\\"}, guard);
        if (err == ERROR_CANCELLED)
            return err;
        if (err != ERROR_SUCCESS)
            keep(err, to, item.name);
        else if (!DeleteOpenedFile(source.Get()))
            keep(GetLastError(), from, item.name);
    }
    return first;
}

} // namespace

DWORD MoveDirectoryContentGuarded(const std::wstring& from, const std::wstring& to,
                                  const std::wstring& aside, const TGuardedMove& guard) {
    // Each of the three opened from its volume's root, level by level: no
    // level on the way is reached through a link.
    UniqueHandle source = OpenFolderLevels(from, kFolderRead);
    UniqueHandle target = source ? OpenFolderLevels(to, kFolderWrite) : UniqueHandle();
    UniqueHandle asideRoot = target ? OpenFolderLevels(aside, kFolderWrite) : UniqueHandle();
    if (!asideRoot) {
        const DWORD err = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        if (guard.failedPath && guard.failedPath->empty())
            *guard.failedPath = !source ? from : !target ? to : aside;
        return err;
    }
    auto ended = [](std::wstring path) {
        if (path.empty() || (path.back() != L'\\' && path.back() != L'/'))
            path += L'\\';
        return path;
    };
    return MoveLevelGuarded({source.Get(), ended(from)}, {target.Get(), ended(to)},
                            {asideRoot.Get(), ended(aside)}, guard);
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

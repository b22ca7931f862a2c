#include "installer/engine/EarlierCopy.h"

#include "installer/engine/ArchiveEntry.h"
#include "installer/services/EntryList.h"
#include "installer/services/Journal.h"
#include "installer/services/PathText.h"
#include "installer/services/Product.h"
#include "installer/services/Staging.h"
#include "installer/services/SystemFolders.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"

#include <shlwapi.h>

#include <algorithm>

using SkinUI::UniqueHandle;

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::vector<std::wstring> ReadEntryListOf(const std::wstring& dir) {
    std::vector<std::wstring> entries;
    TEntryList list;
    if (dir.empty() || !ReadEntryList(WithSeparator(dir) + kEntryListName, &list))
        return entries;
    entries = list.files;
    for (const std::wstring& folder : list.dirs)
        entries.push_back(folder + L'\\');
    return entries;
}

bool IsEarlierCopyToRemove(const std::wstring& earlierDir, const std::wstring& installDir) {
    if (earlierDir.empty() || installDir.empty())
        return false;
    const std::wstring earlier = WithSeparator(CanonicalPath(earlierDir));
    const std::wstring now = WithSeparator(CanonicalPath(installDir));
    if (earlier.size() < 4 || now.size() < 4)
        return false;
    // The same folder, or one inside the other: an update in place, or a
    // layout where removing one would reach into the other.
    if (StartsWithNoCase(earlier, now) || StartsWithNoCase(now, earlier))
        return false;
    const DWORD attrs = GetFileAttributesW(earlier.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY) ||
        IsReparsePoint(earlier) || IsReservedFolder(earlier) || IsInsideWindowsFolder(earlier))
        return false;
    return !ReadEntryListOf(earlier).empty();
}

InstallResult RemoveEarlierCopy(const std::wstring& earlierDir, const std::wstring& asideRoot,
                                CInstallJournal* journal, DWORD* error, std::wstring* failedPath) {
    *error = ERROR_SUCCESS;
    // No folder names no copy; with a separator added it would name the root.
    if (earlierDir.empty())
        return INSTALL_OK;
    const std::wstring dir = WithSeparator(earlierDir);
    const std::vector<std::wstring> entries = ReadEntryListOf(dir);
    // Files first, the list itself last (a run cut off midway leaves a list
    // that still names what is left), then folders deepest first.
    std::vector<std::wstring> files, folders;
    for (const std::wstring& entry : entries)
        (IsPathSeparator(entry.back()) ? folders : files).push_back(entry);
    std::stable_partition(files.begin(), files.end(), [](const std::wstring& f) {
        return CompareStringOrdinal(f.c_str(), -1, kEntryListName, -1, TRUE) != CSTR_EQUAL;
    });
    std::sort(folders.begin(), folders.end(),
              [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
    auto fail = [&](const std::wstring& path) {
        *error = GetLastError();
        *failedPath = path;
        return INSTALL_ERR_COPY;
    };
    if (journal) {
        if (!journal->NoteAsideRoot(asideRoot))
            return fail(asideRoot);
        CreateDirectoryW(asideRoot.c_str(), nullptr);
    }
    for (const std::wstring& entry : files) {
        const std::wstring target = dir + entry;
        const DWORD attrs = GetFileAttributesW(target.c_str());
        // Gone already, behind a link (never followed) or not a file: left.
        if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY) ||
            !NoReparseBelow(dir, target))
            continue;
        if (attrs & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(target.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
        if (!journal) {
            if (!DeleteFileW(target.c_str()))
                return fail(target);
            continue;
        }
        TJournalFile step;
        step.existed = true;
        step.target = target;
        step.aside = asideRoot + entry;
        if (!journal->NoteFiles({step}))
            return fail(target);
        // The levels of the entry's folder inside the aside folder.
        const size_t cut = step.aside.find_last_of(L'\\');
        for (size_t at = asideRoot.size(); at <= cut; ++at)
            if (step.aside[at] == L'\\')
                CreateDirectoryW(step.aside.substr(0, at).c_str(), nullptr);
        if (!MoveFileExW(target.c_str(), step.aside.c_str(), 0))
            return fail(target);
        KillPoint();
    }
    for (std::wstring entry : folders) {
        while (!entry.empty() && IsPathSeparator(entry.back()))
            entry.pop_back();
        const std::wstring target = dir + entry;
        const DWORD attrs = GetFileAttributesW(target.c_str());
        // A folder the user still keeps something in stays, as the
        // uninstaller leaves it.
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY) ||
            !NoReparseBelow(dir, target) || !PathIsDirectoryEmptyW(target.c_str()))
            continue;
        if (journal && !journal->NoteRemovedDir(target))
            return fail(target);
        if (!RemoveDirectoryW(target.c_str()))
            return fail(target);
        KillPoint();
    }
    return INSTALL_OK;
}

void RemoveEarlierFolderIfEmpty(const std::wstring& earlierDir) {
    const std::wstring dir = WithSeparator(earlierDir);
    if (earlierDir.empty() || IsReparsePoint(dir) || IsReservedFolder(dir) ||
        IsInsideWindowsFolder(dir))
        return;
    // Only when empty: anything in it is the user's.
    RemoveDirectoryW(dir.c_str());
}

#include "installer/services/Journal.h"

#include "installer/services/FolderHandle.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/Staging.h"
#include "installer/services/SystemFolders.h"
#include "installer/services/TextConvert.h"

#include <sddl.h>

#include <cwchar>

using SkinUI::UniqueHandle;
using SkinUI::UniqueRegKey;

namespace {

constexpr wchar_t kJournalName[] = L"journal";
// A staging folder without a journal belongs to a run that is only just
// starting (its journal comes right after the folder) or to one that ended;
// the clean-up leaves the young ones alone.
constexpr ULONGLONG kYoungStagingMs = 2 * 60 * 1000;

KillPointHook g_killPointHook = nullptr;

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A read-only file refuses to be replaced or deleted.
void ClearReadOnly(const std::wstring& path) {
    const DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
}

std::string Hex(const void* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

bool Unhex(const std::string& text, std::vector<BYTE>* out) {
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    if (text.size() % 2)
        return false;
    out->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = value(text[i]), lo = value(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out->push_back(static_cast<BYTE>(hi * 16 + lo));
    }
    return true;
}

std::string HexName(const std::wstring& name) {
    return Hex(name.data(), name.size() * sizeof(wchar_t));
}

std::wstring UnhexName(const std::string& text) {
    std::vector<BYTE> bytes;
    if (!Unhex(text, &bytes))
        return std::wstring();
    std::wstring name(bytes.size() / sizeof(wchar_t), L'\0');
    if (!name.empty())
        memcpy(&name[0], bytes.data(), name.size() * sizeof(wchar_t));
    return name;
}

// The SID of the user the process runs as, as text ("S-1-5-21-..."); empty
// when it cannot be read.
std::string UserSidText() {
    static const std::string sid = [] {
        HANDLE raw = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
            return std::string();
        UniqueHandle token(raw);
        alignas(8) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
        DWORD size = 0;
        if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size))
            return std::string();
        SkinUI::UniqueLocal<LPWSTR> text;
        if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, text.Put()))
            return std::string();
        return ToNarrow(text.Get());
    }();
    return sid;
}

// HKEY_CURRENT_USER is whoever runs: a step there names the user it was
// made for ("U:" and the SID), so that it is carried out only for that user.
// A deployment running as SYSTEM that is killed must not have its undo
// delete the settings of the next person to start the installer.
std::string RootName(HKEY root) {
    return root == HKEY_LOCAL_MACHINE ? "M" : "U:" + UserSidText();
}

HKEY RootOf(const std::string& name) {
    return name == "M" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// A step in another user's HKEY_CURRENT_USER (or one from before steps named
// their user), which this run must leave alone.
bool IsOtherUsersStep(const std::vector<std::string>& fields) {
    if (fields.size() < 2 || fields[1] == "M")
        return false;
    const std::string own = UserSidText();
    return own.empty() || fields[1] != "U:" + own;
}

// The shortest prefix of subKey that does not exist yet, which is what
// creating subKey would make; empty when subKey exists.
std::wstring FirstMissingKey(HKEY root, const std::wstring& subKey) {
    size_t pos = 0;
    for (;;) {
        const size_t next = subKey.find(L'\\', pos);
        const std::wstring prefix = subKey.substr(0, next);
        UniqueRegKey key;
        if (RegOpenKeyExW(root, prefix.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
            return prefix;
        if (next == std::wstring::npos)
            return std::wstring();
        pos = next + 1;
    }
}

struct TValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

bool ReadValues(HKEY key, std::vector<TValue>* values) {
    DWORD count = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> name(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameChars, nullptr, &type, data.data(),
                          &dataBytes) != ERROR_SUCCESS)
            return false;
        TValue v;
        v.name.assign(name.data(), nameChars);
        v.type = type;
        v.data.assign(data.begin(), data.begin() + dataBytes);
        values->push_back(v);
    }
    return true;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    size_t pos = 0;
    for (;;) {
        const size_t tab = line.find('\t', pos);
        fields.push_back(
            line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
        if (tab == std::string::npos)
            return fields;
        pos = tab + 1;
    }
}

// One journal line, parsed; a key snapshot carries its values.
struct TStep {
    char kind = 0;
    std::vector<std::string> fields;
    std::vector<TValue> values;
};

// ---------------------------------------------------------------------------
// What a journal may touch
//
// A journal is read only from a staging folder that no standard user can
// write (Staging.h), so its steps are the programs' own. Each step is still
// held to what an install changes: files and folders inside the install
// folder the journal names, the aside folders it recorded there, the levels
// of that folder, the product's links, and the product's two registry places.
// A damaged journal, or one written by a later version that changes more,
// cannot turn recovery against anything else.

std::wstring Folded(std::wstring path) {
    path = WithBackslashes(path);
    if (path.compare(0, 4, L"\\\\?\\") == 0 && path.compare(0, 8, L"\\\\?\\UNC\\") != 0)
        path.erase(0, 4);
    return WithoutTrailingSeparators(path);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// True when path lies strictly below folder (both as written in the journal).
bool IsBelow(const std::wstring& path, const std::wstring& folder) {
    const std::wstring p = Folded(path), f = Folded(folder);
    if (f.empty() || p.size() <= f.size() + 1 || p[f.size()] != L'\\' ||
        p.find(L"\\..") != std::wstring::npos || p.find(L"\\.\\") != std::wstring::npos)
        return false;
    return CompareStringOrdinal(p.c_str(), static_cast<int>(f.size()), f.c_str(),
                                static_cast<int>(f.size()), TRUE) == CSTR_EQUAL;
}

// The install folder itself or one of the levels above it.
bool IsLevelOf(const std::wstring& path, const std::wstring& folder) {
    return !Folded(path).empty() &&
           (SamePath(Folded(path), Folded(folder)) || IsBelow(folder, path));
}

bool IsProductFolder(const std::wstring& path) {
    const std::wstring p = Folded(path);
    const size_t cut = p.find_last_of(L'\\');
    return cut != std::wstring::npos && p.find(L"\\..") == std::wstring::npos &&
           SamePath(p.substr(cut + 1), kProductName);
}

bool IsProductLink(const std::wstring& path) {
    const std::wstring p = Folded(path);
    const size_t cut = p.find_last_of(L'\\');
    if (cut == std::wstring::npos || p.find(L"\\..") != std::wstring::npos)
        return false;
    const std::wstring name = p.substr(cut + 1);
    return SamePath(name, kClientLinkName) || SamePath(name, kUninstallLinkName);
}

// The registry places an install writes: the uninstall record below
// HKEY_LOCAL_MACHINE, the install kind below the user's product key. False
// for any other key. *created, the level the run created on the way there,
// is kept to the product's own levels: the uninstall keys of other programs
// and the user's SOFTWARE key are never the install's to delete.
bool ConfineKey(const std::string& root, const std::wstring& subKey, std::wstring* created) {
    const bool machine = root == "M";
    const std::wstring place =
        machine ? UninstallKeyPath() : std::wstring(L"SOFTWARE\\") + kSettingsSubKey;
    if (!SamePath(subKey, place))
        return false;
    if (created->empty())
        return true;
    const std::wstring floor = machine ? place : std::wstring(kProductKey);
    const bool onTheWay =
        SamePath(*created, place) ||
        (place.size() > created->size() && place[created->size()] == L'\\' &&
         CompareStringOrdinal(place.c_str(), static_cast<int>(created->size()), created->c_str(),
                              static_cast<int>(created->size()), TRUE) == CSTR_EQUAL);
    if (!onTheWay)
        return false;
    if (created->size() < floor.size())
        *created = floor;
    return true;
}

bool UndoKey(const TStep& step) {
    if (step.fields.size() < 5)
        return false;
    const HKEY root = RootOf(step.fields[1]);
    const std::wstring subKey = ToWide(step.fields[2]);
    std::wstring created = step.fields[3] == "0" ? ToWide(step.fields[4]) : std::wstring();
    if (!ConfineKey(step.fields[1], subKey, &created))
        return false;
    if (step.fields[3] == "0") {
        if (created.empty())
            return true;
        const LONG err = RegDeleteTreeW(root, created.c_str());
        RegDeleteKeyW(root, created.c_str());
        return err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND;
    }
    UniqueRegKey key;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<TValue> now;
    ReadValues(key.Get(), &now);
    bool ok = true;
    for (const TValue& v : now)
        RegDeleteValueW(key.Get(), v.name.c_str());
    for (const TValue& v : step.values)
        ok = RegSetValueExW(key.Get(), v.name.c_str(), 0, v.type, v.data.data(),
                            static_cast<DWORD>(v.data.size())) == ERROR_SUCCESS &&
             ok;
    return ok;
}

bool UndoValue(const TStep& step) {
    if (step.fields.size() < 8)
        return false;
    const HKEY root = RootOf(step.fields[1]);
    const std::wstring subKey = ToWide(step.fields[2]);
    std::wstring created = ToWide(step.fields[3]);
    const std::wstring name = UnhexName(step.fields[4]);
    if (!ConfineKey(step.fields[1], subKey, &created) || name != L"InstallWay")
        return false;
    if (!created.empty()) {
        const LONG err = RegDeleteTreeW(root, created.c_str());
        RegDeleteKeyW(root, created.c_str());
        return err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND;
    }
    UniqueRegKey key;
    const LONG opened = RegOpenKeyExW(root, subKey.c_str(), 0, KEY_ALL_ACCESS, key.Put());
    if (step.fields[5] == "0") {
        if (opened != ERROR_SUCCESS)
            return true;
        const LONG err = RegDeleteValueW(key.Get(), name.c_str());
        return err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND;
    }
    std::vector<BYTE> data;
    if (opened != ERROR_SUCCESS || !Unhex(step.fields[7], &data))
        return false;
    return RegSetValueExW(key.Get(), name.c_str(), 0,
                          static_cast<DWORD>(strtoul(step.fields[6].c_str(), nullptr, 10)),
                          data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// What the journal says about itself: the install folder it changes, the
// aside folders it recorded there, and the staging folder it lies in.
struct TJournalScope {
    std::wstring installDir;
    std::vector<std::wstring> asideRoots;
    std::wstring stagingDir;
};

bool IsAside(const TJournalScope& scope, const std::wstring& path) {
    for (const std::wstring& root : scope.asideRoots)
        if (IsBelow(path, root))
            return true;
    return false;
}

// Whether step stays within what an install of scope.installDir changes.
bool InScope(const TStep& step, const TJournalScope& scope) {
    const std::vector<std::string>& f = step.fields;
    const std::wstring& dir = scope.installDir;
    switch (step.kind) {
    case 'B':
        return f.size() >= 2 && IsBelow(ToWide(f[1]), dir);
    case 'D':
        // The install folder's levels, or the product's Start-menu folder.
        return f.size() >= 2 && (IsLevelOf(ToWide(f[1]), dir) || IsProductFolder(ToWide(f[1])));
    case 'T':
    case 'E':
        return f.size() >= 2 && IsBelow(ToWide(f[1]), dir);
    case 'F':
        return f.size() >= 4 && IsBelow(ToWide(f[2]), dir) &&
               (f[1] != "1" || IsAside(scope, ToWide(f[3])));
    case 'L':
        return f.size() >= 4 && IsProductLink(ToWide(f[2])) &&
               (f[1] != "1" || IsBelow(ToWide(f[3]), scope.stagingDir));
    case 'R':
    case 'S':
        return true; // held to the product's keys where they are undone
    default:
        return false;
    }
}

// The folder that holds path, opened from its volume's root level by level
// without following a link; path's last name, and the folder's path.
struct TParent {
    UniqueHandle handle;
    std::wstring path;
    std::wstring name;
};
bool OpenParent(const std::wstring& path, TParent* parent) {
    const std::wstring p = WithoutTrailingSeparators(path);
    const size_t cut = p.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut + 1 >= p.size()) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    parent->name = p.substr(cut + 1);
    parent->path = p.substr(0, cut + 1);
    parent->handle =
        OpenFolderLevels(parent->path, FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY);
    return parent->handle.Valid();
}

bool IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The undo of the install folder's files and folders, each reached through
// the handle of its folder and changed through a handle to itself: a folder
// on the way swapped for a link since the run wrote its journal makes the
// step fail rather than reach elsewhere.
bool UndoFolderStep(char kind, const std::wstring& path) {
    TParent parent;
    if (!OpenParent(path, &parent))
        return kind == 'D' && IsGone(GetLastError());
    if (kind == 'E') {
        // An empty folder the run removed comes back (empty: its files come
        // back by their own steps, which follow in the undo).
        UniqueHandle made =
            OpenBelow(parent.handle.Get(), parent.name, FILE_LIST_DIRECTORY, true, BelowHow::New);
        return made || GetLastError() == ERROR_ALREADY_EXISTS;
    }
    // Only when empty: anything else in it is not this run's, and a folder
    // that is not empty refuses to be deleted.
    UniqueHandle folder = OpenBelow(parent.handle.Get(), parent.name, DELETE | FILE_READ_ATTRIBUTES,
                                    true, BelowHow::Existing);
    if (folder)
        DeleteOpenedFile(folder.Get());
    return true;
}

bool UndoFileStep(bool existed, const std::wstring& target, const std::wstring& aside) {
    TParent folder;
    if (!OpenParent(target, &folder))
        return !existed && IsGone(GetLastError());
    constexpr ACCESS_MASK kAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    UniqueHandle saved;
    if (existed) {
        TParent asideFolder;
        if (OpenParent(aside, &asideFolder))
            saved = OpenBelow(asideFolder.handle.Get(), asideFolder.name, kAccess, false,
                              BelowHow::Existing);
        // Without the saved copy the original never left its place.
        if (!saved)
            return true;
    }
    // What the run put at the name goes first, through its own handle; the
    // original then takes the name back. Killed in between, the next undo
    // finds the name free and the original still saved.
    UniqueHandle put =
        OpenBelow(folder.handle.Get(), folder.name, kAccess, false, BelowHow::Existing);
    if (put && !DeleteOpenedFile(put.Get()))
        return false;
    put.Reset();
    return !saved || RenameBelow(saved.Get(), folder.handle.Get(), folder.path, folder.name);
}

bool UndoStep(const TStep& step) {
    const std::vector<std::string>& f = step.fields;
    switch (step.kind) {
    case 'D':
    case 'E':
        return f.size() < 2 || UndoFolderStep(step.kind, ToWide(f[1]));
    case 'T':
        return f.size() < 2 || RemoveTreeNoFollow(ToWide(f[1]));
    case 'F':
        return f.size() >= 4 && UndoFileStep(f[1] == "1", ToWide(f[2]), ToWide(f[3]));
    case 'L': {
        // The product's links lie in the known folders, not in the install
        // folder; the saved copy in the staging folder may be on another
        // volume.
        if (f.size() < 4)
            return false;
        const std::wstring target = ToWide(f[2]);
        const std::wstring aside = ToWide(f[3]);
        if (f[1] == "1") {
            if (!Exists(aside))
                return true;
            ClearReadOnly(target);
            return MoveFileExW(aside.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
        }
        if (!Exists(target))
            return true;
        ClearReadOnly(target);
        return DeleteFileW(target.c_str()) != 0;
    }
    case 'R':
        return UndoKey(step);
    case 'S':
        return UndoValue(step);
    default:
        return true;
    }
}

// Undoes or finishes the journal text; true when nothing is left to do.
// scope.installDir comes from the index (StagingScope), which only the
// elevated programs write, not from the journal: a journal that a user
// managed to put in a folder the index trusts still cannot reach beyond the
// install folder its run recorded there.
bool ResolveText(const std::string& text, const std::wstring& stagingDir) {
    std::vector<TStep> steps;
    TJournalScope scope;
    scope.stagingDir = stagingDir;
    scope.installDir = StagingScope(stagingDir);
    bool committed = false;
    size_t pos = 0;
    // A line without its end was being written when the run stopped; the
    // change it announced had not begun.
    for (size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        const std::string line = text.substr(pos, end - pos);
        if (line.empty())
            continue;
        TStep step;
        step.fields = Split(line);
        step.kind = line[0];
        if (step.kind == 'C') {
            committed = true;
        } else if (step.kind == 'I') {
            // For a person reading the journal; the scope is the index's.
        } else if (step.kind == 'V') {
            if (!steps.empty() && steps.back().kind == 'R' && step.fields.size() >= 4) {
                TValue v;
                v.name = UnhexName(step.fields[1]);
                v.type = static_cast<DWORD>(strtoul(step.fields[2].c_str(), nullptr, 10));
                Unhex(step.fields[3], &v.data);
                steps.back().values.push_back(v);
            }
        } else {
            if (step.kind == 'B' && step.fields.size() >= 2)
                scope.asideRoots.push_back(ToWide(step.fields[1]));
            steps.push_back(step);
        }
    }
    // A step outside the install's reach is never carried out; the journal
    // then counts as not resolved, so it is kept for a person to look at.
    bool ok = true;
    std::vector<TStep> allowed;
    for (TStep& step : steps) {
        if ((step.kind == 'R' || step.kind == 'S') && IsOtherUsersStep(step.fields)) {
            // Not this user's to change; it does not keep the journal open
            // either, as only its own user could ever settle it.
            SetupLogLine(L"left a step in the settings of another user alone (" +
                         ToWide(step.fields[1]) + L")");
            continue;
        }
        if (InScope(step, scope)) {
            allowed.push_back(std::move(step));
        } else {
            SetupLogLine(L"refused a journal step outside the install (" +
                         ToWide(std::string(1, step.kind)) + L")");
            ok = false;
        }
    }
    steps.swap(allowed);
    if (!committed) {
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            if (it->kind != 'B' && it->kind != 'D') {
                ok = UndoStep(*it) && ok;
                KillPoint();
            }
        }
    }
    // The replaced files wait there until the run is settled either way;
    // after an incomplete undo they are all that is left of the old version.
    if (ok)
        for (const TStep& step : steps)
            if (step.kind == 'B' && step.fields.size() >= 2)
                ok = RemoveTreeNoFollow(ToWide(step.fields[1])) && ok;
    // Folders last, innermost first: only once the files and the folder of
    // replaced files have left them can they be empty.
    if (!committed)
        for (auto it = steps.rbegin(); it != steps.rend(); ++it)
            if (it->kind == 'D')
                UndoStep(*it);
    return ok;
}

bool ReadAll(HANDLE file, std::string* text) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7fffffff)
        return false;
    text->assign(static_cast<size_t>(size.QuadPart), '\0');
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD done = 0;
    return text->empty() ||
           (ReadFile(file, &(*text)[0], static_cast<DWORD>(text->size()), &done, nullptr) &&
            done == text->size());
}

bool Empty(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    return SetEndOfFile(file) != 0;
}

// The journal of an ended run, opened for writing; none while its run lives
// (the run holds it without write sharing) or when it cannot be opened.
UniqueHandle OpenEndedJournal(const std::wstring& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool IsYoung(const std::wstring& dir) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(dir.c_str(), GetFileExInfoStandard, &data))
        return false;
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const ULONGLONG created = ticks(data.ftCreationTime);
    return ticks(now) < created + kYoungStagingMs * 10000;
}

DWORD WINAPI CleanUpThread(void* param) {
    std::wstring* except = static_cast<std::wstring*>(param);
    RemoveEarlierStaging(*except);
    delete except;
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Writing

bool CInstallJournal::Open(const std::wstring& path) {
    m_file.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
        return false;
    m_path = path;
    return true;
}

bool CInstallJournal::Append(const std::string& lines) {
    if (!m_file)
        return false;
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_END);
    DWORD done = 0;
    const bool ok =
        WriteFile(m_file.Get(), lines.data(), static_cast<DWORD>(lines.size()), &done, nullptr) &&
        done == lines.size();
    KillPoint();
    return ok;
}

bool CInstallJournal::NoteInstallDir(const std::wstring& dir) {
    return Append("I\t" + ToNarrow(dir) + "\n");
}

bool CInstallJournal::NoteAsideRoot(const std::wstring& dir) {
    return Append("B\t" + ToNarrow(dir) + "\n");
}

bool CInstallJournal::NoteCreatedDir(const std::wstring& dir) {
    return Append("D\t" + ToNarrow(dir) + "\n");
}

bool CInstallJournal::NoteFiles(const std::vector<TJournalFile>& files) {
    std::string lines;
    for (const TJournalFile& f : files)
        lines += std::string("F\t") + (f.existed ? "1" : "0") + "\t" + ToNarrow(f.target) + "\t" +
                 ToNarrow(f.aside) + "\n";
    return lines.empty() || Append(lines);
}

bool CInstallJournal::NoteRemovedDir(const std::wstring& dir) {
    return Append("E\t" + ToNarrow(dir) + "\n");
}

bool CInstallJournal::NoteTree(const std::wstring& dir) {
    return Append("T\t" + ToNarrow(dir) + "\n");
}

bool CInstallJournal::NoteLink(const std::wstring& target, const std::wstring& copy) {
    const bool existed = Exists(target);
    if (existed) {
        // The copy is whole before the line names it, so an undo never puts
        // half a link back; until then the old link has not been touched.
        const std::wstring part = copy + L".part";
        if (!CopyFileW(target.c_str(), part.c_str(), FALSE) ||
            !MoveFileExW(part.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
        KillPoint();
    }
    return Append(std::string("L\t") + (existed ? "1" : "0") + "\t" + ToNarrow(target) + "\t" +
                  ToNarrow(copy) + "\n");
}

bool CInstallJournal::NoteKey(HKEY root, const std::wstring& subKey) {
    std::string lines = "R\t" + RootName(root) + "\t" + ToNarrow(subKey) + "\t";
    UniqueRegKey key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        lines += "0\t" + ToNarrow(FirstMissingKey(root, subKey)) + "\n";
        return Append(lines);
    }
    std::vector<TValue> values;
    if (!ReadValues(key.Get(), &values))
        return false;
    lines += "1\t\n";
    for (const TValue& v : values)
        lines += "V\t" + HexName(v.name) + "\t" + std::to_string(v.type) + "\t" +
                 Hex(v.data.data(), v.data.size()) + "\n";
    return Append(lines);
}

bool CInstallJournal::NoteValue(HKEY root, const std::wstring& subKey, const std::wstring& name) {
    std::string line = "S\t" + RootName(root) + "\t" + ToNarrow(subKey) + "\t" +
                       ToNarrow(FirstMissingKey(root, subKey)) + "\t" + HexName(name) + "\t";
    UniqueRegKey key;
    DWORD type = 0, size = 0;
    std::vector<BYTE> data;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
        RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS) {
        data.resize(size + 2);
        DWORD read = size;
        if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, data.data(), &read) !=
            ERROR_SUCCESS)
            return false;
        line += "1\t" + std::to_string(type) + "\t" + Hex(data.data(), read) + "\n";
    } else {
        line += "0\t0\t\n";
    }
    return Append(line);
}

bool CInstallJournal::Commit() {
    return Append("C\n");
}

bool CInstallJournal::Resolve() {
    if (!m_file)
        return true;
    std::string text;
    const size_t cut = m_path.find_last_of(L'\\');
    if (!ReadAll(m_file.Get(), &text) ||
        !ResolveText(text, cut == std::wstring::npos ? std::wstring() : m_path.substr(0, cut)))
        return false;
    return Empty(m_file.Get());
}

// ---------------------------------------------------------------------------
// Earlier runs

bool RecoverInterruptedRuns() {
    bool ok = true;
    // Only the folders the index names and that are still the ones made
    // there: a journal anywhere a user can write is never read.
    for (const std::wstring& dir : FindStagingDirs()) {
        const std::wstring path = dir + kJournalName;
        UniqueHandle file = OpenEndedJournal(path);
        if (!file)
            continue;
        std::string text;
        if (!ReadAll(file.Get(), &text) || text.empty())
            continue;
        const bool committed = text.find("\nC\n") != std::string::npos;
        if (ResolveText(text, dir) && Empty(file.Get())) {
            SetupLogLine(committed
                             ? L"finished what an earlier run had committed (" + dir + L")"
                             : L"undid the changes of an earlier, interrupted run (" + dir + L")");
        } else {
            SetupLogLine(L"could not undo everything an earlier run left (" + dir + L")");
            ok = false;
        }
    }
    return ok;
}

void RemoveEarlierStaging(const std::wstring& except) {
    for (const std::wstring& dir : FindStagingDirs()) {
        if (CompareStringOrdinal(dir.c_str(), -1, except.c_str(), -1, TRUE) == CSTR_EQUAL)
            continue;
        const std::wstring path = dir + kJournalName;
        if (Exists(path)) {
            UniqueHandle file = OpenEndedJournal(path);
            LARGE_INTEGER size = {};
            // Alive, or holding changes that could not be put back yet.
            if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart != 0)
                continue;
        } else if (IsYoung(dir)) {
            continue;
        }
        RemoveStagingDir(dir);
    }
    // What earlier versions left in the user's temporary folder, and the
    // fixed unpack folder of older versions: removed, never read. The user
    // may swap anything there for a link at any moment, which the removal
    // never follows.
    for (const std::wstring& dir : FindStrayStagingDirs())
        RemoveTreeNoFollow(dir);
}

void StartBackgroundCleanUp(const std::wstring& except) {
    std::wstring* param = new std::wstring(except);
    SkinUI::UniqueHandle thread(
        CreateThread(nullptr, 0, CleanUpThread, param, CREATE_SUSPENDED, nullptr));
    if (!thread) {
        delete param;
        return;
    }
    // Deleting thousands of files must not take the window's share of the
    // processor. The thread runs on once its handle is closed.
    SetThreadPriority(thread.Get(), THREAD_PRIORITY_BELOW_NORMAL);
    ResumeThread(thread.Get());
}

// ---------------------------------------------------------------------------
// Kill points

KillPointHook SetKillPointHook(KillPointHook hook) {
    KillPointHook old = g_killPointHook;
    g_killPointHook = hook;
    return old;
}

void KillPoint() {
    if (g_killPointHook)
        g_killPointHook();
}

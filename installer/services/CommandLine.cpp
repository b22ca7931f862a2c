// The command line of the product's programs: switches and start-mode words,
// the run log it names and the usage on the starter's console.
#include "installer/services/CommandLine.h"

#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"

#include <shellapi.h>

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool StartsWithNoCase(const std::wstring& text, size_t at, const wchar_t* prefix) {
    const size_t n = wcslen(prefix);
    return text.size() - at >= n && _wcsnicmp(text.c_str() + at, prefix, n) == 0;
}

// Where the words after the program path begin: the program path ends at its
// closing quote, or unquoted at the first blank, as the system splits it.
size_t SkipProgramPath(const std::wstring& line) {
    size_t pos = 0;
    if (!line.empty() && line[0] == L'"') {
        pos = line.find(L'"', 1);
        pos = pos == std::wstring::npos ? line.size() : pos + 1;
    }
    while (pos < line.size() && !IsBlank(line[pos]))
        ++pos;
    return pos;
}

// Walks the leading switches of the raw line (after the program path) and
// stops at the first for which stop(pos) holds; answers where that switch
// begins, or else where the first word that is no switch begins (the line's
// end when there is none).
template <typename Stop> size_t WalkLeadingSwitches(const std::wstring& line, Stop stop) {
    size_t pos = SkipProgramPath(line);
    for (;;) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos >= line.size())
            return pos;
        const bool isSwitch = line[pos] == L'/' || StartsWithNoCase(line, pos, L"\"/");
        if (!isSwitch || stop(pos))
            return pos;
        bool quoted = false;
        for (; pos < line.size() && (quoted || !IsBlank(line[pos])); ++pos)
            if (line[pos] == L'"')
                quoted = !quoted;
    }
}

// Where a "/D=" switch starts in the raw line, or npos. Only the leading
// switches are looked at: after the first start-mode word every word is that
// mode's, as it always was.
size_t FindDirectorySwitch(const std::wstring& line) {
    auto isDirectory = [&line](size_t pos) {
        return StartsWithNoCase(line, pos, L"/D=") || StartsWithNoCase(line, pos, L"\"/D=");
    };
    const size_t pos = WalkLeadingSwitches(line, isDirectory);
    return pos < line.size() && isDirectory(pos) ? pos : std::wstring::npos;
}

// Where the first start-mode word begins in the raw line (after the program
// path and the leading switches), or the line's end.
size_t FindFirstModeWord(const std::wstring& line) {
    return WalkLeadingSwitches(line, [](size_t) { return false; });
}

std::wstring Trimmed(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

} // namespace

// ===========================================================================
// The command line

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
    std::vector<std::wstring> words;
    int count = 0;
    SkinUI::UniqueLocal<LPWSTR*> argv(CommandLineToArgvW(commandLine, &count));
    if (!argv)
        return words;
    for (int i = 1; i < count; ++i)
        words.push_back(argv.Get()[i]);
    return words;
}

TStartRequest ParseStartCommandLine(const wchar_t* commandLine) {
    TStartRequest request;
    std::wstring line = commandLine ? commandLine : L"";
    const size_t dirSwitch = FindDirectorySwitch(line);
    if (dirSwitch != std::wstring::npos) {
        // The rest of the line as it is, blanks and all. Quotes are forgiven,
        // around the directory or around the whole switch (as scripting
        // hosts quote a word with blanks), as people type them anyway.
        const bool switchQuoted = line[dirSwitch] == L'"';
        std::wstring dir = Trimmed(line.substr(dirSwitch + (switchQuoted ? 4 : 3)));
        if (switchQuoted && !dir.empty() && dir.back() == L'"')
            dir.pop_back();
        else if (dir.size() >= 2 && dir.front() == L'"' && dir.back() == L'"')
            dir = dir.substr(1, dir.size() - 2);
        request.hasParentDir = true;
        request.parentDir = Trimmed(dir);
        line.resize(dirSwitch);
    }
    // A line of blanks only would make the system take the current program's
    // path as the first word.
    const std::vector<std::wstring> words =
        Trimmed(line).empty() ? std::vector<std::wstring>() : SplitCommandLine(line.c_str());
    size_t i = 0;
    for (; i < words.size() && !words[i].empty() && words[i][0] == L'/'; ++i) {
        const std::wstring& w = words[i];
        if (_wcsicmp(w.c_str(), L"/S") == 0) {
            request.silent = true;
        } else if (StartsWithNoCase(w, 0, L"/LOG=")) {
            request.logPath = w.substr(5);
        } else if (_wcsicmp(w.c_str(), L"/ALLSESSIONS") == 0) {
            request.allSessions = true;
        } else if (_wcsicmp(w.c_str(), L"/?") == 0 || _wcsicmp(w.c_str(), L"/help") == 0) {
            request.mode = TStartRequest::kUsage;
        } else if (request.unknownSwitch.empty()) {
            request.unknownSwitch = w;
        }
    }
    request.words.assign(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
    if (!request.words.empty() && request.words[0] == L"path") {
        request.silent = true;
        size_t at = FindFirstModeWord(line);
        // The word itself, quoted or not.
        at += line.compare(at, 6, L"\"path\"") == 0 ? 6 : 4;
        std::wstring dir;
        for (size_t i = at; i < line.size(); ++i)
            if (line[i] != L'"')
                dir += line[i];
        request.pathDir = Trimmed(dir);
    }
    if (request.mode != TStartRequest::kUsage && !request.unknownSwitch.empty())
        request.mode = TStartRequest::kUnknownSwitch;
    return request;
}

// ===========================================================================
// The log and the console

void OpenRunLog(const std::wstring& requested, const wchar_t* kind, const wchar_t* program) {
    const bool opened = !requested.empty() && OpenSetupLog(requested);
    const DWORD requestError = GetLastError();
    if (!opened) {
        SYSTEMTIME now = {};
        GetLocalTime(&now);
        OpenNewSetupLog(DefaultSetupLogPath(kind, now));
    }
    SetupLogLine(std::wstring(program) + L" " + ToWide(kProductVersion) + L" started: " +
                 GetCommandLineW());
    if (requested.empty() || opened)
        return;
    // The log the switch named is not written: the one written instead says
    // why, so that whoever looks for the named one can find this one.
    std::wstring why;
    switch (requestError) {
    case ERROR_PATH_NOT_FOUND:
        why = L"its folder does not exist";
        break;
    case ERROR_FILE_EXISTS:
        why = L"it exists and is not a log of this program; it is left as it is";
        break;
    case ERROR_CANT_ACCESS_FILE:
        why = L"its name or a folder above it is a link, or it has another name as well";
        break;
    default:
        why = L"it could not be opened";
        break;
    }
    SetupLogFailure(L"the log file " + requested + L" is not used: " + why + L"; logging here",
                    requestError);
}

bool PrintToParentConsole(const std::wstring& text) {
    // A GUI program has no console of its own. A starter that redirected the
    // output (a script's "> file", a pipe) handed its handle over; otherwise
    // the text goes to the console of the program that started this one.
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    SkinUI::UniqueHandle opened;
    if (!out || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN) {
        if (!attached)
            return false;
        opened.Reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
        if (!opened)
            return false;
        out = opened.Get();
    }
    std::wstring crlf;
    for (wchar_t c : text) {
        if (c == L'\n')
            crlf += L'\r';
        crlf += c;
    }
    bool ok = false;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        DWORD done = 0;
        ok = WriteConsoleW(out, crlf.data(), static_cast<DWORD>(crlf.size()), &done, nullptr) != 0;
    } else {
        // Redirected text is read by console programs, which expect the
        // console's code page.
        const UINT codePage = attached && GetConsoleOutputCP() ? GetConsoleOutputCP() : GetACP();
        const int n = WideCharToMultiByte(codePage, 0, crlf.data(), static_cast<int>(crlf.size()),
                                          nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            std::string bytes(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(codePage, 0, crlf.data(), static_cast<int>(crlf.size()), &bytes[0],
                                n, nullptr, nullptr);
            DWORD done = 0;
            ok = WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                 done == bytes.size();
        }
    }
    return ok;
}

std::wstring JoinPathWords(const std::vector<std::wstring>& args) {
    if (args.size() == 2)
        return args[1];
    std::wstring text;
    for (size_t i = 1; i < args.size(); ++i)
        text += L' ' + args[i];
    return text;
}

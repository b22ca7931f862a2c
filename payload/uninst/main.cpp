// Entry point of uninst.exe, the product's uninstaller.
//   uninst.exe             asks for confirmation, then removes the product
//   uninst.exe /S          silent: no questions, no boxes; the exit code tells
//   uninst.exe /LOG=file   where the log goes
//   uninst.exe /? | /help  the usage on the starter's console
// Every run but the clean-up stage writes a log (SetupLog.h).
#include "payload/uninst/Uninstaller.h"

#include "installer/services/CommandLine.h"
#include "installer/services/Journal.h"
#include "installer/services/MessageBox.h"
#include "installer/services/NoFollowFile.h"
#include "installer/services/SetupLog.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/SystemLibrary.h"
#include "skinui/core/TextFormat.h"

#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>

namespace {

const wchar_t kProgram[] = L"uninst.exe";

const wchar_t kUsage[] =
    L"青梧云端助手 卸载程序\n"
    L"\n"
    L"uninst.exe [/S] [/LOG=file]\n"
    L"\n"
    L"  /S          silent uninstall: no questions, a running client is closed\n"
    L"  /LOG=file   write the log to file (default: "
    L"%SystemRoot%\\Temp\\Quillmossdex-uninstall-<date>-<time>-<random>.log)\n"
    L"  /? /help    show this text\n"
    L"\n"
    L"Exit codes: 0 removed, 1 declined, 2 nothing installed here, 3 some files stayed,\n"
    L"  4 the client could not be stopped, 5 unknown switch.\n";

const wchar_t* Outcome(int code) {
    switch (code) {
    case UNINSTALL_OK:
        return L"removed";
    case UNINSTALL_CANCELLED:
        return L"declined";
    case UNINSTALL_NO_LIST:
        return L"no entry list: nothing of the product is installed here";
    case UNINSTALL_INCOMPLETE:
        return L"incomplete: some files, folders or the record stayed";
    case UNINSTALL_CLIENT_RUNNING:
        return L"the running client could not be stopped";
    default:
        return L"";
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    SkinUI::HardenDllSearch();
    // Before the first file is opened, the log included.
    const std::wstring redirectionTrust = EnforceRedirectionTrust();

    const std::vector<std::wstring> args = SplitCommandLine(GetCommandLineW());
    UninstallOptions options;
    std::wstring logPath;
    bool usage = false;
    std::wstring unknown;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (_wcsicmp(arg.c_str(), L"/S") == 0) {
            options.silent = true;
        } else if (_wcsnicmp(arg.c_str(), L"/LOG=", 5) == 0) {
            logPath = arg.substr(5);
        } else if (_wcsicmp(arg.c_str(), L"/?") == 0 || _wcsicmp(arg.c_str(), L"/help") == 0) {
            usage = true;
        } else if (_wcsicmp(arg.c_str(), L"/cleanup") == 0 && i + 2 < args.size()) {
            // The second stage, started by the first from a copy in the
            // temporary folder; it has nothing to tell anyone.
            const DWORD pid = static_cast<DWORD>(wcstoul(args[i + 1].c_str(), nullptr, 10));
            return RunCleanup(WithSeparator(args[i + 2]), pid,
                              i + 3 < args.size() ? args[i + 3] : std::wstring());
        } else if (unknown.empty()) {
            unknown = arg;
        }
    }
    if (usage) {
        PrintToParentConsole(kUsage);
        return 0;
    }
    if (!unknown.empty()) {
        PrintToParentConsole(L"unknown switch: " + unknown + L"\n\n" + kUsage);
        return UNINSTALL_USAGE;
    }

    OpenRunLog(logPath, L"uninstall", kProgram);
    SetupLogLine(redirectionTrust);
    SetSilentMessageBoxes(options.silent);
    CoInitialize(nullptr);
    // An install that was killed half way is finished or put back first, so
    // that the list and the record read below are those of one version.
    RecoverInterruptedRuns();

    const std::wstring self = ModulePath();
    if (self.empty()) {
        SetupLogFailure(L"the uninstaller's own path could not be read", GetLastError());
        return UNINSTALL_NO_LIST;
    }
    // Started by its 8.3 path ("C:\APPS~1\QUILLM~1\uninst.exe") the program
    // gets that path back; the record and the links name the long one.
    options.selfPath = CanonicalPath(self);
    if (options.selfPath.empty())
        options.selfPath = self;
    options.installDir = FolderOf(options.selfPath);
    SetupLogLine(L"uninstalling from " + options.installDir);

    const int code = RunUninstall(options);
    SetupLogLine(std::wstring(Outcome(code)) + L"; exit code " + SkinUI::DecimalText(code));
    return code;
}

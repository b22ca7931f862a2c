#include "installer/app/UnelevatedStart.h"

#include "installer/services/Staging.h"

#include "skinui/core/Handles.h"

#include <windows.h>

#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <vector>

using SkinUI::ComPtr;
using SkinUI::UniqueHandle;

namespace {

std::wstring FolderOf(const std::wstring& file) {
    const size_t cut = file.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : file.substr(0, cut);
}

// A BSTR owned for the length of one call.
class CBstr {
public:
    explicit CBstr(const std::wstring& text) : m_text(SysAllocString(text.c_str())) {}
    ~CBstr() { SysFreeString(m_text); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

// The desktop's shell (the user's Explorer) is asked to start the program or
// open the page: it runs with the user's own token, so the program, or the
// browser the page opens in, does too. folder may be empty.
bool StartThroughDesktopShell(const std::wstring& file, const std::wstring& folder) {
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.PutVoid())))
        return false;
    VARIANT location = {};
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty = {};
    long hwnd = 0;
    ComPtr<IDispatch> found;
    if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                              found.Put()) != S_OK ||
        !found)
        return false;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(found->QueryInterface(IID_IServiceProvider, services.PutVoid())) ||
        FAILED(
            services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.PutVoid())) ||
        FAILED(folderView->get_Application(application.Put())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.PutVoid())))
        return false;
    CBstr path(file);
    CBstr dirText(folder);
    VARIANT args = {};
    VARIANT dir = {};
    if (!folder.empty()) {
        dir.vt = VT_BSTR;
        dir.bstrVal = dirText.Get();
    }
    VARIANT verb = {};
    VARIANT show = {};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(path.Get(), args, dir, verb, show));
}

// The desktop shell's token, duplicated for a new process: the user's own,
// as the shell runs unelevated. Starts program with the command line (which
// begins with the program, quoted) in folder (empty: the program's own).
bool StartWithShellToken(const std::wstring& program, const std::wstring& commandLine,
                         const std::wstring& folder) {
    HWND shellWindow = GetShellWindow();
    DWORD pid = 0;
    if (!shellWindow || !GetWindowThreadProcessId(shellWindow, &pid) || pid == 0)
        return false;
    UniqueHandle shellProcess(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    HANDLE raw = nullptr;
    if (!shellProcess || !OpenProcessToken(shellProcess.Get(), TOKEN_DUPLICATE, &raw))
        return false;
    UniqueHandle shellToken(raw);
    // A shell that runs elevated itself (the built-in administrator's) gives
    // nothing this process does not have.
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    HANDLE token = nullptr;
    if (!DuplicateTokenEx(shellToken.Get(),
                          TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                              TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID,
                          nullptr, SecurityImpersonation, TokenPrimary, &token))
        return false;
    UniqueHandle primary(token);
    if (!GetTokenInformation(primary.Get(), TokenElevation, &elevation, sizeof(elevation), &size) ||
        elevation.TokenIsElevated)
        return false;
    std::vector<wchar_t> buf(commandLine.begin(), commandLine.end());
    buf.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessWithTokenW(primary.Get(), 0, program.c_str(), buf.data(), 0, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return false;
    UniqueHandle thread(pi.hThread);
    UniqueHandle process(pi.hProcess);
    return true;
}

} // namespace

bool StartUnelevated(const std::wstring& file) {
    if (!IsProcessElevated()) {
        const std::wstring folder = FolderOf(file);
        return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.c_str(), nullptr,
                                                       folder.empty() ? nullptr : folder.c_str(),
                                                       SW_SHOW)) > 32;
    }
    const std::wstring folder = FolderOf(file);
    return StartThroughDesktopShell(file, folder) ||
           StartWithShellToken(file, L"\"" + file + L"\"", folder);
}

bool OpenPageUnelevated(const std::wstring& url) {
    if (!IsProcessElevated())
        return reinterpret_cast<INT_PTR>(
                   ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW)) > 32;
    if (StartThroughDesktopShell(url, std::wstring()))
        return true;
    // Explorer hands a page it is given to the user's browser; started with
    // the shell's token it runs as the user. From the Windows folder, never
    // by a name the search path resolves.
    wchar_t windows[MAX_PATH] = {};
    const UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    const std::wstring explorer = std::wstring(windows) + L"\\explorer.exe";
    return StartWithShellToken(explorer, L"\"" + explorer + L"\" \"" + url + L"\"", std::wstring());
}

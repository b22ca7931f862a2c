#include "installer/app/Guard.h"

#include "installer/services/CommandLine.h"
#include "installer/services/MessageBox.h"
#include "installer/services/Processes.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/SystemFolders.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"

#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include <cwchar>
#include <utility>

using SkinUI::UniqueHandle;

namespace {

// Held for the life of the process, or until the finish button releases
// them: the install mutex in the product's private namespace, and the mutex
// of the plain name that older installers and the product's other programs
// look for.
UniqueHandle g_installMutex;
UniqueHandle g_plainInstallMutex;

const wchar_t kCaption[] = L"提示:";
const wchar_t kProcessCaption[] = L"提示";

// The alias of the product's private namespace, and the prefix of the names
// in it.
const wchar_t kNamespaceAlias[] = L"" QM_PRODUCT_ID;
// Administrators and SYSTEM only, owned by the administrators: what an
// elevated program of the product gives its named objects. A standard user
// can neither make such an object nor open it: Windows lets a token name as
// owner only its user or a group it holds for owning, and the administrators
// group is neither in a standard user's token, nor in an unelevated
// administrator's, which holds it for denying only.
const wchar_t kAdminOnlyDescriptor[] = L"O:BAD:P(A;;GA;;;BA)(A;;GA;;;SY)";

// A security descriptor made from the text above, freed with the object.
class CAdminOnly {
public:
    CAdminOnly() {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnlyDescriptor, SDDL_REVISION_1,
                                                             m_descriptor.Put(), nullptr);
        m_attributes.lpSecurityDescriptor = m_descriptor.Get();
    }
    // Null when the descriptor could not be made: no object is then made
    // with the default one instead.
    SECURITY_ATTRIBUTES* Get() { return m_descriptor ? &m_attributes : nullptr; }

private:
    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// True when administrators or SYSTEM own the object: an elevated program or
// a service made it, not a standard user.
bool IsAdminOwned(HANDLE object) {
    PSID owner = nullptr;
    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, descriptor.Put()) != ERROR_SUCCESS)
        return false;
    return owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                IsWellKnownSid(owner, WinLocalSystemSid));
}

// The product's private namespace, whose boundary holds the administrators
// group: only a process with that group enabled in its token (an elevated
// one, or SYSTEM) can create or open it, so a standard user can neither make
// a name in it first nor hold one. Opened once and kept for the life of the
// process: the names in it go with the last handle to it. Null where the
// system has no private namespaces: Wine 8 fails CreateBoundaryDescriptorW
// and has the other calls only as stubs that end the process, so nothing
// else is called after that failure.
HANDLE ProductNamespace() {
    static HANDLE s_namespace = nullptr;
    static bool s_tried = false;
    if (s_tried)
        return s_namespace;
    s_tried = true;
    HANDLE boundary = CreateBoundaryDescriptorW(kNamespaceAlias, 0);
    if (!boundary)
        return nullptr;
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(sid);
    CAdminOnly access;
    if (access.Get() && CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
        AddSIDToBoundaryDescriptor(&boundary, sid)) {
        s_namespace = CreatePrivateNamespaceW(access.Get(), boundary, kNamespaceAlias);
        // Another program made it first: trusted only when administrators or
        // SYSTEM own it. The boundary keeps a standard user from making it,
        // but whoever makes it chooses its ACL, and one that lets users in
        // would let them make or hold the names in it; the names under their
        // plain names, owner-checked, are then what counts.
        if (!s_namespace && GetLastError() == ERROR_ALREADY_EXISTS) {
            s_namespace = OpenPrivateNamespaceW(boundary, kNamespaceAlias);
            if (s_namespace && !IsAdminOwned(s_namespace)) {
                ClosePrivateNamespace(s_namespace, 0);
                s_namespace = nullptr;
                SetupLogLine(L"a private namespace " + std::wstring(kNamespaceAlias) +
                             L" that no administrator owns is not used");
            }
        }
    }
    DeleteBoundaryDescriptor(boundary);
    return s_namespace;
}

std::wstring PrivateName(const char* name) {
    return std::wstring(kNamespaceAlias) + L"\\" + ToWide(name);
}

bool ProbeMutex(const char* name) {
    SetLastError(ERROR_SUCCESS);
    UniqueHandle h(OpenMutexA(0, FALSE, name));
    DWORD err = GetLastError();
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_ACCESS_DENIED)
        return true;
    // A handle that came back means the mutex exists: opening with no access
    // rights succeeds on Windows, and a probe that ignored that would never
    // see a running program.
    return static_cast<bool>(h);
}

// Whether an elevated program of the product holds the named mutex: in the
// private namespace, or under the plain name when administrators own it
// there. A plain name is anybody's to take, also as "Global\..." from
// another session, which is where a deployment running as SYSTEM looks: one
// that a standard user made, or that this process may not even read, is not
// the product's and blocks nothing.
bool ProbeElevatedMutex(const char* name) {
    if (ProductNamespace()) {
        UniqueHandle h(OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, PrivateName(name).c_str()));
        if (h && IsAdminOwned(h.Get()))
            return true;
    }
    UniqueHandle plain(OpenMutexA(READ_CONTROL, FALSE, name));
    return plain && IsAdminOwned(plain.Get());
}

void CloseInstallMutexes() {
    for (UniqueHandle* h : {&g_installMutex, &g_plainInstallMutex}) {
        if (*h) {
            ReleaseMutex(h->Get());
            h->Reset();
        }
    }
}

} // namespace

bool CreateInstallMutex() {
    CAdminOnly access;
    if (!access.Get())
        return false;
    if (ProductNamespace()) {
        SetLastError(ERROR_SUCCESS);
        g_installMutex.Reset(
            CreateMutexW(access.Get(), TRUE, PrivateName(kInstallMutexName).c_str()));
        const DWORD err = GetLastError();
        // One that exists counts only when an administrator made it, as
        // under the plain name below.
        if (!g_installMutex ||
            (err == ERROR_ALREADY_EXISTS && IsAdminOwned(g_installMutex.Get()))) {
            CloseInstallMutexes();
            return false;
        }
        if (err == ERROR_ALREADY_EXISTS)
            g_installMutex.Reset();
    }
    // The plain name as well, for the programs that look for it. An
    // installer that holds it (an earlier version, or a system without
    // private namespaces) made it as an administrator; a user's mutex of the
    // same name is passed by.
    SetLastError(ERROR_SUCCESS);
    UniqueHandle plain(CreateMutexA(access.Get(), TRUE, kInstallMutexName));
    const DWORD err = GetLastError();
    if (plain && err != ERROR_ALREADY_EXISTS) {
        g_plainInstallMutex = std::move(plain);
        return true;
    }
    const bool installer = plain && IsAdminOwned(plain.Get());
    plain.Reset();
    if (installer) {
        CloseInstallMutexes();
        return false;
    }
    SetupLogLine(L"a mutex named " + ToWide(kInstallMutexName) +
                 L" that no administrator made is ignored");
    return true;
}

void ReleaseInstallMutex() {
    CloseInstallMutexes();
}

bool HoldsInstallMutex() {
    return g_installMutex.Valid() || g_plainInstallMutex.Valid();
}

bool IsClientRunning() {
    return ProbeMutex(kClientMutexName);
}
bool IsUpdaterRunning() {
    // The updater ends the client and starts this installer, elevated: its
    // mutex is an administrator's. A squatted client mutex, by contrast,
    // only brings the question to close a client (silent runs close clients
    // by their image name) and never stops an install, so it is probed as
    // the client, which runs unelevated, makes it.
    return ProbeElevatedMutex(kUpdateMutexName);
}

bool CheckSingleInstance() {
    if (!CreateInstallMutex()) {
        ShowMessageBox(nullptr, L"安装程序正在运行!", kCaption, MB_OK);
        return true;
    }
    if (IsUpdaterRunning()) {
        ShowMessageBox(nullptr, L"安装程序正在运行, 请安装完成后再重试!", kCaption, MB_OK);
        return true;
    }
    if (IsClientRunning()) {
        int answer = ShowMessageBox(
            nullptr, L"" QM_PRODUCT_NAME "客户端正在运行, 是否强制关闭后安装?", kCaption, MB_YESNO);
        if (answer != IDYES)
            return true;
        KillClientProcesses();
    }
    return false;
}

void KillClientProcesses() {
    std::vector<TProcessEntry> processes;
    if (!ListProcesses(&processes)) {
        ShowMessageBox(nullptr, L"获取进程失败!", kProcessCaption, MB_OK);
        return;
    }
    // The name rule as before, within the sessions this run may reach; each
    // client is asked to close and gets a few seconds to save its work.
    const std::vector<DWORD> ids =
        ProcessIdsNamed(InReachableSessions(processes), kClientFileNameW);
    const std::vector<DWORD> elsewhere = ProcessIdsNamed(processes, kClientFileNameW);
    if (elsewhere.size() > ids.size())
        SetupLogLine(L"clients of other sessions are left running");
    const TEndResult ended = EndProcessesGently(ids, kClientCloseWaitMs, kClientCloseWaitMs);
    if (ended.openFailed)
        ShowMessageBox(nullptr, L"访问进程失败", kProcessCaption, MB_OK);
    else if (!ended.allEnded)
        SetupLogLine(L"a client did not end in time");
}

void KillProcessById(DWORD pid) {
    // Only a process the snapshot lists: an id nobody holds is left alone.
    std::vector<TProcessEntry> processes;
    if (!ListProcesses(&processes))
        return;
    for (const TProcessEntry& entry : processes) {
        if (entry.id != pid)
            continue;
        UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
        if (process)
            TerminateProcess(process.Get(), 0);
        return;
    }
}

bool KillProductProcessById(DWORD pid, const std::wstring& installDir) {
    if (pid == 0 || pid == GetCurrentProcessId() || installDir.empty())
        return false;
    UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
    if (!process)
        return false;
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!QueryFullProcessImageNameW(process.Get(), 0, &image[0], &size))
        return false;
    image.resize(size);
    std::wstring dir = installDir;
    if (dir.back() != L'\\' && dir.back() != L'/')
        dir += L'\\';
    if (!SamePath(image, dir + kClientFileNameW) && !SamePath(image, dir + kUpdaterFileNameW))
        return false;
    return TerminateProcess(process.Get(), 0) != 0;
}

std::vector<std::string> GetCommandLineArgs() {
    std::vector<std::string> args;
    for (const std::wstring& word : SplitCommandLine(GetCommandLineW()))
        args.push_back(ToNarrow(word));
    return args;
}

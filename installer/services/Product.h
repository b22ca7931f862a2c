// The product's identity in one place: its names, registry keys, mutexes, file
// names and web pages, for every program of the product (the installer, the
// uninstaller, the client) and their tests. The names are constants here, so a
// program that links nothing of the installer can use them; the few functions
// at the end live in the installer's library (Product.cpp).
//
// Each spelling is written once, as a macro that the narrow and the wide
// constant both expand: a narrow literal placed after L"" becomes wide.
#pragma once

#include <windows.h>

#include <string>

#define QM_PRODUCT_NAME "青梧云端助手"
#define QM_PRODUCT_ID "Quillmossdex"
#define QM_CLIENT_FILE QM_PRODUCT_ID ".exe"
#define QM_UNINSTALLER_FILE "uninst.exe"
#define QM_PRODUCT_KEY "SOFTWARE\\" QM_PRODUCT_ID
#define QM_SETTINGS_SUBKEY QM_PRODUCT_ID "\\Flags"
#define QM_PRODUCT_VERSION "1.0.67"

// The display name users see in the program list, the Start menu and boxes;
// also the name of the uninstall key, the Start menu folder and the links.
inline constexpr wchar_t kProductName[] = L"" QM_PRODUCT_NAME;
inline constexpr char kProductVersion[] = QM_PRODUCT_VERSION;
inline constexpr wchar_t kProductVersionW[] = L"" QM_PRODUCT_VERSION;
// The folder the installer proposes below the program files.
inline constexpr wchar_t kProductFolder[] = L"" QM_PRODUCT_ID "\\";

// File names inside the install directory.
inline constexpr char kClientFileName[] = QM_CLIENT_FILE;
inline constexpr wchar_t kClientFileNameW[] = L"" QM_CLIENT_FILE;
inline constexpr char kUninstallerFileName[] = QM_UNINSTALLER_FILE;
inline constexpr wchar_t kUninstallerFileNameW[] = L"" QM_UNINSTALLER_FILE;
// The product's updater, which starts the installer with "Update <pid>".
inline constexpr wchar_t kUpdaterFileNameW[] = L"" QM_PRODUCT_ID "Update.exe";
// The list of every installed entry, which the uninstaller removes exactly.
inline constexpr wchar_t kEntryListName[] = L"uninst.lst";

// The links: the client's in the Start menu folder and on the desktop, the
// uninstaller's in the Start menu folder.
inline constexpr wchar_t kClientLinkName[] = L"" QM_PRODUCT_NAME ".lnk";
inline constexpr wchar_t kUninstallLinkName[] = L"卸载" QM_PRODUCT_NAME ".lnk";

// Below the temporary directory: the fixed folder older versions of the
// installer unpacked into (removed when found); the uninstaller's clean-up copy of
// itself (the prefix, followed by the process id and ".exe").
inline constexpr wchar_t kUnpackDirName[] = L"qmsTmp\\";
inline constexpr wchar_t kUninstallerCopyPrefix[] = L"qm-uninst-";

// Named mutexes: held by the installer, the product's updater and the client
// while they run.
inline constexpr char kInstallMutexName[] = QM_PRODUCT_ID "-Install";
inline constexpr char kUpdateMutexName[] = QM_PRODUCT_ID "-Update";
inline constexpr char kClientMutexName[] = QM_PRODUCT_ID "-Client";
inline constexpr wchar_t kClientMutexNameW[] = L"" QM_PRODUCT_ID "-Client";
// The client's window class, by which a second start finds the first.
inline constexpr wchar_t kClientWindowClass[] = L"" QM_PRODUCT_ID "Client";

// Below HKEY_CURRENT_USER: the product's key, and its per-user settings key
// (also named below SOFTWARE, where it is created).
inline constexpr wchar_t kProductKey[] = L"" QM_PRODUCT_KEY;
inline constexpr wchar_t kSettingsKey[] = L"" QM_PRODUCT_KEY "\\Flags";
inline constexpr wchar_t kSettingsSubKey[] = L"" QM_SETTINGS_SUBKEY;

// The maker's web site, for the program list's links, and the pages the
// installer opens below it.
inline constexpr char kWebSiteRoot[] = "https://quillmoss.com";
inline constexpr wchar_t kAgreementPage[] = L"/termofservice/userusage-protocol.htm";
inline constexpr wchar_t kPrivacyPage[] = L"/termofservice/professional-ysxy.htm";

// The bases of the uninstall keys below HKEY_LOCAL_MACHINE: a 32-bit program
// on 64-bit Windows names the WOW6432Node branch itself, so no registry-view
// flag is needed. The lower-case "windows" is how existing installations
// spell the key; registry names ignore case, so it is the same key either way.
#define QM_UNINSTALL_BASE_WOW64                                                                    \
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
#define QM_UNINSTALL_BASE_NATIVE "SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Uninstall"
inline constexpr wchar_t kUninstallBaseWow64[] = L"" QM_UNINSTALL_BASE_WOW64;
inline constexpr wchar_t kUninstallBaseNative[] = L"" QM_UNINSTALL_BASE_NATIVE;

// True for a native processor architecture (SYSTEM_INFO::wProcessorArchitecture)
// on which this 32-bit program runs under WOW64.
inline bool IsWow64Architecture(WORD processorArchitecture) {
    return processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           processorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

// ---------------------------------------------------------------------------
// In the installer's library

// The base of the uninstall keys for a native processor architecture.
const wchar_t* UninstallBasePath(WORD processorArchitecture);
// The product's uninstall key below HKEY_LOCAL_MACHINE on this machine.
std::wstring UninstallKeyPath();
// A text value of the record (REG_SZ or REG_EXPAND_SZ, unexpanded), at most
// MAX_PATH + 63 characters; empty when it is missing, longer or not text.
std::wstring RecordString(HKEY key, const wchar_t* name);

// The record's "UninstallString" for an uninstaller path: quoted, so that the
// program list, which hands the value to CreateProcess as a command line,
// never starts "C:\Apps\My.exe" for "C:\Apps\My Tools\...\uninst.exe".
std::wstring UninstallCommand(const std::wstring& uninstallerPath);
// The uninstaller's path from an "UninstallString" value: the quoted form
// (arguments after the closing quote are ignored) and the unquoted form that
// earlier versions wrote, which is the path as a whole. Empty when the value
// is empty or its quote is not closed.
std::wstring UninstallerPathOf(const std::wstring& uninstallString);

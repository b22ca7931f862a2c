#include "installer/Product.h"

#include <cwchar>
#include <vector>

const wchar_t kProductName[] = L"青梧云端助手";
const char kProductVersion[] = "1.0.67";
const char kClientFileName[] = "Quillmossdex.exe";
const char kUninstallerFileName[] = "uninst.exe";
const char kWebSiteRoot[] = "https://quillmoss.com";
const wchar_t kSettingsKey[] = L"SOFTWARE\\Quillmossdex\\Flags";

const char* UninstallBasePath(WORD processorArchitecture) {
    if (processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
        processorArchitecture == PROCESSOR_ARCHITECTURE_IA64)
        return "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    // The lower-case "windows" is how existing installations spell the key;
    // registry names ignore case, so it is the same key either way.
    return "SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Uninstall";
}

std::string UninstallKeyPath() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return std::string(UninstallBasePath(info.wProcessorArchitecture)) + "\\" +
           AnsiText(kProductName);
}

std::string AnsiText(const wchar_t* text) {
    int len = static_cast<int>(wcslen(text));
    if (len == 0)
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text, len, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::vector<char> buf(static_cast<size_t>(n));
    n = WideCharToMultiByte(CP_ACP, 0, text, len, buf.data(), n, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    return std::string(buf.data(), static_cast<size_t>(n));
}

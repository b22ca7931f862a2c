#include "installer/Product.h"

#include <cwchar>
#include <vector>

const char* UninstallBasePath(WORD processorArchitecture) {
    return IsWow64Architecture(processorArchitecture) ? QM_UNINSTALL_BASE_WOW64
                                                      : QM_UNINSTALL_BASE_NATIVE;
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

#include "installer/Product.h"

const wchar_t* UninstallBasePath(WORD processorArchitecture) {
    return IsWow64Architecture(processorArchitecture) ? kUninstallBaseWow64 : kUninstallBaseNative;
}

std::wstring UninstallKeyPath() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return std::wstring(UninstallBasePath(info.wProcessorArchitecture)) + L"\\" + kProductName;
}

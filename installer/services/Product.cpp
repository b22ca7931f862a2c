#include "installer/services/Product.h"

const wchar_t* UninstallBasePath(WORD processorArchitecture) {
    return IsWow64Architecture(processorArchitecture) ? kUninstallBaseWow64 : kUninstallBaseNative;
}

std::wstring UninstallKeyPath() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return std::wstring(UninstallBasePath(info.wProcessorArchitecture)) + L"\\" + kProductName;
}

std::wstring UninstallCommand(const std::wstring& uninstallerPath) {
    return L"\"" + uninstallerPath + L"\"";
}

std::wstring UninstallerPathOf(const std::wstring& value) {
    size_t start = 0;
    while (start < value.size() && value[start] == L' ')
        ++start;
    if (start < value.size() && value[start] == L'"') {
        const size_t close = value.find(L'"', start + 1);
        return close == std::wstring::npos ? std::wstring()
                                           : value.substr(start + 1, close - start - 1);
    }
    // Unquoted values were never written with arguments: blanks belong to
    // the path.
    size_t end = value.size();
    while (end > start && value[end - 1] == L' ')
        --end;
    return value.substr(start, end - start);
}

std::wstring RecordString(HKEY key, const wchar_t* name) {
    wchar_t value[MAX_PATH + 64] = {};
    // One character short of the buffer, so the value always ends with a
    // terminator even when the stored data has none.
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    return value;
}

// CFileManage::WriteUninstallRecord: the entry of the system's program list.
#include "installer/FileManage.h"

#include "installer/Product.h"

#include "skinui/core/Handles.h"

using SkinUI::UniqueRegKey;

namespace {

bool SetString(HKEY key, const char* name, const std::string& value) {
    // The stored data includes the terminator, as the program list expects.
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

} // namespace

InstallResult CFileManage::WriteUninstallRecord() {
    PostProgress(99);
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    UniqueRegKey base;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallBasePath(info.wProcessorArchitecture), 0,
                      KEY_ALL_ACCESS, base.Put()) != ERROR_SUCCESS)
        return INSTALL_ERR_REGISTRY;
    UniqueRegKey key;
    if (RegCreateKeyExA(base.Get(), AnsiText(kProductName).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS)
        return INSTALL_ERR_REGISTRY;

    // Written in this order; an existing record is overwritten value by value.
    const std::string name = AnsiText(kProductName);
    bool ok = true;
    ok &= SetString(key.Get(), "UninstallString", installDir + kUninstallerFileName);
    ok &= SetString(key.Get(), "DisplayIcon", installDir + kClientFileName);
    ok &= SetString(key.Get(), "DisplayName", name);
    ok &= SetString(key.Get(), "Publisher", name);
    ok &= SetString(key.Get(), "InstallLocation", installDir);
    ok &= SetString(key.Get(), "DisplayVersion", kProductVersion);
    ok &= SetString(key.Get(), "URLInfoAbout", kWebSiteRoot);
    ok &= SetString(key.Get(), "HelpLink", kWebSiteRoot);
    ok &= SetDword(key.Get(), "EstimatedSize", totalBytes);
    ok &= SetString(key.Get(), "_PROCESS_CHANNEL_", kProcessChannel);
    ok &= SetString(key.Get(), "_CHANNEL_NAME_", kChannelName);
    // For management tools that remove software without asking anyone.
    ok &= SetString(key.Get(), "QuietUninstallString",
                    "\"" + installDir + kUninstallerFileName + "\" /S");
    // A record with values missing is not a product the system can list and
    // remove, so it fails like a record that could not be created.
    if (!ok)
        return INSTALL_ERR_REGISTRY;
    key.Reset();
    base.Reset();
    PostProgress(100);
    return INSTALL_OK;
}

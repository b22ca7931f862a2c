#include "installer/app/VersionNote.h"

#include "installer/engine/UninstallRecord.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/SystemFolders.h"

void LogVersionChange(const std::wstring& installDir) {
    TRecordedInstall recorded;
    if (!ReadRecordedInstall(&recorded)) {
        SetupLogLine(std::wstring(L"installing version ") + kProductVersionW + L" into " +
                     installDir);
        return;
    }
    const std::wstring old = recorded.version.empty() ? L"(unknown)" : recorded.version;
    const std::wstring where = recorded.dir.empty() || SamePath(recorded.dir, installDir)
                                   ? L"in the same folder"
                                   : L"recorded in " + recorded.dir + L", another folder";
    SetupLogLine(std::wstring(L"installing version ") + kProductVersionW + L" into " + installDir +
                 L" over version " + old + L" " + where);
    // A script that installs an old package by mistake learns it from the log.
    if (!recorded.version.empty() && CompareVersions(kProductVersionW, recorded.version) < 0)
        SetupLogLine(std::wstring(L"downgrade: the installed version ") + recorded.version +
                     L" is replaced by the older version " + kProductVersionW);
}

std::wstring FinishVersionLine(const std::wstring& replacedVersion) {
    std::wstring line = std::wstring(L"版本: ") + kProductVersionW;
    if (!replacedVersion.empty() && replacedVersion != kProductVersionW)
        line += L" (替换版本 " + replacedVersion + L")";
    return line;
}

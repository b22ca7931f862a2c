#include "installer/services/NoFollowFile.h"

#include "skinui/core/Handles.h"

#include <cassert>

HANDLE OpenFileNoFollow(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                        bool* existed) {
    assert(disposition == OPEN_ALWAYS || disposition == OPEN_EXISTING || disposition == CREATE_NEW);
    if (existed)
        *existed = false;
    SkinUI::UniqueHandle file(CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
    if (!file)
        return INVALID_HANDLE_VALUE;
    const bool wasThere = disposition == OPEN_EXISTING ||
                          (disposition == OPEN_ALWAYS && GetLastError() == ERROR_ALREADY_EXISTS);
    // The checks are made on the open handle, not on the name: between a
    // check by name and the open the name could be swapped.
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool plain =
        GetFileInformationByHandle(file.Get(), &info) &&
        !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
        info.nNumberOfLinks <= 1;
    if (!plain) {
        file.Reset();
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return INVALID_HANDLE_VALUE;
    }
    if (existed)
        *existed = wasThere;
    // Callers that ask ERROR_ALREADY_EXISTS of the last error still get it.
    SetLastError(wasThere && disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file.Release();
}

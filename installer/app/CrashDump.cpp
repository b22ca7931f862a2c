#include "installer/app/CrashDump.h"

#include "installer/services/MessageBox.h"
#include "installer/services/NoFollowFile.h"

#include "skinui/core/Handles.h"
#include "skinui/core/SystemLibrary.h"
#include "skinui/core/TextFormat.h"

#include <dbghelp.h>

#include <cwchar>

using SkinUI::UniqueHandle;

LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* pointers) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    // Room for the longest module path plus ".dmp".
    wchar_t dumpPath[MAX_PATH + 8] = {};
    SkinUI::FormatText(dumpPath, sizeof(dumpPath) / sizeof(dumpPath[0]), L"%ls%ls", module,
                       L".dmp");

    wchar_t message[380] = {};
    SkinUI::FormatText(message, sizeof(message) / sizeof(message[0]),
                       L"程序异常退出! 异常信息保存于 %ls 文件, 请联系客服人员解决!", dumpPath);
    // The dump is written only after the user has closed the box.
    ShowMessageBox(nullptr, message, L"提示:", MB_ICONERROR | MB_OK);

    // The program's folder is often one its user can write (downloads), and
    // the program runs elevated: a link or a hard link planted at the dump's
    // name, or a folder above it swapped for a junction, would have the dump
    // overwrite whatever it names. Every level is opened without following a
    // link, and only a plain file of one name is reused.
    UniqueHandle file(OpenFileNoFollow(dumpPath, GENERIC_WRITE, 0, OPEN_ALWAYS, nullptr));
    if (file && !SetEndOfFile(file.Get()))
        file.Reset();
    MINIDUMP_EXCEPTION_INFORMATION info = {};
    info.ThreadId = GetCurrentThreadId();
    info.ExceptionPointers = pointers;
    info.ClientPointers = TRUE;

    // dbghelp is not a KnownDLL: it comes from the system directory only.
    auto writeDump =
        SkinUI::SystemProc<decltype(&MiniDumpWriteDump)>(L"dbghelp.dll", "MiniDumpWriteDump");
    if (file && writeDump)
        writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), MiniDumpNormal, &info,
                  nullptr, nullptr);
    return EXCEPTION_EXECUTE_HANDLER;
}

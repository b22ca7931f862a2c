// Runs the real install worker as the installer's main window would, but
// reports to a window of the test that started it:
//   qm_install_runner <window handle> <install dir> <temp dir> [<log file>]
// or only settles what earlier runs left, as every start of the installer does:
//   qm_install_runner recover <temp dir>
// Tests give copies of it their own payload (TestPayload.h). With
// QM_TEST_KILL_AT=n in its environment the run ends itself (TerminateProcess)
// at the engine's n-th kill point; with QM_TEST_POINTS_FILE=file it writes
// how many kill points a whole run passed there; with QM_TEST_STOP_UNPACKING=1
// it asks the run to stop (as the window's Yes does) at the first point after
// a file was unpacked, before anything is moved into the install folder.
// With QM_TEST_QUESTION=<when>:<answer> a person closes the window while the
// files are moved into place (when "first": once the first file has left the
// unpack folder; "late": once half of them have) and answers the stop
// question ("yes" or "no") after a while; QM_TEST_QUESTION_FILE then holds
// "unchanged" when the install folder stayed as it was while the question
// was up, else "changed".
#include "installer/engine/FileManage.h"
#include "installer/engine/InstallDir.h"
#include "installer/services/Journal.h"
#include "installer/services/Log.h"
#include "installer/services/SystemFolders.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace {

long g_points = 0;
long g_killAt = 0;

bool g_stopWhileUnpacking = false;
// The job's stop request, as the window keeps its copy.
CStopRequest g_stop;

// The stop question while the files are moved into place.
struct TQuestion {
    bool asked = false;
    bool late = false;
    bool yes = false;
    std::string resultFile;
    long mostFiles = 0;
    long lastFiles = -1;
    HANDLE up = nullptr;
} g_question;

// The files below dir by path, with their sizes; false when dir cannot be
// listed.
bool ListFiles(const std::wstring& dir, std::map<std::wstring, ULONGLONG>* files) {
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW((dir + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*files)[dir + name + L"\\"] = 0;
            ListFiles(dir + name + L"\\", files);
        } else {
            (*files)[dir + name] =
                (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return true;
}

// On the worker thread, at a kill point: once the unpack folder has lost
// files (they are being moved into place) the question comes up, as the
// window's close button brings it.
void AskWhileMoving() {
    std::map<std::wstring, ULONGLONG> files;
    if (g_question.asked || !ListFiles(CFileManage::GetInstance()->Run().unpackDir, &files))
        return;
    long count = 0;
    for (const auto& file : files)
        count += file.first.back() != L'\\';
    const bool moving = g_question.lastFiles >= 0 && count < g_question.lastFiles;
    g_question.lastFiles = count;
    if (count > g_question.mostFiles)
        g_question.mostFiles = count;
    if (!moving || (g_question.late && count * 2 > g_question.mostFiles))
        return;
    g_question.asked = true;
    g_stop.Pause();
    SetEvent(g_question.up);
}

// The person: looks at the install folder while the question is up, takes
// their time, looks again, then answers.
void AnswerTheQuestion(const std::wstring& installDir) {
    if (WaitForSingleObject(g_question.up, 120000) != WAIT_OBJECT_0 || !g_question.asked)
        return;
    std::map<std::wstring, ULONGLONG> before, after;
    ListFiles(installDir, &before);
    Sleep(1500);
    ListFiles(installDir, &after);
    if (FILE* out = fopen(g_question.resultFile.c_str(), "w")) {
        fputs(before == after ? "unchanged" : "changed", out);
        fclose(out);
    }
    if (g_question.yes)
        g_stop.Request();
    else
        g_stop.Resume();
}

void CountPoint() {
    if (++g_points == g_killAt)
        TerminateProcess(GetCurrentProcess(), 99);
    if (g_question.up)
        AskWhileMoving();
    if (!g_stopWhileUnpacking)
        return;
    CFileManage* engine = CFileManage::GetInstance();
    WIN32_FIND_DATAW found = {};
    // The hook runs on the worker thread, which owns the run record.
    HANDLE find = FindFirstFileW((engine->Run().unpackDir + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    bool unpacked = false;
    do
        unpacked = unpacked || found.cFileName[0] != L'.';
    while (FindNextFileW(find, &found));
    FindClose(find);
    if (unpacked)
        g_stop.Request();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "recover") == 0) {
        SetEnvironmentVariableA("TMP", argv[2]);
        SetEnvironmentVariableA("TEMP", argv[2]);
        const bool ok = RecoverInterruptedRuns();
        RemoveEarlierStaging(L"");
        return ok ? 0 : 1;
    }
    if (argc < 4)
        return 2;
    char value[64] = {};
    if (GetEnvironmentVariableA("QM_TEST_KILL_AT", value, sizeof(value)) > 0)
        g_killAt = strtol(value, nullptr, 10);
    char pointsFile[MAX_PATH] = {};
    const bool counting =
        GetEnvironmentVariableA("QM_TEST_POINTS_FILE", pointsFile, sizeof(pointsFile)) > 0;
    g_stopWhileUnpacking =
        GetEnvironmentVariableA("QM_TEST_STOP_UNPACKING", value, sizeof(value)) > 0;
    char question[64] = {};
    if (GetEnvironmentVariableA("QM_TEST_QUESTION", question, sizeof(question)) > 0) {
        g_question.late = strncmp(question, "late", 4) == 0;
        g_question.yes = strstr(question, ":yes") != nullptr;
        char file[MAX_PATH] = {};
        GetEnvironmentVariableA("QM_TEST_QUESTION_FILE", file, sizeof(file));
        g_question.resultFile = file;
        g_question.up = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    if (g_killAt > 0 || counting || g_stopWhileUnpacking || g_question.up)
        SetKillPointHook(CountPoint);
    HWND target = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(strtoul(argv[1], nullptr, 10)));
    // Before the engine's first use, which reads the temporary directory.
    SetEnvironmentVariableA("TMP", argv[3]);
    SetEnvironmentVariableA("TEMP", argv[3]);
    if (argc > 4)
        CLog::Instance().SetLogPath(argv[4]);

    TInstallJob job;
    // The install directory in the command line's own wide text, so that any
    // name reaches the engine whatever the code pages are.
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words || count < 4)
        return 2;
    // In the one form a starter's check gives it (InstallDir.h).
    job.installDir = WithSeparator(CanonicalPath(words[2]));
    LocalFree(words);
    g_stop = job.stop;
    job.target.window = target;
    // As the window and the silent run do: the install folder's missing
    // levels are made while the folder is checked, before the run starts.
    if (GetEnvironmentVariableA("QM_TEST_STARTER_CREATES", value, sizeof(value)) > 0)
        job.createdDirs = CFileManage::CreateMissingLevels(job.installDir);
    // The engine's first use empties the unpack directory, as the window's does.
    CFileManage::GetInstance();
    std::thread person;
    if (g_question.up)
        person = std::thread(AnswerTheQuestion, job.installDir);
    std::thread worker(InstallWorkerThread, job);
    worker.join();
    if (person.joinable()) {
        // A run that never reached the question leaves the person waiting.
        SetEvent(g_question.up);
        person.join();
    }
    CFileManage::GetInstance()->RemoveStaging();
    if (counting) {
        FILE* out = fopen(pointsFile, "w");
        if (out) {
            fprintf(out, "%ld\n", g_points);
            fclose(out);
        }
    }
    return 0;
}

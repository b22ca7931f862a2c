// The install sequence on a payload shaped like the shipped one, as the main
// window runs it (the worker thread: install kind, digest check, unpack from
// the executable, move, uninstall record), timed beside its floor: a bare
// loop that decodes the same payload from the program's file and writes its
// files into the same kind of directory, with the same buffer size, on one
// thread (the install writes on a second one while it decodes). Also the
// peak working set beside that of a no-op run of the same program, which must
// not grow with the payload or its largest entry (the same program is built
// with a payload twice as large). Then an update over an existing
// installation with the protection that lets it be undone, beside the same
// update without it.
#include "bench/BenchTiming.h"
#include "installer/engine/EntryWriter.h"
#include "installer/engine/FileManage.h"
#include "installer/engine/InstallDir.h"
#include "installer/engine/PayloadReader.h"
#include "installer/services/Product.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/Handles.h"

#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

#ifdef QM_BENCH_INSTALL_ONLY
constexpr int kRounds = 3;
#else
constexpr int kRounds = 5;
#endif
// The two updates differ by a few renames per file, far less than the noise
// of one run on a shared machine: more rounds keep the medians apart from it.
constexpr int kUpdateRounds = 11;

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof(m);
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof(m));
    return m;
}

double MiB(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

void RemoveTree(const std::string& dir) {
    // The list form of the shell: double terminated.
    std::string list = dir;
    while (!list.empty() && list.back() == '\\')
        list.pop_back();
    list.push_back('\0');
    list.push_back('\0');
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationA(&op);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// The floor's sink: one buffer, each piece written as soon as it is decoded,
// on the decoding thread.
class CBareSink final : public IEntrySink {
public:
    std::vector<char> buffer = std::vector<char>(CEntryWriter::kBufferSize);
    HANDLE file = nullptr;
    char* Acquire() override { return buffer.data(); }
    void Submit(DWORD length) override {
        DWORD done = 0;
        WriteFile(file, buffer.data(), length, &done, nullptr);
    }
};

// The floor: the program's own payload decoded as one stream through one
// buffer and written out file by file; no digest, no CRC, no second thread.
// The program's own payload, opened and its index read, without the digest
// check that the install pays once.
bool OpenOwnPayload(CPayloadFile* file, CPayloadReader* reader) {
    TPayloadDigest digest;
    return OwnPayloadDigest(&digest) && file->OpenOwn(digest) && reader->Open(file);
}

bool BareDecode(const std::string& dir, uint64_t* bytes, uint64_t* largest, uint64_t* packed) {
    CPayloadFile file;
    CPayloadReader reader;
    if (!OpenOwnPayload(&file, &reader))
        return false;
    *packed = file.Size();
    *bytes = 0;
    *largest = 0;
    CBareSink sink;
    uint64_t decoded = 0;
    for (const TPayloadEntry& entry : reader.Entries()) {
        std::string path = dir;
        for (wchar_t c : entry.name)
            path += c == L'/' ? '\\' : static_cast<char>(c);
        if (path.back() == '\\') {
            CreateDirectoryA(path.c_str(), nullptr);
            continue;
        }
        SkinUI::UniqueHandle out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        sink.file = out.Get();
        if (!reader.ReadEntry(entry, sink, &decoded))
            return false;
        *bytes += entry.size;
        *largest = std::max(*largest, entry.size);
    }
    return true;
}

// What decoding alone takes: the same stream into a buffer that is never
// written anywhere. The install overlaps decoding with writing, so it can at
// best take as long as the slower of the two.
class CDiscardSink final : public IEntrySink {
public:
    std::vector<char> buffer = std::vector<char>(CEntryWriter::kBufferSize);
    char* Acquire() override { return buffer.data(); }
    void Submit(DWORD) override {}
};

bool DecodeOnly() {
    CPayloadFile file;
    CPayloadReader reader;
    if (!OpenOwnPayload(&file, &reader))
        return false;
    CDiscardSink sink;
    uint64_t decoded = 0;
    for (const TPayloadEntry& entry : reader.Entries())
        if (entry.name.back() != L'/' && !reader.ReadEntry(entry, sink, &decoded))
            return false;
    return true;
}

// The peak working set of this program started again to do nothing: the
// floor of every figure of memory, since the program, its runtime and the
// system's libraries are resident in any run.
SIZE_T NoOpPeak() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --noop";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return 0;
    DWORD kib = 0;
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(pi.hProcess, &kib))
        kib = 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<SIZE_T>(kib) * 1024;
}

// Takes away what the runs wrote: the uninstall record, the install kind
// (unless the machine had settings of its own before), and every folder.
void Clean(const std::string& root, bool hadSettings) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str());
    if (!hadSettings) {
        RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kProductKey);
    }
    RemoveTree(root);
}

DWORD WINAPI RunWorker(void* job) {
    InstallWorkerThread(*static_cast<TInstallJob*>(job));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The no-op run tells its own peak, in KiB, as its exit code: the
    // figures of a process that has ended are gone under Wine.
    if (argc > 1 && strcmp(argv[1], "--noop") == 0)
        return static_cast<int>(Memory().PeakWorkingSetSize / 1024);
    // Everything below a folder of its own in the temporary directory; the
    // engine reads the temporary directory once, on first use.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "qmbench\\";
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "tmp\\").c_str(), nullptr);
    SetEnvironmentVariableA("TMP", (root + "tmp\\").c_str());
    SetEnvironmentVariableA("TEMP", (root + "tmp\\").c_str());

    bool hadSettings = false;
    {
        SkinUI::UniqueRegKey settings;
        hadSettings = RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, settings.Put()) ==
                      ERROR_SUCCESS;
    }

    HWND window = CreateWindowExW(0, L"STATIC", L"bench", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    CFileManage::GetInstance();
    const SIZE_T idle = Memory().WorkingSetSize;

    std::vector<double> installTimes, floorTimes, decodeTimes;
    SIZE_T peak = 0;
    uint64_t bytes = 0, largest = 0;
    unsigned result = INSTALL_OK;
    uint64_t packedSize = 0;
    for (int round = 0; round < kRounds && result == INSTALL_OK; ++round) {
        TInstallJob job;
        const std::string dir = root + "install" + std::to_string(round) + "\\";
        // The bench's folders are plain ASCII, the same text in any code page.
        job.installDir.assign(dir.begin(), dir.end());
        // In the one form a starter's check gives it (InstallDir.h).
        job.installDir = WithSeparator(CanonicalPath(job.installDir));
        job.target.window = window;
        CreateDirectoryA((root + "install" + std::to_string(round)).c_str(), nullptr);
        double start = bench::Now();
        // The worker's progress is taken as it comes, as the window does: a
        // queue left to grow by one message per file would cost the system
        // more with every file.
        SkinUI::UniqueHandle worker(CreateThread(nullptr, 0, RunWorker, &job, 0, nullptr));
        if (!worker) {
            printf("cannot start the worker\n");
            return 1;
        }
        HANDLE waitFor = worker.Get();
        for (;;) {
            const DWORD woke = MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == window && msg.message == WM_INSTALL_RESULT)
                    result = static_cast<unsigned>(msg.wParam);
                DispatchMessageW(&msg);
            }
            if (woke != WAIT_OBJECT_0 + 1)
                break;
        }
        installTimes.push_back(bench::Now() - start);
        if (round == 0)
            peak = Memory().PeakWorkingSetSize;
        Pump();

        std::string floorDir = root + "floor" + std::to_string(round) + "\\";
        CreateDirectoryA(floorDir.c_str(), nullptr);
        start = bench::Now();
        if (!BareDecode(floorDir, &bytes, &largest, &packedSize)) {
            printf("floor: cannot decode the payload\n");
            return 1;
        }
        floorTimes.push_back(bench::Now() - start);
        start = bench::Now();
        if (!DecodeOnly()) {
            printf("cannot decode the payload\n");
            return 1;
        }
        decodeTimes.push_back(bench::Now() - start);
        RemoveTree(floorDir);
        RemoveTree(root + "install" + std::to_string(round));
    }
    if (result != INSTALL_OK) {
        printf("install failed with code %u\n", result);
        return 1;
    }

    // The digest is checked once per process, in the first round; on its own
    // here, through a handle of its own, as a run of the installer pays it.
    double digestTime = 0.0;
    {
        TPayloadDigest digest;
        CPayloadFile own;
        const double start = bench::Now();
        if (!OwnPayloadDigest(&digest) || !own.OpenOwn(digest) || !own.Verify(digest)) {
            printf("the payload does not match its digest\n");
            return 1;
        }
        digestTime = bench::Now() - start;
    }
    double install = bench::Median(installTimes), floor = bench::Median(floorTimes);
    printf("payload: %.1f MiB packed, %.1f MiB unpacked, largest entry %.1f MiB (median of %d "
           "rounds)\n",
           MiB(static_cast<double>(packedSize)), MiB(static_cast<double>(bytes)),
           MiB(static_cast<double>(largest)), kRounds);
    printf("install sequence: %7.1f ms  %6.1f MiB/s\n", install * 1000.0,
           MiB(static_cast<double>(bytes)) / install);
    printf("floor (bare single-thread decode and write): %7.1f ms  %6.1f MiB/s\n", floor * 1000.0,
           MiB(static_cast<double>(bytes)) / floor);
    printf("ratio install / floor: %.2f (target <= 1.0)\n", install / floor);
    const double decodeAlone = bench::Median(decodeTimes);
    printf("decoding alone (no file written): %7.1f ms; install / decoding alone: %.2f\n",
           decodeAlone * 1000.0, install / decodeAlone);
    printf("digest check (SHA-256 of the packed payload, once per run): %.1f ms; first round "
           "with it: %.1f ms, ratio %.2f\n",
           digestTime * 1000.0, installTimes[0] * 1000.0, (install + digestTime) / floor);
    const SIZE_T noop = NoOpPeak();
    printf("peak working set: %.1f MiB; a no-op run of the same program %.1f MiB, above it %.1f "
           "MiB (flat in the payload's size); idle engine %.1f MiB\n",
           MiB(static_cast<double>(peak)), MiB(static_cast<double>(noop)),
           MiB(static_cast<double>(peak) - static_cast<double>(noop)),
           MiB(static_cast<double>(idle)));
#ifdef QM_BENCH_INSTALL_ONLY
    printf("install seconds: %.3f\n", install);
    Clean(root, hadSettings);
    return 0;
#endif

    // The cost of being able to undo an update: the same update over the same
    // installation with and without the journal and the files set aside,
    // alternating so that both see the same state of the disk cache. Timed to
    // the outcome, the moment the window shows the finish page; the files an
    // update replaced are removed after that (FinishRun), timed on its own.
    CFileManage* engine = CFileManage::GetInstance();
    const std::string updateDir = root + "update\\";
    CreateDirectoryA((root + "update").c_str(), nullptr);
    double finishTime = 0.0;
    auto update = [&](bool protect) {
        TInstallJob job;
        job.installDir.assign(updateDir.begin(), updateDir.end());
        job.installDir = WithSeparator(CanonicalPath(job.installDir));
        job.rollbackProtection = protect;
        double start = bench::Now();
        const InstallResult r = engine->RunInstall(job).result;
        const double elapsed = bench::Now() - start;
        start = bench::Now();
        engine->FinishRun();
        if (protect)
            finishTime = std::max(finishTime, bench::Now() - start);
        if (r != INSTALL_OK)
            result = r;
        return elapsed;
    };
    update(false);
    std::vector<double> guardedTimes, plainTimes;
    for (int round = 0; round < kUpdateRounds && result == INSTALL_OK; ++round) {
        if (round % 2 == 0) {
            guardedTimes.push_back(update(true));
            plainTimes.push_back(update(false));
        } else {
            plainTimes.push_back(update(false));
            guardedTimes.push_back(update(true));
        }
    }
    if (result != INSTALL_OK) {
        printf("update failed with code %u\n", result);
        return 1;
    }
    // Other work on the machine only ever adds time, and it does so at
    // random: the fastest round of each kind is the closest to its own cost.
    const double guarded = *std::min_element(guardedTimes.begin(), guardedTimes.end());
    const double plain = *std::min_element(plainTimes.begin(), plainTimes.end());
    printf("update with rollback protection: %7.1f ms to the outcome (fastest of %d rounds), "
           "then at most %.1f ms removing the replaced files\n",
           guarded * 1000.0, kUpdateRounds, finishTime * 1000.0);
    printf("update without (files replaced in place): %7.1f ms\n", plain * 1000.0);
    printf("ratio protected / unprotected update: %.2f (target <= 1.15)\n", guarded / plain);

    Clean(root, hadSettings);
    return 0;
}

// `make run` without a display: starts the installer, saves a screenshot of
// its welcome page, installs through the window as a person would, saves a
// screenshot of the finish page and says where the product went.
//
//   qm_run_driver <QuillmossdexSetup.exe> <folder for the screenshots>
#include "installer/services/Product.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupDriver.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

using namespace qmtest;

namespace {

std::string Utf8(const std::wstring& s) {
    if (s.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::wstring FromAnsi(const std::string& s) {
    const std::string text = s.c_str(); // up to the stored terminator
    if (text.empty())
        return std::wstring();
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

int Fail(const char* what) {
    printf("run: %s\n", what);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        printf("usage: qm_run_driver <QuillmossdexSetup.exe> <folder for screenshots>\n");
        return 2;
    }
    const std::wstring setup = argv[1];
    const std::wstring out = argv[2];
    CreateDirectoryW(out.c_str(), nullptr);

    ChildProcess child;
    if (!child.Start(Quote(setup)))
        return Fail("could not start the installer");
    HWND hwnd = WaitForSetupWindow(child.Handle(), child.Pid(), 30000);
    if (!hwnd) {
        // The guard may have refused with a box (another installer running).
        if (HWND box = WaitForProcessDialog(child.Pid(), 0)) {
            printf("run: the installer says: %s\n", Utf8(MessageBoxText(box)).c_str());
            PressDialogButton(box, IDOK);
        }
        return Fail("no installer window appeared");
    }
    Screenshot shot;
    if (!WaitForPage(hwnd, 0, 15000, &shot))
        return Fail("the welcome page did not appear");
    shot.SavePng(out + L"\\welcome.png");
    printf("run: welcome page saved as welcome.png\n");

    ClickAt(hwnd, layout::kInstall.x, layout::kInstall.y);
    // A previous installation of this prefix is asked about first; any other
    // box is a failure to report.
    Screenshot finish;
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND box = WaitForProcessDialog(child.Pid(), 0)) {
            const std::wstring text = MessageBoxText(box);
            const bool question = GetDlgItem(box, IDYES) != nullptr;
            printf("run: the installer asks: %s -> %s\n", Utf8(text).c_str(),
                   question ? "yes" : "ok");
            PressDialogButton(box, question ? IDYES : IDOK);
            if (!question)
                return Fail("the install failed");
            WaitUntil([&] { return !IsWindow(box); }, 5000);
        }
        finish = CaptureWindow(hwnd);
        if (PageShown(finish) == 2)
            break;
        if (!child.Running())
            return Fail("the installer ended before its finish page");
        if (GetTickCount() - start > 120000)
            return Fail("the finish page did not appear within two minutes");
        Sleep(50);
    }
    finish.SavePng(out + L"\\finish.png");
    printf("run: finish page saved as finish.png\n");

    const std::wstring where = FromAnsi(ReadRecordValue("InstallLocation"));
    printf("run: installed into %s\n", Utf8(where).c_str());
    const std::string unix = UnixPath(where);
    if (!unix.empty())
        printf("run: which is %s\n", unix.c_str());
    // The close button, not the finish button: the product's client would
    // otherwise stay running in this headless session.
    ClickAt(hwnd, layout::kCloseBtn.x, layout::kCloseBtn.y);
    if (!child.Wait(15000))
        return Fail("the installer did not end after its close button");
    return 0;
}

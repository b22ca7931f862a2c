// A skinned window whose skin file does not exist: the window base says so in
// a message box and ends the process with exit code 1.
#include "skinui/window/PaintManagerUI.h"
#include "skinui/window/WindowImplBase.h"

#include <windows.h>

namespace {

class FailingWindow : public SkinUI::WindowImplBase {
public:
    SkinUI::CSkinString GetSkinFileName() override { return L"no-such-skin.xml"; }

protected:
    const wchar_t* GetWindowClassName() const override { return L"FailingSkinWindow"; }
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    SkinUI::CPaintManagerUI::SetInstance(instance);
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    SkinUI::CPaintManagerUI::SetResourcePath(folder);
    FailingWindow window;
    window.Create(nullptr, L"failing", WS_POPUP, 0);
    // Reached only if the window base did not end the process.
    return 3;
}

// The preview window: a skinned window built from any skin document.
#pragma once

#include "skinui/window/WindowImplBase.h"

#include <string>

namespace skinview {

class CSkinViewWindow : public SkinUI::WindowImplBase {
public:
    explicit CSkinViewWindow(const std::wstring& skinFile);

    // While shown for a person: Escape closes the window, and title buttons
    // named close/min/max/restore (in any case) work as their names say.
    // Closing the window ends the message loop.
    void SetInteractive(bool interactive) { m_interactive = interactive; }
    // Builds the skin at this scale (percent) instead of the display's; 0
    // follows the display.
    void SetScale(int scale) { m_scale = scale; }
    void InitResource() override;

    SkinUI::CSkinString GetSkinFileName() override;
    LRESULT OnKeyDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinViewWindow"; }

    SKIN_DECLARE_MESSAGE_MAP()

private:
    void OnAnyClick(SkinUI::TNotifyUI& msg);

    std::wstring m_skinFile;
    bool m_interactive = false;
    int m_scale = 0;
};

} // namespace skinview

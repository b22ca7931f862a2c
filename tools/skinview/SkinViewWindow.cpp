// The preview window's few additions to the window base.
#include "tools/skinview/SkinViewWindow.h"

#include "skinui/control/ControlUI.h"

namespace skinview {

SKIN_BEGIN_MESSAGE_MAP(CSkinViewWindow, SkinUI::WindowImplBase)
SKIN_ON_MSGTYPE(L"click", &CSkinViewWindow::OnAnyClick)
SKIN_END_MESSAGE_MAP()

CSkinViewWindow::CSkinViewWindow(const std::wstring& skinFile) : m_skinFile(skinFile) {
}

SkinUI::CSkinString CSkinViewWindow::GetSkinFileName() {
    return SkinUI::CSkinString(m_skinFile.c_str());
}

// Takes every click before the window base's row does.
void CSkinViewWindow::OnAnyClick(SkinUI::TNotifyUI& msg) {
    if (!m_interactive || msg.sender == nullptr) {
        OnClick(msg);
        return;
    }
    // Skins from elsewhere spell their title buttons in any case ("closebtn",
    // "CloseBtn"); a preview should work with all of them.
    const SkinUI::CSkinString name = msg.sender->GetName();
    if (name.CompareNoCase(SkinUI::kCloseButton) == 0)
        Close(IDOK);
    else if (name.CompareNoCase(SkinUI::kMinimizeButton) == 0)
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name.CompareNoCase(SkinUI::kMaximizeButton) == 0)
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name.CompareNoCase(SkinUI::kRestoreButton) == 0)
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
}

// Runs after the paint manager took the display's scale and before the skin
// is built, so the window size and everything else come out at this scale.
void CSkinViewWindow::InitResource() {
    if (m_scale > 0)
        m_pm.SetScale(m_scale);
}

LRESULT CSkinViewWindow::OnKeyDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (m_interactive && wParam == VK_ESCAPE) {
        Close(IDCANCEL);
        return 0;
    }
    return WindowImplBase::OnKeyDown(msg, wParam, lParam, handled);
}

LRESULT CSkinViewWindow::OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (m_interactive)
        PostQuitMessage(0);
    return WindowImplBase::OnDestroy(msg, wParam, lParam, handled);
}

} // namespace skinview

#include "payload/client/ClientWindow.h"

#include "skinui/control/ControlUI.h"

SKIN_BEGIN_MESSAGE_MAP(CClientWindow, SkinUI::WindowImplBase)
SKIN_ON_CLICK_CTRNAME(L"quit", &CClientWindow::OnQuit)
SKIN_END_MESSAGE_MAP()

CClientWindow::CClientWindow(std::wstring version, std::wstring installDir)
    : m_version(std::move(version)), m_installDir(std::move(installDir)) {
}

void CClientWindow::InitWindow() {
    if (SkinUI::CControlUI* version = m_pm.FindControl(L"version"))
        version->SetText(m_version.c_str());
    if (SkinUI::CControlUI* dir = m_pm.FindControl(L"installdir")) {
        dir->SetText(m_installDir.c_str());
        // A long path is cut at the label's edge; the tooltip shows it whole.
        dir->SetToolTip(m_installDir.c_str());
    }
}

void CClientWindow::OnQuit(SkinUI::TNotifyUI& /*msg*/) {
    Close(IDOK);
}

LRESULT CClientWindow::OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    // The window is the whole program: closing it, from the button or from
    // outside (the uninstaller, the taskbar), ends the message loop.
    LRESULT result = WindowImplBase::OnDestroy(msg, wParam, lParam, handled);
    ::PostQuitMessage(0);
    return result;
}

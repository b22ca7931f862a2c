// The paint manager's display scale: taken from the window when the manager
// binds to it, and again whenever the window moves to a display of another
// density (WM_DPICHANGED).
#include "skinui/window/PaintManagerUI.h"

#include "skinui/control/ControlUI.h"

namespace SkinUI {

void CPaintManagerUI::SetDPI(int dpi) {
    CDPI wanted;
    wanted.SetDPI(dpi);
    SetScale(wanted.GetScale());
}

void CPaintManagerUI::SetScale(int scale) {
    CDPI wanted;
    wanted.SetScale(scale);
    if (wanted.GetScale() == m_resources.GetDPIObj()->GetScale())
        return;
    m_resources.GetDPIObj()->SetScale(wanted.GetScale());

    // Descriptions hold rectangles and image names of the old scale, and the
    // images are the old scale's artwork: both are made again on the next
    // paint. Shared images stay; their names carry their scale.
    m_resources.RemoveAllDrawInfos();
    m_resources.RemoveAllImages();
    CStdPtrArray retired;
    m_resources.RescaleFonts(&retired);

    // Lay the tree out at once rather than at the next paint, so that
    // controls holding a font (the native edit) take the new one before the
    // old one is deleted.
    if (m_pRoot != nullptr) {
        m_pRoot->NeedUpdate();
        m_bUpdateNeeded = true;
        RECT client = {0, 0, 0, 0};
        if (m_hWndPaint != nullptr)
            GetClientRect(m_hWndPaint, &client);
        if (!IsRectEmpty(&client) && !IsIconic(m_hWndPaint)) {
            ReleaseOffscreen();
            m_pRoot->SetPos(client, true);
        }
    }
    for (int i = 0; i < retired.GetSize(); ++i) {
        CGdiObject<HFONT> gone(static_cast<HFONT>(retired[i]));
    }
    if (m_hWndPaint != nullptr)
        InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

bool CPaintManagerUI::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    // Both halves carry the same value; the vertical one is the one fonts use.
    SetDPI(HIWORD(wParam));
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested != nullptr && m_hWndPaint != nullptr)
        SetWindowPos(m_hWndPaint, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

} // namespace SkinUI

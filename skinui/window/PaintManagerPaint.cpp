// The painting pass of the paint manager: layout of what needs it, the
// "windowinit" and "windowsize" notifications, painting the tree through one
// off-screen bitmap, invalidation, WM_PRINTCLIENT and tooltips.
#include "skinui/window/PaintManagerUI.h"

#include "skinui/core/SystemLibrary.h"

#include "skinui/control/ContainerUI.h"
#include "skinui/control/ControlUI.h"
#include "skinui/render/RenderEngine.h"

namespace SkinUI {

namespace {

// Collects the controls that asked for a layout. A container answers itself,
// so the search skips its children (its own layout places them) and goes on
// with its siblings; a leaf answers nothing, so that every flagged control is
// collected in one pass.
CControlUI* CALLBACK FindControlsFromUpdate(CControlUI* control, LPVOID data) {
    if (!control->IsUpdateNeeded())
        return nullptr;
    static_cast<CStdPtrArray*>(data)->Add(control);
    return control->GetInterface(L"IContainer") != nullptr ? control : nullptr;
}

// Lays one control out again where it is. A floating control is placed by its
// container from its fixed offset, which may be what changed.
void RelayoutControl(CPaintManagerUI* manager, CControlUI* control) {
    CControlUI* parent = control->GetParent();
    CContainerUI* container = parent != nullptr
                                  ? static_cast<CContainerUI*>(parent->GetInterface(L"Container"))
                                  : nullptr;
    if (control->IsFloat() && container != nullptr) {
        RECT old = control->GetPos();
        container->SetFloatPos(container->GetItemIndex(control));
        manager->Invalidate(old);
        control->Invalidate();
        return;
    }
    control->SetPos(control->GetPos(), true);
}

} // namespace

// =============================================================================
// Painting
// =============================================================================

void CPaintManagerUI::OnPaint() {
    RECT update = {0, 0, 0, 0};
    if (!GetUpdateRect(m_hWndPaint, &update, FALSE))
        return;
    if (m_pRoot == nullptr) {
        PAINTSTRUCT ps;
        BeginPaint(m_hWndPaint, &ps);
        EndPaint(m_hWndPaint, &ps);
        return;
    }

    RECT client = {0, 0, 0, 0};
    GetClientRect(m_hWndPaint, &client);
    m_bIsPainting = true;
    bool sizeNotify = false;

    // ---- layout ------------------------------------------------------------
    if (m_bUpdateNeeded) {
        m_bUpdateNeeded = false;
        if (!IsRectEmpty(&client) && !IsIconic(m_hWndPaint)) {
            if (m_pRoot->IsUpdateNeeded()) {
                ReleaseOffscreen();
                m_pRoot->SetPos(client, true);
                sizeNotify = true;
            } else {
                m_aFoundControls.Empty();
                m_pRoot->FindControl(FindControlsFromUpdate, &m_aFoundControls,
                                     FindVisible | FindUpdateTest | FindMeFirst);
                CStdPtrArray found = m_aFoundControls;
                for (int i = 0; i < found.GetSize(); ++i)
                    RelayoutControl(this, static_cast<CControlUI*>(found[i]));
            }
            if (m_bFirstLayout) {
                m_bFirstLayout = false;
                SendNotify(m_pRoot, NotifyWindowInit, 0, 0, false);
            }
        }
    }
    if (m_bFocusNeeded)
        SetNextTabControl(true);

    // ---- paint -------------------------------------------------------------
    PAINTSTRUCT ps;
    if (m_bOffscreenPaint && !m_offscreenDC) {
        m_offscreenDC.Reset(CreateCompatibleDC(m_paintDC.Get()));
        m_offscreenBitmap.Reset(
            CRenderEngine::CreateARGB32Bitmap(m_paintDC.Get(), client.right - client.left,
                                              client.bottom - client.top, &m_pOffscreenBits));
        if (!m_offscreenDC || !m_offscreenBitmap)
            ReleaseOffscreen();
    }
    BeginPaint(m_hWndPaint, &ps);
    const RECT& rcPaint = ps.rcPaint;
    if (m_bOffscreenPaint && m_offscreenDC) {
        const HDC offscreen = m_offscreenDC.Get();
        CSelectObject bitmap(offscreen, m_offscreenBitmap.Get());
        const int saved = SaveDC(offscreen);
        IntersectClipRect(offscreen, rcPaint.left, rcPaint.top, rcPaint.right, rcPaint.bottom);
        m_pRoot->DoPaint(offscreen, rcPaint);
        for (int i = 0; i < m_aPostPaintControls.GetSize(); ++i)
            static_cast<CControlUI*>(m_aPostPaintControls[i])->DoPostPaint(offscreen, rcPaint);
        PaintFocusRing(offscreen);
        RestoreDC(offscreen, saved);
        BitBlt(ps.hdc, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left,
               rcPaint.bottom - rcPaint.top, offscreen, rcPaint.left, rcPaint.top, SRCCOPY);
    } else {
        // Without an off-screen bitmap (turned off, or it could not be made)
        // the tree paints straight into the window.
        const int saved = SaveDC(ps.hdc);
        m_pRoot->DoPaint(ps.hdc, rcPaint);
        for (int i = 0; i < m_aPostPaintControls.GetSize(); ++i)
            static_cast<CControlUI*>(m_aPostPaintControls[i])->DoPostPaint(ps.hdc, rcPaint);
        PaintFocusRing(ps.hdc);
        RestoreDC(ps.hdc, saved);
    }
    if (m_bShowUpdateRect)
        CRenderEngine::DrawRect(ps.hdc, rcPaint, 1, 0xFFFF0000);
    EndPaint(m_hWndPaint, &ps);

    if (m_bUpdateNeeded)
        InvalidateRect(m_hWndPaint, nullptr, FALSE);
    m_bIsPainting = false;
    if (sizeNotify && m_pRoot != nullptr)
        SendNotify(m_pRoot, NotifyWindowSize, 0, 0, true);
}

void CPaintManagerUI::OnPrintClient(HDC hDC, LPARAM lParam) {
    if (m_pRoot == nullptr || hDC == nullptr)
        return;
    RECT client;
    GetClientRect(m_hWndPaint, &client);
    const int saved = SaveDC(hDC);
    m_pRoot->DoPaint(hDC, client);
    PaintFocusRing(hDC);
    if ((lParam & PRF_CHILDREN) != 0) {
        for (HWND child = GetWindow(m_hWndPaint, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rc;
            GetWindowRect(child, &rc);
            MapWindowPoints(HWND_DESKTOP, m_hWndPaint, reinterpret_cast<POINT*>(&rc), 2);
            SetWindowOrgEx(hDC, -rc.left, -rc.top, nullptr);
            SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(hDC), lParam | PRF_NONCLIENT);
        }
    }
    RestoreDC(hDC, saved);
}

void CPaintManagerUI::ReleaseOffscreen() {
    m_offscreenDC.Reset();
    m_offscreenBitmap.Reset();
    m_pOffscreenBits = nullptr;
}

// =============================================================================
// Invalidation
// =============================================================================

void CPaintManagerUI::Invalidate() {
    if (m_hWndPaint == nullptr)
        return;
    RECT client;
    GetClientRect(m_hWndPaint, &client);
    UnionRect(&m_rcLayeredUpdate, &m_rcLayeredUpdate, &client);
    InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(RECT& rcItem) {
    RECT rc = rcItem;
    if (rc.left < 0)
        rc.left = 0;
    if (rc.top < 0)
        rc.top = 0;
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    UnionRect(&m_rcLayeredUpdate, &m_rcLayeredUpdate, &rc);
    if (m_hWndPaint != nullptr)
        InvalidateRect(m_hWndPaint, &rc, FALSE);
}

// =============================================================================
// Tooltips
// =============================================================================

void CPaintManagerUI::ShowToolTip(CControlUI* control) {
    const CSkinString tip = control->GetToolTip();
    if (tip.IsEmpty())
        return;
    m_ToolTip = TOOLINFOW();
    m_ToolTip.cbSize = sizeof(TOOLINFOW);
    m_ToolTip.uFlags = TTF_IDISHWND;
    m_ToolTip.hwnd = m_hWndPaint;
    m_ToolTip.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
    m_ToolTip.hinst = CSkinSource::GetInstance();
    // The tooltip copies the text on every message that passes it.
    m_ToolTip.lpszText = const_cast<wchar_t*>(tip.GetData());
    m_ToolTip.rect = control->GetPos();
    if (m_hwndTooltip == nullptr) {
        // The tooltip class comes from the common controls, which are not a
        // KnownDLL: loaded from the system directory only, and only when the
        // first tooltip is due, so a window without tooltips never pays for
        // loading them at start-up.
        using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        if (auto init = SystemProc<InitFn>(L"comctl32.dll", "InitCommonControlsEx")) {
            INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
            init(&icc);
        }
        m_hwndTooltip =
            CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint,
                            nullptr, CSkinSource::GetInstance(), nullptr);
        if (m_hwndTooltip != nullptr) {
            SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_ToolTip));
            SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, control->GetToolTipWidth());
        }
    }
    if (m_hwndTooltip != nullptr && !IsWindowVisible(m_hwndTooltip)) {
        SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&m_ToolTip));
        SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_ToolTip));
    }
    m_ToolTip.lpszText = nullptr;
}

void CPaintManagerUI::HideToolTip() {
    if (m_hwndTooltip != nullptr)
        SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_ToolTip));
}

} // namespace SkinUI

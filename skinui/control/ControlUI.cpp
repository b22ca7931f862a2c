// The control base: state, geometry, update requests, events and painting.
// The attribute table lives in ControlAttributes.cpp.
#include "skinui/control/ControlUI.h"

#include "skinui/render/RenderClip.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/control/ControlHost.h"
#include "skinui/render/SkinResources.h"

#include <cwchar>

namespace SkinUI {

// =============================================================================
// Construction
// =============================================================================

CControlUI::CControlUI() : m_mCustomAttrHash(83) {
}

CControlUI::~CControlUI() {
    OnDestroy(this);
    RemoveAllCustomAttribute();
    if (m_pManager != nullptr)
        m_pManager->ReapObjects(this);
}

// =============================================================================
// Identity
// =============================================================================

CSkinString CControlUI::GetName() const {
    return m_sName;
}

void CControlUI::SetName(const wchar_t* name) {
    m_sName = name != nullptr ? name : L"";
}

const wchar_t* CControlUI::GetClass() const {
    return L"ControlUI";
}

void* CControlUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"Control") == 0)
        return this;
    return nullptr;
}

UINT CControlUI::GetControlFlags() const {
    return 0;
}

bool CControlUI::Activate() {
    return IsVisible() && IsEnabled();
}

// =============================================================================
// Tree links
// =============================================================================

CSkinResources* CControlUI::Resources() const {
    return m_pManager != nullptr ? m_pManager->GetResources() : nullptr;
}

IControlHost* CControlUI::GetManager() const {
    return m_pManager;
}

void CControlUI::SetManager(IControlHost* manager, CControlUI* parent, bool init) {
    m_pManager = manager;
    m_pParent = parent;
    if (init && m_pParent != nullptr)
        Init();
}

CControlUI* CControlUI::GetParent() const {
    return m_pParent;
}

// =============================================================================
// Text
// =============================================================================

CSkinString CControlUI::GetText() const {
    return m_sText;
}

void CControlUI::SetText(const wchar_t* text) {
    if (text == nullptr)
        text = L"";
    if (m_sText == text)
        return;
    m_sText = text;
    Invalidate();
    if (m_pManager != nullptr)
        m_pManager->NotifyAccessibleChange(this, EVENT_OBJECT_NAMECHANGE);
}

bool CControlUI::IsResourceText() const {
    return m_bResourceText;
}

void CControlUI::SetResourceText(bool resource) {
    if (m_bResourceText == resource)
        return;
    m_bResourceText = resource;
    Invalidate();
}

bool CControlUI::IsDragEnabled() const {
    return m_bDragEnabled;
}

void CControlUI::SetDragEnable(bool enable) {
    m_bDragEnabled = enable;
}

bool CControlUI::IsDropEnabled() const {
    return m_bDropEnabled;
}

void CControlUI::SetDropEnable(bool enable) {
    m_bDropEnabled = enable;
}

// =============================================================================
// Geometry
// =============================================================================

RECT CControlUI::GetRelativePos() const {
    if (m_pParent == nullptr)
        return RECT{0, 0, 0, 0};
    const RECT& parent = m_pParent->GetPos();
    RECT rc = m_rcItem;
    OffsetRect(&rc, -parent.left, -parent.top);
    return rc;
}

RECT CControlUI::GetClientPos() const {
    return m_rcItem;
}

const RECT& CControlUI::GetPos() const {
    return m_rcItem;
}

void CControlUI::SetPos(RECT rc, bool needInvalidate) {
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;

    CSkinRect invalidateRc = m_rcItem;
    if (IsRectEmpty(&invalidateRc))
        invalidateRc = rc;
    m_rcItem = rc;
    if (m_pManager == nullptr)
        return;

    if (!m_bSetPos) {
        m_bSetPos = true;
        OnSize(this);
        m_bSetPos = false;
    }
    m_bUpdateNeeded = false;

    if (needInvalidate && IsVisible()) {
        invalidateRc.Join(m_rcItem);
        for (CControlUI* parent = GetParent(); parent != nullptr; parent = parent->GetParent()) {
            if (!parent->IsVisible())
                return;
            const RECT parentRc = parent->GetPos();
            if (!IntersectRect(&invalidateRc, &invalidateRc, &parentRc))
                return;
        }
        m_pManager->Invalidate(invalidateRc);
    }
}

void CControlUI::Move(SIZE offset, bool needInvalidate) {
    m_cXY.cx += offset.cx;
    m_cXY.cy += offset.cy;
    // The item rectangle moves with the offset too; otherwise the control
    // would stay where it is until its container lays it out again.
    RECT rc = m_rcItem;
    OffsetRect(&rc, Scale(offset.cx), Scale(offset.cy));
    SetPos(rc, needInvalidate);
}

int CControlUI::GetWidth() const {
    return m_rcItem.right - m_rcItem.left;
}

int CControlUI::GetHeight() const {
    return m_rcItem.bottom - m_rcItem.top;
}

int CControlUI::GetX() const {
    return m_rcItem.left;
}

int CControlUI::GetY() const {
    return m_rcItem.top;
}

RECT CControlUI::GetPadding() const {
    // Margins are four independent lengths, so each one is scaled on its own.
    return RECT{Scale(m_rcPadding.left), Scale(m_rcPadding.top), Scale(m_rcPadding.right),
                Scale(m_rcPadding.bottom)};
}

void CControlUI::SetPadding(RECT padding) {
    m_rcPadding = padding;
    NeedParentUpdate();
}

SIZE CControlUI::GetFixedXY() const {
    return SIZE{Scale(m_cXY.cx), Scale(m_cXY.cy)};
}

void CControlUI::SetFixedXY(SIZE xy) {
    m_cXY = xy;
    if (m_bFloat)
        NeedUpdate();
    else
        NeedParentUpdate();
}

// =============================================================================
// Size constraints
// =============================================================================

namespace {

// Every size setter ends the same way: a floating control is placed on its
// own, any other one through its parent's layout.
void RequestLayout(CControlUI* control) {
    if (control->IsFloat())
        control->NeedUpdate();
    else
        control->NeedParentUpdate();
}

} // namespace

int CControlUI::GetFixedWidth() const {
    return Scale(m_cxyFixed.cx);
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    RequestLayout(this);
}

int CControlUI::GetFixedHeight() const {
    return Scale(m_cxyFixed.cy);
}

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    RequestLayout(this);
}

int CControlUI::GetMinWidth() const {
    return Scale(m_cxyMin.cx);
}

void CControlUI::SetMinWidth(int cx) {
    if (m_cxyMin.cx == cx || cx < 0)
        return;
    m_cxyMin.cx = cx;
    RequestLayout(this);
}

int CControlUI::GetMaxWidth() const {
    return Scale(m_cxyMax.cx);
}

void CControlUI::SetMaxWidth(int cx) {
    if (m_cxyMax.cx == cx || cx < 0)
        return;
    m_cxyMax.cx = cx;
    RequestLayout(this);
}

int CControlUI::GetMinHeight() const {
    return Scale(m_cxyMin.cy);
}

void CControlUI::SetMinHeight(int cy) {
    if (m_cxyMin.cy == cy || cy < 0)
        return;
    m_cxyMin.cy = cy;
    RequestLayout(this);
}

int CControlUI::GetMaxHeight() const {
    return Scale(m_cxyMax.cy);
}

void CControlUI::SetMaxHeight(int cy) {
    if (m_cxyMax.cy == cy || cy < 0)
        return;
    m_cxyMax.cy = cy;
    RequestLayout(this);
}

TPercentInfo CControlUI::GetFloatPercent() const {
    return m_piFloatPercent;
}

void CControlUI::SetFloatPercent(TPercentInfo percent) {
    m_piFloatPercent = percent;
    NeedParentUpdate();
}

// =============================================================================
// Tooltip, cursor, shortcut, context menu
// =============================================================================

CSkinString CControlUI::GetToolTip() const {
    return m_sToolTip;
}

void CControlUI::SetToolTip(const wchar_t* text) {
    CSkinString tip = text != nullptr ? text : L"";
    tip.Replace(L"<n>", L"\r\n");
    m_sToolTip = tip;
}

void CControlUI::SetAccessibleName(const wchar_t* name) {
    m_sAccName = name != nullptr ? name : L"";
    if (m_pManager != nullptr)
        m_pManager->NotifyAccessibleChange(this, EVENT_OBJECT_NAMECHANGE);
}

void CControlUI::SetToolTipWidth(int width) {
    m_nTooltipWidth = width;
}

int CControlUI::GetToolTipWidth() const {
    return Scale(m_nTooltipWidth);
}

WORD CControlUI::GetCursor() const {
    return m_wCursor;
}

void CControlUI::SetCursor(WORD cursor) {
    m_wCursor = cursor;
    Invalidate();
}

wchar_t CControlUI::GetShortcut() const {
    return m_chShortcut;
}

void CControlUI::SetShortcut(wchar_t ch) {
    m_chShortcut = ch;
}

bool CControlUI::IsContextMenuUsed() const {
    return m_bMenuUsed;
}

void CControlUI::SetContextMenuUsed(bool menuUsed) {
    m_bMenuUsed = menuUsed;
}

// =============================================================================
// User data
// =============================================================================

const CSkinString& CControlUI::GetUserData() const {
    return m_sUserData;
}

void CControlUI::SetUserData(const wchar_t* text) {
    m_sUserData = text != nullptr ? text : L"";
}

UINT_PTR CControlUI::GetTag() const {
    return m_pTag;
}

void CControlUI::SetTag(UINT_PTR tag) {
    m_pTag = tag;
}

// =============================================================================
// State
// =============================================================================

bool CControlUI::IsVisible() const {
    return m_bVisible && m_bInternVisible;
}

void CControlUI::SetVisible(bool visible) {
    if (m_bVisible == visible)
        return;
    const bool wasVisible = IsVisible();
    m_bVisible = visible;
    m_bFocused = false;
    if (!visible && m_pManager != nullptr && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(nullptr);
    if (IsVisible() != wasVisible)
        NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
    m_bInternVisible = visible;
    if (!visible && m_pManager != nullptr && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(nullptr);
}

bool CControlUI::IsEnabled() const {
    return m_bEnabled;
}

void CControlUI::SetEnabled(bool enable) {
    if (m_bEnabled == enable)
        return;
    m_bEnabled = enable;
    Invalidate();
    if (m_pManager != nullptr)
        m_pManager->NotifyAccessibleChange(this, EVENT_OBJECT_STATECHANGE);
}

bool CControlUI::IsMouseEnabled() const {
    return m_bMouseEnabled;
}

void CControlUI::SetMouseEnabled(bool enable) {
    m_bMouseEnabled = enable;
}

bool CControlUI::IsKeyboardEnabled() const {
    return m_bKeyboardEnabled;
}

void CControlUI::SetKeyboardEnabled(bool enable) {
    m_bKeyboardEnabled = enable;
}

bool CControlUI::IsFocused() const {
    return m_bFocused;
}

void CControlUI::SetFocus() {
    if (m_pManager != nullptr)
        m_pManager->SetFocus(this);
}

bool CControlUI::IsFloat() const {
    return m_bFloat;
}

void CControlUI::SetFloat(bool isFloat) {
    if (m_bFloat == isFloat)
        return;
    m_bFloat = isFloat;
    NeedParentUpdate();
}

// =============================================================================
// Search
// =============================================================================

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if ((flags & FindVisible) != 0 && !IsVisible())
        return nullptr;
    if ((flags & FindEnabled) != 0 && !IsEnabled())
        return nullptr;
    if ((flags & FindHitTest) != 0 &&
        (!m_bMouseEnabled || !PtInRect(&m_rcItem, *static_cast<const POINT*>(data))))
        return nullptr;
    return proc(this, data);
}

// =============================================================================
// Life cycle and events
// =============================================================================

void CControlUI::Init() {
    DoInit();
    OnInit(this);
}

void CControlUI::DoInit() {
}

void CControlUI::Event(TEventUI& event) {
    if (OnEvent(&event))
        DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.type) {
    case EventSetCursor:
        ::SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(m_wCursor != 0 ? m_wCursor : 32512)));
        return;
    case EventSetFocus:
        m_bFocused = true;
        Invalidate();
        return;
    case EventKillFocus:
        m_bFocused = false;
        Invalidate();
        return;
    case EventTimer:
        if (m_pManager != nullptr)
            m_pManager->SendNotify(this, NotifyTimer, event.wParam, event.lParam);
        return;
    case EventContextMenu:
        if (IsContextMenuUsed()) {
            if (m_pManager != nullptr)
                m_pManager->SendNotify(this, NotifyMenu, event.wParam, event.lParam);
            return;
        }
        break;
    default:
        break;
    }
    if (m_pParent != nullptr)
        m_pParent->DoEvent(event);
}

SIZE CControlUI::EstimateSize(SIZE /*available*/) {
    return SIZE{GetFixedWidth(), GetFixedHeight()};
}

// =============================================================================
// Painting
// =============================================================================

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    if (!IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem))
        return;

    const SIZE round = GetBorderRound();
    CRenderClip roundClip;
    if (round.cx > 0 || round.cy > 0)
        CRenderClip::GenerateRoundClip(hDC, m_rcPaint, m_rcItem, round.cx, round.cy, roundClip);

    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintForeColor(hDC);
    PaintForeImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
}

void CControlUI::PaintBkColor(HDC hDC) {
    if (m_dwBackColor == 0)
        return;
    if (m_dwBackColor2 == 0) {
        // An opaque colour covers whatever was below, so only the part being
        // painted needs it; a translucent one must blend over the whole item
        // to look the same whatever part is repainted.
        const bool opaque = (m_dwBackColor & 0xFF000000) == 0xFF000000;
        CRenderEngine::DrawColor(hDC, opaque ? m_rcPaint : m_rcItem, GetAdjustColor(m_dwBackColor));
        return;
    }
    if (m_dwBackColor3 != 0) {
        RECT rc = m_rcItem;
        rc.bottom = (m_rcItem.top + m_rcItem.bottom) / 2;
        CRenderEngine::DrawGradient(hDC, rc, GetAdjustColor(m_dwBackColor),
                                    GetAdjustColor(m_dwBackColor2), true, 8);
        rc.top = rc.bottom;
        rc.bottom = m_rcItem.bottom;
        CRenderEngine::DrawGradient(hDC, rc, GetAdjustColor(m_dwBackColor2),
                                    GetAdjustColor(m_dwBackColor3), true, 8);
        return;
    }
    CRenderEngine::DrawGradient(hDC, m_rcItem, GetAdjustColor(m_dwBackColor),
                                GetAdjustColor(m_dwBackColor2), true, 16);
}

void CControlUI::PaintBkImage(HDC hDC) {
    if (!m_sBkImage.IsEmpty())
        DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC /*hDC*/) {
}

void CControlUI::PaintForeColor(HDC hDC) {
    CRenderEngine::DrawColor(hDC, m_rcItem, GetAdjustColor(m_dwForeColor));
}

void CControlUI::PaintForeImage(HDC hDC) {
    if (!m_sForeImage.IsEmpty())
        DrawImage(hDC, m_sForeImage);
}

void CControlUI::PaintText(HDC /*hDC*/) {
}

void CControlUI::PaintBorder(HDC hDC) {
    if (m_dwBorderColor == 0 && m_dwFocusBorderColor == 0)
        return;
    const int size = GetBorderSize();
    const SIZE round = GetBorderRound();
    const bool focusColor = IsFocused() && m_dwFocusBorderColor != 0;

    if (size > 0 && (round.cx > 0 || round.cy > 0)) {
        const DWORD color = focusColor ? m_dwFocusBorderColor : m_dwBorderColor;
        CRenderEngine::DrawRoundRect(hDC, m_rcItem, size, round.cx, round.cy, GetAdjustColor(color),
                                     m_nBorderStyle);
        return;
    }
    if (focusColor && size > 0) {
        CRenderEngine::DrawRect(hDC, m_rcItem, size, GetAdjustColor(m_dwFocusBorderColor),
                                m_nBorderStyle);
        return;
    }
    const RECT sides = {GetLeftBorderSize(), GetTopBorderSize(), GetRightBorderSize(),
                        GetBottomBorderSize()};
    if (sides.left > 0 || sides.top > 0 || sides.right > 0 || sides.bottom > 0) {
        const DWORD color = GetAdjustColor(m_dwBorderColor);
        const RECT& rc = m_rcItem;
        if (sides.left > 0)
            CRenderEngine::DrawLine(hDC, RECT{rc.left, rc.top, rc.left, rc.bottom}, sides.left,
                                    color, m_nBorderStyle);
        if (sides.top > 0)
            CRenderEngine::DrawLine(hDC, RECT{rc.left, rc.top, rc.right, rc.top}, sides.top, color,
                                    m_nBorderStyle);
        if (sides.right > 0)
            CRenderEngine::DrawLine(hDC, RECT{rc.right - 1, rc.top, rc.right - 1, rc.bottom},
                                    sides.right, color, m_nBorderStyle);
        if (sides.bottom > 0)
            CRenderEngine::DrawLine(hDC, RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom - 1},
                                    sides.bottom, color, m_nBorderStyle);
        return;
    }
    if (size > 0)
        CRenderEngine::DrawRect(hDC, m_rcItem, size, GetAdjustColor(m_dwBorderColor),
                                m_nBorderStyle);
}

void CControlUI::DoPostPaint(HDC /*hDC*/, const RECT& /*rcPaint*/) {
}

bool CControlUI::DrawImage(HDC hDC, const wchar_t* image, const wchar_t* modify) {
    return CRenderEngine::DrawImageString(hDC, Resources(), m_rcItem, m_rcPaint, image, modify,
                                          m_instance);
}

// =============================================================================
// Colours, images and border
// =============================================================================

void CControlUI::SetBkColor(DWORD color) {
    if (m_dwBackColor == color)
        return;
    m_dwBackColor = color;
    Invalidate();
}

void CControlUI::SetBkColor2(DWORD color) {
    if (m_dwBackColor2 == color)
        return;
    m_dwBackColor2 = color;
    Invalidate();
}

void CControlUI::SetBkColor3(DWORD color) {
    if (m_dwBackColor3 == color)
        return;
    m_dwBackColor3 = color;
    Invalidate();
}

void CControlUI::SetForeColor(DWORD color) {
    if (m_dwForeColor == color)
        return;
    m_dwForeColor = color;
    Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) {
    if (image == nullptr)
        image = L"";
    if (m_sBkImage == image)
        return;
    if (m_pManager != nullptr && *image != L'\0')
        Resources()->RemoveImage(image);
    m_sBkImage = image;
    Invalidate();
}

void CControlUI::SetForeImage(const wchar_t* image) {
    StoreImage(m_sForeImage, image);
}

void CControlUI::StoreImage(CSkinString& field, const wchar_t* image) {
    if (image == nullptr)
        image = L"";
    if (field == image)
        return;
    field = image;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD color) {
    if (m_dwBorderColor == color)
        return;
    m_dwBorderColor = color;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD color) {
    if (m_dwFocusBorderColor == color)
        return;
    m_dwFocusBorderColor = color;
    Invalidate();
}

void CControlUI::SetColorHSL(bool colorHSL) {
    if (m_bColorHSL == colorHSL)
        return;
    m_bColorHSL = colorHSL;
    Invalidate();
}

DWORD CControlUI::GetAdjustColor(DWORD color) const {
    if (!m_bColorHSL)
        return color;
    short H = 180, S = 100, L = 100;
    CSkinResources::GetHSL(&H, &S, &L);
    return CRenderEngine::AdjustColor(color, H, S, L);
}

int CControlUI::GetBorderSize() const {
    return Scale(m_nBorderSize);
}

void CControlUI::SetBorderSize(int size) {
    if (m_nBorderSize == size && IsRectEmpty(&m_rcBorderSize))
        return;
    m_nBorderSize = size;
    SetRectEmpty(&m_rcBorderSize);
    Invalidate();
}

void CControlUI::SetBorderSize(RECT rc) {
    m_rcBorderSize = rc;
    Invalidate();
}

int CControlUI::GetLeftBorderSize() const {
    return Scale(m_rcBorderSize.left);
}

void CControlUI::SetLeftBorderSize(int size) {
    m_rcBorderSize.left = size;
    Invalidate();
}

int CControlUI::GetTopBorderSize() const {
    return Scale(m_rcBorderSize.top);
}

void CControlUI::SetTopBorderSize(int size) {
    m_rcBorderSize.top = size;
    Invalidate();
}

int CControlUI::GetRightBorderSize() const {
    return Scale(m_rcBorderSize.right);
}

void CControlUI::SetRightBorderSize(int size) {
    m_rcBorderSize.right = size;
    Invalidate();
}

int CControlUI::GetBottomBorderSize() const {
    return Scale(m_rcBorderSize.bottom);
}

void CControlUI::SetBottomBorderSize(int size) {
    m_rcBorderSize.bottom = size;
    Invalidate();
}

void CControlUI::SetBorderStyle(int style) {
    m_nBorderStyle = style;
    Invalidate();
}

SIZE CControlUI::GetBorderRound() const {
    return SIZE{Scale(m_cxyBorderRound.cx), Scale(m_cxyBorderRound.cy)};
}

void CControlUI::SetBorderRound(SIZE round) {
    m_cxyBorderRound = round;
    Invalidate();
}

RECT CControlUI::GetFocusInset() const {
    return RECT{Scale(m_rcFocusInset.left), Scale(m_rcFocusInset.top), Scale(m_rcFocusInset.right),
                Scale(m_rcFocusInset.bottom)};
}

int CControlUI::GetFocusRadius() const {
    return Scale(m_nFocusRadius);
}

void CControlUI::SetFocusShape(RECT inset, int radius) {
    m_rcFocusInset = inset;
    m_nFocusRadius = radius > 0 ? radius : 0;
}

CSkinString CControlUI::GetVirtualWnd() const {
    if (!m_sVirtualWnd.IsEmpty())
        return m_sVirtualWnd;
    return m_pParent != nullptr ? m_pParent->GetVirtualWnd() : CSkinString();
}

void CControlUI::SetVirtualWnd(const wchar_t* value) {
    m_sVirtualWnd = value != nullptr ? value : L"";
    if (m_pManager != nullptr)
        m_pManager->UsedVirtualWnd(true);
}

// =============================================================================
// Timers
// =============================================================================

bool CControlUI::SetTimer(UINT id, UINT elapse) {
    return m_pManager != nullptr && m_pManager->SetTimer(this, id, elapse);
}

bool CControlUI::KillTimer(UINT id) {
    return m_pManager != nullptr && m_pManager->KillTimer(this, id);
}

// =============================================================================
// Update requests
// =============================================================================

void CControlUI::Invalidate() {
    if (!IsVisible())
        return;
    RECT invalidateRc = m_rcItem;
    for (CControlUI* parent = GetParent(); parent != nullptr; parent = parent->GetParent()) {
        const RECT parentRc = parent->GetPos();
        if (!IntersectRect(&invalidateRc, &invalidateRc, &parentRc))
            return;
    }
    if (m_pManager != nullptr)
        m_pManager->Invalidate(invalidateRc);
}

void CControlUI::NeedUpdate() {
    if (!IsVisible())
        return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager != nullptr)
        m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (GetParent() != nullptr) {
        GetParent()->NeedUpdate();
        GetParent()->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_pManager != nullptr)
        m_pManager->NeedUpdate();
}

int CControlUI::Scale(int value) const {
    return m_pManager != nullptr ? Resources()->GetDPIObj()->Scale(value) : value;
}

} // namespace SkinUI

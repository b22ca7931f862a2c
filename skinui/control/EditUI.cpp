// The edit control and its native edit window.
#include "skinui/control/EditUI.h"

#include "skinui/control/AttributeTable.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/render/SkinColor.h"
#include "skinui/control/ControlHost.h"
#include "skinui/render/SkinResources.h"
#include "skinui/core/Handles.h"
#include "skinui/core/WindowWnd.h"

#include <cwchar>
#include <string>

namespace SkinUI {

// =============================================================================
// The native edit window
// =============================================================================

// A superclass of the system "Edit" class placed over the control's text
// area. It deletes itself when its window is gone.
class CEditWnd : public CWindowWnd {
public:
    CEditWnd() = default;

    // Creates the window over the owner's text area and hands it the owner's
    // text, font, limits and state; the keyboard focus goes to it with the
    // whole text selected.
    void Init(CEditUI* owner);
    // The owner's text area in the paint window's client coordinates, clipped
    // by every ancestor; empty when an ancestor hides it.
    RECT CalPos() const;
    // The owner is going away: the window must not reach it any more.
    void DetachOwner() { m_pOwner = nullptr; }

protected:
    const wchar_t* GetWindowClassName() const override { return L"EditWnd"; }
    const wchar_t* GetSuperClassName() const override { return L"Edit"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND window) override;

private:
    // Message numbers the paint manager reflects back to child windows.
    enum : UINT {
        kReflectedCommand = 0x2111,     // WM_COMMAND + 0x2000
        kReflectedColorEdit = 0x2133,   // WM_CTLCOLOREDIT + 0x2000
        kReflectedColorStatic = 0x2138, // WM_CTLCOLORSTATIC + 0x2000
    };

    void OnTextChanged();
    LRESULT OnColor(HDC hDC);

    CEditUI* m_pOwner = nullptr;
    CGdiObject<HBRUSH> m_hBkBrush;
    // Changes made while setting the window up are not the user's.
    bool m_bInit = false;
};

void CEditWnd::Init(CEditUI* owner) {
    m_pOwner = owner;
    IControlHost* manager = owner->GetManager();
    const RECT rcPos = CalPos();
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    const UINT textStyle = owner->GetTextStyle();
    if ((textStyle & DT_CENTER) != 0)
        style |= ES_CENTER;
    else if ((textStyle & DT_RIGHT) != 0)
        style |= ES_RIGHT;
    if (owner->IsPasswordMode())
        style |= ES_PASSWORD;
    if (Create(manager->GetPaintWindow(), nullptr, style, 0, rcPos) == nullptr)
        return;

    HFONT font =
        owner->GetFont() != -1 ? manager->GetResources()->GetFont(owner->GetFont()) : nullptr;
    if (font == nullptr)
        font = manager->GetResources()->GetDefaultFontInfo()->hFont;
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ::SendMessageW(m_hWnd, EM_LIMITTEXT, owner->GetMaxChar(), 0);
    if (owner->IsPasswordMode())
        ::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, owner->GetPasswordChar(), 0);
    SetWindowTextW(m_hWnd, owner->GetText());
    ::SendMessageW(m_hWnd, EM_SETMODIFY, FALSE, 0);
    ::SendMessageW(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    EnableWindow(m_hWnd, owner->IsEnabled() ? TRUE : FALSE);
    ::SendMessageW(m_hWnd, EM_SETREADONLY, owner->IsReadOnly() ? TRUE : FALSE, 0);
    const LONG windowStyle = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, windowStyle | static_cast<LONG>(owner->GetWindowStyls()));
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    int length = GetWindowTextLengthW(m_hWnd);
    if (length == 0)
        length = 1;
    ::SendMessageW(m_hWnd, EM_SETSEL, 0, length);
    m_bInit = true;
}

RECT CEditWnd::CalPos() const {
    // Where the control draws its text, so that the native window opens over
    // it at every scale.
    RECT rcPos = m_pOwner->ScaledTextRect();
    IControlHost* manager = m_pOwner->GetManager();
    const LONG textHeight = manager->GetResources()->GetFontInfo(m_pOwner->GetFont())->tm.tmHeight;
    if (textHeight < rcPos.bottom - rcPos.top) {
        rcPos.top += (rcPos.bottom - rcPos.top - textHeight) / 2;
        rcPos.bottom = rcPos.top + textHeight;
    }
    for (CControlUI* parent = m_pOwner->GetParent(); parent != nullptr;
         parent = parent->GetParent()) {
        if (!parent->IsVisible())
            return RECT{0, 0, 0, 0};
        const RECT rcParent = parent->GetClientPos();
        if (!IntersectRect(&rcPos, &rcPos, &rcParent))
            return RECT{0, 0, 0, 0};
    }
    return rcPos;
}

LRESULT CEditWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KILLFOCUS: {
        const LRESULT result = DefWindowProcW(m_hWnd, msg, wParam, lParam);
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return result;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            if (m_pOwner != nullptr && m_pOwner->GetManager() != nullptr)
                m_pOwner->GetManager()->SendNotify(m_pOwner, NotifyReturn);
            return 0;
        }
        // The move to the next control already happened in the paint
        // manager's pre-translation of this very message.
        if (wParam == VK_TAB)
            return 0;
        break;
    case kReflectedCommand:
        if (HIWORD(wParam) == EN_CHANGE)
            OnTextChanged();
        else if (HIWORD(wParam) == EN_UPDATE)
            InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    case kReflectedColorEdit:
    case kReflectedColorStatic:
        return OnColor(reinterpret_cast<HDC>(wParam));
    default:
        break;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void CEditWnd::OnTextChanged() {
    if (!m_bInit || m_pOwner == nullptr)
        return;
    const int length = GetWindowTextLengthW(m_hWnd) + 1;
    std::wstring text(static_cast<size_t>(length), L'\0');
    const int copied = GetWindowTextW(m_hWnd, &text[0], length);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    // Straight into the field: SetText would write the text back into this
    // window and start over.
    m_pOwner->m_sText = text.c_str();
    if (m_pOwner->GetManager() != nullptr) {
        m_pOwner->GetManager()->SendNotify(m_pOwner, NotifyTextChanged);
        m_pOwner->GetManager()->NotifyAccessibleChange(m_pOwner, EVENT_OBJECT_VALUECHANGE);
    }
}

LRESULT CEditWnd::OnColor(HDC hDC) {
    if (m_pOwner == nullptr || m_pOwner->GetNativeEditBkColor() == 0xFFFFFFFF)
        return 0;
    SetBkMode(hDC, TRANSPARENT);
    DWORD textColor = m_pOwner->GetNativeEditTextColor();
    if (textColor == 0)
        textColor = m_pOwner->GetTextColor();
    ::SetTextColor(hDC, ToColorRef(textColor));
    if (!m_hBkBrush)
        m_hBkBrush.Reset(CreateSolidBrush(ToColorRef(m_pOwner->GetNativeEditBkColor())));
    return reinterpret_cast<LRESULT>(m_hBkBrush.Get());
}

void CEditWnd::OnFinalMessage(HWND /*window*/) {
    if (m_pOwner != nullptr)
        m_pOwner->Invalidate();
    if (m_pOwner != nullptr)
        m_pOwner->m_pWindow = nullptr;
    delete this;
}

// =============================================================================
// Attributes
// =============================================================================

namespace {

using namespace AttributeValue;

struct TEditAttribute {
    const wchar_t* name;
    void (*apply)(CEditUI& edit, const wchar_t* value);
};

const TEditAttribute kEditAttributes[] = {
    {L"readonly", [](CEditUI& e, const wchar_t* v) { e.SetReadOnly(ToBool(v)); }},
    {L"numberonly", [](CEditUI& e, const wchar_t* v) { e.SetNumberOnly(ToBool(v)); }},
    {L"password", [](CEditUI& e, const wchar_t* v) { e.SetPasswordMode(ToBool(v)); }},
    {L"passwordchar", [](CEditUI& e, const wchar_t* v) { e.SetPasswordChar(v[0]); }},
    {L"maxchar", [](CEditUI& e, const wchar_t* v) { e.SetMaxChar(static_cast<UINT>(ToInt(v))); }},
    {L"normalimage", [](CEditUI& e, const wchar_t* v) { e.SetNormalImage(v); }},
    {L"hotimage", [](CEditUI& e, const wchar_t* v) { e.SetHotImage(v); }},
    {L"focusedimage", [](CEditUI& e, const wchar_t* v) { e.SetFocusedImage(v); }},
    {L"disabledimage", [](CEditUI& e, const wchar_t* v) { e.SetDisabledImage(v); }},
    {L"tipvalue", [](CEditUI& e, const wchar_t* v) { e.SetTipValue(v); }},
    {L"tipvaluecolor", [](CEditUI& e, const wchar_t* v) { e.SetTipValueColor(v); }},
    {L"nativetextcolor", [](CEditUI& e, const wchar_t* v) { e.SetNativeEditTextColor(v); }},
    {L"nativebkcolor", [](CEditUI& e, const wchar_t* v) { e.SetNativeEditBkColor(ParseColor(v)); }},
};

} // namespace

// =============================================================================
// Construction and identity
// =============================================================================

CEditUI::CEditUI() {
    m_rcTextPadding = RECT{4, 3, 4, 3};
    m_dwBackColor = 0xFFFFFFFF;
}

CEditUI::~CEditUI() {
    if (m_pWindow == nullptr)
        return;
    // The window must not call back into this control while it goes away.
    // m_pWindow stays set meanwhile, so a focus event that the destruction
    // causes finds the window "open" and does not open another one.
    CEditWnd* window = m_pWindow;
    window->DetachOwner();
    if (IsWindow(window->GetHWND()))
        DestroyWindow(window->GetHWND()); // deletes the object at WM_NCDESTROY
    else
        delete window;
    m_pWindow = nullptr;
}

const wchar_t* CEditUI::GetClass() const {
    return L"EditUI";
}

void* CEditUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"Edit") == 0)
        return this;
    return CLabelUI::GetInterface(name);
}

UINT CEditUI::GetControlFlags() const {
    return IsEnabled() ? (ControlFlagTabStop | ControlFlagSetCursor) : 0;
}

// =============================================================================
// Editing
// =============================================================================

HWND CEditUI::GetNativeEditHWND() const {
    if (m_pWindow == nullptr || !IsWindow(m_pWindow->GetHWND()))
        return nullptr;
    return m_pWindow->GetHWND();
}

void CEditUI::SetText(const wchar_t* text) {
    m_sText = text != nullptr ? text : L"";
    if (HWND native = GetNativeEditHWND())
        SetWindowTextW(native, m_sText);
    Invalidate();
    if (m_pManager != nullptr)
        m_pManager->NotifyAccessibleChange(this, EVENT_OBJECT_VALUECHANGE);
}

void CEditUI::SetMaxChar(UINT count) {
    m_uMaxChar = count;
    if (HWND native = GetNativeEditHWND())
        ::SendMessageW(native, EM_LIMITTEXT, m_uMaxChar, 0);
}

void CEditUI::SetReadOnly(bool readOnly) {
    if (m_bReadOnly == readOnly)
        return;
    m_bReadOnly = readOnly;
    if (HWND native = GetNativeEditHWND())
        ::SendMessageW(native, EM_SETREADONLY, m_bReadOnly ? TRUE : FALSE, 0);
    Invalidate();
}

void CEditUI::SetNumberOnly(bool numberOnly) {
    if (numberOnly)
        m_iWindowStyls |= ES_NUMBER;
    else
        m_iWindowStyls &= ~static_cast<UINT>(ES_NUMBER);
}

bool CEditUI::IsNumberOnly() const {
    return (m_iWindowStyls & ES_NUMBER) != 0;
}

void CEditUI::SetPasswordMode(bool passwordMode) {
    if (m_bPasswordMode == passwordMode)
        return;
    m_bPasswordMode = passwordMode;
    Invalidate();
    if (HWND native = GetNativeEditHWND()) {
        LONG style = GetWindowLongW(native, GWL_STYLE);
        if (m_bPasswordMode)
            style |= ES_PASSWORD;
        else
            style &= ~static_cast<LONG>(ES_PASSWORD);
        SetWindowLongW(native, GWL_STYLE, style);
    }
}

void CEditUI::SetPasswordChar(wchar_t ch) {
    if (m_cPasswordChar == ch)
        return;
    m_cPasswordChar = ch;
    if (HWND native = GetNativeEditHWND())
        ::SendMessageW(native, EM_SETPASSWORDCHAR, m_cPasswordChar, 0);
    Invalidate();
}

void CEditUI::SetSel(long start, long end) {
    if (HWND native = GetNativeEditHWND())
        ::SendMessageW(native, EM_SETSEL, static_cast<WPARAM>(start), end);
}

void CEditUI::SetSelAll() {
    SetSel(0, -1);
}

void CEditUI::SetReplaceSel(const wchar_t* text) {
    if (HWND native = GetNativeEditHWND())
        ::SendMessageW(native, EM_REPLACESEL, FALSE,
                       reinterpret_cast<LPARAM>(text != nullptr ? text : L""));
}

void CEditUI::OpenNativeWindow() {
    m_pWindow = new CEditWnd();
    m_pWindow->Init(this);
}

void CEditUI::SelectAllNative(bool atLeastOne) {
    HWND native = GetNativeEditHWND();
    if (native == nullptr)
        return;
    int length = GetWindowTextLengthW(native);
    if (length == 0 && atLeastOne)
        length = 1;
    ::SendMessageW(native, EM_SETSEL, 0, length);
}

void CEditUI::CloseNativeWindowForHiding() {
    // Taking the keyboard focus back to the paint window makes the native
    // window close itself.
    if (m_pWindow != nullptr && m_pManager != nullptr)
        m_pManager->SetFocus(nullptr);
}

// =============================================================================
// Look
// =============================================================================

void CEditUI::SetNormalImage(const wchar_t* image) {
    StoreImage(m_sNormalImage, image);
}

void CEditUI::SetHotImage(const wchar_t* image) {
    StoreImage(m_sHotImage, image);
}

void CEditUI::SetFocusedImage(const wchar_t* image) {
    StoreImage(m_sFocusedImage, image);
}

void CEditUI::SetDisabledImage(const wchar_t* image) {
    StoreImage(m_sDisabledImage, image);
}

void CEditUI::SetTipValue(const wchar_t* text) {
    m_sTipValue = text != nullptr ? text : L"";
}

void CEditUI::SetTipValueColor(const wchar_t* color) {
    m_dwTipValueColor = ParseColor(color);
}

void CEditUI::SetNativeEditBkColor(DWORD color) {
    m_dwEditbkColor = color;
}

void CEditUI::SetNativeEditTextColor(const wchar_t* color) {
    m_dwEditTextColor = ParseColor(color);
}

// =============================================================================
// Control base overrides
// =============================================================================

void CEditUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    if (HWND native = GetNativeEditHWND()) {
        // A new scale brings a new font: the native window takes it with its
        // new place.
        HFONT font = m_iFont != -1 ? Resources()->GetFont(m_iFont) : nullptr;
        if (font == nullptr)
            font = Resources()->GetDefaultFontInfo()->hFont;
        if (reinterpret_cast<HFONT>(::SendMessageW(native, WM_GETFONT, 0, 0)) != font)
            ::SendMessageW(native, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        const RECT rcPos = m_pWindow->CalPos();
        SetWindowPos(native, nullptr, rcPos.left, rcPos.top, rcPos.right - rcPos.left,
                     rcPos.bottom - rcPos.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CEditUI::Move(SIZE offset, bool needInvalidate) {
    CControlUI::Move(offset, needInvalidate);
    if (HWND native = GetNativeEditHWND()) {
        const RECT rcPos = m_pWindow->CalPos();
        SetWindowPos(native, nullptr, rcPos.left, rcPos.top, 0, 0,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    }
}

void CEditUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (!IsVisible())
        CloseNativeWindowForHiding();
}

void CEditUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    if (!IsVisible())
        CloseNativeWindowForHiding();
}

void CEditUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!IsEnabled())
        m_uEditState = 0;
}

void CEditUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.type)) {
        if (m_pParent != nullptr)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }

    switch (event.type) {
    case EventSetCursor:
        if (IsEnabled()) {
            ::SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32513))); // IDC_IBEAM
            return;
        }
        break;
    case EventWindowSize:
        // The native window is reopened at the new place after the layout.
        if (m_pWindow != nullptr && m_pManager != nullptr)
            m_pManager->SetFocusNeeded(this);
        break;
    case EventScrollWheel:
        if (m_pWindow != nullptr)
            return;
        break;
    case EventSetFocus:
        if (IsEnabled()) {
            if (m_pWindow != nullptr)
                return;
            if (m_pManager != nullptr) {
                OpenNativeWindow();
                Invalidate();
            }
        }
        break;
    case EventKillFocus:
        if (IsEnabled())
            Invalidate();
        break;
    case EventButtonDown:
    case EventDblClick:
    case EventRButtonDown:
        if (!IsEnabled() || m_pManager == nullptr)
            return;
        m_pManager->ReleaseCapture();
        if (IsFocused() && m_pWindow == nullptr) {
            OpenNativeWindow();
            if (PtInRect(&m_rcItem, event.mousePos))
                SelectAllNative(true);
        } else if (m_pWindow != nullptr) {
            SelectAllNative(false);
        }
        return;
    case EventMouseMove:
    case EventButtonUp:
    case EventContextMenu:
        return;
    case EventMouseEnter:
        if (IsEnabled()) {
            m_uEditState |= StateHot;
            Invalidate();
        }
        return;
    case EventMouseLeave:
        if (IsEnabled()) {
            m_uEditState &= ~StateHot;
            Invalidate();
        }
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!ApplyTableAttribute(kEditAttributes, *this, name, value))
        CLabelUI::SetAttribute(name, value);
}

SIZE CEditUI::EstimateSize(SIZE available) {
    if (m_cxyFixed.cy != 0)
        return CControlUI::EstimateSize(available);
    int textHeight = 0;
    if (m_pManager != nullptr)
        textHeight = Resources()->GetFontInfo(m_iFont)->tm.tmHeight;
    return SIZE{GetFixedWidth(), textHeight + 6};
}

void CEditUI::PaintStatusImage(HDC hDC) {
    if (IsFocused())
        m_uEditState |= StateFocused;
    else
        m_uEditState &= ~StateFocused;
    if (!IsEnabled())
        m_uEditState |= StateDisabled;
    else
        m_uEditState &= ~StateDisabled;

    const CSkinString* image = nullptr;
    if ((m_uEditState & StateDisabled) != 0)
        image = &m_sDisabledImage;
    else if ((m_uEditState & StateFocused) != 0)
        image = &m_sFocusedImage;
    else if ((m_uEditState & StateHot) != 0)
        image = &m_sHotImage;
    if (image != nullptr && !image->IsEmpty() && DrawImage(hDC, *image))
        return;
    if (!m_sNormalImage.IsEmpty())
        DrawImage(hDC, m_sNormalImage);
}

void CEditUI::PaintText(HDC hDC) {
    if (m_pManager == nullptr)
        return;
    ResolveDefaultColors();
    const CSkinString text = GetText();
    std::wstring shown;
    DWORD color = m_dwTextColor;
    if (text.IsEmpty() || text == m_sTipValue) {
        shown = m_sTipValue.GetData();
        color = m_dwTipValueColor;
    } else if (m_bPasswordMode) {
        shown.assign(static_cast<size_t>(text.GetLength()), m_cPasswordChar);
    } else {
        shown = text.GetData();
    }
    if (shown.empty())
        return;
    // The padding scaled for the display, where the native window opens.
    RECT rc = ScaledTextRect();
    CRenderEngine::DrawText(hDC, Resources(), rc, shown.c_str(),
                            IsEnabled() ? color : m_dwDisabledTextColor, m_iFont,
                            m_uTextStyle | DT_SINGLELINE);
}

} // namespace SkinUI

// CAccessibleUI, and the paint manager's side of accessibility: WM_GETOBJECT,
// the WinEvents of changed controls and the default actions asked for by
// clients.
//
// Sections: Children and their properties; Paint manager; IUnknown and
// IDispatch; IAccessible.
#include "skinui/window/AccessibleUI.h"
#include "skinui/window/PrivateMessages.h"

#include "skinui/control/ButtonUI.h"
#include "skinui/control/ControlUI.h"
#include "skinui/control/EditUI.h"
#include "skinui/control/OptionUI.h"
#include "skinui/control/ProgressUI.h"
#include "skinui/core/SystemLibrary.h"
#include "skinui/core/TextFormat.h"
#include "skinui/window/PaintManagerUI.h"

#include <cstring>
#include <cwchar>

namespace SkinUI {

namespace {

// The interface identifiers, spelt out here so that the library needs no
// import library of oleacc.dll, which is loaded only when a client asks.
const IID kIIDUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIIDDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIIDAccessible = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

bool SameIID(REFIID a, const IID& b) {
    return std::memcmp(&a, &b, sizeof(IID)) == 0;
}

// The children in tree order: visible controls that have a role. Containers
// are searched through, so that the layout's nesting does not show.
struct TCollect {
    CControlUI* wanted; // stop here (ChildIdOf), or null for all
    long wantedId;      // stop at this id (ChildAt), or 0
    long count;
    CControlUI* found;
};

CControlUI* CALLBACK CollectChild(CControlUI* control, LPVOID data) {
    TCollect* collect = static_cast<TCollect*>(data);
    if (CAccessibleUI::RoleOf(control) == 0)
        return nullptr;
    ++collect->count;
    if (control == collect->wanted || collect->count == collect->wantedId) {
        collect->found = control;
        return control;
    }
    return nullptr;
}

TCollect Walk(CPaintManagerUI* manager, CControlUI* wanted, long wantedId) {
    TCollect collect = {wanted, wantedId, 0, nullptr};
    if (manager != nullptr && manager->GetRoot() != nullptr)
        manager->GetRoot()->FindControl(CollectChild, &collect, FindVisible | FindMeFirst);
    return collect;
}

// A button drawn as bare text, without artwork or a background of its own,
// reads as a link (the agreement links of the installer's welcome page).
bool LooksLikeLink(CButtonUI* button) {
    return !button->GetText().IsEmpty() && button->GetBkImage().IsEmpty() &&
           button->GetNormalImage().IsEmpty() && button->GetHotImage().IsEmpty() &&
           button->GetPushedImage().IsEmpty() && button->GetBkColor() == 0;
}

BSTR ToBstr(const wchar_t* text) {
    return SysAllocString(text != nullptr ? text : L"");
}

bool HasKeyboardFocus(HWND window) {
    HWND focus = ::GetFocus();
    return focus != nullptr && (focus == window || IsChild(window, focus));
}

void SetI4(VARIANT* v, long value) {
    VariantInit(v);
    v->vt = VT_I4;
    v->lVal = value;
}

} // namespace

// =============================================================================
// Children and their properties
// =============================================================================

long CAccessibleUI::ChildIdOf(CPaintManagerUI* manager, CControlUI* control) {
    if (control == nullptr)
        return 0;
    const TCollect collect = Walk(manager, control, 0);
    return collect.found != nullptr ? collect.count : 0;
}

CControlUI* CAccessibleUI::ChildAt(CPaintManagerUI* manager, long childId) {
    if (childId <= 0)
        return nullptr;
    return Walk(manager, nullptr, childId).found;
}

long CAccessibleUI::RoleOf(CControlUI* control) {
    if (control->GetInterface(L"Edit") != nullptr)
        return ROLE_SYSTEM_TEXT;
    if (control->GetInterface(L"Progress") != nullptr)
        return ROLE_SYSTEM_PROGRESSBAR;
    if (auto* option = static_cast<COptionUI*>(control->GetInterface(L"Option")))
        return option->GetGroup().IsEmpty() ? ROLE_SYSTEM_CHECKBUTTON : ROLE_SYSTEM_RADIOBUTTON;
    if (auto* button = static_cast<CButtonUI*>(control->GetInterface(L"Button")))
        return LooksLikeLink(button) ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_PUSHBUTTON;
    // Text and named groups are read out; an image without a name is only
    // decoration, and plain layouts only place their children.
    if (control->GetInterface(L"Label") != nullptr)
        return NameOf(control).IsEmpty() ? 0 : ROLE_SYSTEM_STATICTEXT;
    if (control->GetInterface(L"Container") != nullptr)
        return NameOf(control).IsEmpty() ? 0 : ROLE_SYSTEM_GROUPING;
    return 0;
}

CSkinString CAccessibleUI::NameOf(CControlUI* control) {
    CSkinString name = control->GetText();
    if (name.IsEmpty())
        name = control->GetToolTip();
    if (name.IsEmpty())
        name = control->GetAccessibleName();
    return name;
}

// =============================================================================
// Paint manager
// =============================================================================

bool CPaintManagerUI::OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    // The object id arrives as a DWORD; on 64-bit Windows it may come zero-
    // or sign-extended, so only its low 32 bits count.
    if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT) || m_hWndPaint == nullptr)
        return false;
    auto lresultFromObject =
        SystemProc<decltype(&::LresultFromObject)>(L"oleacc.dll", "LresultFromObject");
    if (lresultFromObject == nullptr)
        return false;
    if (!m_pAccessible)
        m_pAccessible.Attach(new CAccessibleUI(this));
    const LRESULT result =
        lresultFromObject(kIIDAccessible, wParam, static_cast<IAccessible*>(m_pAccessible.Get()));
    // A failure (no COM on this thread) leaves the system's own object.
    if (FAILED(static_cast<HRESULT>(result)))
        return false;
    lRes = result;
    return true;
}

void CPaintManagerUI::NotifyAccessibleChange(CControlUI* control, DWORD event) {
    if (m_hWndPaint == nullptr || control == nullptr)
        return;
    // A reorder concerns the list of children, which belongs to the window's
    // own element.
    if (event == EVENT_OBJECT_REORDER) {
        NotifyWinEvent(event, m_hWndPaint, OBJID_CLIENT, CHILDID_SELF);
        return;
    }
    const long id = CAccessibleUI::ChildIdOf(this, control);
    if (id > 0)
        NotifyWinEvent(event, m_hWndPaint, OBJID_CLIENT, id);
}

void CPaintManagerUI::RunAccessibleAction(LPARAM lParam) {
    // The control may have gone since the action was asked for; only one of
    // the current children is acted on.
    CControlUI* control = reinterpret_cast<CControlUI*>(lParam);
    if (CAccessibleUI::ChildIdOf(this, control) == 0 || !control->IsEnabled())
        return;
    control->SetFocus();
    if (control->GetInterface(L"Button") != nullptr)
        control->Activate();
}

void CPaintManagerUI::DetachAccessible() {
    if (!m_pAccessible)
        return;
    m_pAccessible->Detach();
    m_pAccessible.Reset();
}

// =============================================================================
// IUnknown and IDispatch
// =============================================================================

CAccessibleUI::CAccessibleUI(CPaintManagerUI* manager) : m_pManager(manager) {
}

HRESULT CAccessibleUI::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (SameIID(riid, kIIDUnknown) || SameIID(riid, kIIDDispatch) ||
        SameIID(riid, kIIDAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CAccessibleUI::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

ULONG CAccessibleUI::Release() {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HRESULT CAccessibleUI::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CAccessibleUI::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CAccessibleUI::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT CAccessibleUI::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                              UINT*) {
    return E_NOTIMPL;
}

// =============================================================================
// IAccessible
// =============================================================================

HRESULT CAccessibleUI::Resolve(const VARIANT& child, CControlUI** control) const {
    *control = nullptr;
    if (m_pManager == nullptr || m_pManager->GetPaintWindow() == nullptr)
        return RPC_E_DISCONNECTED;
    if (child.vt != VT_I4)
        return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF)
        return S_OK;
    *control = ChildAt(m_pManager, child.lVal);
    return *control != nullptr ? S_OK : E_INVALIDARG;
}

namespace {
// A text (BSTR) or an object.
template <typename T> void Empty(T** pointer) {
    *pointer = nullptr;
}
void Empty(VARIANT* value) {
    VariantInit(value);
}
} // namespace

template <typename Out>
HRESULT CAccessibleUI::Open(const VARIANT& child, Out* out, CControlUI** control) const {
    *control = nullptr;
    if (out == nullptr)
        return E_POINTER;
    Empty(out);
    return Resolve(child, control);
}

HRESULT CAccessibleUI::get_accParent(IDispatch** parent) {
    if (parent == nullptr)
        return E_POINTER;
    *parent = nullptr;
    if (m_pManager == nullptr)
        return RPC_E_DISCONNECTED;
    // The window's frame element, which the system's own object provides.
    auto create = SystemProc<decltype(&::CreateStdAccessibleObject)>(L"oleacc.dll",
                                                                     "CreateStdAccessibleObject");
    if (create == nullptr)
        return S_FALSE;
    const HRESULT hr = create(m_pManager->GetPaintWindow(), OBJID_WINDOW, kIIDDispatch,
                              reinterpret_cast<void**>(parent));
    return SUCCEEDED(hr) ? S_OK : S_FALSE;
}

HRESULT CAccessibleUI::get_accChildCount(long* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    if (m_pManager == nullptr)
        return RPC_E_DISCONNECTED;
    *count = Walk(m_pManager, nullptr, 0).count;
    return S_OK;
}

HRESULT CAccessibleUI::get_accChild(VARIANT child, IDispatch** object) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, object, &control);
    if (FAILED(hr))
        return hr;
    // Every child is a simple element, described through this object.
    return control != nullptr ? S_FALSE : E_INVALIDARG;
}

HRESULT CAccessibleUI::get_accName(VARIANT child, BSTR* name) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, name, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr) {
        wchar_t title[256] = {};
        GetWindowTextW(m_pManager->GetPaintWindow(), title, 256);
        *name = ToBstr(title);
    } else {
        const CSkinString text = NameOf(control);
        if (text.IsEmpty())
            return S_FALSE;
        *name = ToBstr(text);
    }
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CAccessibleUI::get_accValue(VARIANT child, BSTR* value) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, value, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr)
        return DISP_E_MEMBERNOTFOUND;
    if (auto* edit = static_cast<CEditUI*>(control->GetInterface(L"Edit"))) {
        // A password is not read out.
        if (edit->IsPasswordMode())
            return E_ACCESSDENIED;
        *value = ToBstr(edit->GetText());
    } else if (auto* bar = static_cast<CProgressUI*>(control->GetInterface(L"Progress"))) {
        const int range = bar->GetMaxValue() - bar->GetMinValue();
        const int percent =
            range > 0
                ? static_cast<int>(static_cast<long long>(bar->GetValue() - bar->GetMinValue()) *
                                   100 / range)
                : 0;
        wchar_t text[16] = {};
        FormatText(text, 16, L"%d%%", percent);
        *value = ToBstr(text);
    } else {
        return DISP_E_MEMBERNOTFOUND;
    }
    return *value != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CAccessibleUI::get_accDescription(VARIANT child, BSTR* description) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, description, &control);
    return FAILED(hr) ? hr : S_FALSE;
}

HRESULT CAccessibleUI::get_accRole(VARIANT child, VARIANT* role) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, role, &control);
    if (FAILED(hr))
        return hr;
    SetI4(role, control != nullptr ? RoleOf(control) : ROLE_SYSTEM_CLIENT);
    return S_OK;
}

HRESULT CAccessibleUI::get_accState(VARIANT child, VARIANT* state) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, state, &control);
    if (FAILED(hr))
        return hr;
    HWND window = m_pManager->GetPaintWindow();
    const bool keyboardHere = HasKeyboardFocus(window);
    long bits = 0;
    if (control == nullptr) {
        bits = STATE_SYSTEM_FOCUSABLE;
        if (keyboardHere && m_pManager->GetFocus() == nullptr)
            bits |= STATE_SYSTEM_FOCUSED;
        if (!IsWindowVisible(window))
            bits |= STATE_SYSTEM_INVISIBLE;
        SetI4(state, bits);
        return S_OK;
    }
    // Folded away below the window's edge or scrolled out of a container: in
    // the tree, but nobody can see it.
    if (!m_pManager->IsControlShown(control))
        bits |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
    if (!control->IsEnabled())
        bits |= STATE_SYSTEM_UNAVAILABLE;
    else if ((control->GetControlFlags() & ControlFlagTabStop) != 0)
        bits |= STATE_SYSTEM_FOCUSABLE;
    if (keyboardHere && m_pManager->GetFocus() == control)
        bits |= STATE_SYSTEM_FOCUSED;
    if (auto* option = static_cast<COptionUI*>(control->GetInterface(L"Option"))) {
        if (option->IsSelected())
            bits |= STATE_SYSTEM_CHECKED;
    }
    const long role = RoleOf(control);
    if (role == ROLE_SYSTEM_LINK)
        bits |= STATE_SYSTEM_LINKED;
    if (role == ROLE_SYSTEM_PROGRESSBAR || role == ROLE_SYSTEM_STATICTEXT)
        bits |= STATE_SYSTEM_READONLY;
    if (auto* edit = static_cast<CEditUI*>(control->GetInterface(L"Edit"))) {
        if (edit->IsReadOnly())
            bits |= STATE_SYSTEM_READONLY;
        if (edit->IsPasswordMode())
            bits |= STATE_SYSTEM_PROTECTED;
    }
    SetI4(state, bits);
    return S_OK;
}

HRESULT CAccessibleUI::get_accHelp(VARIANT child, BSTR* help) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, help, &control);
    return FAILED(hr) ? hr : S_FALSE;
}

HRESULT CAccessibleUI::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    if (file != nullptr)
        *file = nullptr;
    if (topic != nullptr)
        *topic = -1;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CAccessibleUI::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, shortcut, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr || control->GetShortcut() == 0)
        return S_FALSE;
    const wchar_t text[] = {L'A', L'l', L't', L'+', control->GetShortcut(), L'\0'};
    *shortcut = ToBstr(text);
    return *shortcut != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CAccessibleUI::get_accFocus(VARIANT* child) {
    if (child == nullptr)
        return E_POINTER;
    VariantInit(child);
    if (m_pManager == nullptr)
        return RPC_E_DISCONNECTED;
    if (!HasKeyboardFocus(m_pManager->GetPaintWindow()))
        return S_FALSE;
    const long id = ChildIdOf(m_pManager, m_pManager->GetFocus());
    SetI4(child, id > 0 ? id : CHILDID_SELF);
    return S_OK;
}

HRESULT CAccessibleUI::get_accSelection(VARIANT* children) {
    if (children == nullptr)
        return E_POINTER;
    VariantInit(children);
    return m_pManager != nullptr ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT CAccessibleUI::get_accDefaultAction(VARIANT child, BSTR* action) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(child, action, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr)
        return S_FALSE;
    // The words the system itself uses for these actions in Chinese.
    const wchar_t* text = nullptr;
    switch (RoleOf(control)) {
    case ROLE_SYSTEM_PUSHBUTTON:
        text = L"按下";
        break;
    case ROLE_SYSTEM_LINK:
        text = L"跳转";
        break;
    case ROLE_SYSTEM_CHECKBUTTON: {
        auto* option = static_cast<COptionUI*>(control->GetInterface(L"Option"));
        text = option->IsSelected() ? L"清除" : L"选中";
        break;
    }
    case ROLE_SYSTEM_RADIOBUTTON:
        text = L"选中";
        break;
    case ROLE_SYSTEM_TEXT:
        text = L"聚焦";
        break;
    default:
        return S_FALSE;
    }
    *action = ToBstr(text);
    return *action != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CAccessibleUI::accSelect(long flags, VARIANT child) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if ((flags & ~SELFLAG_TAKEFOCUS) != 0)
        return E_INVALIDARG;
    if ((flags & SELFLAG_TAKEFOCUS) == 0)
        return S_OK;
    if (control == nullptr) {
        ::SetFocus(m_pManager->GetPaintWindow());
        return S_OK;
    }
    if ((control->GetControlFlags() & ControlFlagTabStop) == 0 || !control->IsEnabled() ||
        !m_pManager->IsControlShown(control))
        return S_FALSE;
    control->SetFocus();
    return S_OK;
}

HRESULT CAccessibleUI::accLocation(long* left, long* top, long* width, long* height,
                                   VARIANT child) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
        return E_POINTER;
    *left = *top = *width = *height = 0;
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    HWND window = m_pManager->GetPaintWindow();
    RECT rc = {0, 0, 0, 0};
    if (control != nullptr)
        rc = control->GetPos();
    else
        GetClientRect(window, &rc);
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
    *left = rc.left;
    *top = rc.top;
    *width = rc.right - rc.left;
    *height = rc.bottom - rc.top;
    return S_OK;
}

HRESULT CAccessibleUI::accNavigate(long direction, VARIANT start, VARIANT* end) {
    CControlUI* control = nullptr;
    const HRESULT hr = Open(start, end, &control);
    if (FAILED(hr))
        return hr;
    const long count = Walk(m_pManager, nullptr, 0).count;
    long target = 0;
    if (control == nullptr) {
        if (direction == NAVDIR_FIRSTCHILD)
            target = 1;
        else if (direction == NAVDIR_LASTCHILD)
            target = count;
        else
            return S_FALSE; // the window's siblings are the frame's business
    } else {
        switch (direction) {
        case NAVDIR_NEXT:
        case NAVDIR_DOWN:
        case NAVDIR_RIGHT:
            target = start.lVal + 1;
            break;
        case NAVDIR_PREVIOUS:
        case NAVDIR_UP:
        case NAVDIR_LEFT:
            target = start.lVal - 1;
            break;
        case NAVDIR_FIRSTCHILD:
        case NAVDIR_LASTCHILD:
            return S_FALSE; // simple elements have no children
        default:
            return E_INVALIDARG;
        }
    }
    if (target < 1 || target > count)
        return S_FALSE;
    SetI4(end, target);
    return S_OK;
}

HRESULT CAccessibleUI::accHitTest(long left, long top, VARIANT* child) {
    if (child == nullptr)
        return E_POINTER;
    VariantInit(child);
    if (m_pManager == nullptr || m_pManager->GetPaintWindow() == nullptr)
        return RPC_E_DISCONNECTED;
    HWND window = m_pManager->GetPaintWindow();
    POINT pt = {left, top};
    ScreenToClient(window, &pt);
    RECT client;
    GetClientRect(window, &client);
    if (!PtInRect(&client, pt))
        return S_FALSE;
    // The control under the point, or the nearest of its ancestors that is a
    // child (a label inside a named group).
    long id = 0;
    for (CControlUI* c = m_pManager->FindControl(pt); c != nullptr && id == 0; c = c->GetParent())
        id = ChildIdOf(m_pManager, c);
    SetI4(child, id > 0 ? id : CHILDID_SELF);
    return S_OK;
}

HRESULT CAccessibleUI::accDoDefaultAction(VARIANT child) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr)
        return DISP_E_MEMBERNOTFOUND;
    const long role = RoleOf(control);
    if (role != ROLE_SYSTEM_PUSHBUTTON && role != ROLE_SYSTEM_LINK &&
        role != ROLE_SYSTEM_CHECKBUTTON && role != ROLE_SYSTEM_RADIOBUTTON &&
        role != ROLE_SYSTEM_TEXT)
        return DISP_E_MEMBERNOTFOUND;
    if (!control->IsEnabled())
        return E_FAIL;
    // The action runs from the window's queue: a click may open a message
    // box, whose modal loop must not keep the client's call waiting.
    if (!PostMessageW(m_pManager->GetPaintWindow(), kAccessibleActionMessage, 0,
                      reinterpret_cast<LPARAM>(control)))
        return E_FAIL;
    return S_OK;
}

HRESULT CAccessibleUI::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT CAccessibleUI::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

} // namespace SkinUI

// The window's accessible object: what screen readers and other assistive
// programs see of the drawn controls. The window has no child windows for
// them, so the object answers for its client area and lists every shown
// control as a simple child element (child ids 1, 2, ... in tree order), with
// its role, name, state, place on the screen, value and default action.
//
// The paint manager creates it on the first WM_GETOBJECT and hands it out
// through oleacc's LresultFromObject. A client may hold it after the window
// has gone; the manager detaches it then and it answers "disconnected".
#pragma once

#include <windows.h>

#include <oleacc.h>

#include "skinui/core/SkinString.h"

namespace SkinUI {

class CControlUI;
class CPaintManagerUI;

class CAccessibleUI final : public IAccessible {
public:
    // One reference, the creator's.
    explicit CAccessibleUI(CPaintManagerUI* manager);
    CAccessibleUI(const CAccessibleUI&) = delete;
    CAccessibleUI& operator=(const CAccessibleUI&) = delete;

    // The window's tree is going away; later calls fail.
    void Detach() { m_pManager = nullptr; }

    // The child id of a control in the manager's tree (1 = the first child),
    // 0 when the control is not one of the children.
    static long ChildIdOf(CPaintManagerUI* manager, CControlUI* control);
    // The control behind a child id; null when there is none.
    static CControlUI* ChildAt(CPaintManagerUI* manager, long childId);
    // The MSAA role of a control; 0 for controls that are not children (plain
    // layouts, decorative images).
    static long RoleOf(CControlUI* control);
    // Its text, else its tooltip, else the skin's "accname".
    static CSkinString NameOf(CControlUI* control);

    // ---- IUnknown ----------------------------------------------------------
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ---- IDispatch (scripting clients only; not offered) -------------------
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // ---- IAccessible -------------------------------------------------------
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    ~CAccessibleUI() = default;

    // Resolves a VARIANT child id: S_OK with *control null for the window's
    // own element, S_OK with the control for a child, an error otherwise.
    HRESULT Resolve(const VARIANT& child, CControlUI** control) const;
    // How every getter about a child starts: its out parameter checked and
    // emptied (a caller may read it whatever the result), then Resolve.
    template <typename Out>
    HRESULT Open(const VARIANT& child, Out* out, CControlUI** control) const;

    LONG m_refs = 1;
    CPaintManagerUI* m_pManager;
};

} // namespace SkinUI

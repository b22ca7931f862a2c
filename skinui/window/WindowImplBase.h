// The skinned window that applications derive from: it owns the window's
// paint manager, builds the control tree from the skin document when the
// window is created, makes the window borderless with caption, size box and
// round corners decided by the skin, and routes every message to its own
// handlers, then to the paint manager, then to the default procedure.
//
// A derived window gives GetWindowClassName and GetSkinFileName, usually
// overrides InitWindow and HandleMessage (passing on what it does not
// consume), and receives notifications through a message map (NotifyPump.h).
#pragma once

#include "skinui/window/DialogBuilder.h"
#include "skinui/window/NotifyPump.h"
#include "skinui/window/PaintManagerUI.h"
#include "skinui/control/UIDefs.h"
#include "skinui/core/WindowWnd.h"

namespace SkinUI {

class CControlUI;

// Answers the text of a control given by id and type; a hook for windows that
// keep their texts outside the skin.
class IQueryControlText {
public:
    virtual const wchar_t* QueryControlText(const wchar_t* id, const wchar_t* type) = 0;

protected:
    ~IQueryControlText() = default;
};

// Names of the title buttons that the window base handles by itself, spelt
// as the skins spell them. The maximise and restore buttons swap visibility
// when the window is maximised or restored.
constexpr const wchar_t* kCloseButton = L"closeBtn";
constexpr const wchar_t* kMinimizeButton = L"minBtn";
constexpr const wchar_t* kMaximizeButton = L"maxBtn";
constexpr const wchar_t* kRestoreButton = L"restoreBtn";

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback,
                       public IQueryControlText {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    CPaintManagerUI* GetPaintManager() { return &m_pm; }

    // =========================================================================
    // Hooks
    // =========================================================================
    // Before the skin is built: a place to register resources.
    virtual void InitResource() {}
    // Once the control tree is attached.
    virtual void InitWindow() {}
    // The default handler of "click": the title buttons below (names compared
    // exactly) close, minimise, maximise and restore the window.
    virtual void OnClick(TNotifyUI& msg);
    // Empty: GetSkinFileName names a skin file. Otherwise a resource type,
    // and GetSkinFileName holds the decimal resource id.
    virtual CSkinString GetSkinType();
    virtual CSkinString GetSkinFileName() = 0;
    virtual const wchar_t* GetManagerName();
    // Return and Escape reach it before the focus control; its answer is not
    // used, so the key always goes on to the control.
    virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);

    // =========================================================================
    // Message handlers: (msg, wParam, lParam, handled) -> result. Clearing
    // `handled` passes the message on to the paint manager.
    // =========================================================================
    virtual LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcActivate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcPaint(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcHitTest(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseWheel(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseHover(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnChar(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKillFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSetFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // Any message without a handler above, before the paint manager sees it.
    virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // The window's style without WS_CAPTION.
    virtual LONG GetStyle();

    // =========================================================================
    // Interfaces
    // =========================================================================
    // Routes the notification through the message maps.
    void Notify(TNotifyUI& msg) override;
    // Pre-message filter: hands Return and Escape to ResponseDefaultKeyEvent.
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // No custom controls.
    CControlUI* CreateControl(const wchar_t* className) override;
    const wchar_t* QueryControlText(const wchar_t* id, const wchar_t* type) override;

    // True when the control and all its ancestors are static controls
    // (layouts, labels, plain controls): pressing there drags the window.
    static bool IsInStaticControl(CControlUI* control);

protected:
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Leaves the paint manager and forgets the tree's roles; the object itself
    // stays for its owner to delete.
    void OnFinalMessage(HWND window) override;

    CPaintManagerUI m_pm;

    SKIN_DECLARE_MESSAGE_MAP()
};

} // namespace SkinUI

// What a control needs from the window that hosts it, and no more: repainting,
// the notifications it raises, giving up the mouse capture, keyboard focus,
// timers, its neighbours in the tree and the window's resources. The paint
// manager implements it; controls never see the window layer itself.
#pragma once

#include <windows.h>

#include "skinui/control/UIDefs.h"
#include "skinui/core/StdContainers.h"

namespace SkinUI {

class CControlUI;
class CSkinResources;

class IControlHost {
public:
    // The fonts, colours, styles and images of the window.
    virtual CSkinResources* GetResources() = 0;
    // The native window, for native child windows (the edit box).
    virtual HWND GetPaintWindow() const = 0;

    // ---- Tree --------------------------------------------------------------
    virtual bool InitControls(CControlUI* control, CControlUI* parent = nullptr) = 0;
    virtual void ReapObjects(CControlUI* control) = 0;
    virtual void AddDelayedCleanup(CControlUI* control) = 0;
    virtual CControlUI* FindControl(const wchar_t* name) const = 0;
    virtual CControlUI* FindSubControlByName(CControlUI* parent, const wchar_t* name) const = 0;
    virtual bool AddOptionGroup(const wchar_t* groupName, CControlUI* control) = 0;
    virtual CStdPtrArray* GetOptionGroup(const wchar_t* groupName) = 0;
    virtual void RemoveOptionGroup(const wchar_t* groupName, CControlUI* control) = 0;

    // ---- Painting ----------------------------------------------------------
    virtual void NeedUpdate() = 0;
    virtual void Invalidate(RECT& rcItem) = 0;

    // ---- Notifications -----------------------------------------------------
    virtual void SendNotify(CControlUI* control, const wchar_t* message, WPARAM wParam = 0,
                            LPARAM lParam = 0, bool async = false) = 0;
    virtual void UsedVirtualWnd(bool used) = 0;
    // A change that assistive technology should hear of (an EVENT_OBJECT_*
    // number of the system's WinEvents: name, value or state changed).
    // Hosts without an accessibility tree ignore it.
    virtual void NotifyAccessibleChange(CControlUI* /*control*/, DWORD /*event*/) {}

    // ---- Focus and capture -------------------------------------------------
    virtual CControlUI* GetFocus() const = 0;
    virtual void SetFocus(CControlUI* control) = 0;
    virtual void SetFocusNeeded(CControlUI* control) = 0;
    virtual bool SetNextTabControl(bool forward = true) = 0;
    virtual void ReleaseCapture() = 0;

    // ---- Timers ------------------------------------------------------------
    virtual bool SetTimer(CControlUI* control, UINT timerID, UINT elapse) = 0;
    virtual bool KillTimer(CControlUI* control, UINT timerID) = 0;

protected:
    virtual ~IControlHost() = default;
};

} // namespace SkinUI

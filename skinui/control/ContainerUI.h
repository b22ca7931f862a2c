// A control that owns an ordered list of children: the child-management
// interface the dialog builder attaches children through, inner margins,
// child spacing and alignment, floating children, container painting with its
// clips, and hit testing into the children.
//
// This build has no scrollbar control: the scrollbar attributes are accepted
// and ignored, the scroll positions and ranges are always zero, and
// ProcessScrollBar does nothing.
#pragma once

#include "skinui/control/ControlUI.h"

namespace SkinUI {

class CScrollBarUI;

// The child-management side of a container ("IContainer" of GetInterface).
class IContainerUI {
public:
    // Null when out of range.
    virtual CControlUI* GetItemAt(int index) const = 0;
    // -1 when the control is not a child.
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual bool SetItemIndex(CControlUI* control, int index) = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    // Deletes the child when the container owns its children.
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
public:
    // =========================================================================
    // Construction
    // =========================================================================
    CContainerUI();
    // Deletes the children at once when the container owns them.
    ~CContainerUI() override;

    // =========================================================================
    // Identity
    // =========================================================================
    const wchar_t* GetClass() const override;
    // "IContainer" answers the IContainerUI part, "Container" the container.
    void* GetInterface(const wchar_t* name) override;

    // =========================================================================
    // Children (IContainerUI)
    // =========================================================================
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    // =========================================================================
    // Control base overrides
    // =========================================================================
    void DoEvent(TEventUI& event) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetEnabled(bool enable = true) override;
    void SetMouseEnabled(bool enable = true) override;
    // The item rectangle less the inset and the visible scrollbars.
    RECT GetClientPos() const override;
    // Every visible non-floating child gets the whole inner rectangle.
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void Move(SIZE offset, bool needInvalidate = true) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Children first, then the container's own links, so that children are
    // initialised before their container.
    void SetManager(IControlHost* manager, CControlUI* parent, bool init = true) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) override;

    // =========================================================================
    // Container properties
    // =========================================================================
    // Inner margins between the container's edge and its children (scaled).
    virtual RECT GetInset() const;
    virtual void SetInset(RECT inset);
    // Gap between consecutive children along the layout direction (not scaled).
    virtual int GetChildPadding() const;
    virtual void SetChildPadding(int padding);
    // DT_LEFT (0), DT_CENTER (1) or DT_RIGHT (2).
    virtual UINT GetChildAlign() const;
    virtual void SetChildAlign(UINT align);
    // DT_TOP (0), DT_VCENTER (4) or DT_BOTTOM (8).
    virtual UINT GetChildVAlign() const;
    virtual void SetChildVAlign(UINT align);
    virtual bool IsAutoDestroy() const;
    virtual void SetAutoDestroy(bool autoDestroy);
    virtual bool IsDelayedDestroy() const;
    virtual void SetDelayedDestroy(bool delayed);
    virtual bool IsMouseChildEnabled() const;
    virtual void SetMouseChildEnabled(bool enable = true);
    // The nearest visible and enabled child from `index` in the direction
    // given; -1 when there is none.
    virtual int FindSelectable(int index, bool forward = true) const;

    // =========================================================================
    // Scrolling (no scrollbars in this build: positions and ranges stay zero)
    // =========================================================================
    virtual SIZE GetScrollPos() const;
    virtual SIZE GetScrollRange() const;
    virtual void SetScrollPos(SIZE pos);
    virtual void SetScrollStepSize(int size);
    virtual int GetScrollStepSize() const;
    virtual void LineUp();
    virtual void LineDown();
    virtual void PageUp();
    virtual void PageDown();
    virtual void HomeUp();
    virtual void EndDown();
    virtual void LineLeft();
    virtual void LineRight();
    virtual void PageLeft();
    virtual void PageRight();
    virtual void HomeLeft();
    virtual void EndRight();
    virtual void EnableScrollBar(bool enableVertical = true, bool enableHorizontal = false);
    virtual CScrollBarUI* GetVerticalScrollBar() const;
    virtual CScrollBarUI* GetHorizontalScrollBar() const;

    // =========================================================================
    // Layout hooks
    // =========================================================================
    // Places a visible floating child from its fixed offset, fixed size and
    // float percent, relative to the container's item rectangle.
    virtual void SetFloatPos(int index);
    virtual void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired);

    // =========================================================================
    // Descendants by name (through the paint manager; nothing when missing)
    // =========================================================================
    CControlUI* FindSubControl(const wchar_t* subControlName);
    bool SetSubControlText(const wchar_t* subControlName, const wchar_t* text);
    bool SetSubControlFixedHeight(const wchar_t* subControlName, int fixedHeight);
    bool SetSubControlFixedWdith(const wchar_t* subControlName, int fixedWidth);
    bool SetSubControlUserData(const wchar_t* subControlName, const wchar_t* text);
    CSkinString GetSubControlText(const wchar_t* subControlName);
    int GetSubControlFixedHeight(const wchar_t* subControlName);
    int GetSubControlFixedWdith(const wchar_t* subControlName);
    CSkinString GetSubControlUserData(const wchar_t* subControlName);

protected:
    // Deletes a removed child, or hands it to the manager's delayed clean-up
    // while attached, so that a child is never deleted inside its own event.
    void ReleaseChild(CControlUI* control);
    // The item rectangle less the inset as stored and the visible scrollbars.
    RECT InnerRect() const;
    // The item rectangle less the inset scaled for the window's DPI: the area
    // the layouts place their children in.
    RECT LayoutRect() const;

    CStdPtrArrayOf<CControlUI> m_items; // owned when auto-destroy is on
    RECT m_rcInset = {0, 0, 0, 0};
    int m_iChildPadding = 0;
    UINT m_iChildAlign = DT_LEFT;
    UINT m_iChildVAlign = DT_TOP;
    bool m_bAutoDestroy = true;
    bool m_bDelayedDestroy = true;
    bool m_bMouseChildEnabled = true;
    bool m_bScrollProcess = false;
    int m_nScrollStepSize = 0;
    CScrollBarUI* m_pVerticalScrollBar = nullptr;
    CScrollBarUI* m_pHorizontalScrollBar = nullptr;
    CSkinString m_sVerticalScrollBarStyle;
    CSkinString m_sHorizontalScrollBarStyle;
};

} // namespace SkinUI

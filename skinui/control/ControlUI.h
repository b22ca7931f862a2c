// The base of every element of a skinned window: name, geometry, size
// constraints, state flags, colours, images, border and text; the base
// attribute table of the skin; the fixed painting order that subclasses
// override; and the few events every control handles.
//
// Sections: Construction, Identity, Tree links, Text, Geometry, Size
// constraints, Tooltip/cursor/shortcut, User data, State, Search, Life cycle
// and events, Attributes, Painting, Colours/images/border, Timers,
// Update requests.
#pragma once

#include <windows.h>

#include "skinui/control/EventSource.h"
#include "skinui/core/SkinString.h"
#include "skinui/core/SkinTypes.h"
#include "skinui/core/StdContainers.h"
#include "skinui/control/UIDefs.h"

namespace SkinUI {

class IControlHost;
class CSkinResources;

// Where a floating control sits inside its parent, as fractions of the
// parent's width (left, right) and height (top, bottom).
struct TPercentInfo {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// Attribute value readers shared by every control's attribute table. They
// never fail: what cannot be read is 0.
namespace AttributeValue {
// "true" ignoring case.
bool ToBool(const wchar_t* value);
// Optional whitespace and sign, then decimal digits; 0 without digits.
int ToInt(const wchar_t* value);
// Up to `count` numbers, each followed by exactly one skipped character
// whatever it is; missing numbers stay 0. Returns the text after the last one.
const wchar_t* ToInts(const wchar_t* value, int* out, int count);
RECT ToRect(const wchar_t* value);
SIZE ToSize(const wchar_t* value);
// Optional "#" then hexadecimal AARRGGBB; with skipSpace leading whitespace
// is skipped first.
DWORD ToColor(const wchar_t* value, bool skipSpace = false);
} // namespace AttributeValue

class CControlUI {
public:
    // =========================================================================
    // Construction
    // =========================================================================
    CControlUI();
    // Runs the destroy delegates and makes the paint manager forget the control.
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // =========================================================================
    // Identity
    // =========================================================================
    virtual CSkinString GetName() const;
    virtual void SetName(const wchar_t* name);
    virtual const wchar_t* GetClass() const;
    // The control itself for "Control" (ignoring case); subclasses answer their
    // own names first and defer to their base.
    virtual void* GetInterface(const wchar_t* name);
    // ControlFlag* bits; 0 in the base.
    virtual UINT GetControlFlags() const;
    // Whether the control's Alt+letter shortcut moves the focus on to the next
    // control rather than to the control itself, as a label does for the field
    // it names. Labels answer true; the controls built on them answer false.
    virtual bool PassesShortcutOn() const { return false; }
    // Whether the control only shows or arranges things and takes no press of
    // its own: inside the caption area a press on it drags the window. Plain
    // controls, labels and layouts answer true; the controls a person presses
    // answer false.
    virtual bool IsStaticControl() const { return true; }
    // True when the control may act on a click: visible and enabled.
    virtual bool Activate();

    // =========================================================================
    // Tree links
    // =========================================================================
    virtual IControlHost* GetManager() const;
    // Stores both links; runs Init when `init` is set and there is a parent.
    virtual void SetManager(IControlHost* manager, CControlUI* parent, bool init = true);
    virtual CControlUI* GetParent() const;

    // =========================================================================
    // Text
    // =========================================================================
    // With the resource-text flag, the stored text is a key of the resource
    // manager's text table; this build has no text table, so the key itself
    // is answered.
    virtual CSkinString GetText() const;
    virtual void SetText(const wchar_t* text);
    virtual bool IsResourceText() const;
    virtual void SetResourceText(bool resource);
    virtual bool IsDragEnabled() const;
    virtual void SetDragEnable(bool enable);
    virtual bool IsDropEnabled() const;
    virtual void SetDropEnable(bool enable);

    // =========================================================================
    // Geometry
    // =========================================================================
    // The item rectangle relative to the parent's top-left corner.
    virtual RECT GetRelativePos() const;
    virtual RECT GetClientPos() const;
    // The item rectangle, in the window's client coordinates.
    virtual const RECT& GetPos() const;
    virtual void SetPos(RECT rc, bool needInvalidate = true);
    virtual void Move(SIZE offset, bool needInvalidate = true);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    // Outer margins the parent layout keeps around the control (scaled).
    virtual RECT GetPadding() const;
    virtual void SetPadding(RECT padding);
    // The offset of a floating control from its parent's top-left (scaled).
    virtual SIZE GetFixedXY() const;
    virtual void SetFixedXY(SIZE xy);

    // =========================================================================
    // Size constraints (stored as written in the skin, read scaled)
    // =========================================================================
    // 0 = no fixed size: the layout stretches the control.
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);
    virtual TPercentInfo GetFloatPercent() const;
    virtual void SetFloatPercent(TPercentInfo percent);

    // =========================================================================
    // Tooltip, cursor, shortcut, context menu
    // =========================================================================
    virtual CSkinString GetToolTip() const;
    // Every "<n>" becomes a line break.
    virtual void SetToolTip(const wchar_t* text);
    virtual void SetToolTipWidth(int width);
    virtual int GetToolTipWidth() const;
    // A standard cursor identifier (IDC_*); 0 = the arrow.
    virtual WORD GetCursor() const;
    virtual void SetCursor(WORD cursor);
    virtual wchar_t GetShortcut() const;
    virtual void SetShortcut(wchar_t ch);
    virtual bool IsContextMenuUsed() const;
    virtual void SetContextMenuUsed(bool menuUsed);
    // The name a screen reader says for a control that shows no text and has
    // no tooltip (an image button); the skin attribute "accname".
    const CSkinString& GetAccessibleName() const { return m_sAccName; }
    void SetAccessibleName(const wchar_t* name);

    // =========================================================================
    // User data
    // =========================================================================
    virtual const CSkinString& GetUserData() const;
    virtual void SetUserData(const wchar_t* text);
    virtual UINT_PTR GetTag() const;
    virtual void SetTag(UINT_PTR tag);

    // =========================================================================
    // State
    // =========================================================================
    // Visible and not hidden by an invisible ancestor.
    virtual bool IsVisible() const;
    virtual void SetVisible(bool visible = true);
    // Called by containers for their children when their own visibility changes.
    virtual void SetInternVisible(bool visible = true);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enable = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool enable = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool enable = true);
    virtual bool IsFocused() const;
    // Asks the paint manager to focus this control.
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool isFloat = true);

    // =========================================================================
    // Search
    // =========================================================================
    // Null when the flags exclude the control, else proc(this, data).
    virtual CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags);

    // =========================================================================
    // Life cycle and events
    // =========================================================================
    // DoInit, then the init delegates.
    virtual void Init();
    virtual void DoInit();
    // The event delegates first; any of them answering false drops the event.
    virtual void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    // =========================================================================
    // Attributes
    // =========================================================================
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    // The scaled fixed size; 0 in a dimension means "stretch me".
    virtual SIZE EstimateSize(SIZE available);

    // A style name, or name="value" pairs separated by one space or comma.
    void ApplyAttributeList(const wchar_t* list);
    // Keeps the first value of a name; ignores empty names and values.
    void AddCustomAttribute(const wchar_t* name, const wchar_t* value);
    // Null when absent.
    const wchar_t* GetCustomAttribute(const wchar_t* name) const;
    bool RemoveCustomAttribute(const wchar_t* name);
    void RemoveAllCustomAttribute();

    // =========================================================================
    // Painting
    // =========================================================================
    // Paints the part of the control inside rcPaint, in this order: background
    // colour, background image, state image, fore colour, fore image, text,
    // border.
    virtual void DoPaint(HDC hDC, const RECT& rcPaint);
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC);
    virtual void PaintForeColor(HDC hDC);
    virtual void PaintForeImage(HDC hDC);
    virtual void PaintText(HDC hDC);
    virtual void PaintBorder(HDC hDC);
    // Painted after the whole tree, for controls registered with the manager.
    virtual void DoPostPaint(HDC hDC, const RECT& rcPaint);

    // Draws an image description over the item rectangle, clipped to the part
    // being painted; false when nothing could be drawn.
    bool DrawImage(HDC hDC, const wchar_t* image, const wchar_t* modify = nullptr);
    // The module for images stored as module resources; null = the manager's.
    void setInstance(HINSTANCE instance) { m_instance = instance; }
    HINSTANCE GetInstance() const { return m_instance; }

    // =========================================================================
    // Colours, images and border
    // =========================================================================
    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD color);
    DWORD GetBkColor2() const { return m_dwBackColor2; }
    void SetBkColor2(DWORD color);
    DWORD GetBkColor3() const { return m_dwBackColor3; }
    void SetBkColor3(DWORD color);
    DWORD GetForeColor() const { return m_dwForeColor; }
    void SetForeColor(DWORD color);
    const CSkinString& GetBkImage() const { return m_sBkImage; }
    // Also drops the window's cached copy of an image of exactly that name, so
    // that a changed file is read again.
    void SetBkImage(const wchar_t* image);
    const CSkinString& GetForeImage() const { return m_sForeImage; }
    void SetForeImage(const wchar_t* image);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD color);
    DWORD GetFocusBorderColor() const { return m_dwFocusBorderColor; }
    void SetFocusBorderColor(DWORD color);
    bool IsColorHSL() const { return m_bColorHSL; }
    void SetColorHSL(bool colorHSL);
    // The colour after the manager's global hue/saturation/lightness when the
    // control asks for it.
    DWORD GetAdjustColor(DWORD color) const;

    int GetBorderSize() const;
    // One width all round; clears the per-side widths.
    void SetBorderSize(int size);
    // Per-side widths; the single width stays as it is.
    void SetBorderSize(RECT rc);
    int GetLeftBorderSize() const;
    void SetLeftBorderSize(int size);
    int GetTopBorderSize() const;
    void SetTopBorderSize(int size);
    int GetRightBorderSize() const;
    void SetRightBorderSize(int size);
    int GetBottomBorderSize() const;
    void SetBottomBorderSize(int size);
    int GetBorderStyle() const { return m_nBorderStyle; }
    void SetBorderStyle(int style);
    SIZE GetBorderRound() const;
    void SetBorderRound(SIZE round);
    // The shape the keyboard focus ring follows, for artwork whose visible
    // body is smaller than the control and rounded ("focusshape": left, top,
    // right and bottom insets, then the corner radius, all unscaled). Scaled
    // insets and radius; all zero means the control's whole rectangle.
    RECT GetFocusInset() const;
    int GetFocusRadius() const;
    void SetFocusShape(RECT inset, int radius);

    // The virtual window of this control or of its nearest ancestor that has one.
    CSkinString GetVirtualWnd() const;
    void SetVirtualWnd(const wchar_t* value);

    // =========================================================================
    // Timers (through the paint manager; false without one)
    // =========================================================================
    bool SetTimer(UINT id, UINT elapse);
    bool KillTimer(UINT id);

    // =========================================================================
    // Update requests
    // =========================================================================
    // Repaint the visible part of the item rectangle.
    void Invalidate();
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    // Lay this control out again at the next paint.
    void NeedUpdate();
    // Lay the parent (or this control at the root) out again at the next paint.
    void NeedParentUpdate();

    // The standard cursor identifier of a cursor name; 0 for an unknown name.
    static WORD CursorFromName(const wchar_t* name);

    // Delegates: init, destroy, size (the control), event (TEventUI), notify (TNotifyUI).
    CEventSource OnInit;
    CEventSource OnDestroy;
    CEventSource OnSize;
    CEventSource OnEvent;
    CEventSource OnNotify;

protected:
    // A size written in the skin, scaled by the manager's DPI object.
    int Scale(int value) const;
    // The host's fonts, colours and images; null while the control has no host.
    CSkinResources* Resources() const;
    // Stores an image description (null as empty) and repaints when it changed.
    void StoreImage(CSkinString& field, const wchar_t* image);

    IControlHost* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CSkinString m_sVirtualWnd;
    CSkinString m_sName;
    bool m_bUpdateNeeded = true;
    bool m_bMenuUsed = false;
    RECT m_rcItem = {0, 0, 0, 0};
    RECT m_rcPadding = {0, 0, 0, 0};
    SIZE m_cXY = {0, 0};
    SIZE m_cxyFixed = {0, 0};
    SIZE m_cxyMin = {0, 0};
    SIZE m_cxyMax = {999999, 999999};
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    TPercentInfo m_piFloatPercent;
    bool m_bSetPos = false; // the size delegates are running
    bool m_bDragEnabled = false;
    bool m_bDropEnabled = false;
    bool m_bResourceText = false;
    CSkinString m_sText;
    CSkinString m_sToolTip;
    CSkinString m_sAccName;
    wchar_t m_chShortcut = 0;
    CSkinString m_sUserData;
    UINT_PTR m_pTag = 0;
    DWORD m_dwBackColor = 0;
    DWORD m_dwBackColor2 = 0;
    DWORD m_dwBackColor3 = 0;
    DWORD m_dwForeColor = 0;
    CSkinString m_sBkImage;
    CSkinString m_sForeImage;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwFocusBorderColor = 0;
    bool m_bColorHSL = false;
    int m_nBorderSize = 0;
    int m_nBorderStyle = PS_SOLID;
    int m_nTooltipWidth = 300;
    WORD m_wCursor = 0;
    SIZE m_cxyBorderRound = {0, 0};
    RECT m_rcFocusInset = {0, 0, 0, 0};
    int m_nFocusRadius = 0;
    RECT m_rcPaint = {0, 0, 0, 0};
    RECT m_rcBorderSize = {0, 0, 0, 0};
    HINSTANCE m_instance = nullptr;
    CStdStringPtrMap m_mCustomAttrHash; // name -> CSkinString*, owned
};

} // namespace SkinUI

// The paint manager: one per skinned window. It holds the window's resource
// registry (CSkinResources, render layer: fonts, colours, styles, images, the
// scale), keeps the window side itself and is the host that controls talk to
// (IControlHost).
//
// Sections of this class (banners below), with the files that implement them:
//   Construction ......................... PaintManagerUI.cpp
//   Display scale ........................ PaintManagerDPI.cpp
//   Resources (forwards) ................. render/SkinResources.h
//   Window and control tree, geometry ... PaintManagerTree.cpp
//   Messages, message loop ............... PaintManagerMessages.cpp
//   Focus, TAB order and capture,
//   focus ring and keyboard cues ......... PaintManagerFocus.cpp
//   Accessibility ........................ AccessibleUI.cpp
//   Notifications, filters, lookup,
//   option groups ........................ PaintManagerTree.cpp
//   Painting and invalidation, tooltips .. PaintManagerPaint.cpp
//   Timers ............................... PaintManagerTimers.cpp
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "skinui/control/ControlHost.h"
#include "skinui/control/UIDefs.h"
#include "skinui/core/Handles.h"
#include "skinui/core/SkinString.h"
#include "skinui/core/StdContainers.h"
#include "skinui/render/SkinResources.h"

namespace SkinUI {

class CAccessibleUI;
class CControlUI;
struct TInputRoute;

class CPaintManagerUI : public IControlHost {
public:
    // =========================================================================
    // Construction
    // =========================================================================

    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // The window's fonts, colours, styles and images.
    CSkinResources* GetResources() override { return &m_resources; }
    const CSkinResources* GetResources() const { return &m_resources; }

    // =========================================================================
    // Resources (forwards to the registry, render/SkinResources.h)
    // =========================================================================
    // Windows, tools and tests configure and read "the skin" on the manager;
    // the registry it holds does the work. Statics configure the process-wide
    // skin source.
    static HINSTANCE GetInstance() { return CSkinSource::GetInstance(); }
    static void SetInstance(HINSTANCE instance) { CSkinSource::SetInstance(instance); }
    static CSkinString GetInstancePath() { return CSkinSource::GetInstancePath(); }
    static HINSTANCE GetResourceDll() { return CSkinSource::GetResourceDll(); }
    static void SetResourceDll(HINSTANCE instance) { CSkinSource::SetResourceDll(instance); }
    static const CSkinString& GetResourcePath() { return CSkinSource::GetResourcePath(); }
    static void SetResourcePath(const wchar_t* path) { CSkinSource::SetResourcePath(path); }
    static int GetResourceType() { return CSkinSource::GetResourceType(); }
    static void SetResourceType(int type) { CSkinSource::SetResourceType(type); }
    static void SetResourceZip(const void* data, unsigned int size) {
        CSkinSource::SetResourceZip(data, size);
    }
    static void SetResourceZip(const wchar_t* name, bool cached = false) {
        CSkinSource::SetResourceZip(name, cached);
    }
    static const CSkinString& GetResourceZip() { return CSkinSource::GetResourceZip(); }
    static CResourceZip* GetResourceZipHandle() { return CSkinSource::GetResourceZipHandle(); }
    static bool IsCachedResourceZip() { return CSkinSource::IsCachedResourceZip(); }
    static void Term() { CSkinSource::Term(); }

    CDPI* GetDPIObj() { return m_resources.GetDPIObj(); }
    HDC GetPaintDC() const { return m_resources.GetPaintDC(); }
    HFONT AddFont(int id, const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                  bool shared = false) {
        return m_resources.AddFont(id, fontName, size, bold, underline, italic, shared);
    }
    HFONT GetFont(int id) { return m_resources.GetFont(id); }
    TFontInfo* GetFontInfo(int id) { return m_resources.GetFontInfo(id); }
    TFontInfo* GetDefaultFontInfo() { return m_resources.GetDefaultFontInfo(); }
    void SetDefaultFont(const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                        bool shared = false) {
        m_resources.SetDefaultFont(fontName, size, bold, underline, italic, shared);
    }
    void RemoveAllFonts(bool shared = false) { m_resources.RemoveAllFonts(shared); }
    DWORD GetDefaultDisabledColor() const { return m_resources.GetDefaultDisabledColor(); }
    void SetDefaultDisabledColor(DWORD color, bool shared = false) {
        m_resources.SetDefaultDisabledColor(color, shared);
    }
    DWORD GetDefaultFontColor() const { return m_resources.GetDefaultFontColor(); }
    void SetDefaultFontColor(DWORD color, bool shared = false) {
        m_resources.SetDefaultFontColor(color, shared);
    }
    DWORD GetDefaultLinkFontColor() const { return m_resources.GetDefaultLinkFontColor(); }
    void SetDefaultLinkFontColor(DWORD color, bool shared = false) {
        m_resources.SetDefaultLinkFontColor(color, shared);
    }
    DWORD GetDefaultLinkHoverFontColor() const {
        return m_resources.GetDefaultLinkHoverFontColor();
    }
    void SetDefaultLinkHoverFontColor(DWORD color, bool shared = false) {
        m_resources.SetDefaultLinkHoverFontColor(color, shared);
    }
    DWORD GetDefaultSelectedBkColor() const { return m_resources.GetDefaultSelectedBkColor(); }
    void SetDefaultSelectedBkColor(DWORD color, bool shared = false) {
        m_resources.SetDefaultSelectedBkColor(color, shared);
    }
    bool IsForceUseSharedRes() const { return m_resources.IsForceUseSharedRes(); }
    void SetForceUseSharedRes(bool force) { m_resources.SetForceUseSharedRes(force); }
    void AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* attrList,
                                 bool shared = false) {
        m_resources.AddDefaultAttributeList(controlName, attrList, shared);
    }
    const wchar_t* GetDefaultAttributeList(const wchar_t* controlName) const {
        return m_resources.GetDefaultAttributeList(controlName);
    }
    bool RemoveDefaultAttributeList(const wchar_t* controlName, bool shared = false) {
        return m_resources.RemoveDefaultAttributeList(controlName, shared);
    }
    void RemoveAllDefaultAttributeList(bool shared = false) {
        m_resources.RemoveAllDefaultAttributeList(shared);
    }
    void AddStyle(const wchar_t* name, const wchar_t* style, bool shared = false) {
        m_resources.AddStyle(name, style, shared);
    }
    const wchar_t* GetStyle(const wchar_t* name) const { return m_resources.GetStyle(name); }
    bool RemoveStyle(const wchar_t* name, bool shared = false) {
        return m_resources.RemoveStyle(name, shared);
    }
    void RemoveAllStyle(bool shared = false) { m_resources.RemoveAllStyle(shared); }
    TImageInfo* AddImage(const wchar_t* bitmap, const wchar_t* type = nullptr, DWORD mask = 0,
                         bool useHSL = false, bool shared = false, HINSTANCE instance = nullptr) {
        return m_resources.AddImage(bitmap, type, mask, useHSL, shared, instance);
    }
    TImageInfo* GetImage(const wchar_t* bitmap) { return m_resources.GetImage(bitmap); }
    TImageInfo* GetImageEx(const wchar_t* bitmap, const wchar_t* type = nullptr, DWORD mask = 0,
                           bool useHSL = false, HINSTANCE instance = nullptr) {
        return m_resources.GetImageEx(bitmap, type, mask, useHSL, instance);
    }
    bool RemoveImage(const wchar_t* bitmap, bool shared = false) {
        return m_resources.RemoveImage(bitmap, shared);
    }
    void RemoveAllImages(bool shared = false) { m_resources.RemoveAllImages(shared); }
    TImageInfo* GetImageString(const wchar_t* image, const wchar_t* modify = nullptr) {
        return m_resources.GetImageString(image, modify);
    }
    TDrawInfo* GetDrawInfo(const wchar_t* image, const wchar_t* modify) {
        return m_resources.GetDrawInfo(image, modify);
    }
    bool IsLayered() const { return m_resources.IsLayered(); }
    void SetLayered(bool layered) { m_resources.SetLayered(layered); }
    bool IsUseGdiplusText() const { return m_resources.IsUseGdiplusText(); }
    void SetUseGdiplusText(bool use) { m_resources.SetUseGdiplusText(use); }
    int GetGdiplusTextRenderingHint() const { return m_resources.GetGdiplusTextRenderingHint(); }

    // =========================================================================
    // Window and control tree (PaintManagerTree.cpp)
    // =========================================================================
    // A plug-in control library: makes a control for an element name, or null.
    typedef CControlUI* (*LPCREATECONTROL)(const wchar_t* name);

    // Binds the manager to its window: clears the window's resource tables,
    // option groups and timers, takes the window's device context and joins
    // the process-wide list (once per window).
    void Init(HWND hWnd, const wchar_t* name = nullptr);
    HWND GetPaintWindow() const override { return m_hWndPaint; }
    const CSkinString& GetName() const { return m_sName; }
    // The window's client size; (0, 0) without a window.
    SIZE GetClientSize() const;
    CControlUI* GetRoot() const { return m_pRoot; }
    // Makes `control` the root of the window's tree and attaches the tree. The
    // old tree goes to the delayed clean-up (it may be inside its own event).
    // Nothing is laid out or painted before the next WM_PAINT.
    bool AttachDialog(CControlUI* control);
    // Attaches a subtree (parent defaults to the control's own) and records its
    // names.
    bool InitControls(CControlUI* control, CControlUI* parent = nullptr) override;
    // Forgets a control being deleted: its roles, timers, name and the sender
    // of its queued notifications.
    void ReapObjects(CControlUI* control) override;
    // Detaches the control now and deletes it at the next queue drain, never
    // during the event that asked for it.
    void AddDelayedCleanup(CControlUI* control) override;
    // Every initialised manager of the process, in Init order.
    static CStdPtrArray* GetPaintManagers();
    // LPCREATECONTROL entries the dialog builder consults before its callback.
    static CStdPtrArray* GetPlugins();

    // =========================================================================
    // Window geometry (filled from the skin, read by the window base)
    // =========================================================================
    SIZE GetInitSize();
    // Without a tree yet the window is resized at once.
    void SetInitSize(int cx, int cy);
    RECT& GetSizeBox() { return m_rcSizeBox; }
    void SetSizeBox(RECT& rcSizeBox) { m_rcSizeBox = rcSizeBox; }
    RECT& GetCaptionRect() { return m_rcCaption; }
    void SetCaptionRect(RECT& rcCaption) { m_rcCaption = rcCaption; }
    SIZE GetRoundCorner() const { return m_szRoundCorner; }
    void SetRoundCorner(int cx, int cy);
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const { return m_szMaxWindow; }
    void SetMaxInfo(int cx, int cy);

    // =========================================================================
    // Display scale (PaintManagerDPI.cpp)
    // =========================================================================
    // Init takes the window's dots per inch; WM_DPICHANGED brings a new value.
    // A change of scale remakes the fonts, drops the parsed descriptions and
    // this window's images (loaded again at the new scale's artwork), lays the
    // tree out again and repaints. Geometry read from the window element
    // (size box, caption, round corner, minimum and maximum size) is kept as
    // written and scaled when the window base reads it.
    void SetDPI(int dpi);
    // For previews: any scale in percent.
    void SetScale(int scale);
    // WM_DPICHANGED: the new scale, then the system's suggested rectangle.
    bool OnDpiChanged(WPARAM wParam, LPARAM lParam);
    BYTE GetOpacity() const { return m_nOpacity; }
    void SetOpacity(BYTE opacity) { m_nOpacity = opacity; }
    void SetLayeredOpacity(BYTE opacity) { m_nOpacity = opacity; }
    bool IsShowUpdateRect() const { return m_bShowUpdateRect; }
    void SetShowUpdateRect(bool show) { m_bShowUpdateRect = show; }

    // =========================================================================
    // Messages (PaintManagerMessages.cpp)
    // =========================================================================
    // Called by the window for every message its own handlers left; true when
    // the message is consumed (its result is then in lRes).
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Pre-message filters, then TAB, Alt+letter shortcuts and Alt keys.
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // True when an accelerator translator translated the message.
    bool TranslateAcceleratorW(LPMSG pMsg);
    // Run by message loops for every message before the system's translation
    // and dispatch; true means the message must not be dispatched.
    static bool TranslateMessage(const LPMSG pMsg);
    // Until WM_QUIT.
    static void MessageLoop();

    // =========================================================================
    // Focus, TAB order and capture (PaintManagerFocus.cpp)
    // =========================================================================
    CControlUI* GetFocus() const override { return m_pFocus; }
    // Moves the focus, with EventKillFocus/"killfocus" for the old control and
    // EventSetFocus/"setfocus" for the new one; null only takes it away.
    void SetFocus(CControlUI* control) override;
    // Takes the focus away now and lands it on `control` after the next layout.
    void SetFocusNeeded(CControlUI* control) override;
    // Moves the focus to the next (previous) tab stop, wrapping around.
    bool SetNextTabControl(bool forward = true) override;
    void SetCapture();
    void ReleaseCapture() override;
    bool IsCaptured() const { return m_bMouseCapture; }
    POINT GetMousePos() const { return m_ptLastMousePos; }
    // Whether a person can see the control: it and its ancestors are visible
    // and some of it lies inside every ancestor and the window's client area.
    // Only such controls are tab stops or answer their shortcut keys.
    bool IsControlShown(CControlUI* control) const;

    // =========================================================================
    // Focus ring and keyboard cues (PaintManagerFocus.cpp)
    // =========================================================================
    // The ring around the focus control is drawn while the keyboard cues are
    // shown: keyboard use shows them and a mouse click hides them, through
    // WM_CHANGEUISTATE as the system's dialogs do. The skin's window
    // attributes "focusringcolor" and "focusringinset" (pixels inwards from
    // the control's edge; negative draws outside it) set its look.
    bool AreFocusCuesShown() const { return m_bFocusCuesShown; }
    void ShowFocusCues(bool show);
    DWORD GetFocusRingColor() const { return m_dwFocusRingColor; }
    void SetFocusRingColor(DWORD argb);
    int GetFocusRingInset() const { return m_nFocusRingInset; }
    void SetFocusRingInset(int inset);
    // The rectangle the ring covers around the control (client coordinates).
    RECT FocusRingRect(CControlUI* control);

    // =========================================================================
    // Accessibility (AccessibleUI.cpp)
    // =========================================================================
    // Raises the WinEvent for the control when it is a child of the window's
    // accessible object.
    void NotifyAccessibleChange(CControlUI* control, DWORD event) override;

    // =========================================================================
    // Notifications (PaintManagerTree.cpp)
    // =========================================================================
    // Synchronous: the sender's notify delegates, then every receiver, before
    // returning. Asynchronous: queued and delivered from a posted WM_APP + 1.
    void SendNotify(TNotifyUI& msg, bool async = false);
    void SendNotify(CControlUI* control, const wchar_t* message, WPARAM wParam = 0,
                    LPARAM lParam = 0, bool async = false) override;
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    // Switched on by the first control given a virtual window.
    void UsedVirtualWnd(bool used) override { m_bUsedVirtualWnd = used; }
    bool IsUsedVirtualWnd() const { return m_bUsedVirtualWnd; }

    // =========================================================================
    // Filters and post-paint controls (PaintManagerTree.cpp)
    // =========================================================================
    // Each Add appends; each Remove removes the first equal entry and answers
    // whether there was one.
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    bool AddTranslateAccelerator(ITranslateAccelerator* translator);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* translator);
    int GetPostPaintCount() const { return m_aPostPaintControls.GetSize(); }
    bool AddPostPaint(CControlUI* control);
    bool RemovePostPaint(CControlUI* control);
    bool SetPostPaintIndex(CControlUI* control, int index);
    // Child windows copied into the image in layered mode (not drawn by this
    // build, which paints only non-layered windows).
    bool AddPaintChildWnd(HWND hChildWnd);
    bool RemovePaintChildWnd(HWND hChildWnd);

    // =========================================================================
    // Lookup (PaintManagerTree.cpp)
    // =========================================================================
    // By name, case-sensitively; the control registered last wins.
    CControlUI* FindControl(const wchar_t* name) const override;
    // The topmost visible, mouse-enabled control under the point.
    CControlUI* FindControl(POINT pt) const;
    // Below `parent` (null = the root); names compare ignoring case.
    CControlUI* FindSubControlByName(CControlUI* parent, const wchar_t* name) const override;
    CControlUI* FindSubControlByPoint(CControlUI* parent, POINT pt) const;
    // Match number `index` (from 0) of the class name, in search order.
    CControlUI* FindSubControlByClass(CControlUI* parent, const wchar_t* className, int index = 0);
    // Every control of the class ("*" = all) into the found-controls list.
    CStdPtrArray* FindSubControlsByClass(CControlUI* parent, const wchar_t* className);
    CStdPtrArray* GetFoundControls() { return &m_aFoundControls; }

    // =========================================================================
    // Option groups (PaintManagerTree.cpp)
    // =========================================================================
    // False when the control is in the group already.
    bool AddOptionGroup(const wchar_t* groupName, CControlUI* control) override;
    CStdPtrArray* GetOptionGroup(const wchar_t* groupName) override;
    // A group that becomes empty is deleted.
    void RemoveOptionGroup(const wchar_t* groupName, CControlUI* control) override;
    void RemoveAllOptionGroups();

    // =========================================================================
    // Painting and invalidation (PaintManagerPaint.cpp)
    // =========================================================================
    // A layout pass is due at the next paint.
    void NeedUpdate() override { m_bUpdateNeeded = true; }
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    // The whole window.
    void Invalidate();
    // A normalised copy of the rectangle (left and top at least 0, no negative
    // width or height) is repainted at the next paint.
    void Invalidate(RECT& rcItem) override;
    bool IsPainting() const { return m_bIsPainting; }
    void SetPainting(bool painting) { m_bIsPainting = painting; }
    // The off-screen image of the last paint; null before the first paint and
    // after a relayout of the whole tree until the next paint.
    HDC GetOffscreenDC() const { return m_offscreenDC.Get(); }

    // =========================================================================
    // Timers (PaintManagerTimers.cpp)
    // =========================================================================
    // Each control timer runs on its own window timer, whose id comes from the
    // manager's counter (17, 18, ... 239, 0, 1, ...). A running (control, id)
    // pair answers false; a killed one is restarted with its window timer id.
    bool SetTimer(CControlUI* control, UINT timerID, UINT elapse) override;
    // Stops the timer and keeps its record for a restart.
    bool KillTimer(CControlUI* control, UINT timerID) override;
    // Stops and forgets every timer of the control.
    void KillTimer(CControlUI* control);
    void RemoveAllTimers();

protected:
    struct TTimerInfo;

    // Message side (PaintManagerMessages.cpp).
    static WORD CurrentKeyState();
    // Every event record starts here: type, addressee and timestamp, the rest
    // zero; the input table and the focus code fill in what their message gives.
    static TEventUI MakeEvent(int type, CControlUI* sender);
    // Handlers of the message entry; those that answer a bool answer whether
    // the message is consumed.
    bool RunMessageFilters(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void OnUpdateUIState(WPARAM wParam);
    void OnClose();
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnSize();
    void OnWindowFocus(WPARAM wParam, LPARAM lParam);
    bool OnSetCursor(WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool ReflectToChild(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Input: every event is built from a row of the input table.
    void SendRouted(const TInputRoute& route, CControlUI* target, POINT pt, WPARAM wParam,
                    LPARAM lParam);
    bool RouteInput(const TInputRoute& route, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool RouteMouseMove(const TInputRoute& route, POINT pt, WPARAM wParam, LPARAM lParam);
    bool RouteMouseHover(const TInputRoute& route, POINT pt, WPARAM wParam, LPARAM lParam,
                         LRESULT& lRes);
    bool RouteMouseLeave();
    void DrainAsyncNotify();
    void DeliverNotify(TNotifyUI& msg);
    // Painting side (PaintManagerPaint.cpp, PaintManagerTimers.cpp).
    void OnPaint();
    void OnPrintClient(HDC hDC, LPARAM lParam);
    void OnTimer(WPARAM wParam, LPARAM lParam);
    void ShowToolTip(CControlUI* control);
    void HideToolTip();
    void ReleaseOffscreen();
    void ShutdownWindowSide();
    // Focus ring (PaintManagerFocus.cpp).
    void PaintFocusRing(HDC hDC);
    void InvalidateFocusRing();
    // Accessibility (AccessibleUI.cpp): WM_GETOBJECT, and the default action
    // that an accessibility client asked for, run from the message queue.
    bool OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void RunAccessibleAction(LPARAM control);
    void DetachAccessible();

    // The first member, so it is destroyed last: GDI+, which it starts, must
    // outlive every image and font of the window.
    CSkinResources m_resources;
    HWND m_hWndPaint = nullptr;
    // The window's DC, lent to the resources for measuring fonts.
    CWindowDC m_paintDC;
    CSkinString m_sName;
    CMemoryDC m_offscreenDC;
    CGdiObject<HBITMAP> m_offscreenBitmap;
    BYTE* m_pOffscreenBits = nullptr;
    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventKey = nullptr;
    POINT m_ptLastMousePos = {-1, -1};
    bool m_bMouseTracking = false;
    bool m_bMouseCapture = false;
    bool m_bFirstLayout = true;
    bool m_bUpdateNeeded = false;
    bool m_bFocusNeeded = false;
    bool m_bOffscreenPaint = true;
    bool m_bShowUpdateRect = false;
    bool m_bIsPainting = false;
    bool m_bUsedVirtualWnd = false;
    // The window opens with the focus on its first tab stop, which Return
    // and Space act on at once; the ring says so until the mouse is used.
    // Hidden until the keyboard is used, as the system's windows start when
    // a person opens them with the mouse.
    bool m_bFocusCuesShown = false;
    DWORD m_dwFocusRingColor = 0xFF1464C8;
    int m_nFocusRingInset = -2;
    // Created on the first WM_GETOBJECT; clients may keep it beyond the
    // window's life, so the manager only detaches it at its end.
    ComPtr<CAccessibleUI> m_pAccessible;
    BYTE m_nOpacity = 255;
    RECT m_rcLayeredUpdate = {0, 0, 0, 0};
    SIZE m_szInitWindowSize = {0, 0};
    RECT m_rcSizeBox = {0, 0, 0, 0};
    RECT m_rcCaption = {0, 0, 0, 0};
    SIZE m_szRoundCorner = {0, 0};
    SIZE m_szMinWindow = {0, 0};
    SIZE m_szMaxWindow = {0, 0};
    UINT m_uTimerID = 0x1000;
    HWND m_hwndTooltip = nullptr;
    TOOLINFOW m_ToolTip = {};
    CStdPtrArrayOf<INotifyUI> m_aNotifiers{0};
    CStdPtrArrayOf<TTimerInfo> m_aTimers{0}; // owned
    CStdPtrArrayOf<IMessageFilterUI> m_aPreMessageFilters{0};
    CStdPtrArrayOf<IMessageFilterUI> m_aMessageFilters{0};
    CStdPtrArrayOf<ITranslateAccelerator> m_aTranslateAccelerator{0};
    CStdPtrArrayOf<CControlUI> m_aPostPaintControls{0};
    CStdPtrArrayOf<HWND__> m_aChildWnds{0};
    CStdPtrArrayOf<CControlUI> m_aDelayedCleanup{0}; // owned
    CStdPtrArrayOf<TNotifyUI> m_aAsyncNotify{0};     // owned
    CStdPtrArrayOf<CControlUI> m_aFoundControls{0};
    CStdStringPtrMap m_mNameHash{83};    // name -> CControlUI*
    CStdStringPtrMap m_mOptionGroup{83}; // group -> CStdPtrArray*, owned
    static CStdPtrArrayOf<CPaintManagerUI> m_aPreMessages;
    static CStdPtrArray m_aPlugins; // LPCREATECONTROL
};

} // namespace SkinUI

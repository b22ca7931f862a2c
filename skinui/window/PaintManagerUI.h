// The paint manager: one per skinned window, plus the process-wide state that
// all windows share (the module, the skin file source and the shared resource
// registries).
//
// Sections of this class (banners below), with the files that implement them:
//   Construction ......................... PaintManagerUI.cpp
//   Resource source (process-wide) ....... PaintManagerSource.cpp
//   DPI and paint device ................. PaintManagerUI.cpp
//   Fonts ................................ PaintManagerResources.cpp
//   Default colours ...................... PaintManagerResources.cpp
//   Default attribute lists and styles ... PaintManagerResources.cpp
//   Images and image descriptions ........ PaintManagerImages.cpp
//   Window and control tree, geometry ... PaintManagerTree.cpp
//   Messages, message loop ............... PaintManagerMessages.cpp
//   Focus, TAB order and capture ......... PaintManagerFocus.cpp
//   Notifications, filters, lookup,
//   option groups ........................ PaintManagerTree.cpp
//   Painting and invalidation, tooltips .. PaintManagerPaint.cpp
//   Timers ............................... PaintManagerTimers.cpp
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "skinui/core/SkinString.h"
#include "skinui/core/StdContainers.h"
#include "skinui/render/ResInfo.h"
#include "skinui/render/GdiplusApi.h"
#include "skinui/window/DPI.h"
#include "skinui/window/UIDefs.h"

namespace SkinUI {

class CControlUI;
class CResourceZip;
struct TImageInfo;
struct TDrawInfo;
struct TInputRoute;

class CPaintManagerUI {
public:
    // =========================================================================
    // Construction
    // =========================================================================

    // The first manager of the process also prepares the shared default font
    // and colours; every manager starts with a copy of the shared colours and
    // no default font of its own.
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // =========================================================================
    // Resource source (process-wide)
    // =========================================================================
    // Configured once at start-up, before the first window; UI thread only.

    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE instance);
    // The directory of the instance's module file, with its last backslash;
    // empty while there is no instance.
    static CSkinString GetInstancePath();
    // The module that holds resources; the instance while none was set.
    static HINSTANCE GetResourceDll();
    static void SetResourceDll(HINSTANCE instance);

    // Prefix of every skin file name; a non-empty path always ends with '\' or '/'.
    static const CSkinString& GetResourcePath();
    static void SetResourcePath(const wchar_t* path);
    // Stored and returned only; no lookup depends on it.
    static int GetResourceType();
    static void SetResourceType(int type);

    // An archive held in memory, read in place: the block must outlive the
    // archive. Only the first call has an effect. The archive is opened at once
    // and kept open whatever the cached flag says, since a block of memory has
    // no file to reopen.
    static void SetResourceZip(const void* data, unsigned int size);
    // An archive file under the resource path. With `cached` it is opened now and
    // kept open; without, it is opened for every file read.
    static void SetResourceZip(const wchar_t* name, bool cached = false);
    // The archive name ("membuffer" for a memory archive); empty: plain files.
    static const CSkinString& GetResourceZip();
    static CResourceZip* GetResourceZipHandle();
    static bool IsCachedResourceZip();
    // Closes the kept archive. A memory archive is forgotten with it, since its
    // block is no longer referenced; a later SetResourceZip starts afresh.
    static void Term();

    // The colour adjustment applied to images registered with use-HSL; off
    // unless switched on, and the installer never switches it on.
    static bool IsUseHSL();
    static void SetHSL(bool use, short H = 180, short S = 100, short L = 100);
    static void GetHSL(short* H, short* S, short* L);

    // =========================================================================
    // DPI and paint device
    // =========================================================================

    // The scale applied to sizes from the skin (fonts, image rectangles, the
    // window size). Scale 100 (96 dpi) unless changed; the installer keeps it.
    CDPI* GetDPIObj() { return &m_DPI; }
    // The window's device context, used here to measure fonts; null until the
    // manager has a window.
    HDC GetPaintDC() const { return m_hDcPaint; }

    // =========================================================================
    // Fonts
    // =========================================================================
    // Ids are decimal keys; the shared table serves every window. A lookup
    // that finds nothing answers the default font: this manager's own when set,
    // else the shared one.

    HFONT AddFont(int id, const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                  bool shared = false);
    HFONT GetFont(int id);
    TFontInfo* GetFontInfo(int id);
    TFontInfo* GetDefaultFontInfo();
    void SetDefaultFont(const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                        bool shared = false);
    void RemoveAllFonts(bool shared = false);

    // =========================================================================
    // Default colours
    // =========================================================================
    // Setters with `shared` change the process-wide value (and this manager's
    // own value when it still followed the shared one); getters read this
    // manager's own record.

    DWORD GetDefaultDisabledColor() const;
    void SetDefaultDisabledColor(DWORD color, bool shared = false);
    DWORD GetDefaultFontColor() const;
    void SetDefaultFontColor(DWORD color, bool shared = false);
    DWORD GetDefaultLinkFontColor() const;
    void SetDefaultLinkFontColor(DWORD color, bool shared = false);
    DWORD GetDefaultLinkHoverFontColor() const;
    void SetDefaultLinkHoverFontColor(DWORD color, bool shared = false);
    DWORD GetDefaultSelectedBkColor() const;
    void SetDefaultSelectedBkColor(DWORD color, bool shared = false);

    // While set, every registration of this manager goes to the shared tables.
    bool IsForceUseSharedRes() const { return m_bForceUseSharedRes; }
    void SetForceUseSharedRes(bool force) { m_bForceUseSharedRes = force; }

    // =========================================================================
    // Default attribute lists and styles
    // =========================================================================
    // Lookups try this manager's table, then the shared one; null when absent.

    void AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* attrList,
                                 bool shared = false);
    const wchar_t* GetDefaultAttributeList(const wchar_t* controlName) const;
    bool RemoveDefaultAttributeList(const wchar_t* controlName, bool shared = false);
    void RemoveAllDefaultAttributeList(bool shared = false);

    void AddStyle(const wchar_t* name, const wchar_t* style, bool shared = false);
    const wchar_t* GetStyle(const wchar_t* name) const;
    bool RemoveStyle(const wchar_t* name, bool shared = false);
    void RemoveAllStyle(bool shared = false);

    // =========================================================================
    // Images and image descriptions (implemented with the image loader)
    // =========================================================================
    // Images are decoded once and cached by name: per window, or per process in
    // the shared table. Lookups try this manager's table, then the shared one.

    TImageInfo* AddImage(const wchar_t* bitmap, const wchar_t* type = nullptr, DWORD mask = 0,
                         bool useHSL = false, bool shared = false, HINSTANCE instance = nullptr);
    TImageInfo* GetImage(const wchar_t* bitmap);
    // GetImage, registering the image in this manager's table on a miss.
    TImageInfo* GetImageEx(const wchar_t* bitmap, const wchar_t* type = nullptr, DWORD mask = 0,
                           bool useHSL = false, HINSTANCE instance = nullptr);
    bool RemoveImage(const wchar_t* bitmap, bool shared = false);
    void RemoveAllImages(bool shared = false);
    // The image an image description names, loaded through GetImageEx.
    TImageInfo* GetImageString(const wchar_t* image, const wchar_t* modify = nullptr);
    // The description and modifier parsed once per window and cached.
    TDrawInfo* GetDrawInfo(const wchar_t* image, const wchar_t* modify);
    void RemoveAllDrawInfos();

    // =========================================================================
    // Drawing options read by the render engine
    // =========================================================================
    // A layered window blends every image and draws text through GDI+; the
    // GDI+ text option does the latter for an ordinary window. The hint is a
    // GDI+ text rendering hint, used when it is 1 to 5.

    bool IsLayered() const { return m_bLayered; }
    void SetLayered(bool layered) { m_bLayered = layered; }
    bool IsUseGdiplusText() const { return m_bUseGdiplusText; }
    void SetUseGdiplusText(bool use) { m_bUseGdiplusText = use; }
    int GetGdiplusTextRenderingHint() const { return m_trh; }
    void SetGdiplusTextRenderingHint(int trh) { m_trh = trh; }

    // =========================================================================
    // Window and control tree (PaintManagerTree.cpp)
    // =========================================================================
    // A plug-in control library: makes a control for an element name, or null.
    typedef CControlUI* (*LPCREATECONTROL)(const wchar_t* name);

    // Binds the manager to its window: clears the window's resource tables,
    // option groups and timers, takes the window's device context and joins
    // the process-wide list (once per window).
    void Init(HWND hWnd, const wchar_t* name = nullptr);
    HWND GetPaintWindow() const { return m_hWndPaint; }
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
    bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
    // Forgets a control being deleted: its roles, timers, name and the sender
    // of its queued notifications.
    void ReapObjects(CControlUI* control);
    // Detaches the control now and deletes it at the next queue drain, never
    // during the event that asked for it.
    void AddDelayedCleanup(CControlUI* control);
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
    CControlUI* GetFocus() const { return m_pFocus; }
    // Moves the focus, with EventKillFocus/"killfocus" for the old control and
    // EventSetFocus/"setfocus" for the new one; null only takes it away.
    void SetFocus(CControlUI* control);
    // Takes the focus away now and lands it on `control` after the next layout.
    void SetFocusNeeded(CControlUI* control);
    // Moves the focus to the next (previous) tab stop, wrapping around.
    bool SetNextTabControl(bool forward = true);
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return m_bMouseCapture; }
    POINT GetMousePos() const { return m_ptLastMousePos; }

    // =========================================================================
    // Notifications (PaintManagerTree.cpp)
    // =========================================================================
    // Synchronous: the sender's notify delegates, then every receiver, before
    // returning. Asynchronous: queued and delivered from a posted WM_APP + 1.
    void SendNotify(TNotifyUI& msg, bool async = false);
    void SendNotify(CControlUI* control, const wchar_t* message, WPARAM wParam = 0,
                    LPARAM lParam = 0, bool async = false);
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    // Switched on by the first control given a virtual window.
    void UsedVirtualWnd(bool used) { m_bUsedVirtualWnd = used; }
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
    CControlUI* FindControl(const wchar_t* name) const;
    // The topmost visible, mouse-enabled control under the point.
    CControlUI* FindControl(POINT pt) const;
    // Below `parent` (null = the root); names compare ignoring case.
    CControlUI* FindSubControlByName(CControlUI* parent, const wchar_t* name) const;
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
    bool AddOptionGroup(const wchar_t* groupName, CControlUI* control);
    CStdPtrArray* GetOptionGroup(const wchar_t* groupName);
    // A group that becomes empty is deleted.
    void RemoveOptionGroup(const wchar_t* groupName, CControlUI* control);
    void RemoveAllOptionGroups();

    // =========================================================================
    // Painting and invalidation (PaintManagerPaint.cpp)
    // =========================================================================
    // A layout pass is due at the next paint.
    void NeedUpdate() { m_bUpdateNeeded = true; }
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    // The whole window.
    void Invalidate();
    // A normalised copy of the rectangle (left and top at least 0, no negative
    // width or height) is repainted at the next paint.
    void Invalidate(RECT& rcItem);
    bool IsPainting() const { return m_bIsPainting; }
    void SetPainting(bool painting) { m_bIsPainting = painting; }
    // The off-screen image of the last paint; null before the first paint and
    // after a relayout of the whole tree until the next paint.
    HDC GetOffscreenDC() const { return m_hDcOffscreen; }

    // =========================================================================
    // Timers (PaintManagerTimers.cpp)
    // =========================================================================
    // Each control timer runs on its own window timer, whose id comes from the
    // manager's counter (17, 18, ... 239, 0, 1, ...). A running (control, id)
    // pair answers false; a killed one is restarted with its window timer id.
    bool SetTimer(CControlUI* control, UINT timerID, UINT elapse);
    // Stops the timer and keeps its record for a restart.
    bool KillTimer(CControlUI* control, UINT timerID);
    // Stops and forgets every timer of the control.
    void KillTimer(CControlUI* control);
    void RemoveAllTimers();

protected:
    // Where a registration of this manager goes.
    TResInfo& TargetResInfo(bool shared) {
        return shared || m_bForceUseSharedRes ? m_SharedResInfo : m_ResInfo;
    }
    HFONT CreateSkinFont(const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                         CSkinString* usedName);
    void MeasureFont(TFontInfo* info);
    static void FreeFontTable(CStdStringPtrMap& table);
    static void FreeTextTable(CStdStringPtrMap& table);

    // ---- Process-wide state ------------------------------------------------
    static HINSTANCE m_hInstance;
    static HINSTANCE m_hResourceInstance;
    static CSkinString m_pStrResourcePath;
    static CSkinString m_pStrResourceZip;
    static bool m_bCachedResourceZip;
    static CResourceZip* m_hResourceZip;
    static int m_nResType;
    static bool m_bUseHSL;
    static short m_H;
    static short m_S;
    static short m_L;
    static TResInfo m_SharedResInfo;

    // ---- Per window --------------------------------------------------------
    HDC m_hDcPaint = nullptr;
    CDPI m_DPI;
    bool m_bForceUseSharedRes = false;
    TResInfo m_ResInfo;
    bool m_bLayered = false;
    bool m_bUseGdiplusText = false;
    int m_trh = 0;

    // ---- Window and control tree (the sections above this line are the
    //      resource side; everything below belongs to the window side) ------
    struct TTimerInfo;
    // Runs the window side's clean-up when the manager is destroyed. It is the
    // last member, so it runs first among the members, while every other
    // member is still alive, and before GDI+ stops.
    class CWindowTeardown {
    public:
        explicit CWindowTeardown(CPaintManagerUI* owner) : m_owner(owner) {}
        ~CWindowTeardown();
        CWindowTeardown(const CWindowTeardown&) = delete;
        CWindowTeardown& operator=(const CWindowTeardown&) = delete;

    private:
        CPaintManagerUI* m_owner;
    };
    friend class CWindowTeardown;

    // Message side (PaintManagerMessages.cpp).
    static WORD CurrentKeyState();
    // Every event record starts here: type, addressee and timestamp, the rest
    // zero; the input table and the focus code fill in what their message gives.
    static TEventUI MakeEvent(int type, CControlUI* sender);
    // Steps of the message entry; each answers whether the message is consumed.
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

    HWND m_hWndPaint = nullptr;
    CSkinString m_sName;
    HDC m_hDcOffscreen = nullptr;
    HBITMAP m_hbmpOffscreen = nullptr;
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
    CStdPtrArray m_aNotifiers{0};            // INotifyUI*
    CStdPtrArray m_aTimers{0};               // TTimerInfo*, owned
    CStdPtrArray m_aPreMessageFilters{0};    // IMessageFilterUI*
    CStdPtrArray m_aMessageFilters{0};       // IMessageFilterUI*
    CStdPtrArray m_aTranslateAccelerator{0}; // ITranslateAccelerator*
    CStdPtrArray m_aPostPaintControls{0};    // CControlUI*
    CStdPtrArray m_aChildWnds{0};            // HWND
    CStdPtrArray m_aDelayedCleanup{0};       // CControlUI*, owned
    CStdPtrArray m_aAsyncNotify{0};          // TNotifyUI*, owned
    CStdPtrArray m_aFoundControls{0};        // CControlUI*
    CStdStringPtrMap m_mNameHash{83};        // name -> CControlUI*
    CStdStringPtrMap m_mOptionGroup{83};     // group -> CStdPtrArray*, owned
    CGdiplusSession m_gdiplus;
    static CStdPtrArray m_aPreMessages; // CPaintManagerUI*
    static CStdPtrArray m_aPlugins;     // LPCREATECONTROL
    // Keep this the last member (see CWindowTeardown).
    CWindowTeardown m_windowTeardown{this};
};

} // namespace SkinUI

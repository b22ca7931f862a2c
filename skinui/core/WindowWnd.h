// One native window and the object that handles its messages: class
// registration (own class or a superclass of a system class), creation, the
// window procedures that find the object again, subclassing, a modal loop and
// a few small window operations.
#pragma once

#include <windows.h>

#include "skinui/core/Handles.h"

namespace SkinUI {

class CWindowWnd {
public:
    // =========================================================================
    // Construction
    // =========================================================================
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    // Null until created, and again after WM_NCDESTROY.
    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // =========================================================================
    // Registration and creation
    // =========================================================================
    // An existing class of the same name counts as success.
    bool RegisterWindowClass();
    // Registers GetWindowClassName as a copy of GetSuperClassName whose
    // messages reach this object first; false when the super class is unknown.
    bool RegisterSuperclass();

    // Registers the class, then creates the window with this object as its
    // creation parameter. Null on any failure.
    HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, HMENU menu = nullptr);
    HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rc,
                HMENU menu = nullptr);
    // At position 0, 0 with size 0 x 0: the skin sets the size.
    HWND CreateSkinWindow(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle);

    // Routes the messages of an existing window through this object; null on
    // failure.
    HWND Subclass(HWND window);
    void Unsubclass();

    // =========================================================================
    // Window operations
    // =========================================================================
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Shows the window, disables its owner and runs a message loop until the
    // window is gone. Answers the code given to Close (0 when none). A
    // WM_QUIT that ends the loop is posted again for the outer loop.
    UINT ShowModal();
    // The process's message pre-translation, run by the modal loop before the
    // system's translation and dispatch; true means "do not dispatch". The
    // paint manager installs its own when the first one is made, so windows of
    // this layer never need to know it.
    typedef bool (*MESSAGETRANSLATOR)(const LPMSG msg);
    static void SetMessageTranslator(MESSAGETRANSLATOR translator);
    // Posts WM_CLOSE with the code as wParam.
    void Close(UINT code = IDOK);
    // Centres the window over its owner (or the work area), kept inside the
    // work area of the nearest monitor.
    void CenterWindow();
    // The icon resource `id` of the module, as the big and the small icon.
    void SetIcon(UINT id);
    // -1 keeps the current client width or height.
    void ResizeClient(int cx = -1, int cy = -1);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    // =========================================================================
    // Overridable hooks
    // =========================================================================
    virtual const wchar_t* GetWindowClassName() const = 0;
    // Null: a class of its own; otherwise the system class to superclass.
    virtual const wchar_t* GetSuperClassName() const;
    virtual UINT GetClassStyle() const;
    // The default: the previous window procedure.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY; the object no longer has a window.
    virtual void OnFinalMessage(HWND window);

    // The object lives in the window's user data.
    static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    // For superclassed system windows, whose user data belongs to the system
    // class: the object lives in a window property.
    static LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    // Both procedures, over where the object lives (Slot: Set, Get, Clear).
    template <typename Slot>
    static LRESULT Route(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_OldWndProc;
    bool m_bSubclassed = false;

private:
    // The icons set by SetIcon, destroyed with the object.
    UniqueIcon m_hIconBig;
    UniqueIcon m_hIconSmall;
    static MESSAGETRANSLATOR s_translator;
};

// The module that window classes and resources belong to: the skin
// source's instance, or the program itself when none was set.
HINSTANCE WindowModuleInstance();

} // namespace SkinUI

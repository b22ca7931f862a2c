// A single-line text field. The framework draws its text; while it has the
// focus a native edit window sits exactly over the text area, takes the typing
// and copies every change back ("textchanged"). Return gives "return".
//
// Life of the native window: closed (the control draws its text) -> focus
// arrives -> open (the native window covers the text, has the keyboard focus,
// its whole text selected) -> the keyboard focus leaves it (a click elsewhere,
// TAB, another window, the control hidden) -> it posts itself WM_CLOSE ->
// closed again, the text kept in the control.
#pragma once

#include "skinui/control/ButtonUI.h"
#include "skinui/control/LabelUI.h"

namespace SkinUI {

class CEditWnd;

class CEditUI : public CLabelUI {
public:
    CEditUI();
    // Closes an open native window at once.
    ~CEditUI() override;

    // =========================================================================
    // Identity
    // =========================================================================
    const wchar_t* GetClass() const override;
    // "Edit" (ignoring case), then the label's names.
    void* GetInterface(const wchar_t* name) override;
    // A tab stop with the I-beam cursor while enabled; nothing while disabled.
    UINT GetControlFlags() const override;
    bool PassesShortcutOn() const override { return false; }
    bool IsStaticControl() const override { return false; }

    // =========================================================================
    // Editing
    // =========================================================================
    // Also updates an open native window, which then reports "textchanged".
    void SetText(const wchar_t* text) override;
    void SetMaxChar(UINT count);
    UINT GetMaxChar() const { return m_uMaxChar; }
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_bReadOnly; }
    // Only digits can be typed (the native window filters them).
    void SetNumberOnly(bool numberOnly);
    bool IsNumberOnly() const;
    void SetPasswordMode(bool passwordMode);
    bool IsPasswordMode() const { return m_bPasswordMode; }
    void SetPasswordChar(wchar_t ch);
    wchar_t GetPasswordChar() const { return m_cPasswordChar; }
    // Extra styles of the native window (ES_NUMBER for number-only).
    UINT GetWindowStyls() const { return m_iWindowStyls; }

    // Selection and replacement act only while the native window is open.
    void SetSel(long start, long end);
    void SetSelAll();
    void SetReplaceSel(const wchar_t* text);
    // The open native window, or null.
    HWND GetNativeEditHWND() const;

    // =========================================================================
    // Look
    // =========================================================================
    const CSkinString& GetNormalImage() const { return m_sNormalImage; }
    void SetNormalImage(const wchar_t* image);
    const CSkinString& GetHotImage() const { return m_sHotImage; }
    void SetHotImage(const wchar_t* image);
    const CSkinString& GetFocusedImage() const { return m_sFocusedImage; }
    void SetFocusedImage(const wchar_t* image);
    const CSkinString& GetDisabledImage() const { return m_sDisabledImage; }
    void SetDisabledImage(const wchar_t* image);
    // Drawn in its own colour while the edit is empty.
    void SetTipValue(const wchar_t* text);
    const CSkinString& GetTipValue() const { return m_sTipValue; }
    // "#AARRGGBB" or "AARRGGBB".
    void SetTipValueColor(const wchar_t* color);
    DWORD GetTipValueColor() const { return m_dwTipValueColor; }
    // 0xFFFFFFFF leaves the native window's colours to the system.
    void SetNativeEditBkColor(DWORD color);
    DWORD GetNativeEditBkColor() const { return m_dwEditbkColor; }
    // "#AARRGGBB" or "AARRGGBB"; 0 = the text colour.
    void SetNativeEditTextColor(const wchar_t* color);
    DWORD GetNativeEditTextColor() const { return m_dwEditTextColor; }

    // =========================================================================
    // Control base overrides
    // =========================================================================
    // Moving or resizing also moves an open native window.
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void Move(SIZE offset, bool needInvalidate = true) override;
    // Hiding closes an open native window.
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetEnabled(bool enable = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE EstimateSize(SIZE available) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

protected:
    friend class CEditWnd;

    // Opens the native window over the text area.
    void OpenNativeWindow();
    // Selects the whole text of the open native window; an empty text still
    // selects one position when `atLeastOne` is set.
    void SelectAllNative(bool atLeastOne);
    void CloseNativeWindowForHiding();

    CEditWnd* m_pWindow = nullptr;
    UINT m_uMaxChar = 255;
    bool m_bReadOnly = false;
    bool m_bPasswordMode = false;
    UINT m_uEditState = 0; // StateFocused, StateDisabled, StateHot
    CSkinString m_sNormalImage;
    CSkinString m_sHotImage;
    CSkinString m_sFocusedImage;
    CSkinString m_sDisabledImage;
    CSkinString m_sTipValue;
    wchar_t m_cPasswordChar = L'*';
    DWORD m_dwEditbkColor = 0xFFFFFFFF;
    DWORD m_dwEditTextColor = 0;
    UINT m_iWindowStyls = 0;
    DWORD m_dwTipValueColor = 0xFFBAC0C5;
};

} // namespace SkinUI

// A label that tracks hot, pushed, focused and disabled states, paints an
// image per state, and raises "click" when it is released over itself.
#pragma once

#include "skinui/control/LabelUI.h"

namespace SkinUI {

// Button state bits, shared by buttons, options and edits.
enum ButtonStateUI : UINT {
    StateFocused = 0x01,
    StateSelected = 0x02,
    StateDisabled = 0x04,
    StateHot = 0x08,
    StatePushed = 0x10,
    StateReadOnly = 0x20,
    StateCaptured = 0x40,
};

// Mouse state machine of an enabled button (StateCaptured = C, StatePushed = P,
// StateHot = H):
//
//   state           event                 next state      notifications
//   idle            enter                 H               -
//   H               button down inside    H P C           "leftbuttondown"
//   H P C           move outside          H C             -
//   H C             move inside           H P C           -
//   H P C           button up inside      H               "click", "leftbuttonup"
//   H C             button up outside     H               "leftbuttonup"
//   H               leave                 idle            -
//
// Space or Return on a focused, keyboard-enabled button gives "click" alone.
class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    ~CButtonUI() override;

    // =========================================================================
    // Identity
    // =========================================================================
    const wchar_t* GetClass() const override;
    // "Button" (ignoring case), then the label's names.
    void* GetInterface(const wchar_t* name) override;
    // ControlFlagSetCursor while enabled, ControlFlagTabStop while
    // keyboard-enabled.
    UINT GetControlFlags() const override;
    bool PassesShortcutOn() const override { return false; }
    bool IsStaticControl() const override { return false; }

    // =========================================================================
    // Actions
    // =========================================================================
    // Sends "click" and switches the bound tab layout; false unless visible
    // and enabled.
    bool Activate() override;
    // A disabled button forgets its whole state.
    void SetEnabled(bool enable = true) override;
    UINT GetButtonState() const { return m_uButtonState; }

    // =========================================================================
    // State images and colours
    // =========================================================================
    const CSkinString& GetNormalImage() const { return m_sNormalImage; }
    void SetNormalImage(const wchar_t* image);
    const CSkinString& GetHotImage() const { return m_sHotImage; }
    void SetHotImage(const wchar_t* image);
    const CSkinString& GetHotForeImage() const { return m_sHotForeImage; }
    void SetHotForeImage(const wchar_t* image);
    const CSkinString& GetPushedImage() const { return m_sPushedImage; }
    void SetPushedImage(const wchar_t* image);
    const CSkinString& GetFocusedImage() const { return m_sFocusedImage; }
    void SetFocusedImage(const wchar_t* image);
    const CSkinString& GetDisabledImage() const { return m_sDisabledImage; }
    void SetDisabledImage(const wchar_t* image);

    // 0 = not set. These take effect at the next paint of the state.
    void SetHotBkColor(DWORD color) { m_dwHotBkColor = color; }
    DWORD GetHotBkColor() const { return m_dwHotBkColor; }
    void SetPushedBkColor(DWORD color) { m_dwPushedBkColor = color; }
    DWORD GetPushedBkColor() const { return m_dwPushedBkColor; }
    void SetHotTextColor(DWORD color) { m_dwHotTextColor = color; }
    DWORD GetHotTextColor() const { return m_dwHotTextColor; }
    void SetPushedTextColor(DWORD color) { m_dwPushedTextColor = color; }
    DWORD GetPushedTextColor() const { return m_dwPushedTextColor; }
    void SetFocusedTextColor(DWORD color) { m_dwFocusedTextColor = color; }
    DWORD GetFocusedTextColor() const { return m_dwFocusedTextColor; }

    // =========================================================================
    // Bound tab layout: a click selects a page of the tab layout of that name
    // =========================================================================
    // Ignored when negative.
    void BindTabIndex(int index);
    void BindTabLayoutName(const wchar_t* name);
    // Selects page `index`, or the bound page when `index` is negative.
    void BindTriggerTabSel(int index = -1);
    void RemoveBindTabIndex();
    int GetBindTabLayoutIndex() const { return m_iBindTabIndex; }
    const CSkinString& GetBindTabLayoutName() const { return m_sBindTabLayoutName; }

    // =========================================================================
    // Control base overrides
    // =========================================================================
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintText(HDC hDC) override;
    void PaintBkColor(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintForeImage(HDC hDC) override;

protected:
    // StateFocused and StateDisabled follow the control's own flags.
    void RefreshFocusAndDisabled();
    // Draws `image` when it is set; false when unset or not drawable.
    bool DrawStateImage(HDC hDC, const CSkinString& image);

    UINT m_uButtonState = 0;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwPushedBkColor = 0;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    DWORD m_dwFocusedTextColor = 0;
    CSkinString m_sNormalImage;
    CSkinString m_sHotImage;
    CSkinString m_sHotForeImage;
    CSkinString m_sPushedImage;
    CSkinString m_sFocusedImage;
    CSkinString m_sDisabledImage;
    int m_iBindTabIndex = -1;
    CSkinString m_sBindTabLayoutName;
};

} // namespace SkinUI

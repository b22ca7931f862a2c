// A control that shows one text with its own alignment, colours, font and
// padding; the base of buttons, options, edits and progress bars.
#pragma once

#include "skinui/control/ControlUI.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
public:
    CLabelUI();
    ~CLabelUI() override;

    // =========================================================================
    // Identity
    // =========================================================================
    const wchar_t* GetClass() const override;
    // "Label" (ignoring case), then the control base's names.
    void* GetInterface(const wchar_t* name) override;
    // ControlFlagSetCursor while enabled.
    UINT GetControlFlags() const override;
    bool PassesShortcutOn() const override { return true; }

    // =========================================================================
    // Text and its look
    // =========================================================================
    // Also lays the parent out again when the width follows the text.
    void SetText(const wchar_t* text) override;
    // 0 = the paint manager's default font colour, taken at the first paint.
    void SetTextColor(DWORD color);
    DWORD GetTextColor() const { return m_dwTextColor; }
    // 0 = the paint manager's default disabled colour, taken at the first paint.
    void SetDisabledTextColor(DWORD color);
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    // A font id of the paint manager; -1 = the default font.
    void SetFont(int index);
    int GetFont() const { return m_iFont; }
    // DT_* flags of the text drawing.
    void SetTextStyle(UINT style);
    UINT GetTextStyle() const { return m_uTextStyle; }
    // Left, top, right and bottom insets of the text, as written in the skin.
    void SetTextPadding(RECT padding);
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetShowHtml(bool showHtml = true);
    bool IsShowHtml() const { return m_bShowHtml; }
    // With it the fixed width follows the measured text at every estimate.
    virtual void SetAutoCalcWidth(bool autoCalcWidth);
    virtual bool GetAutoCalcWidth() const;

    // =========================================================================
    // Control base overrides
    // =========================================================================
    // With a fixed height the base's estimate; otherwise the fixed width and
    // the font's text height plus 4.
    SIZE EstimateSize(SIZE available) override;
    // Focus only sets or clears the focused flag; no repaint.
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintText(HDC hDC) override;

protected:
    // Replaces zero text colours with the paint manager's defaults and keeps
    // them, so that a later change of the defaults does not recolour the text.
    void ResolveDefaultColors();
    // The item rectangle less the text padding scaled for the display.
    RECT ScaledTextRect() const;
    // Draws `text` in `color` into rc with the font, the style (plus `extraStyle`)
    // and, when shown, the formatted-text markup.
    void DrawLabelText(HDC hDC, RECT rc, const wchar_t* text, DWORD color, UINT extraStyle = 0);

    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    int m_iFont = -1;
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE;
    RECT m_rcTextPadding = {0, 0, 0, 0};
    bool m_bShowHtml = false;
    bool m_bAutoCalcWidth = false;
};

} // namespace SkinUI

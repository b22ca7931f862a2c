// A bar that shows a value between a minimum and a maximum by cutting its fore
// image (or fore colour) at the filled fraction, optionally with the
// percentage as text.
#pragma once

#include "skinui/control/LabelUI.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();
    ~CProgressUI() override;

    const wchar_t* GetClass() const override;
    // "Progress" (ignoring case), then the label's names.
    void* GetInterface(const wchar_t* name) override;
    bool PassesShortcutOn() const override { return false; }
    bool IsStaticControl() const override { return false; }

    // =========================================================================
    // Values
    // =========================================================================
    // Stored as given; a maximum not above the minimum is repaired when painted.
    void SetMinValue(int value);
    int GetMinValue() const { return m_nMin; }
    void SetMaxValue(int value);
    int GetMaxValue() const { return m_nMax; }
    // A value outside minimum..maximum is ignored, not clamped.
    void SetValue(int value);
    int GetValue() const { return m_nValue; }
    // Filled from the left (horizontal) or from the bottom.
    void SetHorizontal(bool horizontal = true);
    bool IsHorizontal() const { return m_bHorizontal; }
    // Squeeze the whole fore image into the filled part instead of cutting it.
    void SetStretchForeImage(bool stretch = true);
    bool IsStretchForeImage() const { return m_bStretchForeImage; }
    // Off empties the text; on shows the percentage from the next UpdateText.
    void SetShowText(bool showText = true);
    bool IsShowText() const { return m_bShowText; }
    // The percentage as text ("45%") while the text is shown.
    virtual void UpdateText();

    // The filled box, relative to the control's top-left corner, for the
    // values as they are now (repaired as painting repairs them).
    RECT GetFilledRect() const;

    // =========================================================================
    // Control base overrides
    // =========================================================================
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintForeColor(HDC hDC) override;
    void PaintForeImage(HDC hDC) override;

protected:
    // Repairs and stores the values as painting needs them: a maximum above
    // the minimum and a value between them.
    void NormalizeValues();

    bool m_bShowText = false;
    bool m_bHorizontal = true;
    bool m_bStretchForeImage = true;
    int m_nMax = 100;
    int m_nMin = 0;
    int m_nValue = 0;
    CSkinString m_sForeImageModify;
};

} // namespace SkinUI

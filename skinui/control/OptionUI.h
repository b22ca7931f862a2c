// A button with a selected state: a check box on its own, or one of a group of
// which only one can be selected. Raises "selectchanged" when it changes.
#pragma once

#include "skinui/control/ButtonUI.h"

namespace SkinUI {

class COptionUI : public CButtonUI {
public:
    COptionUI();
    // Leaves its group.
    ~COptionUI() override;

    // =========================================================================
    // Identity and links
    // =========================================================================
    const wchar_t* GetClass() const override;
    // "Option" (ignoring case), then the button's names.
    void* GetInterface(const wchar_t* name) override;
    // Joins its group when the control is initialised in a window.
    void SetManager(IControlHost* manager, CControlUI* parent, bool init = true) override;

    // =========================================================================
    // Selection
    // =========================================================================
    // Sends "click"; then a grouped option becomes selected and an ungrouped
    // one toggles.
    bool Activate() override;
    // Selecting a grouped option deselects the others of its group quietly.
    // "selectchanged" is sent for every change except a grouped option being
    // deselected. The receiver reads the new state with IsSelected.
    virtual void Selected(bool selected);
    bool IsSelected() const { return m_bSelected; }
    // Null or empty: no group.
    void SetGroup(const wchar_t* groupName);
    const CSkinString& GetGroup() const { return m_sGroupName; }
    // A disabled option keeps only its selected bit.
    void SetEnabled(bool enable = true) override;

    // =========================================================================
    // Selected look
    // =========================================================================
    const CSkinString& GetSelectedImage() const { return m_sSelectedImage; }
    void SetSelectedImage(const wchar_t* image);
    const CSkinString& GetSelectedHotImage() const { return m_sSelectedHotImage; }
    void SetSelectedHotImage(const wchar_t* image);
    const CSkinString& GetSelectedPushedImage() const { return m_sSelectedPushedImage; }
    void SetSelectedPushedImage(const wchar_t* image);
    const CSkinString& GetSelectedForedImage() const { return m_sSelectedForeImage; }
    void SetSelectedForedImage(const wchar_t* image);
    // 0 = none.
    void SetSelectedBkColor(DWORD color) { m_dwSelectedBkColor = color; }
    DWORD GetSelectedBkColor() const { return m_dwSelectedBkColor; }
    void SetSelectedTextColor(DWORD color) { m_dwSelectedTextColor = color; }
    // A zero colour is replaced by (and stored as) the default font colour.
    DWORD GetSelectedTextColor();

    // =========================================================================
    // Control base overrides
    // =========================================================================
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintBkColor(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintForeImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

protected:
    bool m_bSelected = false;
    CSkinString m_sGroupName;
    DWORD m_dwSelectedBkColor = 0;
    DWORD m_dwSelectedTextColor = 0;
    CSkinString m_sSelectedImage;
    CSkinString m_sSelectedHotImage;
    CSkinString m_sSelectedPushedImage;
    CSkinString m_sSelectedForeImage;
};

} // namespace SkinUI

// Shows exactly one of its children (a page) at a time; the others are hidden.
#pragma once

#include "skinui/control/ContainerUI.h"

namespace SkinUI {

class CTabLayoutUI : public CContainerUI {
public:
    CTabLayoutUI() = default;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    // The first visible page added becomes the selection; later pages are hidden.
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

    // The selected page (-1 when none).
    int GetCurSel() const { return m_iCurSel; }
    // Shows page `index`, hides the others, focuses the page and sends
    // "tabselect" (new index, previous index). False when out of range.
    virtual bool SelectItem(int index);
    // False when the control is not a page of this layout.
    virtual bool SelectItem(CControlUI* control);

    // The selected page gets the inner rectangle (less its padding), sized by
    // its estimate; other pages are not positioned.
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    int m_iCurSel = -1;
};

} // namespace SkinUI

// Stacks its children from top to bottom: fixed heights first, the rest shared
// out among the children without a height.
#pragma once

#include "skinui/control/ContainerUI.h"

namespace SkinUI {

class CVerticalLayoutUI : public CContainerUI {
public:
    CVerticalLayoutUI() = default;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    // The separator-band attributes (sepheight, sepimm) are accepted and
    // ignored: this build has no draggable separator.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
};

} // namespace SkinUI

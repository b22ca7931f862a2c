// Lines its children up from left to right: fixed widths first, the rest
// shared out among the children without a width.
#pragma once

#include "skinui/control/ContainerUI.h"

namespace SkinUI {

class CHorizontalLayoutUI : public CContainerUI {
public:
    CHorizontalLayoutUI() = default;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    // The separator-band attributes (sepwidth, sepimm) are accepted and
    // ignored: this build has no draggable separator.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
};

} // namespace SkinUI

// Construction and destruction of the paint manager. The resource side is
// built and freed by the base class; the window side is torn down by the last
// member (CWindowTeardown) while the resources are still there.
#include "skinui/window/PaintManagerUI.h"

#include "skinui/core/WindowWnd.h"

namespace SkinUI {

// =============================================================================
// Construction
// =============================================================================

CPaintManagerUI::CPaintManagerUI() {
    // Modal loops of native windows run the managers' pre-translation; the
    // window wrapper sits below this layer and learns it here.
    CWindowWnd::SetMessageTranslator(&CPaintManagerUI::TranslateMessage);
}

CPaintManagerUI::~CPaintManagerUI() = default;

} // namespace SkinUI

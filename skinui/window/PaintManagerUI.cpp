// Construction and destruction of the paint manager. The window side is torn
// down in the destructor's body, while every member, the resources among them,
// is still alive.
#include "skinui/window/PaintManagerUI.h"

#include "skinui/core/WindowWnd.h"
#include "skinui/window/AccessibleUI.h"

namespace SkinUI {

// =============================================================================
// Construction
// =============================================================================

CPaintManagerUI::CPaintManagerUI() {
    // Modal loops of native windows run the managers' pre-translation; the
    // window wrapper sits below this layer and learns it here.
    CWindowWnd::SetMessageTranslator(&CPaintManagerUI::TranslateMessage);
}

// Deletes what the queue drain would have deleted, then the tree, then lets
// go of the window.
CPaintManagerUI::~CPaintManagerUI() {
    ShutdownWindowSide();
}

} // namespace SkinUI

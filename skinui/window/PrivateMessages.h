// The window messages the UI library posts to its own windows, in one place
// so that no two of them ever share a number.
#pragma once

#include <windows.h>

namespace SkinUI {

// Drains the delayed clean-up and the queued notifications; posted to the
// paint manager's own window (PaintManagerTree.cpp).
constexpr UINT kDrainMessage = WM_APP + 1;
// A default action asked for by an accessibility client, run on the window's
// thread; lParam is the control (AccessibleUI.cpp).
constexpr UINT kAccessibleActionMessage = WM_APP + 2;

} // namespace SkinUI

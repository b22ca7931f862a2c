// The one layout routine of the vertical and horizontal layouts, written over a
// main axis (the direction children are stacked in) and a cross axis.
#pragma once

#include <windows.h>

namespace SkinUI {

class CContainerUI;

// Positions the children of `owner` inside `rc` (its item rectangle less the
// scaled inset), stacking them vertically or horizontally.
void LayoutLinearChildren(CContainerUI* owner, RECT rc, bool vertical);

} // namespace SkinUI

// The control tree of the installer's skin (installer/skin/skin.xml), built in
// code with the layout classes and plain controls standing in for labels,
// buttons, options, the edit and the progress bar: for layout purposes they
// differ only in their size attributes, which are set as the skin sets them.
#pragma once

#include "skinui/control/HorizontalLayoutUI.h"
#include "skinui/control/TabLayoutUI.h"
#include "skinui/control/VerticalLayoutUI.h"

#include <map>
#include <string>

namespace skintest {

struct InstallerTree {
    SkinUI::CVerticalLayoutUI* root = nullptr;
    // Every control of interest by a name: the skin's own names where it has
    // them ("tablayout", "install", "agree", ...), descriptive ones otherwise
    // ("page1", "page1.top", "page1.top.row", "page1.logo", ...).
    std::map<std::string, SkinUI::CControlUI*> at;

    // Builds the whole tree; the caller owns `root` (or attaches it).
    InstallerTree();
    SkinUI::CControlUI* operator[](const std::string& name) const { return at.at(name); }
};

} // namespace skintest

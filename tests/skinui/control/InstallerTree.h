// The installer's real skin (installer/skin/skin.xml, read from the source
// tree at run time) built into a control tree by the dialog builder, with a
// name for every control the layout tests look at: the skin's own names where
// it has them ("tablayout", "install", "agree", ...), descriptive ones for the
// unnamed layouts ("page1", "page1.top", "page1.row.left", "page1.logo", ...).
#pragma once

#include "skinui/control/ControlUI.h"
#include "skinui/core/SkinString.h"

#include <map>
#include <string>

namespace SkinUI {
class CPaintManagerUI;
}

namespace skintest {

// The folder holding skin.xml and its images, as a Windows path with a
// trailing backslash.
std::wstring InstallerSkinFolder();

struct InstallerTree {
    // With a manager, the document's fonts and Window attributes go to it, as
    // they do for the installer's window. The skin folder is the resource path
    // while this object lives, so that the skin's images load when painted.
    // `root` is null (and `at` empty) when the document could not be built;
    // the caller owns `root` (or attaches it).
    explicit InstallerTree(SkinUI::CPaintManagerUI* manager = nullptr);
    ~InstallerTree();
    InstallerTree(const InstallerTree&) = delete;
    InstallerTree& operator=(const InstallerTree&) = delete;

    SkinUI::CControlUI* operator[](const std::string& name) const { return at.at(name); }

    SkinUI::CControlUI* root = nullptr;
    std::map<std::string, SkinUI::CControlUI*> at;

private:
    SkinUI::CSkinString m_previousResourcePath;
};

} // namespace skintest

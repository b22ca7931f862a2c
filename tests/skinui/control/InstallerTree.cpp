#include "InstallerTree.h"

#include "skinui/control/ContainerUI.h"
#include "skinui/window/DialogBuilder.h"
#include "skinui/window/PaintManagerUI.h"

namespace skintest {

using namespace SkinUI;

namespace {

// Where each named control sits: the child at `index` of the control named
// `parent`. Parents come before their children, so one pass resolves all.
struct Place {
    const char* name;
    const char* parent;
    int index;
};

const Place kPlaces[] = {
    {"tablayout", "root", 0},
    {"minBtn", "root", 1},
    {"closeBtn", "root", 2},
    {"page1", "tablayout", 0},
    {"page2", "tablayout", 1},
    {"page3", "tablayout", 2},
    // Page 1: welcome, with the options panel below the fold.
    {"page1.top", "page1", 0},
    {"page1.row", "page1.top", 0},
    {"page1.lower", "page1.top", 1},
    {"page1.gap20", "page1.lower", 0},
    {"page1.installRow", "page1.lower", 1},
    {"page1.installRow.left", "page1.installRow", 0},
    {"install", "page1.installRow", 1},
    {"page1.installRow.right", "page1.installRow", 2},
    {"page1.gap52", "page1.lower", 2},
    {"page1.agreeRow", "page1.lower", 3},
    {"page1.agreeRow.gap10", "page1.agreeRow", 0},
    {"agree", "page1.agreeRow", 1},
    {"page1.agreeRow.gap5", "page1.agreeRow", 2},
    {"page1.agreeText", "page1.agreeRow", 3},
    {"agreement", "page1.agreeRow", 4},
    {"btn_private", "page1.agreeRow", 5},
    {"page1.agreeRow.spacer", "page1.agreeRow", 6},
    {"custom", "page1.agreeRow", 7},
    {"page1.agreeRow.gapEnd", "page1.agreeRow", 8},
    {"page1.bottom", "page1", 1},
    {"page1.gap8", "page1.bottom", 0},
    {"page1.spaceRow", "page1.bottom", 1},
    {"page1.spaceRow.left", "page1.spaceRow", 0},
    {"space", "page1.spaceRow", 1},
    {"page1.spaceRow.right", "page1.spaceRow", 2},
    {"page1.gap5", "page1.bottom", 2},
    {"page1.pathRow", "page1.bottom", 3},
    {"page1.pathRow.left", "page1.pathRow", 0},
    {"path", "page1.pathRow", 1},
    {"page1.pathRow.gap25", "page1.pathRow", 2},
    {"browse", "page1.pathRow", 3},
    {"page1.pathRow.right", "page1.pathRow", 4},
    {"page1.gap20b", "page1.bottom", 4},
    {"page1.linkRow", "page1.bottom", 5},
    {"page1.linkRow.gap50", "page1.linkRow", 0},
    {"desktopLnk", "page1.linkRow", 1},
    {"page1.linkRow.gap30", "page1.linkRow", 2},
    {"startMenuLnk", "page1.linkRow", 3},
    // Page 2: progress.
    {"page2.row", "page2", 0},
    {"page2.progressRow", "page2", 1},
    {"page2.progressColumn", "page2.progressRow", 1},
    {"page2.progressAbove", "page2.progressColumn", 0},
    {"page2.progressBox", "page2.progressColumn", 1},
    {"page2.progressText", "page2.progressBox", 0},
    {"progressStep", "page2.progressText", 0},
    {"progressPercent", "page2.progressText", 1},
    {"progress", "page2.progressBox", 2},
    {"page2.progressBelow", "page2.progressColumn", 2},
    // Page 3: finish.
    {"page3.top", "page3", 0},
    {"page3.logoRow", "page3.top", 1},
    {"page3.logo", "page3.logoRow", 1},
    {"finishTitle", "page3.top", 3},
    {"page3.dirRow", "page3.top", 5},
    {"finishDir", "page3.dirRow", 1},
    {"page3.finishPart", "page3", 1},
    {"page3.successRow", "page3.finishPart", 1},
    {"success", "page3.successRow", 1},
};

// The logo column that the first two pages open with: a row with a stretch, a
// column holding the logo between two stretches, a stretch. The finish page
// holds the logo at the same place in a column of its own, with its lines
// below it.
const Place kLogoRow[] = {
    {".row.left", ".row", 0},    {".row.column", ".row", 1},
    {".row.right", ".row", 2},   {".logo.above", ".row.column", 0},
    {".logo", ".row.column", 1}, {".logo.below", ".row.column", 2},
};

CControlUI* ChildAt(CControlUI* parent, int index) {
    if (parent == nullptr)
        return nullptr;
    IContainerUI* container = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
    return container != nullptr ? container->GetItemAt(index) : nullptr;
}

} // namespace

std::wstring InstallerSkinFolder() {
    // A Unix path of the source tree; Wine shows the root file system as Z:.
    std::wstring path = L"Z:";
    for (const char* c = QM_INSTALLER_SKIN_DIR; *c != '\0'; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path + L"\\";
}

InstallerTree::InstallerTree(CPaintManagerUI* manager)
    : m_previousResourcePath(CPaintManagerUI::GetResourcePath()) {
    CPaintManagerUI::SetResourcePath(InstallerSkinFolder().c_str());
    CDialogBuilder builder;
    root = builder.Create(L"skin.xml", nullptr, nullptr, manager);
    if (root == nullptr)
        return;
    at["root"] = root;
    for (const Place& place : kPlaces)
        at[place.name] = ChildAt(at[place.parent], place.index);
    for (const char* page : {"page1", "page2"}) {
        for (const Place& place : kLogoRow)
            at[page + std::string(place.name)] =
                ChildAt(at[page + std::string(place.parent)], place.index);
    }
    // A control the skin names must carry that name here, or the table has
    // drifted from the skin; such an entry is left null for the test to see.
    for (auto& entry : at) {
        if (entry.second == nullptr || entry.first.find('.') != std::string::npos ||
            entry.first == "root" || entry.first.compare(0, 4, "page") == 0)
            continue;
        const std::wstring wanted(entry.first.begin(), entry.first.end());
        if (wanted != entry.second->GetName().GetData())
            entry.second = nullptr;
    }
}

InstallerTree::~InstallerTree() {
    CPaintManagerUI::SetResourcePath(m_previousResourcePath.GetData());
}

} // namespace skintest

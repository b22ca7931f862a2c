// The vertical and horizontal layouts: the rectangles of the installer's real
// skin laid out by a real window's painting pass, and the edges of the shared
// layout routine on detached trees.
#include "InstallerTree.h"
#include "skinui/control/HorizontalLayoutUI.h"
#include "skinui/control/TabLayoutUI.h"
#include "skinui/control/VerticalLayoutUI.h"
#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;
using skintest::Str;

struct Expected {
    const char* name;
    RECT rc;
};

void ExpectRects(const skintest::InstallerTree& tree, std::initializer_list<Expected> table) {
    for (const Expected& e : table) {
        const CControlUI* control = tree[e.name];
        ASSERT_NE(nullptr, control) << e.name << " is not where the table places it in the skin";
        EXPECT_EQ(Str(control->GetPos()), Str(e.rc)) << e.name;
    }
}

// Rectangles that do not depend on the window height (everything inside the
// 420-high upper part and the 122-high lower part of the first page).
const std::initializer_list<Expected> kPage1Parts = {
    {"page1.top", {0, 0, 560, 420}},
    {"page1.row", {0, 0, 560, 262}},
    {"page1.row.left", {0, 0, 124, 262}},
    {"page1.row.column", {124, 0, 435, 262}},
    {"page1.row.right", {435, 0, 560, 262}},
    {"page1.logo.above", {124, 0, 435, 95}},
    {"page1.logo", {124, 95, 435, 167}},
    {"page1.logo.below", {124, 167, 435, 262}},
    {"page1.lower", {0, 262, 560, 420}},
    {"page1.gap20", {0, 262, 560, 282}},
    {"page1.installRow", {0, 282, 560, 346}},
    {"page1.installRow.left", {0, 282, 180, 346}},
    {"install", {180, 282, 380, 346}},
    {"page1.installRow.right", {380, 282, 560, 346}},
    {"page1.gap52", {0, 346, 560, 398}},
    {"page1.agreeRow", {0, 398, 560, 413}},
    {"page1.agreeRow.gap10", {0, 398, 10, 413}},
    {"agree", {10, 398, 24, 413}},
    {"page1.agreeRow.gap5", {24, 398, 29, 413}},
    {"page1.agreeText", {29, 398, 139, 413}},
    {"agreement", {139, 398, 239, 413}},
    {"btn_private", {239, 398, 339, 413}},
    {"page1.agreeRow.spacer", {339, 398, 470, 413}},
    {"custom", {470, 398, 550, 413}},
    {"page1.agreeRow.gapEnd", {550, 398, 560, 413}},
    {"page1.bottom", {0, 420, 560, 542}},
    {"page1.gap8", {0, 420, 560, 428}},
    {"page1.spaceRow", {0, 428, 560, 445}},
    {"page1.spaceRow.left", {0, 428, 35, 445}},
    {"space", {35, 428, 525, 445}},
    {"page1.spaceRow.right", {525, 428, 560, 445}},
    {"page1.gap5", {0, 445, 560, 450}},
    {"page1.pathRow", {0, 450, 560, 490}},
    {"page1.pathRow.left", {0, 450, 31, 490}},
    {"path", {31, 450, 421, 490}},
    {"page1.pathRow.gap25", {421, 450, 446, 490}},
    {"browse", {446, 450, 529, 490}},
    {"page1.pathRow.right", {529, 450, 560, 490}},
    {"page1.gap20b", {0, 490, 560, 510}},
    {"page1.linkRow", {0, 510, 560, 525}},
    {"page1.linkRow.gap50", {0, 510, 50, 525}},
    {"desktopLnk", {50, 510, 150, 525}},
    {"page1.linkRow.gap30", {150, 510, 180, 525}},
    {"startMenuLnk", {180, 510, 300, 525}},
    {"minBtn", {504, 10, 517, 23}},
    {"closeBtn", {536, 10, 549, 23}},
};

TEST(InstallerSkinLayout, At560x420_EveryRectangleOfTheFirstPage) {
    skintest::TestWindow window(560, 420);
    skintest::InstallerTree tree(&window.Manager());
    ASSERT_NE(nullptr, tree.root);
    window.Attach(tree.root);
    ExpectRects(
        tree,
        {{"root", {0, 0, 560, 420}}, {"tablayout", {0, 0, 560, 420}}, {"page1", {0, 0, 560, 420}}});
    ExpectRects(tree, kPage1Parts);
    // Hidden pages are never positioned.
    EXPECT_FALSE(tree["page2"]->IsVisible());
    EXPECT_FALSE(tree["page3"]->IsVisible());
    EXPECT_EQ(Str(tree["page2"]->GetPos()), Str(0, 0, 0, 0));
}

TEST(InstallerSkinLayout, At560x542_TheSecondPartComesIntoViewAtTheSamePlace) {
    skintest::TestWindow window(560, 420);
    skintest::InstallerTree tree(&window.Manager());
    ASSERT_NE(nullptr, tree.root);
    window.Attach(tree.root);
    window.SetClientSize(560, 542);
    window.Paint();
    ExpectRects(
        tree,
        {{"root", {0, 0, 560, 542}}, {"tablayout", {0, 0, 560, 542}}, {"page1", {0, 0, 560, 542}}});
    ExpectRects(tree, kPage1Parts);
}

TEST(InstallerSkinLayout, SelectingTheProgressPageLaysItOut) {
    skintest::TestWindow window(560, 420);
    skintest::InstallerTree tree(&window.Manager());
    ASSERT_NE(nullptr, tree.root);
    window.Attach(tree.root);
    ASSERT_TRUE(static_cast<CTabLayoutUI*>(tree["tablayout"])->SelectItem(1));
    ExpectRects(tree, {{"page2", {0, 0, 560, 420}},
                       {"page2.logo", {124, 95, 435, 167}},
                       {"page2.progressRow", {0, 262, 560, 420}},
                       {"page2.progressColumn", {35, 262, 525, 420}},
                       {"page2.progressAbove", {35, 262, 525, 326}},
                       {"page2.progressBox", {35, 326, 525, 356}},
                       {"page2.progressText", {35, 326, 525, 341}},
                       {"progressStep", {35, 326, 475, 341}},
                       {"progressPercent", {475, 326, 525, 341}},
                       {"progress", {35, 350, 525, 356}},
                       {"page2.progressBelow", {35, 356, 525, 420}}});
    EXPECT_FALSE(tree["page1"]->IsVisible());
}

TEST(InstallerSkinLayout, SelectingTheFinishPageLaysItOut) {
    skintest::TestWindow window(560, 420);
    skintest::InstallerTree tree(&window.Manager());
    ASSERT_NE(nullptr, tree.root);
    window.Attach(tree.root);
    ASSERT_TRUE(static_cast<CTabLayoutUI*>(tree["tablayout"])->SelectItem(2));
    // The logo where the other pages have it, the two lines below it, the
    // button where the install button is on the first page, 20 lower.
    ExpectRects(tree, {{"page3", {0, 0, 560, 420}},
                       {"page3.top", {0, 0, 560, 262}},
                       {"page3.logo", {124, 95, 435, 167}},
                       {"finishTitle", {0, 195, 560, 219}},
                       {"page3.dirRow", {0, 223, 560, 241}},
                       {"finishDir", {35, 223, 525, 241}},
                       {"page3.finishPart", {0, 262, 560, 420}},
                       {"success", {180, 302, 380, 366}}});
    EXPECT_FALSE(tree["page1"]->IsVisible());
}

// =============================================================================
// Edges of the layout routine, on detached trees
// =============================================================================

template <typename T> T* Make(const wchar_t* attributes = L"") {
    T* control = new T;
    control->ApplyAttributeList(attributes);
    return control;
}

struct LayoutCase {
    const char* what;
    bool vertical;
    const wchar_t* container;
    std::vector<const wchar_t*> children;
    RECT area;
    std::vector<RECT> expected;
};

class LinearLayoutEdges : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LinearLayoutEdges, PlacesChildren) {
    const LayoutCase& c = GetParam();
    CContainerUI* layout = c.vertical ? static_cast<CContainerUI*>(Make<CVerticalLayoutUI>())
                                      : static_cast<CContainerUI*>(Make<CHorizontalLayoutUI>());
    layout->ApplyAttributeList(c.container);
    std::vector<CControlUI*> children;
    for (const wchar_t* attributes : c.children) {
        children.push_back(Make<CControlUI>(attributes));
        layout->Add(children.back());
    }
    layout->SetPos(c.area, false);
    for (size_t i = 0; i < children.size(); ++i)
        EXPECT_EQ(Str(children[i]->GetPos()), Str(c.expected[i])) << c.what << ", child " << i;
    delete layout;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LinearLayoutEdges,
    ::testing::Values(LayoutCase{"three stretch children share 100 as 33, 33, 34",
                                 true,
                                 L"",
                                 {L"", L"", L""},
                                 {0, 0, 50, 100},
                                 {{0, 0, 50, 33}, {0, 33, 50, 66}, {0, 66, 50, 100}}},
                      LayoutCase{"horizontally the same",
                                 false,
                                 L"",
                                 {L"", L"", L""},
                                 {0, 0, 100, 20},
                                 {{0, 0, 33, 20}, {33, 0, 66, 20}, {66, 0, 100, 20}}},
                      LayoutCase{"a minimum above the share wins and pushes the rest down",
                                 true,
                                 L"",
                                 {L"minheight=\"60\"", L"", L""},
                                 {0, 0, 50, 100},
                                 {{0, 0, 50, 60}, {0, 60, 50, 93}, {0, 93, 50, 100}}},
                      LayoutCase{"fixed heights leave the bottom empty whatever childvalign says",
                                 true,
                                 L"childvalign=\"bottom\"",
                                 {L"height=\"10\"", L"height=\"20\""},
                                 {0, 0, 50, 100},
                                 {{0, 0, 50, 10}, {0, 10, 50, 30}}},
                      LayoutCase{"centred children ignore their left and right padding",
                                 true,
                                 L"childalign=\"center\"",
                                 {L"width=\"40\" height=\"5\" padding=\"10,0,0,0\"",
                                  L"width=\"20\" height=\"5\" padding=\"0,0,30,0\""},
                                 {0, 0, 100, 100},
                                 {{30, 0, 70, 5}, {40, 5, 60, 10}}},
                      LayoutCase{"right aligned children keep their right padding",
                                 true,
                                 L"childalign=\"right\"",
                                 {L"width=\"40\" height=\"5\" padding=\"0,0,7,0\""},
                                 {0, 0, 100, 100},
                                 {{53, 0, 93, 5}}},
                      LayoutCase{"a capital C in childalign is not understood",
                                 true,
                                 L"childalign=\"Center\"",
                                 {L"width=\"40\" height=\"5\""},
                                 {0, 0, 100, 100},
                                 {{0, 0, 40, 5}}},
                      LayoutCase{"vcenter centres horizontally stacked children",
                                 false,
                                 L"childvalign=\"vcenter\"",
                                 {L"width=\"10\" height=\"20\""},
                                 {0, 0, 100, 100},
                                 {{0, 40, 10, 60}}},
                      LayoutCase{"padding and child padding along the stack",
                                 true,
                                 L"childpadding=\"5\"",
                                 {L"height=\"10\" padding=\"2,3,4,1\"", L""},
                                 {0, 0, 50, 100},
                                 {{2, 3, 46, 13}, {0, 19, 50, 100}}},
                      LayoutCase{"the inset shrinks the area of the children",
                                 false,
                                 L"inset=\"10,5,10,5\"",
                                 {L"", L"width=\"30\""},
                                 {0, 0, 100, 40},
                                 {{10, 5, 60, 35}, {60, 5, 90, 35}}},
                      LayoutCase{"a maximum below the share leaves the rest unused",
                                 true,
                                 L"",
                                 {L"maxheight=\"20\"", L""},
                                 {0, 0, 50, 100},
                                 {{0, 0, 50, 20}, {0, 20, 50, 100}}},
                      LayoutCase{"fixed sizes beyond the area overflow instead of shrinking",
                                 true,
                                 L"",
                                 {L"height=\"80\"", L"height=\"80\"", L""},
                                 {0, 0, 50, 100},
                                 {{0, 0, 50, 80}, {0, 80, 50, 160}, {0, 160, 50, 160}}},
                      LayoutCase{"invisible children take no space",
                                 true,
                                 L"",
                                 {L"visible=\"false\"", L"", L""},
                                 {0, 0, 50, 100},
                                 {{0, 0, 0, 0}, {0, 0, 50, 50}, {0, 50, 50, 100}}},
                      LayoutCase{"floating children are placed from their offset, not stacked",
                                 true,
                                 L"",
                                 {L"float=\"true\" pos=\"5,6,25,16\"", L""},
                                 {10, 10, 60, 110},
                                 {{15, 16, 35, 26}, {10, 10, 60, 110}}},
                      LayoutCase{"a float percent anchors to the parent's size",
                                 true,
                                 L"",
                                 {L"float=\"0.5,0.5,0.5,0.5\" width=\"10\" height=\"10\""},
                                 {0, 0, 100, 60},
                                 {{50, 30, 60, 40}}},
                      LayoutCase{"negative float offsets are not anchored to the far edge",
                                 true,
                                 L"",
                                 {L"float=\"true\" pos=\"-20,-10,-5,-2\""},
                                 {0, 0, 100, 60},
                                 {{-5, -2, 10, 6}}}));

} // namespace

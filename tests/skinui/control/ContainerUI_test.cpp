// The plain container: child management, overlapping layout, hit testing and
// searching with the tree-search flags.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/ContainerUI.h"
#include "skinui/control/VerticalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;
using skintest::Str;

CControlUI* Named(const wchar_t* attributes) {
    CControlUI* c = new CControlUI;
    c->ApplyAttributeList(attributes);
    return c;
}

TEST(ContainerChildren, RefusesNullAndBadIndexes) {
    CContainerUI c;
    EXPECT_FALSE(c.Add(nullptr));
    CControlUI* a = Named(L"name=\"a\"");
    EXPECT_FALSE(c.AddAt(a, 1));
    EXPECT_TRUE(c.AddAt(a, 0));
    EXPECT_EQ(c.GetItemAt(1), nullptr);
    EXPECT_EQ(c.GetItemIndex(nullptr), -1);
    CControlUI stranger;
    EXPECT_FALSE(c.Remove(&stranger));
    EXPECT_FALSE(c.SetItemIndex(&stranger, 0));
}

TEST(ContainerChildren, RemoveDeletesOwnedChildrenAndKeepsOthers) {
    CContainerUI c;
    int destroyed = 0;
    CControlUI* a = Named(L"");
    CControlUI* b = Named(L"");
    a->OnDestroy += [&](void*) { return ++destroyed, true; };
    b->OnDestroy += [&](void*) { return ++destroyed, true; };
    c.Add(a);
    c.Add(b);
    EXPECT_TRUE(c.SetItemIndex(b, 0));
    EXPECT_EQ(c.GetItemIndex(b), 0);
    EXPECT_TRUE(c.RemoveAt(1));
    EXPECT_EQ(destroyed, 1);
    c.SetAutoDestroy(false);
    EXPECT_TRUE(c.Remove(b));
    EXPECT_EQ(destroyed, 1);
    delete b;
}

TEST(ContainerChildren, AddingToAnAttachedContainerInitialisesTheChildFirst) {
    skintest::TestWindow window(100, 100);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    window.Attach(root);
    CControlUI* child = Named(L"name=\"late\"");
    bool initialised = false;
    child->OnInit += [&](void*) { return initialised = true; };
    root->Add(child);
    EXPECT_TRUE(initialised);
    EXPECT_EQ(child->GetManager(), &window.Manager());
    EXPECT_EQ(child->GetParent(), root);
    EXPECT_EQ(window.Manager().FindControl(L"late"), child);
    // Laid out at the next paint.
    window.Paint();
    EXPECT_EQ(Str(child->GetPos()), Str(0, 0, 100, 100));
}

TEST(ContainerChildren, HiddenContainerHidesNewChildren) {
    CContainerUI c;
    c.SetVisible(false);
    CControlUI* a = Named(L"");
    c.Add(a);
    EXPECT_FALSE(a->IsVisible());
    c.SetVisible(true);
    EXPECT_TRUE(a->IsVisible());
    c.SetEnabled(false);
    EXPECT_FALSE(a->IsEnabled());
}

TEST(PlainContainer, ChildrenOverlapInTheInnerRectangleWithinTheirLimits) {
    CContainerUI c;
    c.ApplyAttributeList(L"inset=\"5,5,5,5\"");
    CControlUI* a = Named(L"");
    CControlUI* b = Named(L"maxwidth=\"20\" minheight=\"200\"");
    c.Add(a);
    c.Add(b);
    c.SetPos(RECT{0, 0, 100, 50}, false);
    EXPECT_EQ(Str(a->GetPos()), Str(5, 5, 95, 45));
    EXPECT_EQ(Str(b->GetPos()), Str(5, 5, 25, 205));
    EXPECT_EQ(Str(c.GetClientPos()), Str(5, 5, 95, 45));
}

// The point search of the paint manager: the topmost visible, mouse-enabled
// control wins, later siblings before earlier ones.
TEST(ContainerSearch, HitTestFindsTheTopmostControl) {
    skintest::TestWindow window(200, 100);
    CContainerUI* root = new CContainerUI;
    root->SetName(L"root");
    root->ApplyAttributeList(L"inset=\"10,10,10,10\"");
    CControlUI* under = Named(L"name=\"under\"");
    CControlUI* over = Named(L"name=\"over\" maxwidth=\"50\"");
    CControlUI* floating = Named(L"name=\"floating\" float=\"true\" pos=\"0,0,8,8\"");
    root->Add(under);
    root->Add(over);
    root->Add(floating);
    window.Attach(root);
    CPaintManagerUI& m = window.Manager();
    EXPECT_EQ(m.FindControl(POINT{20, 20}), over);
    EXPECT_EQ(m.FindControl(POINT{100, 20}), under);
    EXPECT_EQ(m.FindControl(POINT{2, 2}), floating); // floating children reach into the inset
    EXPECT_EQ(m.FindControl(POINT{9, 50}), root);    // the inset margin is the container's
    EXPECT_EQ(m.FindControl(POINT{300, 50}), nullptr);

    over->SetMouseEnabled(false);
    EXPECT_EQ(m.FindControl(POINT{20, 20}), under);
    over->SetVisible(false);
    window.Paint();
    EXPECT_EQ(m.FindControl(POINT{20, 20}), under);

    root->SetMouseChildEnabled(false);
    EXPECT_EQ(m.FindControl(POINT{100, 20}), root);
    root->SetMouseEnabled(false);
    EXPECT_EQ(m.FindControl(POINT{100, 20}), nullptr);
}

TEST(ContainerSearch, NameAndClassSearches) {
    skintest::TestWindow window(100, 100);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CVerticalLayoutUI* inner = new CVerticalLayoutUI;
    CControlUI* a = Named(L"name=\"Alpha\"");
    CControlUI* b = Named(L"name=\"beta\"");
    CControlUI* twin = Named(L"name=\"beta\"");
    inner->Add(a);
    inner->Add(b);
    root->Add(inner);
    root->Add(twin);
    window.Attach(root);
    CPaintManagerUI& m = window.Manager();
    // Names compare case-sensitively in the name map; the later of two equal
    // names wins.
    EXPECT_EQ(m.FindControl(L"Alpha"), a);
    EXPECT_EQ(m.FindControl(L"alpha"), nullptr);
    EXPECT_EQ(m.FindControl(L"beta"), twin);
    // The tree search ignores case.
    EXPECT_EQ(m.FindSubControlByName(nullptr, L"ALPHA"), a);
    EXPECT_EQ(m.FindSubControlByName(inner, L"beta"), b);
    EXPECT_EQ(inner->FindSubControl(L"nothing"), nullptr);
    EXPECT_EQ(m.FindSubControlsByClass(nullptr, L"ControlUI")->GetSize(), 3);
    EXPECT_EQ(m.FindSubControlsByClass(nullptr, L"*")->GetSize(), 5);
    EXPECT_EQ(m.FindSubControlByClass(nullptr, L"ControlUI", 1), b);
    EXPECT_EQ(m.FindSubControlByClass(nullptr, L"ControlUI", 3), nullptr);
    EXPECT_EQ(m.FindSubControlByPoint(inner, POINT{5, 5}), a);
}

} // namespace

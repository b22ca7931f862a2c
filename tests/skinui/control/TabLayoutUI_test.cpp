// The tab layout: which page is selected as pages come and go, selection with
// its "tabselect" notification, and where the selected page is placed.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/TabLayoutUI.h"
#include "skinui/control/VerticalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;
using skintest::Str;

CControlUI* Page(const wchar_t* name, const wchar_t* attributes = L"") {
    CControlUI* page = new CVerticalLayoutUI;
    page->SetName(name);
    page->ApplyAttributeList(attributes);
    return page;
}

TEST(TabPages, FirstVisiblePageIsSelectedAndLaterOnesHidden) {
    CTabLayoutUI tab;
    CControlUI* hidden = Page(L"hidden", L"visible=\"false\"");
    CControlUI* a = Page(L"a");
    CControlUI* b = Page(L"b");
    tab.Add(hidden);
    tab.Add(a);
    tab.Add(b);
    EXPECT_EQ(tab.GetCurSel(), 1);
    EXPECT_TRUE(a->IsVisible());
    EXPECT_FALSE(b->IsVisible());

    // Inserting before the selection moves the selection index with it.
    CControlUI* front = Page(L"front");
    tab.AddAt(front, 0);
    EXPECT_EQ(tab.GetCurSel(), 2);
    EXPECT_EQ(tab.GetItemAt(tab.GetCurSel()), a);
    // Inserting after it hides the new page.
    CControlUI* back = Page(L"back");
    tab.AddAt(back, 4);
    EXPECT_FALSE(back->IsVisible());

    // Removing a page before the selection moves the index down; removing
    // the selected page selects the first one.
    tab.Remove(front);
    EXPECT_EQ(tab.GetCurSel(), 1);
    tab.Remove(a);
    EXPECT_EQ(tab.GetCurSel(), 0);
    EXPECT_TRUE(hidden->IsVisible());
    tab.RemoveAll();
    EXPECT_EQ(tab.GetCurSel(), -1);
}

TEST(TabPages, SelectItemNotifiesNewAndPreviousIndexOnce) {
    skintest::TestWindow window(200, 100);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CTabLayoutUI* tab = new CTabLayoutUI;
    tab->SetName(L"tab");
    CControlUI* a = Page(L"a");
    CControlUI* b = Page(L"b", L"height=\"40\" padding=\"5,6,0,0\"");
    tab->Add(a);
    tab->Add(b);
    root->Add(tab);
    window.Attach(root);
    skintest::NotifyRecorder recorder;
    window.Manager().AddNotifier(&recorder);

    EXPECT_FALSE(tab->SelectItem(2));
    EXPECT_FALSE(tab->SelectItem(-1));
    EXPECT_TRUE(tab->SelectItem(1));
    EXPECT_TRUE(tab->SelectItem(1));
    EXPECT_EQ(recorder.Of({NotifyTabSelect}), (std::vector<std::wstring>{L"tabselect tab 1 0"}));
    EXPECT_FALSE(a->IsVisible());
    EXPECT_TRUE(b->IsVisible());
    // The page is placed at once, less its padding, with its own height.
    EXPECT_EQ(Str(b->GetPos()), Str(5, 6, 200, 46));

    CControlUI stranger;
    EXPECT_FALSE(tab->SelectItem(&stranger));
    EXPECT_TRUE(tab->SelectItem(a));
    EXPECT_EQ(recorder.Of({NotifyTabSelect}),
              (std::vector<std::wstring>{L"tabselect tab 1 0", L"tabselect tab 0 1"}));
    window.Paint();
    EXPECT_EQ(Str(a->GetPos()), Str(0, 0, 200, 100));
}

TEST(TabPages, SelectedIdAttributeSelectsAndIsKept) {
    CTabLayoutUI tab;
    tab.Add(Page(L"a"));
    tab.Add(Page(L"b"));
    tab.SetAttribute(L"selectedid", L"1");
    EXPECT_EQ(tab.GetCurSel(), 1);
    EXPECT_STREQ(tab.GetCustomAttribute(L"selectedid"), L"1");
}

} // namespace

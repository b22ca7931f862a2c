// The control tree side of the paint manager: synchronous and queued
// notifications, delayed deletion of removed controls, re-attaching a tree,
// option groups and the process-wide list of managers.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/VerticalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;
using Entries = std::vector<std::wstring>;

TEST(Notifications, SynchronousDeliveryRunsTheSendersDelegatesThenEveryReceiverInOrder) {
    skintest::TestWindow window(50, 50);
    CControlUI* c = new CControlUI;
    c->SetName(L"c");
    window.Attach(c);
    Entries order;
    c->OnNotify += [&](void*) { return order.push_back(L"delegate"), true; };
    skintest::NotifyRecorder first, second, late;
    first.onNotify = [&](TNotifyUI& msg) {
        order.push_back(L"first");
        if (msg.type == NotifyClick)
            window.Manager().AddNotifier(&late); // joins the same delivery
    };
    second.onNotify = [&](TNotifyUI&) { order.push_back(L"second"); };
    late.onNotify = [&](TNotifyUI&) { order.push_back(L"late"); };
    window.Manager().AddNotifier(&first);
    window.Manager().AddNotifier(&second);
    window.Manager().SendNotify(c, NotifyClick, 1, 2);
    EXPECT_EQ(order, (Entries{L"delegate", L"first", L"second", L"late"}));
    EXPECT_EQ(first.entries, (Entries{L"click c 1 2"}));
    EXPECT_TRUE(window.Manager().RemoveNotifier(&late));
    EXPECT_FALSE(window.Manager().RemoveNotifier(&late));
}

TEST(Notifications, QueuedOnesArriveInOrderAtTheDrainEvenWhenTheSenderIsGone) {
    skintest::TestWindow window(50, 50);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    root->SetName(L"root");
    CControlUI* c = new CControlUI;
    c->SetName(L"c");
    root->Add(c);
    window.Attach(root);
    window.Pump();
    skintest::NotifyRecorder recorder;
    window.Manager().AddNotifier(&recorder);
    recorder.onNotify = [&](TNotifyUI& msg) {
        if (msg.type == L"one") // queued during the drain: delivered in it
            window.Manager().SendNotify(root, L"three", 0, 0, true);
    };
    window.Manager().SendNotify(c, L"one", 0, 0, true);
    window.Manager().SendNotify(root, L"two", 0, 0, true);
    EXPECT_TRUE(recorder.entries.empty());
    root->SetDelayedDestroy(false);
    root->Remove(c);
    window.Pump();
    // (Removing the root's child also lays the root out again, which queues a
    // "windowsize" of its own.)
    EXPECT_EQ(recorder.Of({L"one", L"two", L"three"}),
              (Entries{L"one - 0 0", L"two root 0 0", L"three root 0 0"}));
}

TEST(DelayedCleanup, AControlRemovedInItsOwnEventIsDeletedAtTheNextDrain) {
    skintest::TestWindow window(50, 50);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CControlUI* c = new CControlUI;
    c->SetName(L"c");
    root->Add(c);
    window.Attach(root);
    bool deleted = false;
    bool deletedDuringEvent = false;
    c->OnDestroy += [&](void*) { return deleted = true; };
    c->OnEvent += [&](void* p) {
        if (static_cast<TEventUI*>(p)->type == EventButtonDown) {
            root->Remove(c);
            deletedDuringEvent = deleted;
        }
        return true;
    };
    window.LButtonDown(10, 10);
    EXPECT_FALSE(deletedDuringEvent);
    EXPECT_FALSE(deleted);
    EXPECT_EQ(root->GetCount(), 0);
    window.LButtonUp(10, 10); // the pressed control lives on until the drain
    window.Pump();
    EXPECT_TRUE(deleted);
    EXPECT_EQ(window.Manager().FindControl(L"c"), nullptr);
}

TEST(AttachDialog, ASecondTreeReplacesTheFirstWhichIsDeletedLater) {
    skintest::TestWindow window(50, 50);
    skintest::NotifyRecorder recorder;
    window.Manager().AddNotifier(&recorder);
    CControlUI* first = new CControlUI;
    first->SetName(L"first");
    bool firstDeleted = false;
    first->OnDestroy += [&](void*) { return firstDeleted = true; };
    window.Attach(first);
    CControlUI* second = new CControlUI;
    second->SetName(L"second");
    window.Attach(second);
    EXPECT_EQ(window.Manager().GetRoot(), second);
    EXPECT_FALSE(firstDeleted);
    window.Pump();
    EXPECT_TRUE(firstDeleted);
    EXPECT_EQ(window.Manager().FindControl(L"first"), nullptr);
    EXPECT_EQ(window.Manager().FindControl(L"second"), second);
    // Each attached tree has its own first layout.
    EXPECT_EQ(recorder.Of({NotifyWindowInit}),
              (Entries{L"windowinit first 0 0", L"windowinit second 0 0"}));
}

TEST(OptionGroups, MembershipAndEmptyGroupsDisappear) {
    CPaintManagerUI manager;
    CControlUI a, b;
    EXPECT_TRUE(manager.AddOptionGroup(L"g", &a));
    EXPECT_FALSE(manager.AddOptionGroup(L"g", &a));
    EXPECT_TRUE(manager.AddOptionGroup(L"g", &b));
    ASSERT_NE(manager.GetOptionGroup(L"g"), nullptr);
    EXPECT_EQ(manager.GetOptionGroup(L"g")->GetSize(), 2);
    manager.RemoveOptionGroup(L"g", &a);
    manager.RemoveOptionGroup(L"g", &b);
    EXPECT_EQ(manager.GetOptionGroup(L"g"), nullptr);
    manager.AddOptionGroup(L"h", &a);
    manager.RemoveAllOptionGroups();
    EXPECT_EQ(manager.GetOptionGroup(L"h"), nullptr);
}

TEST(PaintManagers, InitJoinsTheProcessListOnceAndDestructionLeavesIt) {
    const int before = CPaintManagerUI::GetPaintManagers()->GetSize();
    {
        skintest::TestWindow window(10, 10);
        window.Manager().Init(window.Hwnd(), L"again");
        EXPECT_EQ(CPaintManagerUI::GetPaintManagers()->GetSize(), before + 1);
        EXPECT_STREQ(window.Manager().GetName(), L"again");
        EXPECT_EQ(window.Manager().GetClientSize().cx, 10);
    }
    EXPECT_EQ(CPaintManagerUI::GetPaintManagers()->GetSize(), before);
}

} // namespace

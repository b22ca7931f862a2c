// Control timers: window timer ids from 17, the restart rules, delivery as
// EventTimer and "timer", and clean-up with the control.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/VerticalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        root = new CVerticalLayoutUI;
        a = new CControlUI;
        a->SetName(L"a");
        b = new CControlUI;
        b->SetName(L"b");
        root->Add(a);
        root->Add(b);
        window.Attach(root);
        window.Manager().AddNotifier(&recorder);
    }
    // A WM_TIMER as the system would post it for window timer `id`.
    void Tick(UINT id) { window.Send(WM_TIMER, id, 0x1234); }

    skintest::TestWindow window{100, 100};
    CVerticalLayoutUI* root = nullptr;
    CControlUI* a = nullptr;
    CControlUI* b = nullptr;
    skintest::NotifyRecorder recorder;
};

TEST_F(Timers, WindowTimerIdsStartAt17AndCarryTheControlsOwnId) {
    ASSERT_TRUE(a->SetTimer(7, 60000));
    ASSERT_TRUE(b->SetTimer(7, 60000));
    Tick(17);
    Tick(18);
    Tick(19); // no such timer
    EXPECT_EQ(recorder.Of({NotifyTimer}),
              (std::vector<std::wstring>{L"timer a 7 4660", L"timer b 7 4660"}));
    // The window timers really exist under those ids.
    EXPECT_TRUE(KillTimer(window.Hwnd(), 17));
    EXPECT_TRUE(KillTimer(window.Hwnd(), 18));
}

TEST_F(Timers, ARunningTimerCannotBeSetTwiceAndAKilledOneRestartsWithItsId) {
    ASSERT_TRUE(a->SetTimer(1, 60000));
    EXPECT_FALSE(a->SetTimer(1, 60000));
    EXPECT_TRUE(a->KillTimer(1));
    EXPECT_FALSE(a->KillTimer(1));
    Tick(17); // killed: ignored
    EXPECT_EQ(recorder.Count(NotifyTimer), 0);
    EXPECT_TRUE(a->SetTimer(1, 60000));
    Tick(17);
    EXPECT_EQ(recorder.Count(NotifyTimer), 1);
    // A new pair takes the next id, not the reused one.
    ASSERT_TRUE(a->SetTimer(2, 60000));
    Tick(18);
    EXPECT_EQ(recorder.Of({NotifyTimer}).back(), L"timer a 2 4660");
}

TEST_F(Timers, ARealTimerFires) {
    ASSERT_TRUE(a->SetTimer(3, 10));
    EXPECT_TRUE(window.PumpUntil([&] { return recorder.Count(NotifyTimer) > 0; }, 5000));
    EXPECT_EQ(recorder.Of({NotifyTimer}).at(0), L"timer a 3 0");
}

TEST_F(Timers, KillingAllOfAControlsTimersOrDeletingItForgetsThem) {
    ASSERT_TRUE(a->SetTimer(1, 60000));
    ASSERT_TRUE(a->SetTimer(2, 60000));
    ASSERT_TRUE(b->SetTimer(1, 60000));
    window.Manager().KillTimer(a);
    Tick(17);
    Tick(18);
    EXPECT_EQ(recorder.Count(NotifyTimer), 0);
    EXPECT_FALSE(a->KillTimer(1));
    // A deleted control's timers go with it: its id is never delivered again.
    root->SetDelayedDestroy(false);
    root->Remove(b);
    Tick(19);
    EXPECT_EQ(recorder.Count(NotifyTimer), 0);
    EXPECT_FALSE(KillTimer(window.Hwnd(), 19));
}

TEST(TimersWithoutManager, SetTimerFails) {
    CControlUI c;
    EXPECT_FALSE(c.SetTimer(1, 10));
    EXPECT_FALSE(c.KillTimer(1));
}

} // namespace

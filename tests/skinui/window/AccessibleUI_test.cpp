// The focus ring and the window's accessible object in a real window: ring
// pixels after keys and none after a click, and the children a screen reader
// is given, with their roles, names and states.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/OptionUI.h"
#include "skinui/window/AccessibleUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;

const wchar_t kSkin[] = LR"(<Window size="200,100" focusringcolor="#FFFF0000" focusringinset="-2">
  <VerticalLayout>
    <HorizontalLayout height="30">
      <Button name="go" text="Go" width="60" bkcolor="#FF00FF00" />
      <Option name="check" text="Check" width="60" selected="true" />
      <Button name="icon" accname="Close" width="20" bkcolor="#FF0000FF" />
    </HorizontalLayout>
    <HorizontalLayout height="30">
      <Label text="Read me" width="60" />
      <Label width="20" />
      <Button name="link" text="Link" width="60" />
      <Progress name="bar" accname="Progress" width="60" value="40" />
    </HorizontalLayout>
    <Control height="40" />
    <Button name="below" text="Hidden below" height="60" bkcolor="#FF808080" />
  </VerticalLayout>
</Window>)";

class Accessible : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(window.Open(0, 0)); }
    skintest::SkinTestWindow window{kSkin};
};

TEST_F(Accessible, RingAppearsAfterKeysAndGoesAfterAClick) {
    CControlUI* go = window.Find(L"go");
    CControlUI* check = window.Find(L"check");
    ASSERT_EQ(window.Manager().GetFocus(), go);
    // Hidden at the start, as the system's windows are until a key is used.
    window.Paint();
    EXPECT_FALSE(window.Manager().AreFocusCuesShown());
    EXPECT_NE(window.Pixel(61, 15), 0xFF0000u);
    window.PostKey(VK_SHIFT);
    window.Paint();
    // Outside the button's right edge (60) by one pixel: the ring.
    EXPECT_EQ(window.Pixel(61, 15), 0xFF0000u);
    window.ClickControl(check);
    window.Paint();
    EXPECT_EQ(window.Manager().GetFocus(), check);
    EXPECT_FALSE(window.Manager().AreFocusCuesShown());
    EXPECT_NE(window.Pixel(121, 15), 0xFF0000u);
    EXPECT_NE(window.Pixel(61, 15), 0xFF0000u);
    window.PostKey(VK_TAB);
    window.Paint();
    EXPECT_TRUE(window.Manager().AreFocusCuesShown());
    // Now on the icon button (120..140): the ring left of it.
    EXPECT_EQ(window.Manager().GetFocus(), window.Find(L"icon"));
    EXPECT_EQ(window.Pixel(119, 15), 0xFF0000u);
}

// A pill-shaped body inside a larger control (as the installer's buttons
// are drawn) gets a ring of the pill's shape, not a box around the control.
TEST(FocusRing, FollowsTheRoundedShapeTheControlNames) {
    skintest::SkinTestWindow window(
        LR"(<Window size="200,100" focusringcolor="#FFFF0000" focusringinset="-2">
  <VerticalLayout>
    <Button name="pill" width="200" height="64" focusshape="12,10,12,10,22" />
  </VerticalLayout>
</Window>)");
    ASSERT_TRUE(window.Open(0, 0));
    window.PostKey(VK_SHIFT);
    window.Paint();
    ASSERT_TRUE(window.Manager().AreFocusCuesShown());
    // The body is 12..188 x 10..54; the ring lies two pixels outside it.
    const struct {
        int x, y;
        bool ring;
    } probes[] = {
        {100, 9, true},   // above the straight top edge
        {100, 54, true},  // below the bottom edge
        {10, 32, true},   // left of the rounded end, at its middle
        {189, 32, true},  // right of it
        {100, 5, false},  // no box at the control's own edge
        {1, 1, false},    // the control's corner
        {12, 10, false},  // the rectangle's corner, cut by the rounding
        {100, 32, false}, // inside the body
    };
    for (const auto& p : probes)
        EXPECT_EQ(p.ring, window.Pixel(p.x, p.y) == 0xFF0000u) << p.x << "," << p.y;
}

TEST_F(Accessible, ChildrenHaveRolesNamesAndStates) {
    CPaintManagerUI* pm = &window.Manager();
    const struct {
        const wchar_t* name;
        long role;
    } expected[] = {
        {L"Go", ROLE_SYSTEM_PUSHBUTTON},
        {L"Check", ROLE_SYSTEM_CHECKBUTTON},
        {L"Close", ROLE_SYSTEM_PUSHBUTTON},
        {L"Read me", ROLE_SYSTEM_STATICTEXT},
        {L"Link", ROLE_SYSTEM_LINK},
        {L"Progress", ROLE_SYSTEM_PROGRESSBAR},
        {L"Hidden below", ROLE_SYSTEM_PUSHBUTTON},
    };
    long id = 0;
    for (const auto& x : expected) {
        ++id;
        CControlUI* c = CAccessibleUI::ChildAt(pm, id);
        ASSERT_NE(nullptr, c) << id;
        EXPECT_STREQ(x.name, CAccessibleUI::NameOf(c).GetData());
        EXPECT_EQ(x.role, CAccessibleUI::RoleOf(c));
        EXPECT_EQ(id, CAccessibleUI::ChildIdOf(pm, c));
    }
    EXPECT_EQ(nullptr, CAccessibleUI::ChildAt(pm, id + 1));

    CAccessibleUI* acc = new CAccessibleUI(pm);
    long count = 0;
    EXPECT_EQ(S_OK, acc->get_accChildCount(&count));
    EXPECT_EQ(7, count);
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    VARIANT state;
    child.lVal = 2; // the selected option
    ASSERT_EQ(S_OK, acc->get_accState(child, &state));
    EXPECT_NE(0, state.lVal & STATE_SYSTEM_CHECKED);
    EXPECT_NE(0, state.lVal & STATE_SYSTEM_FOCUSABLE);
    child.lVal = 7; // below the window's edge
    ASSERT_EQ(S_OK, acc->get_accState(child, &state));
    EXPECT_NE(0, state.lVal & STATE_SYSTEM_INVISIBLE);
    child.lVal = 6;
    BSTR value = nullptr;
    ASSERT_EQ(S_OK, acc->get_accValue(child, &value));
    EXPECT_STREQ(L"40%", value);
    SysFreeString(value);
    child.lVal = 99;
    EXPECT_EQ(E_INVALIDARG, acc->get_accState(child, &state));
    // After the window's tree has gone, a client's calls fail cleanly.
    acc->Detach();
    EXPECT_EQ(RPC_E_DISCONNECTED, acc->get_accChildCount(&count));
    acc->Release();
}

TEST_F(Accessible, DefaultActionRunsFromTheQueue) {
    CAccessibleUI* acc = new CAccessibleUI(&window.Manager());
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = 2;
    EXPECT_EQ(S_OK, acc->accDoDefaultAction(child));
    auto* check = window.Find(L"check");
    EXPECT_TRUE(window.Get<COptionUI>(L"check")->IsSelected()) << "acted before the queue ran";
    window.PumpUntil([&] { return !window.Get<COptionUI>(L"check")->IsSelected(); });
    EXPECT_FALSE(window.Get<COptionUI>(L"check")->IsSelected());
    EXPECT_EQ(window.Manager().GetFocus(), check);
    acc->Release();
}

} // namespace

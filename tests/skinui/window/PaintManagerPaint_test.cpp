// The painting pass: "windowinit" once, "windowsize" queued after a paint that
// laid out the whole tree, partial layout after a setter, invalidation, and a
// tree built in code painting into a real window.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/HorizontalLayoutUI.h"
#include "skinui/control/VerticalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;
using skintest::Str;

TEST(PaintPass, WindowInitOnceAndWindowSizeQueuedAfterPainting) {
    skintest::TestWindow window(120, 80);
    skintest::NotifyRecorder recorder;
    window.Manager().AddNotifier(&recorder);
    bool paintingDuringSize = true;
    recorder.onNotify = [&](TNotifyUI& msg) {
        if (msg.type == NotifyWindowSize)
            paintingDuringSize = window.Manager().IsPainting();
    };
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    root->SetName(L"root");
    window.Attach(root);
    EXPECT_EQ(recorder.Of(), (std::vector<std::wstring>{L"windowinit root 0 0"}));
    window.Pump();
    EXPECT_EQ(recorder.Of(),
              (std::vector<std::wstring>{L"windowinit root 0 0", L"windowsize root 0 0"}));
    EXPECT_FALSE(paintingDuringSize);

    // A repaint without a layout sends nothing.
    InvalidateRect(window.Hwnd(), nullptr, FALSE);
    window.Paint();
    window.Pump();
    EXPECT_EQ(recorder.entries.size(), 2u);

    // A size change lays the whole tree out again at the next paint and
    // queues exactly one "windowsize".
    window.SetClientSize(140, 90);
    window.Paint();
    EXPECT_EQ(recorder.Count(NotifyWindowSize), 1);
    window.Pump();
    EXPECT_EQ(recorder.Count(NotifyWindowSize), 2);
    EXPECT_EQ(recorder.Count(NotifyWindowInit), 1);
    EXPECT_EQ(Str(root->GetPos()), Str(0, 0, 140, 90));
}

TEST(PaintPass, ASetterLaysOutOnlyTheParentOfTheChangedControl) {
    skintest::TestWindow window(100, 100);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CHorizontalLayoutUI* left = new CHorizontalLayoutUI;
    CVerticalLayoutUI* right = new CVerticalLayoutUI;
    CControlUI* item = new CControlUI;
    CControlUI* other = new CControlUI;
    right->Add(item);
    right->Add(other);
    root->Add(left);
    root->Add(right);
    int rootLayouts = 0, leftLayouts = 0, rightLayouts = 0;
    root->OnSize += [&](void*) { return ++rootLayouts, true; };
    left->OnSize += [&](void*) { return ++leftLayouts, true; };
    right->OnSize += [&](void*) { return ++rightLayouts, true; };
    skintest::NotifyRecorder recorder;
    window.Manager().AddNotifier(&recorder);
    window.Attach(root);
    window.Pump();
    ASSERT_EQ(rootLayouts, 1);
    ASSERT_EQ(Str(item->GetPos()), Str(0, 50, 100, 75));
    recorder.Clear();

    item->SetFixedHeight(10);
    EXPECT_EQ(Str(item->GetPos()), Str(0, 50, 100, 75)); // nothing moves before the paint
    window.Paint();
    window.Pump();
    EXPECT_EQ(Str(item->GetPos()), Str(0, 50, 100, 60));
    EXPECT_EQ(Str(other->GetPos()), Str(0, 60, 100, 100));
    EXPECT_EQ(rootLayouts, 1);
    EXPECT_EQ(leftLayouts, 1);
    EXPECT_EQ(rightLayouts, 2);
    EXPECT_EQ(recorder.Count(NotifyWindowSize), 0);
}

TEST(PaintPass, AFloatingControlMovedBySetFixedXYIsPlacedAgain) {
    skintest::TestWindow window(100, 100);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CControlUI* badge = new CControlUI;
    badge->ApplyAttributeList(L"float=\"true\" pos=\"10,10,20,20\"");
    root->Add(badge);
    window.Attach(root);
    badge->SetFixedXY(SIZE{30, 40});
    window.Paint();
    EXPECT_EQ(Str(badge->GetPos()), Str(30, 40, 40, 50));
}

TEST(PaintPass, PaintWithoutATreeValidatesTheWindow) {
    skintest::TestWindow window(50, 50);
    InvalidateRect(window.Hwnd(), nullptr, FALSE);
    window.Paint();
    RECT update;
    EXPECT_FALSE(GetUpdateRect(window.Hwnd(), &update, FALSE));
}

TEST(PaintPass, InvalidateNormalisesTheRectangle) {
    skintest::TestWindow window(100, 100);
    window.Attach(new CControlUI);
    ValidateRect(window.Hwnd(), nullptr);
    RECT backwards = {50, 10, 20, 30};
    window.Manager().Invalidate(backwards);
    RECT update;
    EXPECT_FALSE(GetUpdateRect(window.Hwnd(), &update, FALSE)); // empty width at x 50
    EXPECT_EQ(Str(backwards), Str(50, 10, 20, 30));             // the caller's copy stays
    RECT offLeft = {-5, -5, 10, 10};
    window.Manager().Invalidate(offLeft);
    ASSERT_TRUE(GetUpdateRect(window.Hwnd(), &update, FALSE));
    EXPECT_EQ(Str(update), Str(0, 0, 10, 10));
}

// =============================================================================
// A tree built in code, painted into a real window
// =============================================================================

const DWORD kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF,
            kBlack = 0x000000, kYellow = 0xFFFF00;

class PaintedTree : public ::testing::Test {
protected:
    // A white root with a 10-pixel inset; inside it a green column above a
    // blue one that has a 1-pixel black border; a red floating badge in the
    // inset margin; a yellow control hidden from the start.
    void SetUp() override {
        root = new CVerticalLayoutUI;
        root->ApplyAttributeList(L"bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\"");
        green = new CControlUI;
        green->ApplyAttributeList(L"bkcolor=\"#FF00FF00\" height=\"40\"");
        blue = new CControlUI;
        blue->ApplyAttributeList(
            L"bkcolor=\"#FF0000FF\" bordercolor=\"#FF000000\" bordersize=\"1\"");
        CControlUI* hidden = new CControlUI;
        hidden->ApplyAttributeList(L"bkcolor=\"#FFFFFF00\" visible=\"false\"");
        badge = new CControlUI;
        badge->ApplyAttributeList(L"bkcolor=\"#FFFF0000\" float=\"true\" pos=\"0,0,6,6\"");
        root->Add(green);
        root->Add(hidden);
        root->Add(blue);
        root->Add(badge);
        window.Attach(root);
    }

    skintest::TestWindow window{100, 120};
    CVerticalLayoutUI* root = nullptr;
    CControlUI* green = nullptr;
    CControlUI* blue = nullptr;
    CControlUI* badge = nullptr;
};

TEST_F(PaintedTree, PixelsFollowTheLayout) {
    const struct {
        int x, y;
        DWORD rgb;
    } probes[] = {
        {3, 3, kRed},      {8, 8, kWhite},   {50, 5, kWhite},   {50, 15, kGreen},
        {89, 49, kGreen},  {10, 50, kBlack}, {50, 50, kBlack},  {11, 51, kBlue},
        {89, 109, kBlack}, {88, 108, kBlue}, {50, 115, kWhite}, {95, 60, kWhite},
    };
    for (const auto& p : probes)
        EXPECT_EQ(window.ScreenPixel(p.x, p.y), p.rgb) << p.x << "," << p.y;
}

TEST_F(PaintedTree, SetterRepaintsOnlyWhatChanged) {
    green->SetBkColor(0xFF0000FF);
    window.Paint();
    EXPECT_EQ(window.ScreenPixel(50, 15), kBlue);
    green->SetVisible(false);
    window.Paint();
    // The blue column now fills the whole inner area.
    EXPECT_EQ(window.ScreenPixel(10, 10), kBlack);
    EXPECT_EQ(window.ScreenPixel(11, 11), kBlue);
    EXPECT_EQ(window.ScreenPixel(50, 30), kBlue);
}

TEST_F(PaintedTree, PrintClientDrawsTheSameImage) {
    HDC screen = GetDC(window.Hwnd());
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 120);
    HGDIOBJ old = SelectObject(memory, bitmap);
    window.Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    EXPECT_EQ(GetPixel(memory, 3, 3), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(memory, 50, 15), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(memory, 12, 52), RGB(0, 0, 255));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window.Hwnd(), screen);
}

TEST(PaintedBorders, PerSideWidthsDrawOnlyThoseSides) {
    skintest::TestWindow window(60, 40);
    CControlUI* c = new CControlUI;
    c->ApplyAttributeList(
        L"bkcolor=\"#FFFFFFFF\" bordercolor=\"#FFFF0000\" bordersize=\"0,1,0,1\"");
    window.Attach(c);
    EXPECT_EQ(window.ScreenPixel(30, 0), kRed);
    EXPECT_EQ(window.ScreenPixel(30, 39), kRed);
    EXPECT_EQ(window.ScreenPixel(0, 20), kWhite);
    EXPECT_EQ(window.ScreenPixel(59, 20), kWhite);
    EXPECT_EQ(window.ScreenPixel(30, 1), kWhite);
}

} // namespace

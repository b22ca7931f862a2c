// A skinned window whose display changes density while it runs: the message
// the system sends (WM_DPICHANGED, synthesised here) rescales, lays out,
// resizes and repaints the window; the window base's frame geometry follows.
#include "skinui/window/WindowImplBase.h"

#include "skinui/control/ControlUI.h"
#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace SkinUI;
using skintest::SkinTestWindow;

namespace {

const int kLeft = 40;
const int kTop = 30;

// Blue 50-pixel label beside a green filler in a 40-pixel row, a red area
// below, and a black one-pixel line floating at (10, 60).
const wchar_t kSkin[] =
    L"<Window size=\"200,100\" caption=\"0,0,0,30\" roundcorner=\"4,4\">"
    L"<Font id=\"0\" name=\"微软雅黑\" size=\"12\"/>"
    L"<VerticalLayout bkcolor=\"#FFFFFFFF\">"
    L"<HorizontalLayout height=\"40\">"
    L"<Label name=\"fixed\" width=\"50\" font=\"0\" bkcolor=\"#FF0000FF\"/>"
    L"<Control name=\"rest\" bkcolor=\"#FF00FF00\"/></HorizontalLayout>"
    L"<Control name=\"below\" bkcolor=\"#FFFF0000\"/>"
    L"<Control name=\"line\" float=\"true\" pos=\"10,60,0,0\" width=\"20\" height=\"1\""
    L" bkcolor=\"#FF000000\"/>"
    L"</VerticalLayout></Window>";

void SendDpiChanged(SkinTestWindow& window, int dpi, int cx, int cy) {
    RECT suggested = {kLeft, kTop, kLeft + cx, kTop + cy};
    window.Send(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    window.Pump();
    window.Paint();
}

LRESULT HitTest(SkinTestWindow& window, int x, int y) {
    POINT pt = {x, y};
    ClientToScreen(window, &pt);
    return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
}

SIZE ClientSize(HWND window) {
    RECT rc = {};
    GetClientRect(window, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

} // namespace

TEST(WindowDpi, DpiChangeRelaysOutAndRepaintsAtTheNewScale) {
    SkinTestWindow window(kSkin);
    ASSERT_TRUE(window.Open(kLeft, kTop));
    // The test prefix runs at 96 dpi.
    ASSERT_EQ(100, window.Manager().GetDPIObj()->GetScale());
    const LONG fontAt100 = window.Manager().GetFontInfo(0)->tm.tmHeight;

    struct Step {
        int dpi;
        int scale;
    };
    const Step steps[] = {{144, 150}, {192, 200}, {120, 125}, {96, 100}};
    for (const Step& s : steps) {
        const CDPI* dpi = window.Manager().GetDPIObj();
        SendDpiChanged(window, s.dpi, MulDiv(200, s.scale, 100), MulDiv(100, s.scale, 100));
        SCOPED_TRACE(s.dpi);
        EXPECT_EQ(s.scale, dpi->GetScale());
        EXPECT_EQ(MulDiv(200, s.scale, 100), ClientSize(window).cx) << "the suggested rectangle";
        EXPECT_EQ(MulDiv(100, s.scale, 100), ClientSize(window).cy);

        const int w = dpi->Scale(50), h = dpi->Scale(40);
        const RECT fixed = window.Find(L"fixed")->GetPos();
        EXPECT_EQ(skintest::Str(0, 0, w, h), skintest::Str(fixed));
        EXPECT_EQ(h, window.Find(L"below")->GetPos().top);

        // Repainted: the colours meet where the new layout puts them.
        EXPECT_EQ(0x0000FFu, window.Pixel(w - 1, h / 2));
        EXPECT_EQ(0x00FF00u, window.Pixel(w, h / 2));
        EXPECT_EQ(0xFF0000u, window.Pixel(w, h));
        // The floating line: one pixel high whatever the scale rounds to.
        RECT line = {10, 60, 30, 61};
        dpi->Scale(&line);
        EXPECT_EQ(0x000000u, window.Pixel(line.left, line.top));
        EXPECT_EQ(0xFF0000u, window.Pixel(line.left, line.bottom));

        // Fonts are made again at the new size.
        const LONG font = window.Manager().GetFontInfo(0)->tm.tmHeight;
        if (s.scale > 100)
            EXPECT_GT(font, fontAt100);
        else
            EXPECT_EQ(font, fontAt100);

        // The caption (30 pixels at 96 dpi) scales with everything else.
        EXPECT_EQ(HTCAPTION, HitTest(window, w + 5, dpi->Scale(30) - 1));
        EXPECT_EQ(HTCLIENT, HitTest(window, w + 5, dpi->Scale(30)));
    }
}

TEST(WindowDpi, SameScaleAgainChangesNothingButTheSize) {
    SkinTestWindow window(kSkin);
    ASSERT_TRUE(window.Open(kLeft, kTop));
    HFONT before = window.Manager().GetFont(0);
    SendDpiChanged(window, 96, 240, 100);
    EXPECT_EQ(before, window.Manager().GetFont(0)) << "no new fonts for the same scale";
    EXPECT_EQ(240, ClientSize(window).cx);
    EXPECT_EQ(skintest::Str(0, 0, 50, 40), skintest::Str(window.Find(L"fixed")->GetPos()));
}

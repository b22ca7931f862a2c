#include "skinui/control/ProgressUI.h"

#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace SkinUI;
using skintest::SkinFolder;
using skintest::SkinTestWindow;

namespace {

std::string Str(const RECT& rc) {
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) +
           "," + std::to_string(rc.bottom);
}

const DWORD kRed = 0xFF0000;
const DWORD kBlue = 0x0000FF;
const DWORD kWhite = 0xFFFFFF;

// The colours along the middle row of the bar at (0,0)-(200,10): the first
// x of each run and its colour.
std::vector<std::pair<int, DWORD>> Runs(SkinTestWindow& window) {
    const std::vector<DWORD> pixels = window.Capture();
    RECT rc = {};
    GetClientRect(window, &rc);
    std::vector<std::pair<int, DWORD>> runs;
    for (int x = 0; x < 200; ++x) {
        const DWORD pixel = pixels[static_cast<size_t>(5) * rc.right + x];
        if (runs.empty() || runs.back().second != pixel)
            runs.push_back({x, pixel});
    }
    return runs;
}

typedef std::vector<std::pair<int, DWORD>> RunList;

} // namespace

TEST(ProgressUI, FilledBoxForSeveralValues) {
    const struct {
        int width, height, minimum, maximum, value;
        bool horizontal;
        const char* expected;
    } cases[] = {
        {490, 6, 0, 100, 45, true, "0,0,220,6"}, // 490 x 45 / 100 = 220.5, truncated
        {490, 6, 0, 100, 0, true, "0,0,0,6"},
        {490, 6, 0, 100, 100, true, "0,0,490,6"},
        {200, 10, 50, 150, 75, true, "0,0,50,10"},
        {200, 10, -100, 100, 0, true, "0,0,100,10"},
        {10, 200, 0, 100, 25, false, "0,150,10,200"}, // filled from the bottom
        {10, 200, 0, 100, 100, false, "0,0,10,200"},
        {10, 200, 0, 100, 0, false, "0,200,10,200"},
        // A range that would overflow 32-bit products.
        {1000, 6, 0, INT_MAX, INT_MAX / 2, true, "0,0,499,6"},
    };
    for (const auto& c : cases) {
        CProgressUI progress;
        progress.SetMaxValue(c.maximum);
        progress.SetMinValue(c.minimum);
        progress.SetValue(c.value);
        progress.SetHorizontal(c.horizontal);
        progress.SetPos(RECT{30, 40, 30 + c.width, 40 + c.height});
        EXPECT_EQ(Str(progress.GetFilledRect()), c.expected)
            << c.width << " " << c.minimum << ".." << c.maximum << " " << c.value;
    }
}

TEST(ProgressUI, ValuesOutsideTheRangeAreIgnoredAndBadRangesRepairedWhenPainted) {
    CProgressUI progress;
    progress.SetValue(40);
    progress.SetValue(150);
    EXPECT_EQ(progress.GetValue(), 40);
    progress.SetValue(-1);
    EXPECT_EQ(progress.GetValue(), 40);
    progress.SetValue(100);
    EXPECT_EQ(progress.GetValue(), 100);

    // The setters store what they get; the box is computed as painting
    // repairs it: maximum = minimum + 1, value clamped.
    progress.SetMinValue(200);
    progress.SetPos(RECT{0, 0, 100, 6});
    EXPECT_EQ(Str(progress.GetFilledRect()), "0,0,0,6");
    progress.SetMaxValue(50);
    EXPECT_EQ(progress.GetMaxValue(), 50);
}

TEST(ProgressUI, ShownTextIsThePercentage) {
    CProgressUI progress;
    progress.SetMaxValue(3);
    progress.SetValue(1);
    EXPECT_EQ(progress.GetText(), L"");
    progress.SetShowText(true);
    EXPECT_EQ(progress.GetText(), L""); // until the next update
    progress.UpdateText();
    EXPECT_EQ(progress.GetText(), L"33%");
    progress.SetValue(2);
    EXPECT_EQ(progress.GetText(), L"67%");
    progress.SetShowText(false);
    EXPECT_EQ(progress.GetText(), L"");
    progress.SetValue(3);
    EXPECT_EQ(progress.GetText(), L"");

    // An empty range shows a number, not "nan%".
    CProgressUI empty;
    empty.SetMaxValue(0);
    empty.SetShowText(true);
    empty.UpdateText();
    EXPECT_EQ(empty.GetText(), L"0%");
}

TEST(ProgressUI, AttributesAndDefaults) {
    CProgressUI progress;
    EXPECT_EQ(progress.GetFixedHeight(), 12);
    EXPECT_EQ(progress.GetTextStyle(), static_cast<UINT>(DT_SINGLELINE | DT_CENTER));
    EXPECT_TRUE(progress.IsHorizontal());
    EXPECT_TRUE(progress.IsStretchForeImage());
    progress.SetAttribute(L"hor", L"false");
    progress.SetAttribute(L"min", L"10");
    progress.SetAttribute(L"max", L"20");
    progress.SetAttribute(L"value", L"15");
    progress.SetAttribute(L"IsStretchFore", L"false");
    EXPECT_FALSE(progress.IsHorizontal());
    EXPECT_EQ(progress.GetMinValue(), 10);
    EXPECT_EQ(progress.GetMaxValue(), 20);
    EXPECT_EQ(progress.GetValue(), 15);
    EXPECT_FALSE(progress.IsStretchForeImage());
    EXPECT_STREQ(progress.GetClass(), L"ProgressUI");
    EXPECT_EQ(progress.GetInterface(L"progress"), &progress);
}

// The fore image is 200 x 10: red on its left half, blue on its right half.
// The bar is 200 wide on white.
TEST(ProgressUI, ForeImageIsSqueezedOrCutAtTheFilledPart) {
    SkinFolder folder;
    folder.Write(L"fore.png", skintest::MakePng(200, 10, [](int x, int) {
                     return x < 100 ? 0xFFFF0000 : 0xFF0000FF;
                 }));
    SkinTestWindow window(
        L"<Window size=\"200,40\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
        L"<Progress name=\"stretched\" height=\"10\" foreimage=\"fore.png\"/>"
        L"<Progress name=\"cut\" height=\"10\" foreimage=\"fore.png\" isstretchfore=\"false\"/>"
        L"<Progress name=\"vertical\" height=\"20\" hor=\"false\" foreimage=\"fore.png\""
        L" isstretchfore=\"false\"/></VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    auto* stretched = window.Get<CProgressUI>(L"stretched");
    auto* cut = window.Get<CProgressUI>(L"cut");
    cut->SetVisible(false);
    window.Find(L"vertical")->SetVisible(false);

    EXPECT_EQ(Runs(window), (RunList{{0, kWhite}}));
    stretched->SetValue(25);
    EXPECT_EQ(Runs(window), (RunList{{0, kRed}, {25, kBlue}, {50, kWhite}}));
    stretched->SetValue(100);
    EXPECT_EQ(Runs(window), (RunList{{0, kRed}, {100, kBlue}}));

    stretched->SetVisible(false);
    cut->SetVisible(true);
    cut->SetValue(25);
    EXPECT_EQ(Runs(window), (RunList{{0, kRed}, {50, kWhite}}));
    cut->SetValue(75);
    EXPECT_EQ(Runs(window), (RunList{{0, kRed}, {100, kBlue}, {150, kWhite}}));
}

TEST(ProgressUI, AVerticalBarFillsFromTheBottom) {
    SkinFolder folder;
    folder.Write(L"fore.png", skintest::SolidPng(10, 100, 0xFFFF0000));
    SkinTestWindow window(
        L"<Window size=\"10,100\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
        L"<Progress name=\"p\" height=\"100\" hor=\"false\" value=\"30\" foreimage=\"fore.png\"/>"
        L"</VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    EXPECT_EQ(window.Pixel(5, 69), kWhite);
    EXPECT_EQ(window.Pixel(5, 70), kRed);
    EXPECT_EQ(window.Pixel(5, 99), kRed);
}

TEST(ProgressUI, ForeColourFillsTheFilledPart) {
    SkinTestWindow window(
        L"<Window size=\"200,20\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
        L"<Progress name=\"p\" height=\"10\" value=\"40\" forecolor=\"#FF0000FF\"/>"
        L"</VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    EXPECT_EQ(Runs(window), (RunList{{0, kBlue}, {80, kWhite}}));
}

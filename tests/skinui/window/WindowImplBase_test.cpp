#include "skinui/window/WindowImplBase.h"

#include "skinui/control/ContainerUI.h"
#include "skinui/control/OptionUI.h"
#include "tests/skinui/support/TestWindow.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace SkinUI;
using skintest::SkinTestWindow;

namespace {

// Where the test windows sit on the screen: away from the origin, so that a
// screen point and a client point differ.
const int kLeft = 40;
const int kTop = 30;

LRESULT HitTest(SkinTestWindow& window, int x, int y) {
    POINT pt = {x, y};
    ClientToScreen(window, &pt);
    return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
}

// The window's region, or null when it has none.
HRGN WindowRegion(HWND window, int* kind) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    *kind = GetWindowRgn(window, region);
    if (*kind == ERROR) {
        DeleteObject(region);
        return nullptr;
    }
    return region;
}

// A window whose message map routes some notifications of its own and
// leaves the rest to the window base's map.
class MapWindow : public SkinTestWindow {
public:
    using SkinTestWindow::SkinTestWindow;

    std::vector<std::wstring> log;

    void OnOk(TNotifyUI& msg) { log.push_back(L"ok " + std::wstring(msg.sender->GetName())); }
    void OnAnySelect(WPARAM wParam, LPARAM lParam) {
        log.push_back(L"select " + std::to_wstring(wParam) + L"," + std::to_wstring(lParam));
    }

    SKIN_DECLARE_MESSAGE_MAP()
};

SKIN_BEGIN_MESSAGE_MAP(MapWindow, SkinTestWindow)
SKIN_ON_CLICK_CTRNAME(L"ok", &MapWindow::OnOk)
SKIN_ON_MSGTYPE_LWL(L"selectchanged", L"", &MapWindow::OnAnySelect)
SKIN_END_MESSAGE_MAP()

const wchar_t kButtonsSkin[] =
    L"<Window size=\"300,200\"><VerticalLayout><HorizontalLayout height=\"40\">"
    L"<Button name=\"ok\" width=\"50\"/><Button name=\"closebtn\" width=\"50\"/>"
    L"<Button name=\"closeBtn\" width=\"50\"/><Button name=\"other\" width=\"50\"/>"
    L"<Option name=\"check\" width=\"50\"/></HorizontalLayout>"
    L"<HorizontalLayout height=\"40\"><Button name=\"maxBtn\" width=\"50\"/>"
    L"<Button name=\"restoreBtn\" width=\"50\" visible=\"false\"/></HorizontalLayout>"
    L"<Control/></VerticalLayout></Window>";

} // namespace

TEST(WindowImplBase, CaptionDragFollowsTheStaticControlRule) {
    SkinTestWindow window(
        L"<Window size=\"300,200\" caption=\"0,0,0,100\"><VerticalLayout>"
        L"<HorizontalLayout height=\"100\"><Label name=\"title\" width=\"60\" text=\"t\"/>"
        L"<Button name=\"button\" width=\"60\"/><Option name=\"option\" width=\"60\"/>"
        L"<Progress name=\"progress\" width=\"60\" height=\"100\"/>"
        L"<VerticalLayout><Label name=\"nested\" height=\"50\"/></VerticalLayout>"
        L"</HorizontalLayout><Label name=\"below\"/></VerticalLayout></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    const struct {
        int x, y;
        LRESULT expected;
        const char* what;
    } cases[] = {
        {30, 50, HTCAPTION, "label in the caption"},
        {90, 50, HTCLIENT, "button in the caption"},
        {150, 50, HTCLIENT, "option in the caption"},
        {210, 50, HTCLIENT, "progress bar in the caption"},
        {270, 20, HTCAPTION, "label in a layout in the caption"},
        {270, 80, HTCAPTION, "bare layout in the caption"},
        {30, 99, HTCAPTION, "last caption row"},
        {30, 100, HTCLIENT, "first row below the caption"},
        {150, 150, HTCLIENT, "label below the caption"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HitTest(window, c.x, c.y), c.expected) << c.what;
}

TEST(WindowImplBase, CaptionInsetsAndBottomMinusOne) {
    SkinTestWindow window(L"<Window size=\"300,200\" caption=\"10,5,20,-1\"><Control/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    EXPECT_EQ(HitTest(window, 9, 50), HTCLIENT);
    EXPECT_EQ(HitTest(window, 10, 50), HTCAPTION);
    EXPECT_EQ(HitTest(window, 279, 50), HTCAPTION);
    EXPECT_EQ(HitTest(window, 280, 50), HTCLIENT);
    EXPECT_EQ(HitTest(window, 100, 4), HTCLIENT);
    EXPECT_EQ(HitTest(window, 100, 199), HTCAPTION);
}

TEST(WindowImplBase, SizeBoxGivesBorderCodesUnlessMaximised) {
    SkinTestWindow window(L"<Window size=\"300,200\" sizebox=\"4,4,4,4\"><Control/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    const struct {
        int x, y;
        LRESULT expected;
    } cases[] = {
        {0, 0, HTTOPLEFT},      {3, 3, HTTOPLEFT},    {150, 0, HTTOP},
        {299, 0, HTTOPRIGHT},   {0, 100, HTLEFT},     {299, 100, HTRIGHT},
        {0, 199, HTBOTTOMLEFT}, {150, 199, HTBOTTOM}, {299, 199, HTBOTTOMRIGHT},
        {4, 4, HTCLIENT},       {296, 196, HTCLIENT}, {150, 100, HTCLIENT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HitTest(window, c.x, c.y), c.expected) << c.x << "," << c.y;

    ::ShowWindow(window, SW_MAXIMIZE);
    window.Pump();
    ASSERT_TRUE(IsZoomed(window));
    EXPECT_EQ(HitTest(window, 0, 0), HTCLIENT);
    EXPECT_EQ(HitTest(window, 1, 100), HTCLIENT);
}

TEST(WindowImplBase, ZeroSizeBoxGivesNoBorderCodes) {
    SkinTestWindow window(L"<Window size=\"300,200\"><Control/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    for (const POINT pt : {POINT{0, 0}, POINT{299, 0}, POINT{0, 199}, POINT{299, 199}})
        EXPECT_EQ(HitTest(window, pt.x, pt.y), HTCLIENT);
}

TEST(WindowImplBase, RoundCornersClipTheWindowAndFollowItsSize) {
    SkinTestWindow window(L"<Window size=\"200,100\" roundcorner=\"20,20\"><Control/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    int kind = 0;
    HRGN region = WindowRegion(window, &kind);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(kind, COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_FALSE(PtInRegion(region, 199, 99));
    EXPECT_TRUE(PtInRegion(region, 100, 50));
    EXPECT_TRUE(PtInRegion(region, 0, 50));
    EXPECT_TRUE(PtInRegion(region, 199, 50));
    EXPECT_TRUE(PtInRegion(region, 100, 99));
    DeleteObject(region);

    SetWindowPos(window, nullptr, 0, 0, 300, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    region = WindowRegion(window, &kind);
    ASSERT_NE(region, nullptr);
    EXPECT_TRUE(PtInRegion(region, 299, 75));
    EXPECT_FALSE(PtInRegion(region, 299, 149));
    DeleteObject(region);
}

TEST(WindowImplBase, ZeroRoundCornerStillSetsARectangularRegion) {
    SkinTestWindow window(L"<Window size=\"200,100\"><Control/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    int kind = 0;
    HRGN region = WindowRegion(window, &kind);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(kind, SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, 199, 99));
    DeleteObject(region);
}

TEST(WindowImplBase, BuildsTheSkinAsABorderlessWindowOfTheSkinsSize) {
    class InitWindowProbe : public SkinTestWindow {
    public:
        using SkinTestWindow::SkinTestWindow;
        void InitWindow() override {
            rootAtInit = m_pm.GetRoot() != nullptr;
            labelAtInit = m_pm.FindControl(L"label") != nullptr;
        }
        bool rootAtInit = false;
        bool labelAtInit = false;
    } window(L"<Window size=\"320,240\"><VerticalLayout><Label name=\"label\"/></VerticalLayout>"
             L"</Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    EXPECT_TRUE(window.rootAtInit);
    EXPECT_TRUE(window.labelAtInit);
    RECT rcWindow = {}, rcClient = {};
    GetWindowRect(window, &rcWindow);
    GetClientRect(window, &rcClient);
    EXPECT_EQ(rcWindow.right - rcWindow.left, 320);
    EXPECT_EQ(rcWindow.bottom - rcWindow.top, 240);
    EXPECT_EQ(rcClient.right, 320);
    EXPECT_EQ(rcClient.bottom, 240);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_NE(style & WS_CLIPCHILDREN, 0);
    EXPECT_EQ(window.GetStyle() & WS_CAPTION, 0);
    EXPECT_EQ(window.Of({L"windowinit"}).size(), 1u);
    EXPECT_EQ(GetClassLongW(window, GCL_STYLE) & CS_DBLCLKS, static_cast<DWORD>(CS_DBLCLKS));
}

TEST(WindowImplBase, WithASkinTypeTheSkinIsAModuleResource) {
    // The program's resources hold skin documents of type SKINDOC; 201
    // includes 202 twice.
    class ResourceSkinWindow : public SkinTestWindow {
    public:
        ResourceSkinWindow() : SkinTestWindow(L"201") {}
        CSkinString GetSkinType() override { return L"SKINDOC"; }
    } window;
    ASSERT_TRUE(window.Open(kLeft, kTop));
    ASSERT_NE(window.Find(L"top"), nullptr);
    EXPECT_STREQ(window.Find(L"included")->GetClass(), L"ButtonUI");
    auto* root =
        static_cast<IContainerUI*>(window.Manager().GetRoot()->GetInterface(L"IContainer"));
    EXPECT_EQ(root->GetCount(), 3);
}

TEST(WindowImplBase, MinimumTrackSizeComesFromTheSkin) {
    SkinTestWindow window(L"<Window size=\"300,200\" mininfo=\"250,150\"><Control/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    MINMAXINFO info = {};
    ::SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 250);
    EXPECT_EQ(info.ptMinTrackSize.y, 150);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_EQ(info.ptMaxSize.x, monitor.rcWork.right - monitor.rcWork.left);
    EXPECT_EQ(info.ptMaxTrackSize.y, monitor.rcWork.bottom - monitor.rcWork.top);
    EXPECT_EQ(info.ptMaxPosition.x, monitor.rcWork.left);
}

TEST(WindowImplBase, CloseIsIgnoredWhileTheWindowIsDisabled) {
    SkinTestWindow window(L"<Window size=\"100,100\"><Control/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    EnableWindow(window, FALSE);
    EXPECT_EQ(::SendMessageW(window, WM_CLOSE, 0, 0), 0);
    ::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(window.closeRequests, 0);
    EnableWindow(window, TRUE);
    ::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(window.closeRequests, 1);
}

TEST(WindowImplBase, MessageMapRoutesClicksToHandlersAndFallsBackToTheBase) {
    MapWindow window(kButtonsSkin);
    ASSERT_TRUE(window.Open(kLeft, kTop));
    window.ClickControl(window.Find(L"ok"));
    EXPECT_EQ(window.log, (std::vector<std::wstring>{L"ok ok"}));

    // No row of the window's own map: the base's "click" row closes on
    // "closeBtn", exactly so written (as the skins spell it), with IDOK.
    window.ClickControl(window.Find(L"closebtn"));
    window.ClickControl(window.Find(L"other"));
    window.Pump();
    EXPECT_EQ(window.closeRequests, 0);
    window.ClickControl(window.Find(L"closeBtn"));
    EXPECT_TRUE(window.PumpUntil([&] { return window.closeRequests == 1; }));
    EXPECT_EQ(window.lastCloseCode, static_cast<WPARAM>(IDOK));

    window.log.clear();
    window.ClickControl(window.Find(L"check"));
    EXPECT_EQ(window.log, (std::vector<std::wstring>{L"select 0,0"}));
}

TEST(WindowImplBase, MaxAndRestoreButtonsSwapWhenTheWindowIsMaximised) {
    MapWindow window(kButtonsSkin);
    ASSERT_TRUE(window.Open(kLeft, kTop));
    CControlUI* maxButton = window.Find(L"maxBtn");
    CControlUI* restoreButton = window.Find(L"restoreBtn");
    window.ClickControl(maxButton);
    window.Pump();
    ASSERT_TRUE(IsZoomed(window));
    EXPECT_FALSE(maxButton->IsVisible());
    EXPECT_TRUE(restoreButton->IsVisible());
    window.Paint();
    window.ClickControl(restoreButton);
    window.Pump();
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_TRUE(maxButton->IsVisible());
    EXPECT_FALSE(restoreButton->IsVisible());
}

TEST(WindowImplBase, TheMinimiseButtonIsSpeltAsTheSkinsSpellIt) {
    SkinTestWindow window(
        L"<Window size=\"200,100\"><HorizontalLayout height=\"40\">"
        L"<Button name=\"minbtn\" width=\"50\"/><Button name=\"minBtn\" width=\"50\"/>"
        L"</HorizontalLayout></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    window.ClickControl(window.Find(L"minbtn"));
    window.Pump();
    EXPECT_FALSE(IsIconic(window));
    window.ClickControl(window.Find(L"minBtn"));
    EXPECT_TRUE(window.PumpUntil([&] { return IsIconic(window) != FALSE; }));
}

TEST(WindowImplBase, EscapeAndReturnDoNothingByThemselves) {
    SkinTestWindow window(
        L"<Window size=\"200,100\"><VerticalLayout><Button name=\"b\" height=\"30\"/>"
        L"</VerticalLayout></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    window.Manager().SetFocus(nullptr);
    window.notifications.clear();
    window.PostKey(VK_ESCAPE);
    window.PostKey(VK_RETURN);
    EXPECT_EQ(window.closeRequests, 0);
    EXPECT_TRUE(window.Of({L"click"}).empty());

    // A focused button still gets the key.
    window.Find(L"b")->SetFocus();
    window.PostKey(VK_RETURN);
    EXPECT_EQ(window.Of({L"click"}), (std::vector<std::wstring>{L"click b"}));
    window.PostKey(VK_ESCAPE);
    EXPECT_EQ(window.closeRequests, 0);
}

TEST(WindowImplBase, AfterTheWindowIsGoneTheObjectHasNoHandle) {
    SkinTestWindow window(L"<Window size=\"100,100\"><Label name=\"l\"/></Window>");
    ASSERT_TRUE(window.Open(kLeft, kTop));
    window.allowClose = true;
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(window.GetHWND(), nullptr);
    // The tree stays with the paint manager until the object is deleted.
    EXPECT_NE(window.Manager().GetRoot(), nullptr);
}

TEST(WindowImplBase, ASkinThatFailsToLoadEndsTheProcessAfterSayingSo) {
    qmtest::ChildProcess child;
    ASSERT_TRUE(child.Start(qmtest::Quote(qmtest::ProgramDir() + L"\\skinui_failing_skin.exe")));
    HWND box = qmtest::WaitForProcessDialog(child.Pid(), 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(qmtest::WindowText(box), L"SkinUI");
    EXPECT_EQ(qmtest::MessageBoxText(box), L"加载资源文件失败：no-such-skin.xml");
    // Nothing of the window is shown: the box has no owner.
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    qmtest::PressDialogButton(box, IDOK);
    ASSERT_TRUE(child.Wait(20000));
    EXPECT_EQ(child.ExitCode(), 1u);
}

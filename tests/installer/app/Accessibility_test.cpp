// The installer without a mouse and through a screen reader's eyes: the real
// program driven by keys alone, its focus ring read back from the screen, and
// its accessible object walked by this test program as an MSAA client.
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/MsaaClient.h"
#include "tests/installer/SetupFixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace qmtest;
namespace L = qmtest::layout;

// The library's default ring colour (the installer's skin keeps it).
constexpr uint32_t kRing = 0x1464C8;

const wchar_t kAgreeName[] = L"已阅读并同意《用户服务协议》和《隐私协议》";

bool Shown(const TElement& e) {
    return (e.state & STATE_SYSTEM_INVISIBLE) == 0;
}

// How many ring-coloured pixels lie on the frame just around the rectangle
// (client coordinates), where the ring is drawn.
int RingPixelsAround(const Screenshot& shot, RECT rc) {
    int count = 0;
    for (int y = rc.top - 3; y < rc.bottom + 3; ++y)
        for (int x = rc.left - 3; x < rc.right + 3; ++x) {
            const bool inside = x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
            if (inside || x < 0 || y < 0 || x >= shot.width || y >= shot.height)
                continue;
            if ((shot.At(x, y) & 0xFFFFFF) == kRing)
                ++count;
        }
    return count;
}

int RingPixels(const Screenshot& shot) {
    int count = 0;
    for (uint32_t p : shot.pixels)
        count += (p & 0xFFFFFF) == kRing;
    return count;
}

RECT ToClient(HWND hwnd, RECT rc) {
    MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Keys go to the active window; a press on the background (the window's
// caption area, which is no control) makes that the installer without
// counting as a click on a control.
void Activate(HWND hwnd) {
    ClickAt(hwnd, 60, 60);
    WaitUntil([&] { return GetForegroundWindow() == hwnd; }, 3000);
}

// The focus as the accessible object reports it, after a key has been
// handled.
std::wstring FocusAfterKey(const MsaaClient& client, WORD vk) {
    const std::wstring before = client.FocusName();
    PressKey(vk);
    std::wstring now;
    WaitUntil(
        [&] {
            now = client.FocusName();
            return now != before;
        },
        2000);
    return now;
}

using Accessibility = SetupTest;

TEST_F(Accessibility, TreeNamesEveryControlOfTheWelcomePageFoldedAndUnfolded) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    MsaaClient client(hwnd);
    ASSERT_NE(nullptr, client.Get()) << "no accessible object for the window";

    struct Expect {
        const wchar_t* name;
        long role;
        bool checked;
        bool shownFolded;
    };
    const Expect expected[] = {
        {L"立即安装", ROLE_SYSTEM_PUSHBUTTON, false, true},
        {kAgreeName, ROLE_SYSTEM_CHECKBUTTON, true, true},
        {L"已阅读青梧云端助手", ROLE_SYSTEM_STATICTEXT, false, true},
        {L"《用户服务协议》", ROLE_SYSTEM_LINK, false, true},
        {L"《隐私协议》", ROLE_SYSTEM_LINK, false, true},
        {L"自定义安装", ROLE_SYSTEM_CHECKBUTTON, false, true},
        {L"浏览", ROLE_SYSTEM_PUSHBUTTON, false, false},
        {L"桌面快捷方式", ROLE_SYSTEM_CHECKBUTTON, true, false},
        {L"启动栏快捷方式", ROLE_SYSTEM_CHECKBUTTON, true, false},
        {L"最小化", ROLE_SYSTEM_PUSHBUTTON, false, true},
        {L"关闭", ROLE_SYSTEM_PUSHBUTTON, false, true},
    };
    auto check = [&](bool folded) {
        SCOPED_TRACE(folded ? "folded" : "unfolded");
        for (const Expect& x : expected) {
            const TElement e = client.Find(x.name);
            ASSERT_NE(0, e.id) << Narrow(x.name);
            EXPECT_EQ(x.role, e.role) << Narrow(x.name);
            // "自定义安装" is what unfolds the panel.
            const bool checked = std::wstring(x.name) == L"自定义安装" ? !folded : x.checked;
            EXPECT_EQ(checked, (e.state & STATE_SYSTEM_CHECKED) != 0) << Narrow(x.name);
            EXPECT_EQ(folded ? x.shownFolded : true, Shown(e)) << Narrow(x.name);
            if (x.role != ROLE_SYSTEM_STATICTEXT) {
                EXPECT_NE(0, e.state & STATE_SYSTEM_FOCUSABLE) << Narrow(x.name);
            }
        }
        // The directory field: editable text, its value the directory.
        const std::vector<TElement> all = client.Children();
        bool sawEdit = false;
        for (const TElement& e : all) {
            if (e.role != ROLE_SYSTEM_TEXT)
                continue;
            sawEdit = true;
            EXPECT_EQ(!folded, Shown(e));
            EXPECT_NE(std::wstring::npos, client.Value(e.id).find(L"Quillmossdex"));
        }
        EXPECT_TRUE(sawEdit);
        // Nothing of the other pages is in the tree.
        EXPECT_EQ(0, client.Find(L"立即体验").id);
        EXPECT_EQ(0, client.Find(L"安装进度").id);
    };
    check(true);
    // The place of a child is where it is drawn.
    const TElement install = client.Find(L"立即安装");
    const RECT rc = ToClient(hwnd, install.screen);
    EXPECT_EQ(L::kInstallButton.left, rc.left);
    EXPECT_EQ(L::kInstallButton.top, rc.top);
    EXPECT_EQ(L::kInstallButton.right, rc.right);
    EXPECT_EQ(L::kInstallButton.bottom, rc.bottom);

    // The default action of "自定义安装" unfolds the panel, as a click does.
    EXPECT_EQ(S_OK, client.DoDefaultAction(client.Find(L"自定义安装").id));
    ASSERT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == 542; }, 5000));
    WaitUntil([&] { return Shown(client.Find(L"浏览")); }, 3000);
    EXPECT_NE(0, client.Find(L"自定义安装").state & STATE_SYSTEM_CHECKED);
    check(false);
    // Toggling an option through its default action changes its state.
    EXPECT_EQ(S_OK, client.DoDefaultAction(client.Find(L"桌面快捷方式").id));
    EXPECT_TRUE(WaitUntil(
        [&] { return (client.Find(L"桌面快捷方式").state & STATE_SYSTEM_CHECKED) == 0; }, 3000));
}

TEST_F(Accessibility, DefaultActionOfTheInstallButtonInstalls) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    MsaaClient client(hwnd);
    ASSERT_NE(nullptr, client.Get());
    const TElement install = client.Find(L"立即安装");
    ASSERT_NE(0, install.id);
    EXPECT_EQ(S_OK, client.DoDefaultAction(install.id));
    ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
    EXPECT_TRUE(FileExists(DefaultInstallDir() + L"Quillmossdex.exe"));
    // The finish page: its button is the tree's push button now.
    const TElement finish = client.Find(L"立即体验");
    EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, finish.role);
    EXPECT_EQ(0, client.Find(L"立即安装").id);
}

TEST_F(Accessibility, TabVisitsOnlyWhatCanBeSeenFoldedAndUnfolded) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    MsaaClient client(hwnd);
    ASSERT_NE(nullptr, client.Get());
    Activate(hwnd);
    ASSERT_EQ(L"立即安装", client.FocusName());

    const std::vector<std::wstring> folded = {kAgreeName,    L"《用户服务协议》", L"《隐私协议》",
                                              L"自定义安装", L"最小化",           L"关闭",
                                              L"立即安装"};
    std::vector<std::wstring> seen;
    for (size_t i = 0; i < folded.size(); ++i)
        seen.push_back(FocusAfterKey(client, VK_TAB));
    EXPECT_EQ(folded, seen);

    // Shift+Tab goes back to "自定义安装" through the title buttons; Space
    // unfolds the panel, whose controls join the order after it.
    for (int i = 0; i < 3; ++i) {
        const std::wstring before = client.FocusName();
        PressKeyWith(VK_SHIFT, VK_TAB);
        WaitUntil([&] { return client.FocusName() != before; }, 2000);
    }
    ASSERT_EQ(L"自定义安装", client.FocusName());
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == 542; }, 5000));
    EXPECT_EQ(L"自定义安装", client.FocusName());

    seen.clear();
    for (int i = 0; i < 7; ++i)
        seen.push_back(FocusAfterKey(client, VK_TAB));
    // The edit is named by its text, the directory.
    ASSERT_EQ(7u, seen.size());
    EXPECT_NE(std::wstring::npos, seen[0].find(L"Quillmossdex"));
    EXPECT_EQ((std::vector<std::wstring>{L"浏览", L"桌面快捷方式", L"启动栏快捷方式", L"最小化",
                                         L"关闭", L"立即安装"}),
              std::vector<std::wstring>(seen.begin() + 1, seen.end()));
}

TEST_F(Accessibility, KeysAloneMakeACustomInstall) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    MsaaClient client(hwnd);
    ASSERT_NE(nullptr, client.Get());
    Activate(hwnd);
    // install -> agree -> links -> "自定义安装": Space unfolds the panel.
    for (int i = 0; i < 4; ++i)
        FocusAfterKey(client, VK_TAB);
    ASSERT_EQ(L"自定义安装", client.FocusName());
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == 542; }, 5000));
    // directory, "浏览", then the desktop link, which Space clears.
    for (int i = 0; i < 3; ++i)
        FocusAfterKey(client, VK_TAB);
    ASSERT_EQ(L"桌面快捷方式", client.FocusName());
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil(
        [&] { return (client.Find(L"桌面快捷方式").state & STATE_SYSTEM_CHECKED) == 0; }, 3000));
    // On around to the install button, and Enter.
    for (int i = 0; i < 4; ++i)
        FocusAfterKey(client, VK_TAB);
    ASSERT_EQ(L"立即安装", client.FocusName());
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
    EXPECT_TRUE(FileExists(DefaultInstallDir() + L"Quillmossdex.exe"));
    EXPECT_FALSE(FileExists(DesktopShortcut()));
    EXPECT_TRUE(FileExists(StartMenuShortcut()));
    // Enter on the finish page's button starts the client and ends.
    ASSERT_EQ(L"立即体验", client.FocusName());
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForExit(15000));
}

TEST_F(Accessibility, EnterRightAfterStartInstallsWithTheFocusShownOnTheButton) {
    HWND hwnd = StartAndWait();
    ASSERT_NE(nullptr, hwnd);
    Screenshot shot;
    ASSERT_TRUE(WaitForPage(hwnd, 0, 10000, &shot));
    // No ring until the keyboard is used, as the system's windows start.
    EXPECT_EQ(0, RingPixels(shot));
    Activate(hwnd);
    // A key that does nothing else shows it, on the button that Enter acts
    // on, following the button's rounded body (12..188 x 10..54 of the
    // button) rather than boxing the whole control.
    PressKey(VK_SHIFT);
    const RECT body = {L::kInstallButton.left + 12, L::kInstallButton.top + 10,
                       L::kInstallButton.right - 12, L::kInstallButton.bottom - 10};
    EXPECT_TRUE(CaptureUntil(
        hwnd, &shot, [&] { return RingPixelsAround(shot, body) > 400; }, 3000))
        << "no ring around the button's body after a key";
    shot.SavePng(ArtifactPath(L"setup-focus-install.png"));
    // All of it on the body's edge: the rounded ends lie inside the body's
    // rectangle, the straight edges just outside.
    int nearBody = 0;
    for (int y = body.top - 3; y < body.bottom + 3; ++y)
        for (int x = body.left - 3; x < body.right + 3; ++x)
            nearBody += (shot.At(x, y) & 0xFFFFFF) == kRing;
    EXPECT_EQ(RingPixels(shot), nearBody);
    // The corners of the body's rectangle are cut by the rounding.
    EXPECT_NE(kRing, shot.At(body.left - 1, body.top - 1) & 0xFFFFFF);
    EXPECT_NE(kRing, shot.At(body.right, body.bottom) & 0xFFFFFF);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForPage(hwnd, 2, 30000));
    EXPECT_TRUE(FileExists(DefaultInstallDir() + L"Quillmossdex.exe"));
    EXPECT_TRUE(FileExists(DesktopShortcut()));
}

TEST_F(Accessibility, FocusRingFollowsTheKeyboardAndGoesWithTheMouse) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    MsaaClient client(hwnd);
    ASSERT_NE(nullptr, client.Get());
    // A click on the agreement option (twice, to leave it selected) moves the
    // focus there without a ring.
    ClickAt(hwnd, L::kAgree.x, L::kAgree.y);
    ClickAt(hwnd, L::kAgree.x, L::kAgree.y);
    ASSERT_TRUE(WaitUntil([&] { return client.FocusName() == kAgreeName; }, 3000));
    Screenshot shot;
    EXPECT_TRUE(CaptureUntil(
        hwnd, &shot, [&] { return RingPixels(shot) == 0; }, 3000))
        << "a ring after a click";
    // Tab: the ring appears around the next control, the first link.
    EXPECT_EQ(L"《用户服务协议》", FocusAfterKey(client, VK_TAB));
    const RECT link = ToClient(hwnd, client.Find(L"《用户服务协议》").screen);
    EXPECT_TRUE(CaptureUntil(
        hwnd, &shot, [&] { return RingPixelsAround(shot, link) > 200; }, 3000))
        << "no ring after Tab";
    shot.SavePng(ArtifactPath(L"setup-focus-ring.png"));
    // And only there.
    EXPECT_EQ(RingPixels(shot), RingPixelsAround(shot, link));
}

TEST_F(Accessibility, EscapeDoesWhatTheCloseButtonDoes) {
    HWND hwnd = StartOnWelcomePage();
    ASSERT_NE(nullptr, hwnd);
    Activate(hwnd);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitForExit(15000));
    EXPECT_EQ(0u, m_setup->ExitCode());
}

} // namespace

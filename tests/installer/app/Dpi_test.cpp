// The installer on displays of other densities. Wine takes the density of a
// process from HKCU\Control Panel\Desktop\LogPixels when the process starts,
// so each case sets the value, starts the installer as a child and puts the
// old value back; the test process itself stays at the density it started
// with. Any other program started meanwhile would take the value too, so
// this test program runs alone (RUN_SERIAL in its CMake file).
#include "tests/installer/MsaaClient.h"
#include "tests/installer/SetupFixture.h"

#include "skinui/core/Handles.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>

using namespace qmtest;
namespace L = qmtest::layout;

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kLogPixels[] = L"LogPixels";

// Sets LogPixels for the processes started while it lives, and restores the
// value before (or its absence) when it goes.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, m_key.Put(),
                            nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof(m_old);
        DWORD type = 0;
        m_hadOld = RegQueryValueExW(m_key.Get(), kLogPixels, nullptr, &type,
                                    reinterpret_cast<BYTE*>(&m_old), &size) == ERROR_SUCCESS &&
                   type == REG_DWORD;
        m_set = RegSetValueExW(m_key.Get(), kLogPixels, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)) == ERROR_SUCCESS;
    }
    ~LogPixels() {
        if (!m_set)
            return;
        if (m_hadOld)
            RegSetValueExW(m_key.Get(), kLogPixels, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&m_old), sizeof(m_old));
        else
            RegDeleteValueW(m_key.Get(), kLogPixels);
    }
    bool Set() const { return m_set; }

private:
    SkinUI::UniqueRegKey m_key;
    DWORD m_old = 0;
    bool m_hadOld = false;
    bool m_set = false;
};

int Scaled(int value, int scale) {
    return MulDiv(value, scale, 100);
}

RECT Scaled(const RECT& rc, int scale) {
    // The library's rule: left and top, width and height, each on its own.
    const int left = Scaled(rc.left, scale), top = Scaled(rc.top, scale);
    return RECT{left, top, left + Scaled(rc.right - rc.left, scale),
                top + Scaled(rc.bottom - rc.top, scale)};
}

uint32_t Rgb(uint32_t pixel) {
    return pixel & 0xFFFFFF;
}

// The library's default focus ring colour, which the installer's skin keeps.
const uint32_t kRing = 0x1464C8;

// The colour of the one-pixel line that closes the upper part (bk_top.png),
// drawn one pixel high at every scale.
const uint32_t kClosingLine = 0xEDF2F4;

// Every channel within `tolerance` of the expected colour's.
bool Near(uint32_t expected, uint32_t actual, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        if (a - e > tolerance || e - a > tolerance)
            return false;
    }
    return true;
}

using SetupDpi = SetupTest;

// The densities people set, with the scale the window is laid out at.
struct DensityCase {
    DWORD dpi;
    int scale;
};
constexpr DensityCase kDensities[] = {{96, 100}, {120, 125}, {144, 150}, {192, 200}};

} // namespace

TEST_F(SetupDpi, WindowAndArtworkFollowTheDisplayDensity) {
    for (const DensityCase& c : kDensities) {
        SCOPED_TRACE(c.dpi);
        HWND hwnd = nullptr;
        {
            LogPixels logPixels(c.dpi);
            ASSERT_TRUE(logPixels.Set());
            hwnd = StartAndWait();
        }
        ASSERT_NE(nullptr, hwnd);
        const int width = Scaled(560, c.scale);
        const int height = Scaled(420, c.scale);
        EXPECT_EQ(width, WindowSize(hwnd).cx);
        EXPECT_EQ(height, WindowSize(hwnd).cy);

        // Painted once the install button's teal shows where the scaled layout
        // puts it.
        const RECT button = Scaled(L::kInstallButton, c.scale);
        const int area = (button.right - button.left) * (button.bottom - button.top);
        Screenshot shot;
        EXPECT_TRUE(CaptureUntil(
            hwnd, &shot, [&] { return shot.width == width && CountTeal(shot, button) > area / 3; },
            10000))
            << "the install button is not where the scale puts it";
        shot.SavePng(ArtifactPath(L"setup-dpi-" + std::to_wstring(c.dpi) + L".png"));
        ASSERT_EQ(height, shot.height);

        // The artwork is the drawing made for this scale, not the 100 % one
        // stretched: the closing line is one sharp pixel high, the row above
        // it the light background, never a blurred band of the two.
        const int x = Scaled(280, c.scale);
        const uint32_t line = Rgb(shot.At(x, height - 1));
        const uint32_t above = Rgb(shot.At(x, height - 2));
        EXPECT_TRUE(Near(kClosingLine, line, 2)) << std::hex << line;
        EXPECT_GE(above & 0xFF, 0xFAu)
            << "the row above the line is background, " << std::hex << above;
        EXPECT_GT(CountTeal(shot, Scaled(L::kLogo, c.scale)),
                  Scaled(Scaled(300, c.scale), c.scale));

        Child().Kill();
    }
}

namespace {

POINT Scaled(POINT pt, int scale) {
    return POINT{Scaled(pt.x, scale), Scaled(pt.y, scale)};
}

// The window's line whose text starts with prefix, as a screen reader reads
// it, with where it lies; id 0 when there is none.
TElement Line(HWND hwnd, const std::wstring& prefix) {
    MsaaClient client(hwnd);
    return FindStartingWith(client, prefix);
}

TElement WaitForLine(HWND hwnd, const std::wstring& prefix, DWORD timeoutMs = 10000) {
    TElement e;
    WaitUntil(
        [&] {
            e = Line(hwnd, prefix);
            return e.id != 0;
        },
        timeoutMs);
    return e;
}

// The line lies wholly inside the window's client area.
bool InsideWindow(HWND hwnd, const TElement& e) {
    RECT client = {};
    GetClientRect(hwnd, &client);
    MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    RECT both = {};
    return e.id != 0 && IntersectRect(&both, &client, &e.screen) && EqualRect(&both, &e.screen);
}

} // namespace

// Every page with its new lines at each scale (100 % and 150 % the common
// ones): the space line, the progress step and percentage, and the finish
// line with a folder long enough to be shortened in the middle. The
// screenshots are where a person checks that the texts fit.
TEST_F(SetupDpi, PagesShowTheirLinesInsideTheWindowAtEveryScale) {
    for (const DensityCase& c : kDensities) {
        SCOPED_TRACE(c.dpi);
        CleanMachine();
        const std::wstring parent =
            m_work / (L"dpi" + std::to_wstring(c.dpi) +
                      L"-a-rather-long-folder-name-so-that-the-finish-line-must-shorten-it");
        const std::wstring dir = parent + L"\\Quillmossdex\\";
        CreateDirectoryW(parent.c_str(), nullptr);
        CreateDirectoryW(dir.c_str(), nullptr);
        // Held, the install waits at its move, so the progress page stays.
        HeldFile held(dir + L"uninst.exe", CREATE_ALWAYS);
        ASSERT_TRUE(held.Held());
        HWND hwnd = nullptr;
        {
            LogPixels logPixels(c.dpi);
            ASSERT_TRUE(logPixels.Set());
            hwnd = StartAndWait(L"/D=" + parent);
        }
        ASSERT_NE(nullptr, hwnd);
        const std::wstring tag = L"setup-dpi-" + std::to_wstring(c.dpi);

        // A key shows the focus ring on the install button, around its
        // rounded body at this scale: on the middle of its top edge, not at
        // the corners of the body's rectangle.
        const POINT background = Scaled(POINT{60, 60}, c.scale);
        ClickAt(hwnd, background.x, background.y);
        WaitUntil([&] { return GetForegroundWindow() == hwnd; }, 3000);
        PressKey(VK_SHIFT);
        const RECT button = Scaled(L::kInstallButton, c.scale);
        const RECT body = {button.left + Scaled(12, c.scale), button.top + Scaled(10, c.scale),
                           button.right - Scaled(12, c.scale), button.bottom - Scaled(10, c.scale)};
        const int midX = (body.left + body.right) / 2;
        Screenshot shot;
        EXPECT_TRUE(CaptureUntil(
            hwnd, &shot, [&] { return Rgb(shot.At(midX, body.top - 1)) == kRing; }, 3000))
            << "no ring above the install button's body";
        shot.SavePng(ArtifactPath(tag + L"-focus.png"));
        EXPECT_NE(kRing, Rgb(shot.At(body.left - 1, body.top - 1)));
        EXPECT_NE(kRing, Rgb(shot.At(button.left, button.top)));

        const POINT custom = Scaled(L::kCustom, c.scale);
        ClickAt(hwnd, custom.x, custom.y);
        ASSERT_TRUE(WaitUntil([&] { return WindowSize(hwnd).cy == Scaled(542, c.scale); }, 5000));
        const TElement space = WaitForLine(hwnd, L"所需空间: ");
        EXPECT_TRUE(InsideWindow(hwnd, space)) << space.name;
        EXPECT_NE(std::wstring::npos, space.name.find(L"可用空间: ")) << space.name;
        // At 200 % the unfolded window is taller than the test display,
        // whose pixels below its edge read back black.
        Sleep(300);
        if (WindowSize(hwnd).cy <= GetSystemMetrics(SM_CYSCREEN))
            CaptureWindow(hwnd).SavePng(ArtifactPath(tag + L"-options.png"));

        const POINT install = Scaled(L::kInstall, c.scale);
        ClickAt(hwnd, install.x, install.y);
        const TElement percent = WaitForLine(hwnd, L"70%");
        EXPECT_TRUE(InsideWindow(hwnd, percent));
        const TElement step = WaitForLine(hwnd, L"正在写入文件...");
        EXPECT_TRUE(InsideWindow(hwnd, step));
        Sleep(300);
        CaptureWindow(hwnd).SavePng(ArtifactPath(tag + L"-progress.png"));

        held.Release();
        const TElement done = WaitForLine(hwnd, L"安装完成", 30000);
        EXPECT_TRUE(InsideWindow(hwnd, done));
        const TElement where = WaitForLine(hwnd, L"安装位置: ");
        EXPECT_EQ(L"安装位置: " + parent + L"\\Quillmossdex", where.name);
        EXPECT_TRUE(InsideWindow(hwnd, where));
        Sleep(300);
        CaptureWindow(hwnd).SavePng(ArtifactPath(tag + L"-finish.png"));
        Child().Kill();
    }
}

// At a scale the skin carries no artwork for, images named like its own, put
// in the folder the installer starts from (the user's Downloads, where anyone
// can write), were drawn from there. Each planted image is pure magenta, a
// colour the skin's artwork never has. 225 % rather than 250 %: the window at
// 250 % is larger than the 1280 x 1024 screen the test reads its pixels from
// (the library's own tests cover 250 %). This case sits here rather than with
// the other attacks because the density is a setting of the whole prefix.
TEST_F(SetupDpi, ArtworkAtAScaleTheSkinLacksComesFromTheSkinNotTheCurrentFolder) {
    Screenshot magenta;
    magenta.width = magenta.height = 600;
    magenta.pixels.assign(static_cast<size_t>(magenta.width) * magenta.height, 0xFFFF00FFu);
    for (const wchar_t* name :
         {L"bk_top", L"bottom", L"browse", L"buttom", L"button2", L"close", L"down", L"edit",
          L"logo", L"min", L"option_normal", L"option_select", L"progress", L"progress_bk", L"up"})
        ASSERT_TRUE(magenta.SavePng(m_work / (std::wstring(name) + L"@225.png")));
    HWND hwnd = nullptr;
    {
        LogPixels logPixels(216);
        ASSERT_TRUE(logPixels.Set());
        hwnd = StartAndWait();
    }
    ASSERT_NE(nullptr, hwnd);
    const RECT button = Scaled(L::kInstallButton, 225);
    const int area = (button.right - button.left) * (button.bottom - button.top);
    Screenshot shot;
    EXPECT_TRUE(CaptureUntil(
        hwnd, &shot,
        [&] { return shot.width == Scaled(560, 225) && CountTeal(shot, button) > area / 3; },
        10000))
        << "the skin's own artwork, made from its 200 % drawing, is not drawn";
    shot.SavePng(ArtifactPath(L"setup-dpi-216.png"));
    int planted = 0;
    for (uint32_t pixel : shot.pixels)
        planted += Near(0xFF00FF, Rgb(pixel), 8);
    EXPECT_EQ(0, planted) << "pixels of the planted images were drawn";
    Child().Kill();
}

namespace {

// The box the installer (or the uninstaller, pid) shows next, once it has
// its text.
HWND WaitForBox(DWORD pid, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = WaitForProcessDialog(pid, 50);
            return box && !MessageBoxText(box).empty();
        },
        timeoutMs);
    return box && !MessageBoxText(box).empty() ? box : nullptr;
}

// The window and the box on it, as a person sees them; saved under name.
void SaveWithBox(HWND window, HWND box, const std::wstring& name) {
    RECT a = {}, b = {}, both = {};
    GetWindowRect(window, &a);
    GetWindowRect(box, &b);
    UnionRect(&both, &a, &b);
    // Painted once the box has drawn its text.
    Sleep(300);
    Screenshot whole = CaptureWindow(window);
    Screenshot alone = CaptureWindow(box);
    whole.SavePng(ArtifactPath(name + L"-window.png"));
    alone.SavePng(ArtifactPath(name + L".png"));
}

} // namespace

// The title buttons with the focus ring, the boxes and the uninstaller's
// window at 100 % and 150 %, the scales people use most; the screenshots are
// where a person checks them. The ring around the 13-pixel minimise glyph is
// a rounded frame clear of the glyph, so that "—" does not turn into what
// looks like a button of another meaning.
TEST_F(SetupDpi, TitleButtonsBoxesAndTheUninstallerAtTheCommonScales) {
    for (const DensityCase& c : {kDensities[0], kDensities[2]}) {
        SCOPED_TRACE(c.dpi);
        CleanMachine();
        const std::wstring tag = L"setup-dpi-" + std::to_wstring(c.dpi);
        const std::wstring parent = m_work / (L"boxes" + std::to_wstring(c.dpi));
        const std::wstring dir = parent + L"\\Quillmossdex\\";
        CreateDirectoryW(parent.c_str(), nullptr);
        CreateDirectoryW(dir.c_str(), nullptr);
        // A file where the product has a folder: the install fails.
        ASSERT_TRUE(WriteFileBytes(dir + L"res", "in the way"));
        HWND hwnd = nullptr;
        {
            LogPixels logPixels(c.dpi);
            ASSERT_TRUE(logPixels.Set());
            hwnd = StartAndWait(L"/D=" + parent);
        }
        ASSERT_NE(nullptr, hwnd);
        MsaaClient client(hwnd);
        const POINT background = Scaled(POINT{60, 60}, c.scale);
        ClickAt(hwnd, background.x, background.y);
        WaitUntil([&] { return GetForegroundWindow() == hwnd; }, 3000);
        // Each title button in turn, as Tab reaches them.
        const struct {
            const wchar_t* name;
            const wchar_t* tag;
            LONG left;
        } kTitleButtons[] = {{L"最小化", L"min", 504}, {L"关闭", L"close", 536}};
        for (const auto& button : kTitleButtons) {
            SCOPED_TRACE(button.left);
            for (int i = 0; i < 12 && client.FocusName() != button.name; ++i) {
                const std::wstring before = client.FocusName();
                PressKey(VK_TAB);
                WaitUntil([&] { return client.FocusName() != before; }, 2000);
            }
            ASSERT_EQ(button.name, client.FocusName());
            // The glyph's box, and the box of the ring's pixels, wherever they are.
            const RECT glyph = Scaled(RECT{button.left, 10, button.left + 13, 23}, c.scale);
            Screenshot shot;
            RECT ring = {};
            auto findRing = [&] {
                ring = RECT{shot.width, shot.height, -1, -1};
                for (int y = 0; y < shot.height; ++y)
                    for (int x = 0; x < shot.width; ++x)
                        if (Rgb(shot.At(x, y)) == kRing) {
                            ring.left = std::min<LONG>(ring.left, x);
                            ring.top = std::min<LONG>(ring.top, y);
                            ring.right = std::max<LONG>(ring.right, x + 1);
                            ring.bottom = std::max<LONG>(ring.bottom, y + 1);
                        }
                return ring.right > ring.left;
            };
            EXPECT_TRUE(CaptureUntil(hwnd, &shot, findRing, 3000)) << "no ring after the keys";
            shot.SavePng(ArtifactPath(tag + L"-" + button.tag + L"-focus.png"));
            // Around the glyph and close to it, clear of the other button.
            const int across = Scaled(11, c.scale);
            const int down = Scaled(9, c.scale);
            EXPECT_GE(ring.left, glyph.left - across);
            EXPECT_LE(ring.right, glyph.right + across);
            EXPECT_GE(ring.top, glyph.top - down);
            EXPECT_LE(ring.bottom, glyph.bottom + down);
            // Wider than high, as a title button's area is.
            EXPECT_GT(ring.right - ring.left, ring.bottom - ring.top);
            EXPECT_LT(ring.left, glyph.left);
            EXPECT_GT(ring.right, glyph.right);
            // A frame with straight sides, not a circle round the "—", which
            // reads as a minus sign in a circle: a button of another meaning.
            int topRow = 0;
            for (int x = ring.left; x < ring.right; ++x)
                topRow += Rgb(shot.At(x, ring.top)) == kRing;
            EXPECT_GE(2 * topRow, ring.right - ring.left) << "a round ring";
            // And clear of the glyph's ends on the glyph's middle row.
            const int middle = (glyph.top + glyph.bottom) / 2;
            for (int x = glyph.left - Scaled(4, c.scale); x < glyph.right + Scaled(4, c.scale); ++x)
                EXPECT_NE(kRing, Rgb(shot.At(x, middle))) << "the ring touches the glyph at " << x;
        }

        // The agreement's box, then the failure's box over the progress page.
        const POINT agree = Scaled(L::kAgree, c.scale);
        const POINT install = Scaled(L::kInstall, c.scale);
        ClickAt(hwnd, agree.x, agree.y);
        ClickAt(hwnd, install.x, install.y);
        HWND box = WaitForBox(Child().Pid(), 15000);
        ASSERT_NE(nullptr, box);
        SaveWithBox(hwnd, box, tag + L"-box-agreement");
        PressDialogButton(box, IDOK);
        ClickAt(hwnd, agree.x, agree.y);
        ClickAt(hwnd, install.x, install.y);
        box = WaitForBox(Child().Pid(), 30000);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(0u, MessageBoxText(box).find(L"拷贝文件失败!\n" + dir + L"res: "));
        SaveWithBox(hwnd, box, tag + L"-box-failure");
        PressDialogButton(box, IDOK);
        ASSERT_TRUE(WaitForExit(15000));

        // Installed, then removed through the uninstaller's window (the
        // built one: the test payload carries a stand-in).
        ASSERT_TRUE(DeleteFileW((dir + L"res").c_str()));
        m_setup.reset(new ChildProcess());
        ASSERT_TRUE(Start(L"/S /D=" + parent));
        ASSERT_TRUE(WaitForExit(60000));
        ASSERT_EQ(0u, Child().ExitCode());
        ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\..\\..\\payload\\uninst\\uninst.exe").c_str(),
                              (dir + L"uninst.exe").c_str(), FALSE));
        ChildProcess uninstall;
        {
            LogPixels logPixels(c.dpi);
            ASSERT_TRUE(logPixels.Set());
            ASSERT_TRUE(uninstall.Start(Quote(dir + L"uninst.exe")));
            box = WaitForBox(uninstall.Pid(), 30000);
        }
        ASSERT_NE(nullptr, box);
        // Once it has drawn its text.
        Sleep(300);
        CaptureWindow(box).SavePng(ArtifactPath(tag + L"-box-uninstall.png"));
        PressDialogButton(box, IDYES);
        HWND done = nullptr;
        WaitUntil(
            [&] {
                done = WaitForBox(uninstall.Pid(), 50);
                return done && MessageBoxText(done).find(L"已成功卸载") != std::wstring::npos;
            },
            30000);
        ASSERT_NE(nullptr, done);
        HWND window = GetWindow(done, GW_OWNER);
        ASSERT_NE(nullptr, window);
        SaveWithBox(window, done, tag + L"-uninstall");
        // The window follows the scale.
        RECT area = {};
        GetClientRect(window, &area);
        EXPECT_EQ(Scaled(420, c.scale), area.right);
        PressDialogButton(done, IDOK);
        ASSERT_TRUE(uninstall.Wait(30000));
        m_setup.reset(new ChildProcess());
    }
}

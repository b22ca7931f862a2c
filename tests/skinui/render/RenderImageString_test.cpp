#include "skinui/render/ImageLoader.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/window/PaintManagerUI.h"

#include "RenderTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace SkinUI;
using rendertest::Canvas;
using rendertest::Image;

namespace {

constexpr DWORD kBackground = 0xFF202020;

#define EXPECT_RGB(expected, canvas, x, y)                                                         \
    EXPECT_EQ((expected)&0x00FFFFFFu, (canvas).Rgb((x), (y))) << "at (" << (x) << ", " << (y) << ")"

// Skin images as plain files under the resource path of a fresh window.
class RenderImageStringTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = CPaintManagerUI::GetResourcePath();
        CPaintManagerUI::SetResourcePath(m_dir.Path().c_str());
        m_manager = new CPaintManagerUI;
    }
    void TearDown() override {
        delete m_manager;
        CPaintManagerUI::SetResourcePath(m_saved);
    }

    void Write(const wchar_t* name, const Image& image) {
        ASSERT_TRUE(qmtest::WriteFileBytes(m_dir / name, image.Png()));
    }
    bool Draw(Canvas& canvas, const RECT& item, const wchar_t* description,
              const wchar_t* modifier = nullptr, const RECT* paint = nullptr) {
        return CRenderEngine::DrawImageString(canvas.DC(), m_manager->GetResources(), item,
                                              paint ? *paint : canvas.Bounds(), description,
                                              modifier);
    }

    qmtest::TempDir m_dir{L"qmrender"};
    CSkinString m_saved;
    CPaintManagerUI* m_manager = nullptr;
};

TEST_F(RenderImageStringTest, BareName_StretchesTheWholeImageOverTheControl) {
    Image img(10, 10, 0xFFFF0000);
    img.FillRect(5, 0, 10, 10, 0xFF0000FF);
    Write(L"bk_top.png", img);
    Canvas canvas(60, 30, kBackground);
    EXPECT_TRUE(Draw(canvas, RECT{10, 5, 50, 25}, L"bk_top.png"));
    EXPECT_RGB(0xFF0000, canvas, 10, 5);
    EXPECT_RGB(0xFF0000, canvas, 25, 24);
    EXPECT_RGB(0x0000FF, canvas, 35, 5);
    EXPECT_RGB(0x0000FF, canvas, 49, 24);
    EXPECT_RGB(kBackground, canvas, 9, 5);
    EXPECT_RGB(kBackground, canvas, 50, 24);
    EXPECT_RGB(kBackground, canvas, 30, 25);
}

TEST_F(RenderImageStringTest, MinimiseBar_IsAThirteenPixelLine) {
    Write(L"min.png", Image(14, 1, 0xFFFFFFFF));
    Canvas canvas(560, 40, kBackground);
    EXPECT_TRUE(Draw(canvas, RECT{504, 10, 517, 23}, L"file='min.png' dest='0,6,13,7'"));
    EXPECT_EQ(13, canvas.CountOtherThan(canvas.Bounds(), kBackground));
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{504, 16, 517, 17}, 0xFFFFFF));
}

TEST_F(RenderImageStringTest, DestinationBeyondTheControl_IsCutToNothing) {
    Write(L"down.png", Image(8, 5, 0xFFFFFFFF));
    Canvas canvas(200, 30, kBackground);
    // 60 pixels wide: the destination starts 70 pixels in and ends at 60.
    EXPECT_TRUE(Draw(canvas, RECT{10, 0, 70, 20}, L"file='down.png' dest='70,5,78,10'"));
    EXPECT_EQ(0, canvas.CountOtherThan(canvas.Bounds(), kBackground));
    // Wide enough, the same description draws its 8 x 5 arrow.
    EXPECT_TRUE(Draw(canvas, RECT{10, 0, 100, 20}, L"file='down.png' dest='70,5,78,10'"));
    EXPECT_EQ(40, canvas.CountOtherThan(canvas.Bounds(), kBackground));
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{80, 5, 88, 10}, 0xFFFFFF));
}

TEST_F(RenderImageStringTest, SourceLargerThanTheImage_IsCutToIt) {
    Image img(10, 10, 0xFFFF0000);
    img.FillRect(5, 0, 10, 10, 0xFF0000FF);
    Write(L"a.png", img);
    Canvas canvas(20, 10, kBackground);
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 20, 10}, L"file='a.png' source='0,0,100,100'"));
    EXPECT_RGB(0xFF0000, canvas, 2, 5);
    EXPECT_RGB(0x0000FF, canvas, 17, 5);
}

TEST_F(RenderImageStringTest, OneTransparentPixel_SwitchesToBlending) {
    Image img(4, 4, 0xFFFF0000);
    img.Set(0, 0, 0x00000000);
    Write(L"hole.png", img);
    Write(L"solid.png", Image(4, 4, 0xFFFF0000));
    Canvas canvas(10, 4, 0xFFFFFFFF);
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 4, 4}, L"hole.png"));
    EXPECT_TRUE(Draw(canvas, RECT{5, 0, 9, 4}, L"solid.png"));
    EXPECT_RGB(0xFFFFFF, canvas, 0, 0) << "blended: the background shows through";
    EXPECT_RGB(0xFF0000, canvas, 1, 0);
    EXPECT_TRUE(m_manager->GetImage(L"hole.png")->bAlpha);
    EXPECT_FALSE(m_manager->GetImage(L"solid.png")->bAlpha);
    EXPECT_EQ(0xFFFF0000u, canvas.Pixel(5, 0)) << "copied, alpha byte included";
}

TEST_F(RenderImageStringTest, FadeItem_DrawsAtThatOpacity) {
    Write(L"red.png", Image(4, 4, 0xFFFF0000));
    Canvas canvas(4, 4, 0xFFFFFFFF);
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 4, 4}, L"file='red.png' fade='128'"));
    const DWORD half = canvas.Rgb(2, 2);
    EXPECT_EQ(0xFFu, half >> 16);
    EXPECT_NEAR(0x7F, int((half >> 8) & 0xFF), 1);
}

TEST_F(RenderImageStringTest, Modifier_OverridesThePlacement) {
    Write(L"progress.png", Image(10, 2, 0xFF00FF00));
    Canvas canvas(100, 4, kBackground);
    // A progress bar's fore image, its width set at paint time.
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 100, 2}, L"progress.png", L"dest='0,0,30,2'"));
    EXPECT_EQ(60, canvas.CountOtherThan(canvas.Bounds(), kBackground));
    EXPECT_RGB(0x00FF00, canvas, 29, 1);
    EXPECT_RGB(kBackground, canvas, 30, 1);
}

TEST_F(RenderImageStringTest, Descriptions_AreParsedOncePerTextAndModifier) {
    TDrawInfo* a = m_manager->GetDrawInfo(L"file='a.png' fade='10'", nullptr);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(a, m_manager->GetDrawInfo(L"file='a.png' fade='10'", nullptr));
    EXPECT_EQ(a, m_manager->GetDrawInfo(L"file='a.png' fade='10'", L""));
    TDrawInfo* b = m_manager->GetDrawInfo(L"file='a.png' fade='10'", L"fade='20'");
    ASSERT_NE(nullptr, b);
    EXPECT_NE(a, b);
    EXPECT_EQ(10, a->uFade);
    EXPECT_EQ(20, b->uFade);
    EXPECT_EQ(nullptr, m_manager->GetDrawInfo(L"", nullptr));
    EXPECT_EQ(nullptr, m_manager->GetDrawInfo(nullptr, nullptr));

    // Another window parses for itself.
    CPaintManagerUI other;
    EXPECT_NE(a, other.GetDrawInfo(L"file='a.png' fade='10'", nullptr));
}

TEST_F(RenderImageStringTest, ScaledWindow_ScalesRectanglesAndNamesScaledArtwork) {
    m_manager->GetDPIObj()->SetDPI(144); // scale 150
    TDrawInfo* info =
        m_manager->GetDrawInfo(L"file='a.b.png' dest='2,2,12,12' corner='4,4,4,4'", nullptr);
    ASSERT_NE(nullptr, info);
    EXPECT_STREQ(L"a@150.b@150.png", info->sImageName.GetData()) << "every dot is rewritten";
    EXPECT_EQ(3, info->rcDest.left);
    EXPECT_EQ(18, info->rcDest.right);
    EXPECT_EQ(6, info->rcCorner.left);
    EXPECT_EQ(6, info->rcCorner.right);
}

TEST_F(RenderImageStringTest, Images_AreDecodedOnceAndRetriedUntilFound) {
    Canvas canvas(4, 4, kBackground);
    EXPECT_FALSE(Draw(canvas, RECT{0, 0, 4, 4}, L"late.png")) << "missing: nothing drawn";
    EXPECT_EQ(nullptr, m_manager->GetImage(L"late.png"));

    Write(L"late.png", Image(2, 2, 0xFF0000FF));
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 4, 4}, L"late.png")) << "found on the next paint";
    TImageInfo* cached = m_manager->GetImage(L"late.png");
    ASSERT_NE(nullptr, cached);

    // A changed file is not read again: the window keeps its decoded copy.
    Write(L"late.png", Image(2, 2, 0xFFFF0000));
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 4, 4}, L"late.png"));
    EXPECT_EQ(cached, m_manager->GetImage(L"late.png"));
    EXPECT_RGB(0x0000FF, canvas, 1, 1);
}

TEST_F(RenderImageStringTest, MissingPieces_AnswerFalse) {
    Write(L"a.png", Image(2, 2, 0xFF0000FF));
    Canvas canvas(4, 4, kBackground);
    const RECT rc = {0, 0, 4, 4};
    EXPECT_FALSE(CRenderEngine::DrawImageString(canvas.DC(), nullptr, rc, rc, L"a.png"));
    EXPECT_FALSE(
        CRenderEngine::DrawImageString(nullptr, m_manager->GetResources(), rc, rc, L"a.png"));
    EXPECT_FALSE(
        CRenderEngine::DrawImageString(canvas.DC(), m_manager->GetResources(), rc, rc, L""));
    EXPECT_FALSE(
        CRenderEngine::DrawImageInfo(canvas.DC(), m_manager->GetResources(), rc, rc, nullptr));
    EXPECT_FALSE(Draw(canvas, rc, L"file='' dest='0,0,1,1'")) << "no image name item";
    EXPECT_EQ(0, canvas.CountOtherThan(canvas.Bounds(), kBackground));
    // Outside the paint rectangle: nothing drawn, and still a success.
    const RECT paint = {0, 0, 0, 0};
    EXPECT_TRUE(Draw(canvas, rc, L"a.png", nullptr, &paint));
    EXPECT_EQ(0, canvas.CountOtherThan(canvas.Bounds(), kBackground));
}

TEST_F(RenderImageStringTest, GetImageString_ReadsNameTypeAndMask) {
    Image img(2, 1, 0xFFFF00FF);
    img.Set(1, 0, 0xFF00FF00);
    Write(L"masked.png", img);
    TImageInfo* image = m_manager->GetImageString(L"file='masked.png' mask='#FFFF00FF'");
    ASSERT_NE(nullptr, image);
    EXPECT_TRUE(image->bAlpha);
    EXPECT_EQ(0xFFFF00FFu, image->dwMask);
    EXPECT_EQ(image, m_manager->GetImage(L"masked.png"));
    EXPECT_EQ(image, m_manager->GetImageString(L"masked.png"));
    EXPECT_EQ(nullptr, m_manager->GetImageString(L"absent.png"));
}

// Images come from the skin only: a name it lacks is not read as a path of
// its own, which would let an elevated program draw (and decode into memory)
// any file a user put where the name leads.
TEST_F(RenderImageStringTest, NameNotInTheSkin_IsNeverTriedAsAPath) {
    qmtest::TempDir elsewhere(L"qmrender-path");
    ASSERT_TRUE(qmtest::WriteFileBytes(elsewhere / L"own.png", Image(2, 2, 0xFF00FF00).Png()));
    const std::wstring path = elsewhere / L"own.png";
    Canvas canvas(4, 4, kBackground);
    EXPECT_FALSE(Draw(canvas, RECT{0, 0, 4, 4}, path.c_str()));
    EXPECT_RGB(kBackground, canvas, 2, 2);
}

TEST_F(RenderImageStringTest, SkinArchive_SuppliesTheImages) {
    Image img(4, 4, 0xFF00FF00);
    const std::string zip =
        qmtest::BuildZip({{"skin.xml", "<Window />", false}, {"arc.png", img.Png(), false}});
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    Canvas canvas(8, 8, kBackground);
    // Entry names are matched without regard to case.
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 8, 8}, L"file='ARC.png'"));
    EXPECT_RGB(0x00FF00, canvas, 4, 4);
    // With an archive, plain files under the resource path are not consulted.
    Write(L"loose.png", Image(2, 2, 0xFFFF0000));
    EXPECT_FALSE(Draw(canvas, RECT{0, 0, 8, 8}, L"loose.png"));
    CPaintManagerUI::Term();
}

// A copy of the test program with a PNG resource added, loaded as data.
class ResourceModule {
public:
    ResourceModule(const std::wstring& dir, const std::string& png) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        m_path = dir + L"\\module.exe";
        if (!CopyFileW(self, m_path.c_str(), FALSE))
            return;
        HANDLE update = BeginUpdateResourceW(m_path.c_str(), FALSE);
        if (update == nullptr)
            return;
        const bool ok = UpdateResourceW(
            update, L"PNG", MAKEINTRESOURCEW(12), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
            const_cast<char*>(png.data()), static_cast<DWORD>(png.size()));
        if (!EndUpdateResourceW(update, !ok) || !ok)
            return;
        m_module = LoadLibraryExW(m_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~ResourceModule() {
        if (m_module)
            FreeLibrary(m_module);
    }
    HINSTANCE Get() const { return m_module; }

private:
    std::wstring m_path;
    HINSTANCE m_module = nullptr;
};

TEST_F(RenderImageStringTest, ResourceType_LoadsFromTheModule) {
    ResourceModule module(m_dir.Path(), Image(3, 3, 0xFF0000FF).Png());
    ASSERT_NE(nullptr, module.Get());
    EXPECT_EQ(nullptr, m_manager->AddImage(L"abc", L"PNG", 0, false, false, module.Get()))
        << "a resource name must be a number";
    EXPECT_EQ(nullptr, m_manager->AddImage(L"13", L"PNG", 0, false, false, module.Get()));
    TImageInfo* image = m_manager->AddImage(L"12", L"PNG", 0, false, false, module.Get());
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(3, image->nX);
    EXPECT_STREQ(L"PNG", image->sResType.GetData());

    CPaintManagerUI other;
    Canvas canvas(6, 6, kBackground);
    EXPECT_TRUE(CRenderEngine::DrawImageString(canvas.DC(), other.GetResources(), RECT{0, 0, 6, 6},
                                               canvas.Bounds(), L"res='12' restype='PNG'", nullptr,
                                               module.Get()));
    EXPECT_RGB(0x0000FF, canvas, 3, 3);
}

} // namespace

// =============================================================================
// Artwork for scales the skin does not carry
// =============================================================================

namespace {

DWORD LoadedPixel(const TImageInfo* image, int x, int y) {
    DIBSECTION dib = {};
    GetObjectW(image->hBitmap, sizeof(dib), &dib);
    return static_cast<const DWORD*>(dib.dsBm.bmBits)[y * image->nX + x];
}

} // namespace

TEST_F(RenderImageStringTest, MissingScale_TakesTheNearestLargerArtworkMadeSmallerOnce) {
    Write(L"pic.png", Image(4, 4, 0xFF0000FF));
    Write(L"pic@125.png", Image(5, 5, 0xFFFF0000));
    Write(L"pic@200.png", Image(8, 8, 0xFF00FF00));
    struct Case {
        const wchar_t* name;
        int width;
        DWORD colour; // which artwork it was made from
    };
    const Case cases[] = {
        {L"pic@150.png", 6, 0xFF00FF00}, // 200 is the nearest larger
        {L"pic@175.png", 7, 0xFF00FF00},
        {L"pic@110.png", 4, 0xFFFF0000},  // 125: 5 x 110 / 125 = 4.4
        {L"pic@250.png", 10, 0xFF00FF00}, // nothing larger: the largest, made larger
        {L"pic@125.png", 5, 0xFFFF0000},  // present: as it is
    };
    for (const Case& c : cases) {
        TImageInfo* image = m_manager->GetImageEx(c.name);
        ASSERT_NE(nullptr, image) << c.name;
        EXPECT_EQ(c.width, image->nX) << c.name;
        EXPECT_EQ(c.width, image->nY) << c.name;
        EXPECT_EQ(c.colour, LoadedPixel(image, image->nX / 2, image->nY / 2)) << c.name;
        EXPECT_EQ(image, m_manager->GetImage(c.name)) << "kept under the name asked for";
    }
    EXPECT_EQ(nullptr, m_manager->GetImageEx(L"none@150.png"));
    EXPECT_EQ(nullptr, m_manager->GetImageEx(L"pic@x.png")) << "not a scale suffix";
}

// At a scale the skin has no artwork for, images named like the skin's lay
// in the folder the installer was started from (the user's Downloads) and
// were drawn from there. Only the skin archive counts, at the scales it
// carries: 250 % is made from its 200 % drawing.
TEST(SkinArchiveImages, NothingIsReadFromTheCurrentFolderOrByPath) {
    qmtest::TempDir cwd{L"qmcwd"};
    const Image planted(30, 30, 0xFFFF0000);
    for (const wchar_t* name : {L"pic@250.png", L"pic@300.png", L"gone.png"})
        ASSERT_TRUE(qmtest::WriteFileBytes(cwd / name, planted.Png()));
    const std::string archive = qmtest::BuildZip({{"pic.png", Image(4, 4, 0xFF0000FF).Png()},
                                                  {"pic@200.png", Image(8, 8, 0xFF00FF00).Png()}});
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(cwd.Path().c_str()));
    CPaintManagerUI::SetResourceZip(archive.data(), static_cast<unsigned>(archive.size()));
    {
        CPaintManagerUI manager;
        const struct {
            std::wstring name;
            int width; // 0: nothing
            DWORD colour;
        } cases[] = {
            {L"pic@250.png", 10, 0xFF00FF00}, {L"pic@300.png", 12, 0xFF00FF00},
            {L"pic.png", 4, 0xFF0000FF},      {L"gone.png", 0, 0},
            {cwd / L"gone.png", 0, 0},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name);
            TImageInfo* image = manager.GetImageEx(c.name.c_str());
            if (c.width == 0) {
                EXPECT_EQ(nullptr, image);
                continue;
            }
            ASSERT_NE(nullptr, image);
            EXPECT_EQ(c.width, image->nX);
            EXPECT_EQ(c.colour, LoadedPixel(image, image->nX / 2, image->nY / 2));
        }
    }
    CPaintManagerUI::Term();
    SetCurrentDirectoryW(saved);
}

TEST_F(RenderImageStringTest, ScaledWindow_DrawsFallbackArtworkOneToOne) {
    // Only the 200 % drawing: a two-pixel black line at the top of white.
    Image big(8, 8, 0xFFFFFFFF);
    big.FillRect(0, 0, 8, 2, 0xFF000000);
    Write(L"line@200.png", big);
    m_manager->GetDPIObj()->SetDPI(144);
    Canvas canvas(12, 12, kBackground);
    EXPECT_TRUE(Draw(canvas, RECT{0, 0, 6, 6}, L"file='line.png' dest='0,0,4,4'"));
    // 150 %: the 8 x 8 drawing made 6 x 6 when loaded, the line 1.5 pixels.
    EXPECT_EQ(6, m_manager->GetImage(L"line@150.png")->nX);
    EXPECT_LT(canvas.Rgb(3, 0) & 0xFF, 0x40u) << "the line, filtered, not stretched per paint";
    EXPECT_RGB(0xFFFFFF, canvas, 3, 5);
    EXPECT_RGB(kBackground, canvas, 6, 6);
}

TEST(ResamplePixels, KeepsFlatAreasExactAndAveragesWhatItMerges) {
    struct Case {
        int sw, sh, dw, dh;
    };
    const Case sizes[] = {{8, 8, 6, 6}, {5, 3, 4, 2}, {3, 3, 7, 5}, {1, 1, 3, 3}, {9, 1, 2, 1}};
    for (const Case& c : sizes) {
        // Premultiplied half-transparent blue-green: flat stays flat exactly.
        std::vector<DWORD> src(static_cast<size_t>(c.sw) * c.sh, 0x80204060);
        std::vector<DWORD> dst(static_cast<size_t>(c.dw) * c.dh, 0);
        ASSERT_TRUE(ResamplePixels(reinterpret_cast<const BYTE*>(src.data()), c.sw, c.sh,
                                   reinterpret_cast<BYTE*>(dst.data()), c.dw, c.dh));
        for (DWORD pixel : dst)
            EXPECT_EQ(0x80204060u, pixel) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
    }
    // Black and white columns halved: every pixel a mid grey, none of the two.
    std::vector<DWORD> stripes(8 * 2);
    for (int i = 0; i < 16; ++i)
        stripes[static_cast<size_t>(i)] = i % 2 ? 0xFFFFFFFF : 0xFF000000;
    std::vector<DWORD> half(4 * 1);
    ASSERT_TRUE(ResamplePixels(reinterpret_cast<const BYTE*>(stripes.data()), 8, 2,
                               reinterpret_cast<BYTE*>(half.data()), 4, 1));
    for (DWORD pixel : half) {
        const int grey = static_cast<int>(pixel & 0xFF);
        EXPECT_EQ(0xFFu, pixel >> 24);
        EXPECT_NEAR(128, grey, 40);
    }
    EXPECT_FALSE(ResamplePixels(reinterpret_cast<const BYTE*>(stripes.data()), 8, 2,
                                reinterpret_cast<BYTE*>(half.data()), 0, 1));
}

TEST_F(RenderImageStringTest, ScaledWindow_TakesModifiersInWindowPixels) {
    m_manager->GetDPIObj()->SetDPI(144);
    // A progress bar's filled part, measured on its laid-out rectangle.
    TDrawInfo* info = m_manager->GetDrawInfo(L"file='bar.png' dest='1,1,11,3'", L"dest='0,0,30,2'");
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(30, info->rcDest.right) << "the modifier is not scaled again";
    EXPECT_EQ(2, info->rcDest.bottom);
    EXPECT_STREQ(L"bar@150.png", info->sImageName.GetData());
    TDrawInfo* plain = m_manager->GetDrawInfo(L"file='bar.png' dest='1,1,11,3'", nullptr);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(17, plain->rcDest.right) << "the description is";
}

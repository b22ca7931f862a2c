// The paint manager's image tables: per window and shared, replacement,
// removal. Built into the render engine's test program.
#include "skinui/render/RenderEngine.h"
#include "skinui/window/PaintManagerUI.h"

#include "tests/skinui/render/RenderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using rendertest::Image;

namespace {

class PaintManagerImagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = CPaintManagerUI::GetResourcePath();
        CPaintManagerUI::SetResourcePath(m_dir.Path().c_str());
        ASSERT_TRUE(qmtest::WriteFileBytes(m_dir / L"a.png", Image(2, 2, 0xFF0000FF).Png()));
        ASSERT_TRUE(qmtest::WriteFileBytes(m_dir / L"b.png", Image(3, 3, 0xFF00FF00).Png()));
    }
    void TearDown() override {
        CPaintManagerUI shared;
        shared.RemoveAllImages(true);
        CPaintManagerUI::SetResourcePath(m_saved);
    }

    qmtest::TempDir m_dir{L"qmimages"};
    CSkinString m_saved;
};

TEST_F(PaintManagerImagesTest, AddImage_ReplacesAndFreesTheEarlierImage) {
    CPaintManagerUI pm;
    TImageInfo* first = pm.AddImage(L"a.png");
    ASSERT_NE(nullptr, first);
    HBITMAP firstBitmap = first->hBitmap;
    TImageInfo* second = pm.AddImage(L"a.png", nullptr, 0xFF0000FF);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(second, pm.GetImage(L"a.png"));
    EXPECT_EQ(0, GetObjectType(firstBitmap)) << "the replaced bitmap is deleted";
    EXPECT_EQ(0xFF0000FFu, second->dwMask);
    EXPECT_TRUE(second->bAlpha) << "every pixel matched the mask";
    EXPECT_EQ(nullptr, pm.AddImage(L""));
    EXPECT_EQ(nullptr, pm.AddImage(nullptr));
    EXPECT_EQ(nullptr, pm.AddImage(L"absent.png"));
}

TEST_F(PaintManagerImagesTest, SharedImages_ServeEveryWindow) {
    CPaintManagerUI one, two;
    TImageInfo* shared = one.AddImage(L"a.png", nullptr, 0, false, true);
    ASSERT_NE(nullptr, shared);
    TImageInfo* own = one.AddImage(L"b.png");
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(shared, two.GetImage(L"a.png"));
    EXPECT_EQ(nullptr, two.GetImage(L"b.png"));
    EXPECT_EQ(shared, two.GetImageEx(L"a.png")) << "found shared, not loaded again";

    // A window's own image of the same name comes first.
    TImageInfo* mine = two.AddImage(L"a.png");
    EXPECT_NE(shared, mine);
    EXPECT_EQ(mine, two.GetImage(L"a.png"));

    // Force-shared registrations go to the shared table.
    two.SetForceUseSharedRes(true);
    TImageInfo* forced = two.AddImage(L"b.png");
    two.SetForceUseSharedRes(false);
    EXPECT_EQ(forced, CPaintManagerUI().GetImage(L"b.png"));
}

TEST_F(PaintManagerImagesTest, RemoveImage_FreesOnlyThatImage) {
    CPaintManagerUI pm;
    TImageInfo* a = pm.AddImage(L"a.png");
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, pm.AddImage(L"b.png"));
    HBITMAP bitmap = a->hBitmap;
    EXPECT_TRUE(pm.RemoveImage(L"a.png"));
    EXPECT_EQ(0, GetObjectType(bitmap));
    EXPECT_EQ(nullptr, pm.GetImage(L"a.png"));
    EXPECT_NE(nullptr, pm.GetImage(L"b.png"));
    EXPECT_FALSE(pm.RemoveImage(L"a.png"));
    EXPECT_FALSE(pm.RemoveImage(L"b.png", true)) << "not in the shared table";

    pm.RemoveAllImages();
    EXPECT_EQ(nullptr, pm.GetImage(L"b.png"));
    EXPECT_NE(nullptr, pm.GetImageEx(L"b.png")) << "loaded again on demand";
}

} // namespace

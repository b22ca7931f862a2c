// The skin preview tool, run as a program: its dump, its PNG, its sources
// (folder, document, archive) and its failures.
#include "tests/support/TestZip.h"
#include "tests/support/TestSupport.h"

#define STBI_NO_STDIO
#include <stb_image.h>
// The writer's implementation lives in this file only; the reader's is the
// UI library's.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const DWORD kTimeoutMs = 60000;

std::wstring SkinViewPath() {
    return qmtest::ProgramDir() + L"\\" + QM_SKINVIEW_FROM_TESTS;
}

struct TRun {
    std::string out;
    DWORD exitCode = 0;
};

TRun RunSkinView(const std::wstring& arguments) {
    TRun run;
    run.out = qmtest::RunAndCapture(qmtest::Quote(SkinViewPath()) + L" " + arguments, kTimeoutMs,
                                    &run.exitCode);
    return run;
}

std::string Utf8(const std::wstring& text) {
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], needed,
                        nullptr, nullptr);
    return out;
}

std::string SolidPng(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
    std::vector<unsigned char> rgba;
    for (int i = 0; i < width * height; ++i)
        rgba.insert(rgba.end(), {r, g, b, 255});
    std::string png;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                                       static_cast<size_t>(size));
        },
        &png, width, height, 4, rgba.data(), width * 4);
    return png;
}

// A small skin: a row with an image label and a button, a tab layout with two
// coloured pages, and a floating button.
const wchar_t kSkin[] =
    L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    L"<Window size=\"200,100\">\n"
    L"  <VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">\n"
    L"    <HorizontalLayout height=\"40\">\n"
    L"      <Label name=\"名字\" width=\"50\" bkimage=\"red.png\"/>\n"
    L"      <Button name=\"b\" bkcolor=\"#FF0000FF\"/>\n"
    L"    </HorizontalLayout>\n"
    L"    <TabLayout name=\"tabs\">\n"
    L"      <Control name=\"p0\" bkcolor=\"#FF00FF00\"/>\n"
    L"      <Control name=\"p1\" bkcolor=\"#FFFF0000\"/>\n"
    L"    </TabLayout>\n"
    L"    <Button name=\"float\" float=\"true\" pos=\"180,80,0,0\" width=\"10\" height=\"10\""
    L" bkcolor=\"#FF000000\"/>\n"
    L"  </VerticalLayout>\n"
    L"</Window>\n";

const char kDump[] = "0 VerticalLayoutUI \"root\" 0,0,200,100 1\n"
                     "1 HorizontalLayoutUI \"\" 0,0,200,40 1\n"
                     "2 LabelUI \"\xE5\x90\x8D\xE5\xAD\x97\" 0,0,50,40 1\n"
                     "2 ButtonUI \"b\" 50,0,200,40 1\n"
                     "1 TabLayoutUI \"tabs\" 0,40,200,100 1\n"
                     "2 ControlUI \"p0\" 0,40,200,100 1\n"
                     "2 ControlUI \"p1\" 0,0,0,0 0\n"
                     "1 ButtonUI \"float\" 180,80,190,90 1\n";

class SkinView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qmtest::WriteFileBytes(folder / L"skin.xml", Utf8(kSkin)));
        ASSERT_TRUE(qmtest::WriteFileBytes(folder / L"red.png", SolidPng(4, 4, 255, 0, 0)));
    }

    // The PNG's pixels as 0xRRGGBB, checked to be opaque.
    struct TImage {
        int width = 0;
        int height = 0;
        std::vector<unsigned char> rgba;
        DWORD At(int x, int y) const {
            const unsigned char* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            EXPECT_EQ(p[3], 255) << x << "," << y;
            return (DWORD(p[0]) << 16) | (DWORD(p[1]) << 8) | p[2];
        }
    };
    TImage Decode(const std::wstring& path) {
        TImage image;
        const std::string bytes = qmtest::ReadFileBytes(path);
        int channels = 0;
        unsigned char* pixels = stbi_load_from_memory(
            reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()),
            &image.width, &image.height, &channels, 4);
        if (pixels != nullptr) {
            image.rgba.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * 4);
            stbi_image_free(pixels);
        }
        return image;
    }

    qmtest::TempDir folder{L"skinview"};
};

} // namespace

TEST_F(SkinView, DumpsTheLaidOutTreeInPreOrder) {
    const TRun run = RunSkinView(qmtest::Quote(folder.Path()) + L" --dump");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, kDump);
}

TEST_F(SkinView, SizeAndSelectComeBeforeTheDump) {
    const TRun run =
        RunSkinView(qmtest::Quote(folder.Path()) + L" --size 300,120 --select tabs=1 --dump");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, "0 VerticalLayoutUI \"root\" 0,0,300,120 1\n"
                       "1 HorizontalLayoutUI \"\" 0,0,300,40 1\n"
                       "2 LabelUI \"\xE5\x90\x8D\xE5\xAD\x97\" 0,0,50,40 1\n"
                       "2 ButtonUI \"b\" 50,0,300,40 1\n"
                       "1 TabLayoutUI \"tabs\" 0,40,300,120 1\n"
                       // Like the window's first paint, the layout places only the
                       // page shown; the other keeps its empty rectangle.
                       "2 ControlUI \"p0\" 0,0,0,0 0\n"
                       "2 ControlUI \"p1\" 0,40,300,120 1\n"
                       "1 ButtonUI \"float\" 180,80,190,90 1\n");
}

// Every rectangle of the dump at 100 % scaled by the library's rule (left and
// top, width and height each rounded on its own), for lines whose controls
// have a fixed size or fill what their parent leaves; the dump itself is
// read back from the tool.
std::string ScaledDump(const std::string& dump, int scale) {
    std::string out;
    size_t start = 0;
    while (start < dump.size()) {
        const size_t end = dump.find('\n', start);
        const std::string line = dump.substr(start, end - start);
        start = end == std::string::npos ? dump.size() : end + 1;
        // DEPTH CLASS "NAME" L,T,R,B VISIBLE: the rectangle is the second last word.
        const size_t last = line.rfind(' ');
        const size_t before = line.rfind(' ', last - 1);
        int l = 0, t = 0, r = 0, b = 0;
        sscanf(line.substr(before + 1, last - before - 1).c_str(), "%d,%d,%d,%d", &l, &t, &r, &b);
        const int sl = MulDiv(l, scale, 100), st = MulDiv(t, scale, 100);
        const int sr = sl + MulDiv(r - l, scale, 100), sb = st + MulDiv(b - t, scale, 100);
        out += line.substr(0, before + 1) + std::to_string(sl) + "," + std::to_string(st) + "," +
               std::to_string(sr) + "," + std::to_string(sb) + line.substr(last) + "\n";
    }
    return out;
}

TEST_F(SkinView, ScaleLaysTheSkinOutAndDrawsItAtThatScale) {
    // Sizes in this skin scale evenly at these scales, so the whole dump
    // follows the rule; the window size too.
    for (int scale : {100, 150, 200, 250}) {
        const TRun run = RunSkinView(qmtest::Quote(folder.Path()) + L" --scale " +
                                     std::to_wstring(scale) + L" --dump");
        EXPECT_EQ(run.exitCode, 0u) << scale;
        EXPECT_EQ(run.out, ScaledDump(kDump, scale)) << scale;
    }
    // The PNG at 150 %: 300 x 150, the label's 4 x 4 red image (no artwork
    // for 150 %: the nearest drawing, resampled once) still fills 75 x 60.
    const std::wstring png = folder / L"scaled.png";
    ASSERT_EQ(
        RunSkinView(qmtest::Quote(folder.Path()) + L" --scale 150 --png " + qmtest::Quote(png))
            .exitCode,
        0u);
    const TImage image = Decode(png);
    ASSERT_EQ(image.width, 300);
    ASSERT_EQ(image.height, 150);
    EXPECT_EQ(image.At(37, 30), 0xFF0000u);
    EXPECT_EQ(image.At(180, 30), 0x0000FFu);
    EXPECT_EQ(image.At(277, 127), 0x000000u); // the floating button at 270,120
    EXPECT_EQ(image.At(150, 105), 0x00FF00u);

    for (const wchar_t* bad : {L"0", L"24", L"501", L"x", L""}) {
        const TRun run = RunSkinView(qmtest::Quote(folder.Path()) + L" --scale " + bad);
        EXPECT_EQ(run.exitCode, 2u) << bad;
    }
}

TEST_F(SkinView, RendersTheClientAreaAsThePaintedWindow) {
    const std::wstring first = folder / L"first.png";
    const std::wstring second = folder / L"second page.png";
    ASSERT_EQ(
        RunSkinView(qmtest::Quote(folder.Path()) + L" --png " + qmtest::Quote(first)).exitCode, 0u);
    ASSERT_EQ(RunSkinView(qmtest::Quote(folder.Path()) + L" --select tabs=1 --png " +
                          qmtest::Quote(second))
                  .exitCode,
              0u);
    const TImage page0 = Decode(first);
    ASSERT_EQ(page0.width, 200);
    ASSERT_EQ(page0.height, 100);
    EXPECT_EQ(page0.At(25, 20), 0xFF0000u);  // the label's image
    EXPECT_EQ(page0.At(120, 20), 0x0000FFu); // the button's colour
    EXPECT_EQ(page0.At(100, 70), 0x00FF00u); // page 0
    EXPECT_EQ(page0.At(185, 85), 0x000000u); // the floating button
    const TImage page1 = Decode(second);
    ASSERT_EQ(page1.width, 200);
    EXPECT_EQ(page1.At(100, 70), 0xFF0000u); // page 1
    EXPECT_EQ(page1.At(120, 20), 0x0000FFu);
}

TEST_F(SkinView, ReadsADocumentByNameAndAnArchiveFromMemory) {
    ASSERT_TRUE(qmtest::WriteFileBytes(folder / L"other.xml", Utf8(kSkin)));
    TRun run = RunSkinView(qmtest::Quote(folder / L"other.xml") + L" --dump");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, kDump);

    const std::string zip =
        qmtest::BuildZip({{"skin.xml", Utf8(kSkin)}, {"red.png", SolidPng(4, 4, 255, 0, 0)}});
    const std::wstring archive = folder / L"skin archive.zip";
    ASSERT_TRUE(qmtest::WriteFileBytes(archive, zip));
    DeleteFileW((folder / L"skin.xml").c_str());
    DeleteFileW((folder / L"red.png").c_str());
    const std::wstring png = folder / L"from archive.png";
    run = RunSkinView(qmtest::Quote(archive) + L" --dump --png " + qmtest::Quote(png));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, kDump);
    EXPECT_EQ(Decode(png).At(25, 20), 0xFF0000u);
}

TEST_F(SkinView, ASkinThatFailsToLoadSaysWhatAndWhereAndExitsNonZero) {
    ASSERT_TRUE(
        qmtest::WriteFileBytes(folder / L"broken.xml", "<Window><VerticalLayout></Window>"));
    TRun run = RunSkinView(qmtest::Quote(folder / L"broken.xml") + L" --dump");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.out.find("Unmatched closing tag"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("at: Window>"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("VerticalLayoutUI"), std::string::npos);

    run = RunSkinView(qmtest::Quote(folder / L"absent") + L" --dump");
    EXPECT_EQ(run.exitCode, 1u);
    run = RunSkinView(qmtest::Quote(folder.Path()) + L" --select nothing=1 --dump");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.out.find("nothing"), std::string::npos);
    run = RunSkinView(qmtest::Quote(folder.Path()) + L" --select tabs=2 --dump");
    EXPECT_EQ(run.exitCode, 1u);
}

TEST_F(SkinView, AWrongCommandLineShowsTheUsage) {
    for (const wchar_t* arguments :
         {L"", L"a b", L"x --size 10", L"x --select tabs", L"x --bogus"}) {
        const TRun run = RunSkinView(arguments);
        EXPECT_EQ(run.exitCode, 2u) << arguments;
        EXPECT_NE(run.out.find("usage: skinview"), std::string::npos) << arguments;
    }
}

TEST_F(SkinView, WithoutOutputsTheWindowStaysUntilItIsClosed) {
    qmtest::ChildProcess child;
    ASSERT_TRUE(child.Start(qmtest::Quote(SkinViewPath()) + L" " + qmtest::Quote(folder.Path()),
                            CREATE_NO_WINDOW));
    HWND shown = nullptr;
    const DWORD start = GetTickCount();
    while (shown == nullptr && GetTickCount() - start < kTimeoutMs) {
        for (HWND window : qmtest::ProcessWindows(child.Pid())) {
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (std::wstring(className) == L"SkinViewWindow")
                shown = window;
        }
        if (shown == nullptr)
            Sleep(20);
    }
    ASSERT_NE(shown, nullptr);
    RECT rc = {};
    GetClientRect(shown, &rc);
    EXPECT_EQ(rc.right, 200);
    EXPECT_EQ(rc.bottom, 100);
    EXPECT_TRUE(child.Running());
    PostMessageW(shown, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(child.Wait(kTimeoutMs));
    EXPECT_EQ(child.ExitCode(), 0u);
}

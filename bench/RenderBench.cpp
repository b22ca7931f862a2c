// Paints a composition close to the installer's window with its panel open
// (560 x 542: backgrounds, a nine-piece button, small blended images, a dozen
// text runs in the skin's CJK face) into the 32-bit off-screen bitmap, beside
// the floor of one bare BitBlt of a 560 x 542 bitmap; the same composition at
// 150 % (840 x 813 with the 150 % artwork) beside the paint at 100 %; and
// decodes the skin's images, beside the floor of stb_image alone.
#include "bench/BenchTiming.h"
#include "skinui/core/Handles.h"
#include "skinui/render/GdiplusApi.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/window/PaintManagerUI.h"

#include <stb_image.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 542;

// Milliseconds per call: the median of several batches, after a warm-up. The
// drawing a batch queues in GDI is flushed into its own time.
double Measure(const std::function<void()>& work, int perBatch, int batches = 7) {
    return bench::Measure(work, perBatch, batches, [] { GdiFlush(); }) * 1000.0;
}

std::wstring SkinDir() {
    // Wine shows the Unix root as drive Z:.
    std::string dir = QM_SKIN_DIR;
    std::wstring path = L"Z:";
    for (char c : dir)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path + L"\\";
}

std::string ReadFile(const std::wstring& path) {
    std::string bytes;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file)
        return bytes;
    DWORD size = GetFileSize(file.Get(), nullptr);
    bytes.resize(size);
    DWORD read = 0;
    if (size == 0 || !::ReadFile(file.Get(), &bytes[0], size, &read, nullptr) || read != size)
        bytes.clear();
    return bytes;
}

// A 32-bit off-screen bitmap in its own memory DC, as the paint manager keeps.
// Members are destroyed in reverse: the bitmap is selected out before it and
// the DC are deleted.
struct OffScreen {
    int width;
    int height;
    CWindowDC screen{nullptr};
    CMemoryDC memory{screen.Get()};
    CGdiObject<HBITMAP> bitmap{MakeBitmap(screen.Get(), width, height)};
    CSelectObject selection{memory.Get(), bitmap.Get()};
    HDC dc = memory.Get();
    explicit OffScreen(int cx = kWidth, int cy = kHeight) : width(cx), height(cy) {
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    static HBITMAP MakeBitmap(HDC screen, int cx, int cy) {
        BYTE* bits = nullptr;
        return CRenderEngine::CreateARGB32Bitmap(screen, cx, cy, &bits);
    }
};

struct Run {
    RECT rc;
    const wchar_t* text;
    int font;
    DWORD colour;
    UINT format;
};

// The installer's first page with the options panel open, as its layout
// places the controls.
const Run kRuns[] = {
    {{180, 282, 380, 346}, L"立即安装", 2, 0xFFFFFFFF, DT_SINGLELINE | DT_CENTER | DT_VCENTER},
    {{29, 398, 139, 413}, L"已阅读青梧云端助手", 1, 0xFF000000, DT_SINGLELINE | DT_VCENTER},
    {{139, 398, 239, 413}, L"《用户服务协议》", 1, 0xFFFF0000, DT_SINGLELINE | DT_VCENTER},
    {{239, 398, 339, 413}, L"《隐私协议》", 1, 0xFFFF0000, DT_SINGLELINE | DT_VCENTER},
    {{470, 398, 550, 413}, L"自定义安装", 1, 0xFF000000, DT_SINGLELINE | DT_VCENTER},
    {{36, 452, 420, 488},
     L"C:\\Program Files (x86)\\Quillmossdex\\",
     -1,
     0xFF000000,
     DT_SINGLELINE | DT_VCENTER},
    {{446, 450, 529, 490}, L"浏览", 1, 0xFF000000, DT_SINGLELINE | DT_CENTER | DT_VCENTER},
    {{70, 510, 150, 525}, L"桌面快捷方式", 1, 0xFF000000, DT_SINGLELINE | DT_VCENTER},
    {{200, 510, 300, 525}, L"启动栏快捷方式", 1, 0xFF000000, DT_SINGLELINE | DT_VCENTER},
    {{20, 10, 300, 30}, L"青梧云端助手 安装向导", 3, 0xFFFFFFFF, DT_SINGLELINE | DT_VCENTER},
    {{35, 230, 525, 250}, L"正在安装...", 1, 0xFF000000, DT_SINGLELINE | DT_VCENTER},
    {{330, 510, 540, 525},
     L"安装目录剩余空间: 12.5 GB",
     5,
     0xFF808080,
     DT_SINGLELINE | DT_RIGHT | DT_VCENTER},
};

struct Picture {
    RECT rc;
    const wchar_t* description;
};

const Picture kBackgrounds[] = {
    {{0, 0, 560, 420}, L"bk_top.png"},
    {{0, 420, 560, 542}, L"bottom.png"},
};
const Picture kStretchedBackground[] = {
    {{0, 0, 560, 542}, L"bk_top.png"},
};
const Picture kButton[] = {
    {{180, 282, 380, 346}, L"file='buttom.png' corner='12,12,12,12'"},
};
const Picture kSmall[] = {
    {{124, 95, 435, 167}, L"logo.png"},
    {{10, 398, 24, 413}, L"option_select.png"},
    {{470, 398, 550, 413}, L"file='up.png' dest='70,5,78,10'"},
    {{31, 450, 421, 490}, L"edit.png"},
    {{446, 450, 529, 490}, L"browse.png"},
    {{50, 510, 150, 525}, L"file='option_select.png' dest='0,0,14,15'"},
    {{180, 510, 300, 525}, L"file='option_normal.png' dest='0,0,14,15'"},
    {{504, 10, 517, 23}, L"file='min.png' dest='0,6,13,7'"},
    {{536, 10, 549, 23}, L"close.png"},
};

// Rectangles are the skin's, for 96 dpi; each window scales them by its own
// scale as its layout would, and its descriptions name the artwork of that
// scale, drawn 1:1.
template <size_t N> void DrawPictures(HDC dc, CPaintManagerUI& pm, const Picture (&pictures)[N]) {
    RECT paint = {0, 0, kWidth, kHeight};
    pm.GetDPIObj()->Scale(&paint);
    for (const Picture& p : pictures) {
        RECT rc = p.rc;
        pm.GetDPIObj()->Scale(&rc);
        CRenderEngine::DrawImageString(dc, pm.GetResources(), rc, paint, p.description);
    }
}

void DrawRuns(HDC dc, CPaintManagerUI& pm) {
    for (const Run& run : kRuns) {
        RECT rc = run.rc;
        pm.GetDPIObj()->Scale(&rc);
        CRenderEngine::DrawText(dc, pm.GetResources(), rc, run.text, run.colour, run.font, run.format);
    }
}

// The whole page over the given background: what one repaint of the window
// draws.
template <size_t N> void DrawPage(HDC dc, CPaintManagerUI& pm, const Picture (&background)[N]) {
    DrawPictures(dc, pm, background);
    DrawPictures(dc, pm, kButton);
    DrawPictures(dc, pm, kSmall);
    DrawRuns(dc, pm);
}

void Report(const char* what, double ms, double floor) {
    printf("  %-46s %8.3f ms  %7.1fx floor\n", what, ms, ms / floor);
}

} // namespace

int main() {
    CGdiplusSession gdiplus;
    const std::wstring skin = SkinDir();
    CPaintManagerUI::SetResourcePath(skin.c_str());

    // The skin's fonts. Wine's GDI+ cannot resolve the substituted face name
    // (GDI can), so text through GDI+ would fall back to GDI there; a second
    // window registers the same fonts under the real face's own name so that
    // the GDI+ figures measure GDI+.
    CPaintManagerUI pm;
    CPaintManagerUI pmPlus;
    pmPlus.SetUseGdiplusText(true);
    // The same window on a 144-dpi display: fonts, rectangles and artwork at
    // 150 %.
    CPaintManagerUI pm150;
    pm150.SetScale(150);
    const int sizes[] = {13, 12, 14, 16, 14, 11};
    for (int id = 0; id < 6; ++id) {
        pm.AddFont(id, L"微软雅黑", sizes[id], id == 4, false, false);
        pmPlus.AddFont(id, L"WenQuanYi Micro Hei", sizes[id], id == 4, false, false);
        pm150.AddFont(id, L"微软雅黑", sizes[id], id == 4, false, false);
    }

    // ---- Painting --------------------------------------------------------
    OffScreen target;
    OffScreen source;
    const double floor =
        Measure([&] { BitBlt(target.dc, 0, 0, kWidth, kHeight, source.dc, 0, 0, SRCCOPY); }, 200);

    // The first paint decodes and caches every image; the figures below are
    // repaints, as every paint after the first one is.
    auto composition = [&] { DrawPage(target.dc, pm, kBackgrounds); };
    composition();
    DrawPictures(target.dc, pmPlus, kBackgrounds);
    DrawPictures(target.dc, pmPlus, kButton);
    DrawPictures(target.dc, pmPlus, kSmall);

    printf("render_bench: %d x %d composition into the 32-bit off-screen bitmap\n", kWidth,
           kHeight);
    printf("  %-46s %8.3f ms\n", "floor: one BitBlt of 560 x 542", floor);
    const double full = Measure(composition, 20);
    Report("full paint, GDI text (the installer's case)", full, floor);
    const double fullPlus = Measure([&] { DrawPage(target.dc, pmPlus, kBackgrounds); }, 20);
    Report("full paint, GDI+ text", fullPlus, floor);
    const double stretched = Measure([&] { DrawPage(target.dc, pm, kStretchedBackground); }, 20);
    Report("full paint, background stretched to 560 x 542", stretched, floor);

    // At 150 %: 2.25 times the pixels, every image the 150 % artwork drawn
    // 1:1. Its own floor is the bare BitBlt of its larger bitmap.
    OffScreen target150(pm150.GetDPIObj()->Scale(kWidth), pm150.GetDPIObj()->Scale(kHeight));
    OffScreen source150(target150.width, target150.height);
    auto composition150 = [&] { DrawPage(target150.dc, pm150, kBackgrounds); };
    composition150();
    const double floor150 = Measure(
        [&] {
            BitBlt(target150.dc, 0, 0, target150.width, target150.height, source150.dc, 0, 0,
                   SRCCOPY);
        },
        200);
    const double full150 = Measure(composition150, 20);
    // The ratio from batches of the two paints taken in turn, so that a
    // machine whose load changes during the run slows both alike.
    std::vector<double> ratios;
    for (int b = 0; b < 9; ++b) {
        const double at100 = Measure(composition, 10, 1);
        ratios.push_back(Measure(composition150, 10, 1) / at100);
    }
    printf("  %-46s %8.3f ms  %7.2fx full paint at 100 %% (target <= 2.5x)\n",
           "full paint at 150 % (840 x 813, 150 % artwork)", full150, full150 / full);
    printf("  %-46s %8s     %7.2fx (median of 9 pairs taken in turn)\n", "", "",
           bench::Median(ratios));
    printf("  %-46s %8.3f ms  %7.1fx its floor (one BitBlt of 840 x 813)\n", "", full150,
           full150 / floor150);

    printf("  where the time goes (GDI text):\n");
    Report("  backgrounds bk_top + bottom (1:1)",
           Measure([&] { DrawPictures(target.dc, pm, kBackgrounds); }, 50), floor);
    Report("  background stretched 560 x 420 -> 560 x 542",
           Measure([&] { DrawPictures(target.dc, pm, kStretchedBackground); }, 50), floor);
    Report("  nine-piece button 200 x 64",
           Measure([&] { DrawPictures(target.dc, pm, kButton); }, 50), floor);
    Report("  9 small images (logo, options, edit, ...)",
           Measure([&] { DrawPictures(target.dc, pm, kSmall); }, 50), floor);
    Report("  12 text runs, GDI", Measure([&] { DrawRuns(target.dc, pm); }, 50), floor);
    Report("  12 text runs, GDI+", Measure([&] { DrawRuns(target.dc, pmPlus); }, 20), floor);
    pm.SetUseGdiplusText(true);
    Report("  12 text runs, GDI+ asked, skin face (Wine: GDI)",
           Measure([&] { DrawRuns(target.dc, pm); }, 20), floor);
    pm.SetUseGdiplusText(false);

    // ---- Decoding ----------------------------------------------------------
    const wchar_t* names[] = {L"bk_top.png",        L"bottom.png",
                              L"browse.png",        L"buttom.png",
                              L"close.png",         L"down.png",
                              L"edit.png",          L"logo.png",
                              L"min.png",           L"option_normal.png",
                              L"option_select.png", L"progress.png",
                              L"progress_bk.png",   L"up.png"};
    std::vector<std::string> files;
    size_t bytes = 0;
    for (const wchar_t* name : names) {
        files.push_back(ReadFile(skin + name));
        bytes += files.back().size();
        if (files.back().empty())
            fwprintf(stderr, L"render_bench: cannot read %ls\n", name);
    }
    const double decodeFloor = Measure(
        [&] {
            for (const std::string& f : files) {
                int w, h, n;
                stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(f.data()),
                                                        static_cast<int>(f.size()), &w, &h, &n, 4);
                stbi_image_free(pixels);
            }
        },
        3);
    const double decode = Measure(
        [&] {
            for (const std::string& f : files)
                CRenderEngine::FreeImage(CRenderEngine::LoadImageFromMemory(
                    reinterpret_cast<const BYTE*>(f.data()), static_cast<DWORD>(f.size()), 0));
        },
        3);
    printf("decode: the skin's %u images (%u bytes of PNG) once\n",
           static_cast<unsigned>(files.size()), static_cast<unsigned>(bytes));
    printf("  %-46s %8.3f ms\n", "floor: stb_image alone", decodeFloor);
    Report("decode + premultiply + DIB section", decode, decodeFloor);
    return 0;
}

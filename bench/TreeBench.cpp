// Lays out the installer's control tree, built from its real skin (the three pages, about a hundred
// controls) at 560 x 542 and hit-tests points all over it, each beside the
// floor of one bare visit of every control through the tree search.
#include "bench/BenchTiming.h"
#include "tests/skinui/control/InstallerTree.h"

#include <cstdio>
#include <functional>
#include <vector>

using namespace SkinUI;

namespace {

// Microseconds per call: the median of several batches, after a warm-up.
double Measure(const std::function<void()>& work, int perBatch) {
    return bench::Measure(work, perBatch, 9) * 1000000.0;
}

volatile LONG g_sink = 0;

CControlUI* CALLBACK Visit(CControlUI* control, LPVOID) {
    g_sink = g_sink + control->GetPos().left;
    return nullptr;
}

CControlUI* CALLBACK Count(CControlUI*, LPVOID data) {
    ++*static_cast<int*>(data);
    return nullptr;
}

CControlUI* CALLBACK Hit(CControlUI* control, LPVOID data) {
    return PtInRect(&control->GetPos(), *static_cast<POINT*>(data)) ? control : nullptr;
}

} // namespace

int main() {
    skintest::InstallerTree tree;
    CControlUI* root = tree.root;
    if (root == nullptr) {
        fprintf(stderr, "the installer's skin could not be built\n");
        return 1;
    }
    int count = 0;
    root->FindControl(Count, &count, 0);

    const double floor = Measure([&] { root->FindControl(Visit, nullptr, 0); }, 2000);
    const double layout = Measure([&] { root->SetPos(RECT{0, 0, 560, 542}, false); }, 2000);
    std::vector<POINT> points;
    for (int y = 5; y < 542; y += 37)
        for (int x = 5; x < 560; x += 41)
            points.push_back(POINT{x, y});
    const double hits = Measure(
        [&] {
            for (POINT& pt : points)
                g_sink = g_sink +
                         (root->FindControl(Hit, &pt, FindVisible | FindHitTest | FindTopFirst) !=
                          nullptr);
        },
        200);
    const double perHit = hits / static_cast<double>(points.size());

    printf("controls in the tree: %d\n", count);
    printf("floor: visit every control        %8.2f us\n", floor);
    printf("layout of the whole tree          %8.2f us  (%.1f x floor)\n", layout, layout / floor);
    printf("hit test of one point             %8.2f us  (%.2f x floor)\n", perHit, perHit / floor);
    delete root;
    return 0;
}

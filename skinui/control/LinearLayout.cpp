// The layout of the vertical and horizontal layouts, written once over a main
// axis (the stacking direction) and a cross axis. Two passes over the
// children: "estimate" sums the fixed sizes and counts the children that
// stretch; "place" shares out what is left and positions every child.
#include "skinui/control/LinearLayout.h"

#include "skinui/control/ContainerUI.h"

namespace SkinUI {

namespace {

// One direction of a rectangle or size: `vertical` chooses y/height as the
// main axis.
struct Axes {
    bool vertical;

    LONG& MainLo(RECT& rc) const { return vertical ? rc.top : rc.left; }
    LONG& MainHi(RECT& rc) const { return vertical ? rc.bottom : rc.right; }
    LONG& CrossLo(RECT& rc) const { return vertical ? rc.left : rc.top; }
    LONG& CrossHi(RECT& rc) const { return vertical ? rc.right : rc.bottom; }
    LONG MainLo(const RECT& rc) const { return vertical ? rc.top : rc.left; }
    LONG MainHi(const RECT& rc) const { return vertical ? rc.bottom : rc.right; }
    LONG CrossLo(const RECT& rc) const { return vertical ? rc.left : rc.top; }
    LONG CrossHi(const RECT& rc) const { return vertical ? rc.right : rc.bottom; }
    LONG Main(const SIZE& sz) const { return vertical ? sz.cy : sz.cx; }
    LONG Cross(const SIZE& sz) const { return vertical ? sz.cx : sz.cy; }
    SIZE Make(LONG main, LONG cross) const {
        return vertical ? SIZE{cross, main} : SIZE{main, cross};
    }

    int Fixed(const CControlUI* c, bool main) const {
        return main == vertical ? c->GetFixedHeight() : c->GetFixedWidth();
    }
    int Min(const CControlUI* c, bool main) const {
        return main == vertical ? c->GetMinHeight() : c->GetMinWidth();
    }
    int Max(const CControlUI* c, bool main) const {
        return main == vertical ? c->GetMaxHeight() : c->GetMaxWidth();
    }
    // The fixed size when there is one, else the maximum.
    int Limit(const CControlUI* c, bool main) const {
        const int fixed = Fixed(c, main);
        return fixed > 0 ? fixed : Max(c, main);
    }
};

int Clamp(int value, int low, int high) {
    if (value < low)
        value = low;
    if (value > high)
        value = high;
    return value;
}

int Smaller(int a, int b) {
    return a < b ? a : b;
}

bool Takes(const CControlUI* child) {
    return child->IsVisible() && !child->IsFloat();
}

} // namespace

void LayoutLinearChildren(CContainerUI* owner, RECT rc, bool vertical) {
    const Axes ax{vertical};
    const int count = owner->GetCount();
    if (count == 0) {
        owner->ProcessScrollBar(rc, 0, 0);
        return;
    }
    const int availMain = ax.MainHi(rc) - ax.MainLo(rc);
    const int availCross = ax.CrossHi(rc) - ax.CrossLo(rc);
    const int childPadding = owner->GetChildPadding();

    // ---- estimate ----------------------------------------------------------
    int adjustables = 0;
    int fixedTotal = 0;
    int neededCross = 0;
    int taken = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = owner->GetItemAt(i);
        if (!Takes(child))
            continue;
        RECT pad = child->GetPadding();
        const int padMain = ax.MainLo(pad) + ax.MainHi(pad);
        const int padCross = ax.CrossLo(pad) + ax.CrossHi(pad);
        const SIZE box = ax.Make(Smaller(ax.Limit(child, true), availMain),
                                 Smaller(ax.Limit(child, false), availCross - padCross));
        const SIZE estimate = child->EstimateSize(box);
        int main = ax.Main(estimate);
        if (main == 0)
            ++adjustables;
        else
            main = Clamp(main, ax.Min(child, true), ax.Max(child, true));
        fixedTotal += padMain + main;

        int cross = ax.Cross(estimate);
        if (cross < 0)
            cross = 0;
        cross = Clamp(cross, ax.Min(child, false), ax.Max(child, false));
        if (padCross + cross > neededCross)
            neededCross = padCross + cross;
        ++taken;
    }
    if (taken > 0)
        fixedTotal += childPadding * (taken - 1);
    int share = 0;
    if (adjustables > 0) {
        share = (availMain - fixedTotal) / adjustables;
        if (share < 0)
            share = 0;
    }

    // ---- place -------------------------------------------------------------
    const UINT align = vertical ? owner->GetChildAlign() : owner->GetChildVAlign();
    const bool centre = vertical ? align == DT_CENTER : align == DT_VCENTER;
    const bool toEnd = vertical ? align == DT_RIGHT : align == DT_BOTTOM;
    int pos = ax.MainLo(rc);
    int remaining = availMain;
    int remainingFixed = fixedTotal;
    int adjustSeen = 0;
    int neededMain = 0;
    taken = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = owner->GetItemAt(i);
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            owner->SetFloatPos(i);
            continue;
        }
        ++taken;
        RECT pad = child->GetPadding();
        const int padCross = ax.CrossLo(pad) + ax.CrossHi(pad);
        remaining -= ax.MainLo(pad);
        const SIZE box = ax.Make(Smaller(ax.Limit(child, true), remaining),
                                 Smaller(ax.Limit(child, false), availCross - padCross));
        remainingFixed -= ax.MainLo(pad) + ax.MainHi(pad);
        if (taken > 1)
            remainingFixed -= childPadding;
        const SIZE estimate = child->EstimateSize(box);

        int main = ax.Main(estimate);
        if (main == 0) {
            ++adjustSeen;
            main = share;
            // The last stretching child absorbs the remainder of the division.
            if (adjustSeen == adjustables) {
                main = remaining - ax.MainHi(pad) - remainingFixed;
                if (main < 0)
                    main = 0;
            }
            main = Clamp(main, ax.Min(child, true), ax.Max(child, true));
        } else {
            main = Clamp(main, ax.Min(child, true), ax.Max(child, true));
            remainingFixed -= main;
        }

        // The estimated cross size is not used: a child without a fixed cross
        // size spans the whole cross extent.
        int cross = ax.Max(child, false);
        if (cross == 0)
            cross = availCross - padCross;
        if (cross < 0)
            cross = 0;
        if (cross > ax.Cross(box))
            cross = ax.Cross(box);
        if (cross < ax.Min(child, false))
            cross = ax.Min(child, false);

        RECT place;
        if (centre) {
            // Centred children ignore their cross padding.
            const int middle = (ax.CrossLo(rc) + ax.CrossHi(rc)) / 2;
            ax.CrossLo(place) = middle - cross / 2;
            ax.CrossHi(place) = ax.CrossLo(place) + cross;
        } else if (toEnd) {
            ax.CrossHi(place) = ax.CrossHi(rc) - ax.CrossHi(pad);
            ax.CrossLo(place) = ax.CrossHi(place) - cross;
        } else {
            ax.CrossLo(place) = ax.CrossLo(rc) + ax.CrossLo(pad);
            ax.CrossHi(place) = ax.CrossLo(place) + cross;
        }
        ax.MainLo(place) = pos + ax.MainLo(pad);
        ax.MainHi(place) = ax.MainLo(place) + main;
        child->SetPos(place, false);

        pos += main + ax.MainLo(pad) + ax.MainHi(pad) + childPadding;
        neededMain += main + ax.MainLo(pad) + ax.MainHi(pad);
        remaining -= main + ax.MainHi(pad) + childPadding;
    }
    if (taken > 0)
        neededMain += childPadding * (taken - 1);
    if (vertical)
        owner->ProcessScrollBar(rc, neededCross, neededMain);
    else
        owner->ProcessScrollBar(rc, neededMain, neededCross);
}

} // namespace SkinUI

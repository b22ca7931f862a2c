#include "skinui/core/SkinTypes.h"

namespace SkinUI {

// ---------------------------------------------------------------------------
// CSkinRect

CSkinRect::CSkinRect() {
    left = top = right = bottom = 0;
}

CSkinRect::CSkinRect(const RECT& src) {
    left = src.left;
    top = src.top;
    right = src.right;
    bottom = src.bottom;
}

CSkinRect::CSkinRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
}

bool CSkinRect::IsNull() const {
    return left == 0 && top == 0 && right == 0 && bottom == 0;
}

void CSkinRect::Empty() {
    left = top = right = bottom = 0;
}

void CSkinRect::Join(const RECT& rc) {
    if (rc.left < left)
        left = rc.left;
    if (rc.top < top)
        top = rc.top;
    if (rc.right > right)
        right = rc.right;
    if (rc.bottom > bottom)
        bottom = rc.bottom;
}

void CSkinRect::Union(const RECT& rc) {
    const RECT self = *this;
    ::UnionRect(this, &self, &rc);
}

void CSkinRect::Offset(int dx, int dy) {
    ::OffsetRect(this, dx, dy);
}

void CSkinRect::Inflate(int dx, int dy) {
    ::InflateRect(this, dx, dy);
}

void CSkinRect::Deflate(int dx, int dy) {
    ::InflateRect(this, -dx, -dy);
}

void CSkinRect::ResetOffset() {
    ::OffsetRect(this, -left, -top);
}

void CSkinRect::Normalize() {
    if (left > right) {
        const LONG t = left;
        left = right;
        right = t;
    }
    if (top > bottom) {
        const LONG t = top;
        top = bottom;
        bottom = t;
    }
}

// ---------------------------------------------------------------------------
// CSkinSize

CSkinSize::CSkinSize() : CSkinSize(0, 0) {
}

CSkinSize::CSkinSize(int x, int y) {
    cx = x;
    cy = y;
}

CSkinSize::CSkinSize(const SIZE& src) : CSkinSize(src.cx, src.cy) {
}

CSkinSize::CSkinSize(const RECT& rc) : CSkinSize(rc.right - rc.left, rc.bottom - rc.top) {
}

CSkinSize& CSkinSize::operator=(const SIZE& src) {
    *this = CSkinSize(src);
    return *this;
}

// ---------------------------------------------------------------------------
// CSkinPoint

CSkinPoint::CSkinPoint() : CSkinPoint(0, 0) {
}

CSkinPoint::CSkinPoint(int px, int py) {
    x = px;
    y = py;
}

CSkinPoint::CSkinPoint(const POINT& src) : CSkinPoint(src.x, src.y) {
}

CSkinPoint::CSkinPoint(LPARAM lParam) {
    x = static_cast<short>(LOWORD(lParam));
    y = static_cast<short>(HIWORD(lParam));
}

} // namespace SkinUI

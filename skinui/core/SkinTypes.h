// Rectangle, size and point of the UI library: the platform's RECT, SIZE and
// POINT with the few operations layout and painting need.
#pragma once

#include <windows.h>

namespace SkinUI {

// right and bottom are exclusive, as in RECT.
class CSkinRect : public RECT {
public:
    CSkinRect();
    CSkinRect(const RECT& src);
    CSkinRect(int l, int t, int r, int b);

    int GetWidth() const { return right - left; }
    int GetHeight() const { return bottom - top; }
    bool IsNull() const;

    void Empty();
    // Smaller left/top and larger right/bottom, even when either side is empty.
    void Join(const RECT& rc);
    // The platform's UnionRect: an empty rectangle contributes nothing.
    void Union(const RECT& rc);
    void Offset(int dx, int dy);
    void Inflate(int dx, int dy);
    void Deflate(int dx, int dy);
    void ResetOffset();
    void Normalize();
};

class CSkinSize : public SIZE {
public:
    CSkinSize();
    CSkinSize(int x, int y);
    CSkinSize(const SIZE& src);
    CSkinSize(const RECT& rc);
    CSkinSize& operator=(const SIZE& src);
};

class CSkinPoint : public POINT {
public:
    CSkinPoint();
    CSkinPoint(int x, int y);
    CSkinPoint(const POINT& src);
    // A packed mouse position of a window message: signed 16-bit x low, y high.
    explicit CSkinPoint(LPARAM lParam);
};

} // namespace SkinUI

// The two msimg32 routines of the render engine (looked up once per process)
// and the engine's own versions for systems without them.
#pragma once

#include <windows.h>

namespace SkinUI {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

// Null when msimg32.dll or the function is missing.
AlphaBlendFn GetAlphaBlend();
GradientFillFn GetGradientFill();

// Composites the part (sx, sy, sw, sh) of the premultiplied 32-bit bitmap
// selected into src, stretched, onto (x, y, w, h) of dst: per channel
// result = source * fade / 255 + target * (1 - source alpha * fade / 255^2),
// the same as AlphaBlend with AC_SRC_OVER and AC_SRC_ALPHA.
void BlendPremultiplied(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                        int sh, BYTE fade);

// Blends with AlphaBlend when the system has it, else with BlendPremultiplied.
void AlphaBlendPiece(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                     BYTE fade);

// The gradient without GradientFill: 2, 4, ... 64 solid bands depending on
// nSteps, their colours interpolated per channel between the two colours.
void FillGradientBands(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical,
                       int nSteps);

} // namespace SkinUI

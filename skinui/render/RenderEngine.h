// The render engine: every picture, colour, line and text of a skinned window
// is drawn through these static functions into the window's off-screen bitmap.
//
// Sections of the implementation:
//   ImageLoader.cpp        decoding, premultiplication, FreeImage
//   ImageSource.cpp        LoadImage: module resource, skin source, plain file
//   RenderImage.cpp        DrawImage: nine pieces, tiling, copy or blend
//   RenderImageString.cpp  DrawImageInfo, DrawImageString
//   RenderDraw.cpp         colours, gradients, lines, frames, ARGB bitmaps
//   RenderText.cpp         text through GDI or GDI+, measuring
#pragma once

#include <windows.h>

#include "skinui/render/ImageInfo.h"

namespace SkinUI {

class CSkinResources;

// <windows.h> turns the names DrawText and LoadImage into macros (DrawTextA,
// LoadImageA). This header includes it first, so every user sees the members
// under the same macro name; the bodies call the wide system functions by
// their explicit names.
class CRenderEngine {
public:
    // ---- Colours ----------------------------------------------------------
    // Shifts hue by H - 180 degrees and scales saturation and lightness by S
    // and L percent; alpha is kept. (180, 100, 100) leaves a colour unchanged.
    static DWORD AdjustColor(DWORD dwColor, short H, short S, short L);
    // Applies AdjustColor to an image registered with use-HSL, from its saved
    // copy of the loaded pixels; other images are left alone.
    static void AdjustImage(bool bUseHSL, TImageInfo* imageInfo, short H, short S, short L);
    // Black (red, green and blue all 0) becomes blue 1, so that layered
    // painting can tell a black pixel from an unpainted one.
    static void CheckAlphaColor(DWORD& dwColor);

    // ---- Images -----------------------------------------------------------
    // Loads and decodes an image. With a type: the resource of that type whose
    // name (or MAKEINTRESOURCE id) is given, from the module (null = the
    // resource module). Without one: the name is first mapped through the
    // resource manager's image-path table, then read from the skin source;
    // when nothing is found there it is tried as a plain file path. The caller
    // fills in the record's mask and resource type; null on any failure.
    static TImageInfo* LoadImage(const wchar_t* bitmap, const wchar_t* type = nullptr,
                                 DWORD mask = 0, HINSTANCE instance = nullptr);
    static TImageInfo* LoadImage(UINT id, const wchar_t* type, DWORD mask = 0,
                                 HINSTANCE instance = nullptr);
    // Decodes image file bytes (any format stb_image reads) into a record with
    // premultiplied pixels; pixels equal to the mask become transparent.
    static TImageInfo* LoadImageFromMemory(const BYTE* data, DWORD size, DWORD mask = 0);
    // Deletes the bitmap and the pixel buffers; with bDelete also the record.
    static void FreeImage(TImageInfo* bitmap, bool bDelete = true);

    // Draws the part rcBmpPart of the bitmap into rc, keeping the corner
    // widths rcCorners unscaled (nine pieces), with optional tiling of the
    // middle. Only pieces that meet rcPaint are drawn. bAlpha or a fade below
    // 255 blends premultiplied pixels; otherwise pixels are copied.
    static void DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rc, const RECT& rcPaint,
                          const RECT& rcBmpPart, const RECT& rcCorners, bool bAlpha,
                          BYTE uFade = 255, bool hole = false, bool xtiled = false,
                          bool ytiled = false);
    // Places a parsed description inside rcItem and draws it. False only for
    // a missing manager, DC, record, image name or image.
    static bool DrawImageInfo(HDC hDC, CSkinResources* pManager, const RECT& rcItem,
                              const RECT& rcPaint, const TDrawInfo* pDrawInfo,
                              HINSTANCE instance = nullptr);
    // DrawImageInfo with the window's cached parse of description + modifier.
    static bool DrawImageString(HDC hDC, CSkinResources* pManager, const RECT& rcItem,
                                const RECT& rcPaint, const wchar_t* pStrImage,
                                const wchar_t* pStrModify = nullptr, HINSTANCE instance = nullptr);

    // ---- Fills, lines and frames --------------------------------------------
    // Alpha is honoured; a colour with alpha 0 draws nothing.
    static void DrawColor(HDC hDC, const RECT& rc, DWORD color);
    // From dwFirst (left or top) to dwSecond; the colours' average alpha is
    // the opacity of the whole gradient.
    static void DrawGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical,
                             int nSteps);
    // From the left-top corner of rc to its right-bottom corner; alpha dropped.
    static void DrawLine(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor,
                         int nStyle = PS_SOLID);
    // A frame inside rc, alpha kept; the style is not used.
    static void DrawRect(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor,
                         int nStyle = PS_SOLID);
    // A rounded frame over rc, not filled; alpha dropped.
    static void DrawRoundRect(HDC hDC, const RECT& rc, int nSize, int width, int height,
                              DWORD dwPenColor, int nStyle = PS_SOLID);

    // ---- Text -------------------------------------------------------------
    // DrawTextW flags. With DT_CALCRECT the text is measured and rc receives
    // its box. Layered windows and windows with the GDI+ text option draw
    // through GDI+, all others through GDI.
    static void DrawText(HDC hDC, CSkinResources* pManager, RECT& rc, const wchar_t* pstrText,
                         DWORD dwTextColor, int iFont, UINT uStyle);
    // Always GDI, with an opaque background unless bTransparent.
    static void DrawText(HDC hDC, CSkinResources* pManager, RECT& rc, const wchar_t* pstrText,
                         DWORD dwTextColor, int iFont, UINT uStyle, DWORD dwTextBKColor,
                         bool bTransparent);
    // Formatted text. This build draws the text with its tags removed and
    // collects no link rectangles (nLinkRects becomes 0).
    static void DrawHtmlText(HDC hDC, CSkinResources* pManager, RECT& rc, const wchar_t* pstrText,
                             DWORD dwTextColor, RECT* pLinks, CSkinString* sLinks, int& nLinkRects,
                             int iFont, UINT uStyle);
    // Width and height of the text on one line in the font; uStyle unused.
    static SIZE GetTextSize(HDC hDC, CSkinResources* pManager, const wchar_t* pstrText, int iFont,
                            UINT uStyle);

    // ---- Bitmaps ----------------------------------------------------------
    // A bottom-up 32-bit DIB section; *pBits receives its pixels.
    static HBITMAP CreateARGB32Bitmap(HDC hDC, int cx, int cy, BYTE** pBits);
};

} // namespace SkinUI

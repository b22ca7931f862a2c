// The resource side of one skinned window, below the controls: the scale,
// the paint device, fonts, default colours, default attribute lists, styles,
// images and drawing options, each with a process-wide shared table. The
// paint manager is one of these; controls and the render engine reach the
// resources through this class and never through the window.
//
// Sections (banners below) and the files that implement them:
//   Construction, fonts, colours, attribute lists, styles ... SkinResources.cpp
//   Images and image descriptions ........................... SkinResourcesImages.cpp
//   Resource source (process-wide, inherited) ............... core/SkinSource.cpp
#pragma once

#include <windows.h>

#include "skinui/core/SkinSource.h"
#include "skinui/core/SkinString.h"
#include "skinui/core/StdContainers.h"
#include "skinui/render/DPI.h"
#include "skinui/render/GdiplusApi.h"
#include "skinui/render/ResInfo.h"

namespace SkinUI {

struct TImageInfo;
struct TDrawInfo;

class CSkinResources : public CSkinSource {
public:
    // =========================================================================
    // Construction
    // =========================================================================

    // The first one of the process also prepares the shared default font and
    // colours; every one starts with a copy of the shared colours and no
    // default font of its own.
    CSkinResources();
    ~CSkinResources();
    CSkinResources(const CSkinResources&) = delete;
    CSkinResources& operator=(const CSkinResources&) = delete;

    // =========================================================================
    // Colour adjustment (process-wide)
    // =========================================================================
    // The colour adjustment applied to images registered with use-HSL; off
    // unless switched on, and the installer never switches it on.
    static bool IsUseHSL();
    static void SetHSL(bool use, short H = 180, short S = 100, short L = 100);
    static void GetHSL(short* H, short* S, short* L);

    // =========================================================================
    // DPI and paint device
    // =========================================================================

    // The scale applied to sizes from the skin (fonts, image rectangles, the
    // window size): that of the window's display, set by the paint manager
    // when it binds to its window and when the display changes.
    CDPI* GetDPIObj() { return &m_DPI; }
    // The window's device context, used here to measure fonts; null until the
    // manager has a window.
    HDC GetPaintDC() const { return m_hDcPaint; }
    // The paint manager lends its window's DC and takes it back (null) before
    // giving it back to the window.
    void SetPaintDC(HDC hdc) { m_hDcPaint = hdc; }

    // =========================================================================
    // Fonts
    // =========================================================================
    // Ids are decimal keys; the shared table serves every window. A lookup
    // that finds nothing answers the default font: this manager's own when set,
    // else the shared one.

    HFONT AddFont(int id, const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                  bool shared = false);
    HFONT GetFont(int id);
    TFontInfo* GetFontInfo(int id);
    TFontInfo* GetDefaultFontInfo();
    void SetDefaultFont(const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                        bool shared = false);
    void RemoveAllFonts(bool shared = false);
    // Makes this window's fonts again at the current scale: its own in place,
    // and copies at its scale of the shared fonts and the shared default,
    // which its lookups then find first. The handles replaced go to
    // `retired`, for the caller to delete once no window uses them.
    void RescaleFonts(CStdPtrArray* retired);

    // =========================================================================
    // Default colours
    // =========================================================================
    // Setters with `shared` change the process-wide value (and this manager's
    // own value when it still followed the shared one); getters read this
    // manager's own record.

    DWORD GetDefaultDisabledColor() const;
    void SetDefaultDisabledColor(DWORD color, bool shared = false);
    DWORD GetDefaultFontColor() const;
    void SetDefaultFontColor(DWORD color, bool shared = false);
    DWORD GetDefaultLinkFontColor() const;
    void SetDefaultLinkFontColor(DWORD color, bool shared = false);
    DWORD GetDefaultLinkHoverFontColor() const;
    void SetDefaultLinkHoverFontColor(DWORD color, bool shared = false);
    DWORD GetDefaultSelectedBkColor() const;
    void SetDefaultSelectedBkColor(DWORD color, bool shared = false);

    // While set, every registration of this manager goes to the shared tables.
    bool IsForceUseSharedRes() const { return m_bForceUseSharedRes; }
    void SetForceUseSharedRes(bool force) { m_bForceUseSharedRes = force; }

    // =========================================================================
    // Default attribute lists and styles
    // =========================================================================
    // Lookups try this manager's table, then the shared one; null when absent.

    void AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* attrList,
                                 bool shared = false);
    const wchar_t* GetDefaultAttributeList(const wchar_t* controlName) const;
    bool RemoveDefaultAttributeList(const wchar_t* controlName, bool shared = false);
    void RemoveAllDefaultAttributeList(bool shared = false);

    void AddStyle(const wchar_t* name, const wchar_t* style, bool shared = false);
    const wchar_t* GetStyle(const wchar_t* name) const;
    bool RemoveStyle(const wchar_t* name, bool shared = false);
    void RemoveAllStyle(bool shared = false);

    // =========================================================================
    // Images and image descriptions (implemented with the image loader)
    // =========================================================================
    // Images are decoded once and cached by name: per window, or per process in
    // the shared table. Lookups try this manager's table, then the shared one.

    TImageInfo* AddImage(const wchar_t* bitmap, const wchar_t* type = nullptr, DWORD mask = 0,
                         bool useHSL = false, bool shared = false, HINSTANCE instance = nullptr);
    TImageInfo* GetImage(const wchar_t* bitmap);
    // GetImage, registering the image in this manager's table on a miss.
    TImageInfo* GetImageEx(const wchar_t* bitmap, const wchar_t* type = nullptr, DWORD mask = 0,
                           bool useHSL = false, HINSTANCE instance = nullptr);
    bool RemoveImage(const wchar_t* bitmap, bool shared = false);
    void RemoveAllImages(bool shared = false);
    // The image an image description names, loaded through GetImageEx.
    TImageInfo* GetImageString(const wchar_t* image, const wchar_t* modify = nullptr);
    // The description and modifier parsed once per window and cached.
    TDrawInfo* GetDrawInfo(const wchar_t* image, const wchar_t* modify);
    void RemoveAllDrawInfos();

    // =========================================================================
    // Drawing options read by the render engine
    // =========================================================================
    // A layered window blends every image and draws text through GDI+; the
    // GDI+ text option does the latter for an ordinary window. The hint is a
    // GDI+ text rendering hint, used when it is 1 to 5.

    bool IsLayered() const { return m_bLayered; }
    void SetLayered(bool layered) { m_bLayered = layered; }
    bool IsUseGdiplusText() const { return m_bUseGdiplusText; }
    void SetUseGdiplusText(bool use) { m_bUseGdiplusText = use; }
    int GetGdiplusTextRenderingHint() const { return m_trh; }
    void SetGdiplusTextRenderingHint(int trh) { m_trh = trh; }

protected:
    // Where a registration of this manager goes.
    TResInfo& TargetResInfo(bool shared) {
        return shared || m_bForceUseSharedRes ? m_SharedResInfo : m_ResInfo;
    }
    HFONT CreateSkinFont(const wchar_t* fontName, int size, bool bold, bool underline, bool italic,
                         CSkinString* usedName);
    void MeasureFont(TFontInfo* info);
    bool RemakeFont(TFontInfo* info, CStdPtrArray* retired);
    static void FreeFontTable(CStdStringPtrMap& table);
    static void FreeTextTable(CStdStringPtrMap& table);

    // ---- Process-wide state ------------------------------------------------
    static bool m_bUseHSL;
    static short m_H;
    static short m_S;
    static short m_L;
    // Its default font lives as long as the process: every window may be
    // drawing with it until the last one is gone, and the system frees it
    // with the process.
    static TResInfo m_SharedResInfo;

    // ---- Per window --------------------------------------------------------
    // GDI+ serves image decoding and text drawing; as the first member it
    // stops only after every table above has been freed.
    CGdiplusSession m_gdiplus;
    HDC m_hDcPaint = nullptr;
    CDPI m_DPI;
    bool m_bForceUseSharedRes = false;
    TResInfo m_ResInfo;
    bool m_bLayered = false;
    bool m_bUseGdiplusText = false;
    int m_trh = 0;
};

} // namespace SkinUI

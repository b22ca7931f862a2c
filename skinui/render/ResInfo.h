// The records of the resource registries: a registered font, and one set of
// registries (default colours, default font, fonts, images, default attribute
// lists, styles, parsed image descriptions) as each window and the whole
// process own them.
#pragma once

#include <windows.h>

#include "skinui/core/SkinString.h"
#include "skinui/core/StdContainers.h"

namespace SkinUI {

struct TFontInfo {
    HFONT hFont = nullptr;
    // The face actually used; empty for a default font that was never set.
    CSkinString sFontName;
    // As written in the skin, before DPI scaling.
    int iSize = 0;
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    // All zero until measured with a paint device context.
    TEXTMETRICW tm = {};
};

// Every table has 83 buckets. The values are owned by the record's owner (the
// resources object) and freed when removed or replaced: fonts are TFontInfo*,
// images TImageInfo*, attribute lists and styles CSkinString*, parsed
// descriptions TDrawInfo*.
struct TResInfo {
    DWORD m_dwDefaultDisabledColor = 0;
    DWORD m_dwDefaultFontColor = 0;
    DWORD m_dwDefaultLinkFontColor = 0;
    DWORD m_dwDefaultLinkHoverFontColor = 0;
    DWORD m_dwDefaultSelectedBkColor = 0;
    TFontInfo m_DefaultFontInfo;
    CStdStringPtrMap m_CustomFonts;  // decimal id text -> TFontInfo*
    CStdStringPtrMap m_ImageHash;    // image name -> TImageInfo*
    CStdStringPtrMap m_AttrHash;     // control class name -> CSkinString* attribute list
    CStdStringPtrMap m_StyleHash;    // style name -> CSkinString* attribute list
    CStdStringPtrMap m_DrawInfoHash; // description text -> TDrawInfo* (per window only)
};

} // namespace SkinUI

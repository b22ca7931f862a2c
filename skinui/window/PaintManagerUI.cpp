// Construction and destruction of the paint manager, and the shared defaults
// the first manager prepares.
#include "skinui/window/PaintManagerUI.h"

namespace SkinUI {

// =============================================================================
// Construction
// =============================================================================

CPaintManagerUI::CPaintManagerUI() {
    TResInfo& shared = m_SharedResInfo;
    if (shared.m_DefaultFontInfo.sFontName.IsEmpty()) {
        shared.m_dwDefaultDisabledColor = 0xFFA7A6AA;
        shared.m_dwDefaultFontColor = 0xFF000000;
        shared.m_dwDefaultLinkFontColor = 0xFF0000FF;
        shared.m_dwDefaultLinkHoverFontColor = 0xFFD3215F;
        shared.m_dwDefaultSelectedBkColor = 0xFFBAE4FF;

        // The stock GUI font with the default character set, so that the face
        // mapper may pick a font that covers Chinese text.
        LOGFONTW lf = {};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &lf);
        lf.lfCharSet = DEFAULT_CHARSET;
        TFontInfo& font = shared.m_DefaultFontInfo;
        font.hFont = CreateFontIndirectW(&lf);
        font.sFontName = lf.lfFaceName;
        font.iSize = -lf.lfHeight;
        font.bBold = lf.lfWeight >= FW_BOLD;
        font.bUnderline = lf.lfUnderline != FALSE;
        font.bItalic = lf.lfItalic != FALSE;
        font.tm = TEXTMETRICW();
    }
    m_ResInfo.m_dwDefaultDisabledColor = shared.m_dwDefaultDisabledColor;
    m_ResInfo.m_dwDefaultFontColor = shared.m_dwDefaultFontColor;
    m_ResInfo.m_dwDefaultLinkFontColor = shared.m_dwDefaultLinkFontColor;
    m_ResInfo.m_dwDefaultLinkHoverFontColor = shared.m_dwDefaultLinkHoverFontColor;
    m_ResInfo.m_dwDefaultSelectedBkColor = shared.m_dwDefaultSelectedBkColor;
}

CPaintManagerUI::~CPaintManagerUI() {
    RemoveAllFonts(false);
    if (m_ResInfo.m_DefaultFontInfo.hFont != nullptr)
        DeleteObject(m_ResInfo.m_DefaultFontInfo.hFont);
    RemoveAllImages(false);
    RemoveAllDrawInfos();
    RemoveAllDefaultAttributeList(false);
    RemoveAllStyle(false);
}

} // namespace SkinUI

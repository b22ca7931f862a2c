// The registries of fonts, default colours, default attribute lists and
// styles: one set per window and one shared by all windows.
#include "skinui/render/SkinResources.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <new>

namespace SkinUI {

namespace {

// A table's font record owns its font; this is where it lets go of it.
void FreeFont(TFontInfo& info) {
    CGdiObject<HFONT> font(info.hFont);
    info.hFont = nullptr;
}

// Font ids are keyed by their decimal text.
struct FontKey {
    explicit FontKey(int id) { FormatText(text, sizeof(text) / sizeof(text[0]), L"%d", id); }
    wchar_t text[16];
};

void ReplaceText(CStdStringPtrMap& table, const wchar_t* name, const wchar_t* text) {
    if (name == nullptr)
        return;
    CSkinString* copy = new (std::nothrow) CSkinString(text);
    if (copy == nullptr)
        return;
    CSkinString* old = static_cast<CSkinString*>(table.Find(name, false));
    if (old != nullptr) {
        delete old;
        table.Remove(name);
    }
    if (!table.Insert(name, copy))
        delete copy;
}

bool RemoveText(CStdStringPtrMap& table, const wchar_t* name) {
    CSkinString* old = static_cast<CSkinString*>(table.Find(name, false));
    if (old == nullptr)
        return false;
    delete old;
    return table.Remove(name);
}

const wchar_t* FindText(const CStdStringPtrMap& own, const CStdStringPtrMap& shared,
                        const wchar_t* name) {
    if (name == nullptr)
        return nullptr;
    const CSkinString* text = static_cast<const CSkinString*>(own.Find(name));
    if (text == nullptr)
        text = static_cast<const CSkinString*>(shared.Find(name));
    return text != nullptr ? text->GetData() : nullptr;
}

} // namespace

bool CSkinResources::m_bUseHSL = false;
short CSkinResources::m_H = 180;
short CSkinResources::m_S = 100;
short CSkinResources::m_L = 100;
TResInfo CSkinResources::m_SharedResInfo;

// =============================================================================
// Construction
// =============================================================================

CSkinResources::CSkinResources() {
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

CSkinResources::~CSkinResources() {
    RemoveAllFonts(false);
    FreeFont(m_ResInfo.m_DefaultFontInfo);
    RemoveAllImages(false);
    RemoveAllDrawInfos();
    RemoveAllDefaultAttributeList(false);
    RemoveAllStyle(false);
}

// =============================================================================
// Colour adjustment
// =============================================================================

bool CSkinResources::IsUseHSL() {
    return m_bUseHSL;
}

void CSkinResources::SetHSL(bool use, short H, short S, short L) {
    m_bUseHSL = use;
    m_H = H;
    m_S = S;
    m_L = L;
}

void CSkinResources::GetHSL(short* H, short* S, short* L) {
    if (H != nullptr)
        *H = m_H;
    if (S != nullptr)
        *S = m_S;
    if (L != nullptr)
        *L = m_L;
}

// Values are freed before the table is cleared. The walk looks items up
// without move-to-front, which would reorder the enumeration under it.
void CSkinResources::FreeFontTable(CStdStringPtrMap& table) {
    for (int i = 0; i < table.GetSize(); ++i) {
        TFontInfo* info = static_cast<TFontInfo*>(table.Find(table.GetAt(i), false));
        if (info != nullptr) {
            FreeFont(*info);
            delete info;
        }
    }
    table.RemoveAll();
}

void CSkinResources::FreeTextTable(CStdStringPtrMap& table) {
    for (int i = 0; i < table.GetSize(); ++i)
        delete static_cast<CSkinString*>(table.Find(table.GetAt(i), false));
    table.RemoveAll();
}

// =============================================================================
// Fonts
// =============================================================================

HFONT CSkinResources::CreateSkinFont(const wchar_t* fontName, int size, bool bold, bool underline,
                                     bool italic, CSkinString* usedName) {
    LOGFONTW lf = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &lf);
    if (fontName != nullptr && fontName[0] != 0) {
        // LOGFONT holds 31 characters and the terminator.
        wcsncpy(lf.lfFaceName, fontName, LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -GetDPIObj()->Scale(size);
    if (bold)
        lf.lfWeight = FW_BOLD;
    if (underline)
        lf.lfUnderline = TRUE;
    if (italic)
        lf.lfItalic = TRUE;
    HFONT font = CreateFontIndirectW(&lf);
    if (font != nullptr && usedName != nullptr)
        *usedName = lf.lfFaceName;
    return font;
}

void CSkinResources::MeasureFont(TFontInfo* info) {
    if (m_hDcPaint == nullptr || info == nullptr || info->hFont == nullptr)
        return;
    CSelectObject font(m_hDcPaint, info->hFont);
    GetTextMetricsW(m_hDcPaint, &info->tm);
}

HFONT CSkinResources::AddFont(int id, const wchar_t* fontName, int size, bool bold, bool underline,
                              bool italic, bool shared) {
    CSkinString usedName;
    CGdiObject<HFONT> font(CreateSkinFont(fontName, size, bold, underline, italic, &usedName));
    if (!font)
        return nullptr;
    TFontInfo* info = new (std::nothrow) TFontInfo;
    if (info == nullptr)
        return nullptr;
    info->hFont = font.Get();
    info->sFontName = usedName;
    info->iSize = size;
    info->bBold = bold;
    info->bUnderline = underline;
    info->bItalic = italic;
    MeasureFont(info);

    const FontKey key(id);
    CStdStringPtrMap& table = TargetResInfo(shared).m_CustomFonts;
    TFontInfo* old = static_cast<TFontInfo*>(table.Find(key.text, false));
    if (old != nullptr) {
        FreeFont(*old);
        delete old;
        table.Remove(key.text);
    }
    if (!table.Insert(key.text, info)) {
        delete info;
        return nullptr;
    }
    return font.Release();
}

HFONT CSkinResources::GetFont(int id) {
    if (id >= 0) {
        const FontKey key(id);
        TFontInfo* info = static_cast<TFontInfo*>(m_ResInfo.m_CustomFonts.Find(key.text));
        if (info == nullptr)
            info = static_cast<TFontInfo*>(m_SharedResInfo.m_CustomFonts.Find(key.text));
        if (info != nullptr)
            return info->hFont;
    }
    return GetDefaultFontInfo()->hFont;
}

TFontInfo* CSkinResources::GetFontInfo(int id) {
    if (id >= 0) {
        const FontKey key(id);
        TFontInfo* info = static_cast<TFontInfo*>(m_ResInfo.m_CustomFonts.Find(key.text));
        if (info == nullptr)
            info = static_cast<TFontInfo*>(m_SharedResInfo.m_CustomFonts.Find(key.text));
        if (info != nullptr) {
            if (info->tm.tmHeight == 0)
                MeasureFont(info);
            return info;
        }
    }
    return GetDefaultFontInfo();
}

TFontInfo* CSkinResources::GetDefaultFontInfo() {
    TFontInfo* info = !m_ResInfo.m_DefaultFontInfo.sFontName.IsEmpty()
                          ? &m_ResInfo.m_DefaultFontInfo
                          : &m_SharedResInfo.m_DefaultFontInfo;
    if (info->tm.tmHeight == 0)
        MeasureFont(info);
    return info;
}

void CSkinResources::SetDefaultFont(const wchar_t* fontName, int size, bool bold, bool underline,
                                    bool italic, bool shared) {
    CSkinString usedName;
    HFONT font = CreateSkinFont(fontName, size, bold, underline, italic, &usedName);
    if (font == nullptr)
        return;
    TFontInfo& target = shared ? m_SharedResInfo.m_DefaultFontInfo : m_ResInfo.m_DefaultFontInfo;
    FreeFont(target);
    target.hFont = font;
    target.sFontName = usedName;
    target.iSize = size;
    target.bBold = bold;
    target.bUnderline = underline;
    target.bItalic = italic;
    target.tm = TEXTMETRICW();
    MeasureFont(&target);
}

void CSkinResources::RemoveAllFonts(bool shared) {
    FreeFontTable(shared ? m_SharedResInfo.m_CustomFonts : m_ResInfo.m_CustomFonts);
}

bool CSkinResources::RemakeFont(TFontInfo* info, CStdPtrArray* retired) {
    HFONT font = CreateSkinFont(info->sFontName, info->iSize, info->bBold, info->bUnderline,
                                info->bItalic, nullptr);
    if (font == nullptr)
        return false;
    if (info->hFont != nullptr && !retired->Add(info->hFont))
        FreeFont(*info);
    info->hFont = font;
    info->tm = TEXTMETRICW();
    MeasureFont(info);
    return true;
}

void CSkinResources::RescaleFonts(CStdPtrArray* retired) {
    CStdStringPtrMap& own = m_ResInfo.m_CustomFonts;
    for (int i = 0; const wchar_t* key = own.GetAt(i); ++i) {
        if (auto* info = static_cast<TFontInfo*>(own.Find(key, false)))
            RemakeFont(info, retired);
    }
    // Shared fonts serve every window at the size of the window that made
    // them; this window gets copies of its own at its scale, which its
    // lookups find first.
    CStdStringPtrMap& shared = m_SharedResInfo.m_CustomFonts;
    for (int i = 0; const wchar_t* key = shared.GetAt(i); ++i) {
        const auto* source = static_cast<TFontInfo*>(shared.Find(key, false));
        if (source == nullptr || own.Find(key, false) != nullptr)
            continue;
        TFontInfo* copy = new (std::nothrow) TFontInfo;
        if (copy == nullptr)
            continue;
        *copy = *source;
        copy->hFont = nullptr;
        if (!RemakeFont(copy, retired) || !own.Insert(key, copy)) {
            FreeFont(*copy);
            delete copy;
        }
    }
    TFontInfo& ownDefault = m_ResInfo.m_DefaultFontInfo;
    if (ownDefault.sFontName.IsEmpty() && !m_SharedResInfo.m_DefaultFontInfo.sFontName.IsEmpty()) {
        ownDefault = m_SharedResInfo.m_DefaultFontInfo;
        ownDefault.hFont = nullptr;
    }
    if (!ownDefault.sFontName.IsEmpty())
        RemakeFont(&ownDefault, retired);
}

// =============================================================================
// Default colours
// =============================================================================

namespace {

// A manager's own colour follows a shared change only while it still equals
// the old shared value, so colours a window set itself are kept.
void SetColor(DWORD TResInfo::*member, TResInfo& own, TResInfo& sharedInfo, DWORD color,
              bool shared) {
    if (shared) {
        if (own.*member == sharedInfo.*member)
            own.*member = color;
        sharedInfo.*member = color;
    } else {
        own.*member = color;
    }
}

} // namespace

DWORD CSkinResources::GetDefaultDisabledColor() const {
    return m_ResInfo.m_dwDefaultDisabledColor;
}

void CSkinResources::SetDefaultDisabledColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultDisabledColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CSkinResources::GetDefaultFontColor() const {
    return m_ResInfo.m_dwDefaultFontColor;
}

void CSkinResources::SetDefaultFontColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultFontColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CSkinResources::GetDefaultLinkFontColor() const {
    return m_ResInfo.m_dwDefaultLinkFontColor;
}

void CSkinResources::SetDefaultLinkFontColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultLinkFontColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CSkinResources::GetDefaultLinkHoverFontColor() const {
    return m_ResInfo.m_dwDefaultLinkHoverFontColor;
}

void CSkinResources::SetDefaultLinkHoverFontColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultLinkHoverFontColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CSkinResources::GetDefaultSelectedBkColor() const {
    return m_ResInfo.m_dwDefaultSelectedBkColor;
}

void CSkinResources::SetDefaultSelectedBkColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultSelectedBkColor, m_ResInfo, m_SharedResInfo, color, shared);
}

// =============================================================================
// Default attribute lists and styles
// =============================================================================

void CSkinResources::AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* attrList,
                                             bool shared) {
    ReplaceText(TargetResInfo(shared).m_AttrHash, controlName, attrList);
}

const wchar_t* CSkinResources::GetDefaultAttributeList(const wchar_t* controlName) const {
    return FindText(m_ResInfo.m_AttrHash, m_SharedResInfo.m_AttrHash, controlName);
}

bool CSkinResources::RemoveDefaultAttributeList(const wchar_t* controlName, bool shared) {
    return RemoveText(shared ? m_SharedResInfo.m_AttrHash : m_ResInfo.m_AttrHash, controlName);
}

void CSkinResources::RemoveAllDefaultAttributeList(bool shared) {
    FreeTextTable(shared ? m_SharedResInfo.m_AttrHash : m_ResInfo.m_AttrHash);
}

void CSkinResources::AddStyle(const wchar_t* name, const wchar_t* style, bool shared) {
    ReplaceText(TargetResInfo(shared).m_StyleHash, name, style);
}

const wchar_t* CSkinResources::GetStyle(const wchar_t* name) const {
    return FindText(m_ResInfo.m_StyleHash, m_SharedResInfo.m_StyleHash, name);
}

bool CSkinResources::RemoveStyle(const wchar_t* name, bool shared) {
    return RemoveText(shared ? m_SharedResInfo.m_StyleHash : m_ResInfo.m_StyleHash, name);
}

void CSkinResources::RemoveAllStyle(bool shared) {
    FreeTextTable(shared ? m_SharedResInfo.m_StyleHash : m_ResInfo.m_StyleHash);
}

} // namespace SkinUI

// The paint manager's registries of fonts, default colours, default attribute
// lists and styles: one set per window and one shared by all windows.
#include "skinui/window/PaintManagerUI.h"

#include <cstdio>
#include <new>

namespace SkinUI {

namespace {

// Font ids are keyed by their decimal text.
struct FontKey {
    explicit FontKey(int id) { swprintf(text, sizeof(text) / sizeof(text[0]), L"%d", id); }
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

// Values are freed before the table is cleared. The walk looks items up
// without move-to-front, which would reorder the enumeration under it.
void CPaintManagerUI::FreeFontTable(CStdStringPtrMap& table) {
    for (int i = 0; i < table.GetSize(); ++i) {
        TFontInfo* info = static_cast<TFontInfo*>(table.Find(table.GetAt(i), false));
        if (info != nullptr) {
            DeleteObject(info->hFont);
            delete info;
        }
    }
    table.RemoveAll();
}

void CPaintManagerUI::FreeTextTable(CStdStringPtrMap& table) {
    for (int i = 0; i < table.GetSize(); ++i)
        delete static_cast<CSkinString*>(table.Find(table.GetAt(i), false));
    table.RemoveAll();
}

// =============================================================================
// Fonts
// =============================================================================

HFONT CPaintManagerUI::CreateSkinFont(const wchar_t* fontName, int size, bool bold, bool underline,
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

void CPaintManagerUI::MeasureFont(TFontInfo* info) {
    if (m_hDcPaint == nullptr || info == nullptr || info->hFont == nullptr)
        return;
    HGDIOBJ old = SelectObject(m_hDcPaint, info->hFont);
    GetTextMetricsW(m_hDcPaint, &info->tm);
    SelectObject(m_hDcPaint, old);
}

HFONT CPaintManagerUI::AddFont(int id, const wchar_t* fontName, int size, bool bold, bool underline,
                               bool italic, bool shared) {
    CSkinString usedName;
    HFONT font = CreateSkinFont(fontName, size, bold, underline, italic, &usedName);
    if (font == nullptr)
        return nullptr;
    TFontInfo* info = new (std::nothrow) TFontInfo;
    if (info == nullptr) {
        DeleteObject(font);
        return nullptr;
    }
    info->hFont = font;
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
        DeleteObject(old->hFont);
        delete old;
        table.Remove(key.text);
    }
    if (!table.Insert(key.text, info)) {
        DeleteObject(font);
        delete info;
        return nullptr;
    }
    return font;
}

HFONT CPaintManagerUI::GetFont(int id) {
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

TFontInfo* CPaintManagerUI::GetFontInfo(int id) {
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

TFontInfo* CPaintManagerUI::GetDefaultFontInfo() {
    TFontInfo* info = !m_ResInfo.m_DefaultFontInfo.sFontName.IsEmpty()
                          ? &m_ResInfo.m_DefaultFontInfo
                          : &m_SharedResInfo.m_DefaultFontInfo;
    if (info->tm.tmHeight == 0)
        MeasureFont(info);
    return info;
}

void CPaintManagerUI::SetDefaultFont(const wchar_t* fontName, int size, bool bold, bool underline,
                                     bool italic, bool shared) {
    CSkinString usedName;
    HFONT font = CreateSkinFont(fontName, size, bold, underline, italic, &usedName);
    if (font == nullptr)
        return;
    TFontInfo& target = shared ? m_SharedResInfo.m_DefaultFontInfo : m_ResInfo.m_DefaultFontInfo;
    if (target.hFont != nullptr)
        DeleteObject(target.hFont);
    target.hFont = font;
    target.sFontName = usedName;
    target.iSize = size;
    target.bBold = bold;
    target.bUnderline = underline;
    target.bItalic = italic;
    target.tm = TEXTMETRICW();
    MeasureFont(&target);
}

void CPaintManagerUI::RemoveAllFonts(bool shared) {
    FreeFontTable(shared ? m_SharedResInfo.m_CustomFonts : m_ResInfo.m_CustomFonts);
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

DWORD CPaintManagerUI::GetDefaultDisabledColor() const {
    return m_ResInfo.m_dwDefaultDisabledColor;
}

void CPaintManagerUI::SetDefaultDisabledColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultDisabledColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CPaintManagerUI::GetDefaultFontColor() const {
    return m_ResInfo.m_dwDefaultFontColor;
}

void CPaintManagerUI::SetDefaultFontColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultFontColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CPaintManagerUI::GetDefaultLinkFontColor() const {
    return m_ResInfo.m_dwDefaultLinkFontColor;
}

void CPaintManagerUI::SetDefaultLinkFontColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultLinkFontColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CPaintManagerUI::GetDefaultLinkHoverFontColor() const {
    return m_ResInfo.m_dwDefaultLinkHoverFontColor;
}

void CPaintManagerUI::SetDefaultLinkHoverFontColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultLinkHoverFontColor, m_ResInfo, m_SharedResInfo, color, shared);
}

DWORD CPaintManagerUI::GetDefaultSelectedBkColor() const {
    return m_ResInfo.m_dwDefaultSelectedBkColor;
}

void CPaintManagerUI::SetDefaultSelectedBkColor(DWORD color, bool shared) {
    SetColor(&TResInfo::m_dwDefaultSelectedBkColor, m_ResInfo, m_SharedResInfo, color, shared);
}

// =============================================================================
// Default attribute lists and styles
// =============================================================================

void CPaintManagerUI::AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* attrList,
                                              bool shared) {
    ReplaceText(TargetResInfo(shared).m_AttrHash, controlName, attrList);
}

const wchar_t* CPaintManagerUI::GetDefaultAttributeList(const wchar_t* controlName) const {
    return FindText(m_ResInfo.m_AttrHash, m_SharedResInfo.m_AttrHash, controlName);
}

bool CPaintManagerUI::RemoveDefaultAttributeList(const wchar_t* controlName, bool shared) {
    return RemoveText(shared ? m_SharedResInfo.m_AttrHash : m_ResInfo.m_AttrHash, controlName);
}

void CPaintManagerUI::RemoveAllDefaultAttributeList(bool shared) {
    FreeTextTable(shared ? m_SharedResInfo.m_AttrHash : m_ResInfo.m_AttrHash);
}

void CPaintManagerUI::AddStyle(const wchar_t* name, const wchar_t* style, bool shared) {
    ReplaceText(TargetResInfo(shared).m_StyleHash, name, style);
}

const wchar_t* CPaintManagerUI::GetStyle(const wchar_t* name) const {
    return FindText(m_ResInfo.m_StyleHash, m_SharedResInfo.m_StyleHash, name);
}

bool CPaintManagerUI::RemoveStyle(const wchar_t* name, bool shared) {
    return RemoveText(shared ? m_SharedResInfo.m_StyleHash : m_ResInfo.m_StyleHash, name);
}

void CPaintManagerUI::RemoveAllStyle(bool shared) {
    FreeTextTable(shared ? m_SharedResInfo.m_StyleHash : m_ResInfo.m_StyleHash);
}

} // namespace SkinUI

// The control base's side of the skin language: attribute values, the base
// attribute table, attribute lists, custom attributes and cursor names.
#include "skinui/control/ControlUI.h"

#include "skinui/control/AttributeTable.h"
#include "skinui/render/SkinColor.h"
#include "skinui/control/ControlHost.h"
#include "skinui/core/TextFormat.h"
#include "skinui/render/SkinResources.h"

#include <cstdlib>
#include <cwchar>
#include <cwctype>

namespace SkinUI {

// =============================================================================
// Attribute values
// =============================================================================

namespace AttributeValue {

bool ToBool(const wchar_t* value) {
    return value != nullptr && _wcsicmp(value, L"true") == 0;
}

int ToInt(const wchar_t* value) {
    return value != nullptr ? static_cast<int>(wcstol(value, nullptr, 10)) : 0;
}

const wchar_t* ToInts(const wchar_t* value, int* out, int count) {
    for (int i = 0; i < count; ++i)
        out[i] = 0;
    if (value == nullptr)
        return nullptr;
    const wchar_t* p = value;
    for (int i = 0; i < count; ++i) {
        wchar_t* end = nullptr;
        out[i] = static_cast<int>(wcstol(p, &end, 10));
        p = end;
        if (*p == L'\0')
            break;
        ++p; // exactly one separator, whatever it is
    }
    return p;
}

RECT ToRect(const wchar_t* value) {
    int v[4];
    ToInts(value, v, 4);
    return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ToSize(const wchar_t* value) {
    int v[2];
    ToInts(value, v, 2);
    return SIZE{v[0], v[1]};
}

DWORD ToColor(const wchar_t* value, bool skipSpace) {
    if (value == nullptr)
        return 0;
    if (skipSpace) {
        while (*value != L'\0' && iswspace(*value))
            ++value;
    }
    return ParseColor(value);
}

} // namespace AttributeValue

// =============================================================================
// Attribute lists
// =============================================================================

namespace {

using namespace AttributeValue;

// name="value" pairs separated by one space or one comma; the first pair that
// does not follow this shape ends the list quietly.
void ApplyPairs(CControlUI& control, const wchar_t* text) {
    CSkinString list = text;
    list.Replace(L"&quot;", L"\"");
    const wchar_t* p = list.GetData();
    while (*p != L'\0') {
        const wchar_t* nameStart = p;
        while (*p != L'\0' && *p != L'=')
            ++p;
        if (*p != L'=')
            return;
        const CSkinString name(nameStart, static_cast<int>(p - nameStart));
        ++p;
        if (*p != L'"')
            return;
        ++p;
        const wchar_t* valueStart = p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        if (*p != L'"')
            return;
        const CSkinString value(valueStart, static_cast<int>(p - valueStart));
        ++p;
        control.SetAttribute(name, value);
        if (*p != L' ' && *p != L',')
            return;
        ++p;
    }
}

// =============================================================================
// The base attribute table
// =============================================================================

struct TAttribute {
    const wchar_t* name;
    void (*apply)(CControlUI& control, const wchar_t* value);
};

void ApplyPos(CControlUI& c, const wchar_t* value) {
    const RECT rc = ToRect(value);
    c.SetFixedXY(SIZE{rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom});
    // A negative width or height is ignored by the setters, so "504,10,0,0"
    // after width and height keeps them.
    c.SetFixedWidth(rc.right - rc.left);
    c.SetFixedHeight(rc.bottom - rc.top);
}

void ApplyFloat(CControlUI& c, const wchar_t* value) {
    if (wcschr(value, L',') == nullptr) {
        c.SetFloat(ToBool(value));
        return;
    }
    double v[4] = {0, 0, 0, 0};
    const wchar_t* p = value;
    for (int i = 0; i < 4; ++i) {
        const wchar_t* end = nullptr;
        v[i] = ParseDecimal(p, &end);
        p = end;
        if (*p == L'\0')
            break;
        ++p;
    }
    TPercentInfo percent;
    percent.left = v[0];
    percent.top = v[1];
    percent.right = v[2];
    percent.bottom = v[3];
    c.SetFloatPercent(percent);
    c.SetFloat(true);
}

void ApplyFocusShape(CControlUI& c, const wchar_t* value) {
    int v[5];
    ToInts(value, v, 5);
    c.SetFocusShape(RECT{v[0], v[1], v[2], v[3]}, v[4]);
}

void ApplyBorderSize(CControlUI& c, const wchar_t* value) {
    if (wcschr(value, L',') == nullptr)
        c.SetBorderSize(ToInt(value));
    else
        c.SetBorderSize(ToRect(value));
}

void ApplyCursor(CControlUI& c, const wchar_t* value) {
    const WORD cursor = CControlUI::CursorFromName(value);
    if (cursor != 0)
        c.SetCursor(cursor);
}

const TAttribute kControlAttributes[] = {
    {L"pos", ApplyPos},
    {L"float", ApplyFloat},
    {L"padding", [](CControlUI& c, const wchar_t* v) { c.SetPadding(ToRect(v)); }},
    {L"bkcolor", [](CControlUI& c, const wchar_t* v) { c.SetBkColor(ToColor(v, true)); }},
    {L"bkcolor1", [](CControlUI& c, const wchar_t* v) { c.SetBkColor(ToColor(v, true)); }},
    {L"bkcolor2", [](CControlUI& c, const wchar_t* v) { c.SetBkColor2(ToColor(v, true)); }},
    {L"bkcolor3", [](CControlUI& c, const wchar_t* v) { c.SetBkColor3(ToColor(v, true)); }},
    {L"forecolor", [](CControlUI& c, const wchar_t* v) { c.SetForeColor(ToColor(v, true)); }},
    {L"bordercolor", [](CControlUI& c, const wchar_t* v) { c.SetBorderColor(ToColor(v)); }},
    {L"focusbordercolor",
     [](CControlUI& c, const wchar_t* v) { c.SetFocusBorderColor(ToColor(v)); }},
    {L"colorhsl", [](CControlUI& c, const wchar_t* v) { c.SetColorHSL(ToBool(v)); }},
    {L"bordersize", ApplyBorderSize},
    {L"leftbordersize", [](CControlUI& c, const wchar_t* v) { c.SetLeftBorderSize(ToInt(v)); }},
    {L"topbordersize", [](CControlUI& c, const wchar_t* v) { c.SetTopBorderSize(ToInt(v)); }},
    {L"rightbordersize", [](CControlUI& c, const wchar_t* v) { c.SetRightBorderSize(ToInt(v)); }},
    {L"bottombordersize", [](CControlUI& c, const wchar_t* v) { c.SetBottomBorderSize(ToInt(v)); }},
    {L"borderstyle", [](CControlUI& c, const wchar_t* v) { c.SetBorderStyle(ToInt(v)); }},
    {L"borderround", [](CControlUI& c, const wchar_t* v) { c.SetBorderRound(ToSize(v)); }},
    {L"focusshape", ApplyFocusShape},
    {L"bkimage", [](CControlUI& c, const wchar_t* v) { c.SetBkImage(v); }},
    {L"foreimage", [](CControlUI& c, const wchar_t* v) { c.SetForeImage(v); }},
    {L"width", [](CControlUI& c, const wchar_t* v) { c.SetFixedWidth(ToInt(v)); }},
    {L"height", [](CControlUI& c, const wchar_t* v) { c.SetFixedHeight(ToInt(v)); }},
    {L"minwidth", [](CControlUI& c, const wchar_t* v) { c.SetMinWidth(ToInt(v)); }},
    {L"minheight", [](CControlUI& c, const wchar_t* v) { c.SetMinHeight(ToInt(v)); }},
    {L"maxwidth", [](CControlUI& c, const wchar_t* v) { c.SetMaxWidth(ToInt(v)); }},
    {L"maxheight", [](CControlUI& c, const wchar_t* v) { c.SetMaxHeight(ToInt(v)); }},
    {L"name", [](CControlUI& c, const wchar_t* v) { c.SetName(v); }},
    {L"drag", [](CControlUI& c, const wchar_t* v) { c.SetDragEnable(ToBool(v)); }},
    {L"drop", [](CControlUI& c, const wchar_t* v) { c.SetDropEnable(ToBool(v)); }},
    {L"resourcetext", [](CControlUI& c, const wchar_t* v) { c.SetResourceText(ToBool(v)); }},
    {L"text", [](CControlUI& c, const wchar_t* v) { c.SetText(v); }},
    {L"tooltip", [](CControlUI& c, const wchar_t* v) { c.SetToolTip(v); }},
    {L"accname", [](CControlUI& c, const wchar_t* v) { c.SetAccessibleName(v); }},
    {L"userdata", [](CControlUI& c, const wchar_t* v) { c.SetUserData(v); }},
    {L"enabled", [](CControlUI& c, const wchar_t* v) { c.SetEnabled(ToBool(v)); }},
    {L"mouse", [](CControlUI& c, const wchar_t* v) { c.SetMouseEnabled(ToBool(v)); }},
    {L"keyboard", [](CControlUI& c, const wchar_t* v) { c.SetKeyboardEnabled(ToBool(v)); }},
    {L"visible", [](CControlUI& c, const wchar_t* v) { c.SetVisible(ToBool(v)); }},
    {L"shortcut", [](CControlUI& c, const wchar_t* v) { c.SetShortcut(v[0]); }},
    {L"menu", [](CControlUI& c, const wchar_t* v) { c.SetContextMenuUsed(ToBool(v)); }},
    {L"cursor", ApplyCursor},
    {L"virtualwnd", [](CControlUI& c, const wchar_t* v) { c.SetVirtualWnd(v); }},
    {L"innerstyle", [](CControlUI& c, const wchar_t* v) { ApplyPairs(c, v); }},
};

struct TCursorName {
    const wchar_t* name;
    WORD id;
};

// The platform's standard cursor identifiers (IDC_*).
const TCursorName kCursors[] = {
    {L"arrow", 32512},    {L"ibeam", 32513},  {L"wait", 32514},   {L"cross", 32515},
    {L"uparrow", 32516},  {L"size", 32640},   {L"icon", 32641},   {L"sizenwse", 32642},
    {L"sizenesw", 32643}, {L"sizewe", 32644}, {L"sizens", 32645}, {L"sizeall", 32646},
    {L"no", 32648},       {L"hand", 32649},
};

// A style that names itself (directly or through others) would recurse
// forever; real skins nest styles at most a level or two.
const int kMaxStyleDepth = 8;
int g_styleDepth = 0;

} // namespace

WORD CControlUI::CursorFromName(const wchar_t* name) {
    if (name == nullptr)
        return 0;
    for (const TCursorName& cursor : kCursors) {
        if (_wcsicmp(name, cursor.name) == 0)
            return cursor.id;
    }
    return 0;
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (name == nullptr)
        return;
    if (value == nullptr)
        value = L"";
    if (m_pManager != nullptr && *value != L'\0') {
        const wchar_t* style = Resources()->GetStyle(value);
        if (style != nullptr) {
            ApplyAttributeList(style);
            return;
        }
    }
    // A name the table does not know is kept as a custom attribute.
    if (!ApplyTableAttribute(kControlAttributes, *this, name, value))
        AddCustomAttribute(name, value);
}

void CControlUI::ApplyAttributeList(const wchar_t* list) {
    if (list == nullptr || g_styleDepth >= kMaxStyleDepth)
        return;
    ++g_styleDepth;
    const wchar_t* style = m_pManager != nullptr ? Resources()->GetStyle(list) : nullptr;
    if (style != nullptr)
        ApplyAttributeList(style);
    else
        ApplyPairs(*this, list);
    --g_styleDepth;
}

// =============================================================================
// Custom attributes
// =============================================================================

void CControlUI::AddCustomAttribute(const wchar_t* name, const wchar_t* value) {
    if (name == nullptr || *name == L'\0' || value == nullptr || *value == L'\0')
        return;
    if (m_mCustomAttrHash.Find(name) != nullptr)
        return;
    CSkinString* stored = new CSkinString(value);
    if (!m_mCustomAttrHash.Insert(name, stored))
        delete stored;
}

const wchar_t* CControlUI::GetCustomAttribute(const wchar_t* name) const {
    if (name == nullptr)
        return nullptr;
    const CSkinString* value = static_cast<const CSkinString*>(m_mCustomAttrHash.Find(name));
    return value != nullptr ? value->GetData() : nullptr;
}

bool CControlUI::RemoveCustomAttribute(const wchar_t* name) {
    if (name == nullptr)
        return false;
    CSkinString* value = static_cast<CSkinString*>(m_mCustomAttrHash.Find(name));
    if (value == nullptr)
        return false;
    delete value;
    return m_mCustomAttrHash.Remove(name);
}

void CControlUI::RemoveAllCustomAttribute() {
    for (int i = 0; i < m_mCustomAttrHash.GetSize(); ++i) {
        const wchar_t* key = m_mCustomAttrHash.GetAt(i);
        if (key != nullptr)
            delete static_cast<CSkinString*>(m_mCustomAttrHash.Find(key, false));
    }
    m_mCustomAttrHash.Resize(83);
}

} // namespace SkinUI

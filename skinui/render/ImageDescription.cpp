#include "skinui/render/ImageDescription.h"

#include <cwchar>
#include <cwctype>

namespace SkinUI {

namespace {

// Characters 1 to 32 separate items; the terminator is never skipped.
const wchar_t* SkipBlanks(const wchar_t* p) {
    while (*p != L'\0' && *p <= L' ')
        ++p;
    return p;
}

bool IsTrue(const wchar_t* value) {
    return _wcsicmp(value, L"true") == 0;
}

// Four decimal numbers, each read after skipping exactly one character behind
// the previous one (a comma in practice). A short list leaves the remaining
// numbers 0 instead of reading past the end of the text.
void ReadRect(const wchar_t* p, RECT& rc) {
    LONG* fields[4] = {&rc.left, &rc.top, &rc.right, &rc.bottom};
    for (LONG* field : fields) {
        wchar_t* end = nullptr;
        *field = wcstol(p, &end, 10);
        p = end;
        if (*p != L'\0')
            ++p;
    }
}

void ApplyItem(TDrawInfo& info, const CSkinString& key, const CSkinString& value) {
    if (key == L"file" || key == L"res") {
        info.sImageName = value;
    } else if (key == L"restype") {
        info.sResType = value;
    } else if (key == L"dest") {
        ReadRect(value, info.rcDest);
    } else if (key == L"source") {
        ReadRect(value, info.rcSource);
    } else if (key == L"corner") {
        ReadRect(value, info.rcCorner);
    } else if (key == L"mask") {
        info.dwMask = ParseColor(value);
    } else if (key == L"fade") {
        info.uFade = static_cast<BYTE>(wcstol(value, nullptr, 10) & 0xFF);
    } else if (key == L"hole") {
        info.bHole = IsTrue(value);
    } else if (key == L"xtiled") {
        info.bTiledX = IsTrue(value);
    } else if (key == L"ytiled") {
        info.bTiledY = IsTrue(value);
    } else if (key == L"hsl") {
        info.bHSL = IsTrue(value);
    }
}

} // namespace

void ApplyImageItems(TDrawInfo& info, const wchar_t* text) {
    if (text == nullptr)
        return;
    const wchar_t* p = text;
    while (*p != L'\0') {
        p = SkipBlanks(p);
        const wchar_t* keyStart = p;
        while (*p != L'\0' && *p != L'=' && *p > L' ')
            ++p;
        CSkinString key(keyStart, static_cast<int>(p - keyStart));

        p = SkipBlanks(p);
        if (*p != L'=')
            return;
        p = SkipBlanks(p + 1);
        if (*p != L'\'')
            return;
        const wchar_t* valueStart = ++p;
        while (*p != L'\0' && *p != L'\'')
            ++p;
        if (*p != L'\'')
            return;
        CSkinString value(valueStart, static_cast<int>(p - valueStart));
        ++p;

        if (!value.IsEmpty())
            ApplyItem(info, key, value);

        // Items are separated by a space; anything else ends the text.
        if (*p != L' ')
            return;
        ++p;
        if (*p == L'\0')
            return;
    }
}

void ParseDrawInfo(TDrawInfo& info, const wchar_t* description, const wchar_t* modifier) {
    info.sDrawString = description;
    info.sDrawModify = modifier;
    info.sImageName = description;
    ApplyImageItems(info, description);
    ApplyImageItems(info, modifier);
}

} // namespace SkinUI

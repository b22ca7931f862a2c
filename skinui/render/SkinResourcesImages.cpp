// The image side of the resources: the tables of decoded images (per
// window and shared) and the per-window cache of parsed image descriptions.
#include "skinui/render/SkinResources.h"

#include "skinui/render/ImageDescription.h"
#include "skinui/render/ImageLoader.h"
#include "skinui/render/RenderEngine.h"

#include <cstdlib>
#include <cstring>

namespace SkinUI {

namespace {

TImageInfo* FindImage(const CStdStringPtrMap& table, const wchar_t* name) {
    return static_cast<TImageInfo*>(table.Find(name));
}

// A resource id written in decimal; 0 when the text does not start with a
// digit or the number is not a valid 16-bit resource id.
UINT ResourceId(const wchar_t* text) {
    if (text[0] < L'0' || text[0] > L'9')
        return 0;
    const unsigned long id = wcstoul(text, nullptr, 10);
    return id <= 0xFFFF ? static_cast<UINT>(id) : 0;
}

// Keeps a copy of the loaded pixels, the starting point of every later
// colour adjustment of the image.
void SaveSourcePixels(TImageInfo* image) {
    DIBSECTION dib = {};
    if (GetObjectW(image->hBitmap, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits)
        return;
    const size_t bytes = static_cast<size_t>(image->nX) * image->nY * 4;
    image->pSrcBits = static_cast<LPBYTE>(malloc(bytes));
    if (image->pSrcBits) {
        GdiFlush();
        memcpy(image->pSrcBits, dib.dsBm.bmBits, bytes);
    }
}

// The scales skins carry artwork for, smallest first. 100 is the plain name.
constexpr int kArtworkScales[] = {100, 125, 150, 175, 200};

// Splits "bk@150.png" into the scale 150 and the places of the '@' and the
// '.' after the number; false for a name without such a suffix.
bool ParseScaledName(const CSkinString& name, int* scale, int* at, int* dot) {
    const wchar_t* text = name.GetData();
    const int length = name.GetLength();
    for (int i = length - 1; i > 0; --i) {
        if (text[i] != L'@')
            continue;
        int value = 0;
        int j = i + 1;
        for (; j < length && text[j] >= L'0' && text[j] <= L'9' && j - i <= 4; ++j)
            value = value * 10 + (text[j] - L'0');
        if (j == i + 1 || j >= length || text[j] != L'.' || value <= 0)
            return false;
        *scale = value;
        *at = i;
        *dot = j;
        return true;
    }
    return false;
}

// The name of the same image at another scale: "bk@150.png" at 200 is
// "bk@200.png", at 100 "bk.png".
CSkinString ScaledName(const CSkinString& name, int at, int dot, int scale) {
    CSkinString result = name.Left(at);
    if (scale != 100) {
        CSkinString suffix;
        suffix.SmallFormat(L"@%d", scale);
        result += suffix;
    }
    result += name.Mid(dot);
    return result;
}

// Artwork for a scale that the skin does not carry: the nearest larger scale
// made smaller, else the nearest smaller one made larger, resampled once here
// so that painting never stretches it.
TImageInfo* LoadNearestScale(const wchar_t* bitmap, DWORD mask, HINSTANCE instance) {
    const CSkinString name(bitmap);
    int scale = 0, at = 0, dot = 0;
    if (!ParseScaledName(name, &scale, &at, &dot))
        return nullptr;
    int order[sizeof(kArtworkScales) / sizeof(kArtworkScales[0])] = {};
    int count = 0;
    for (int candidate : kArtworkScales) {
        if (candidate > scale)
            order[count++] = candidate;
    }
    for (int i = static_cast<int>(sizeof(kArtworkScales) / sizeof(kArtworkScales[0])) - 1; i >= 0;
         --i) {
        if (kArtworkScales[i] < scale)
            order[count++] = kArtworkScales[i];
    }
    for (int i = 0; i < count; ++i) {
        const CSkinString other = ScaledName(name, at, dot, order[i]);
        TImageInfo* found = CRenderEngine::LoadImage(other, nullptr, mask, instance);
        if (found == nullptr)
            continue;
        const int cx = MulDiv(found->nX, scale, order[i]);
        const int cy = MulDiv(found->nY, scale, order[i]);
        TImageInfo* resized = CreateResampledImage(*found, cx > 0 ? cx : 1, cy > 0 ? cy : 1);
        CRenderEngine::FreeImage(found);
        return resized;
    }
    return nullptr;
}

// True for a name without a scale suffix and for one whose scale is among
// those skins carry artwork for.
bool IsCarriedScaleOrPlain(const wchar_t* bitmap) {
    int scale = 0, at = 0, dot = 0;
    if (!ParseScaledName(CSkinString(bitmap), &scale, &at, &dot))
        return true;
    for (int carried : kArtworkScales) {
        if (carried == scale)
            return true;
    }
    return false;
}

} // namespace

TImageInfo* CSkinResources::AddImage(const wchar_t* bitmap, const wchar_t* type, DWORD mask,
                                     bool useHSL, bool shared, HINSTANCE instance) {
    if (bitmap == nullptr || *bitmap == L'\0')
        return nullptr;
    const bool hasType = type != nullptr && *type != L'\0';
    TImageInfo* image = nullptr;
    if (hasType) {
        const UINT id = ResourceId(bitmap);
        if (id == 0)
            return nullptr;
        image = CRenderEngine::LoadImage(id, type, mask, instance);
    } else {
        // A scale the skin has no artwork for (250 %) is never looked up by
        // its own name: the nearest scale the skin carries is drawn instead.
        if (IsCarriedScaleOrPlain(bitmap))
            image = CRenderEngine::LoadImage(bitmap, nullptr, mask, instance);
        if (image == nullptr)
            image = LoadNearestScale(bitmap, mask, instance);
    }
    if (image == nullptr)
        return nullptr;

    image->bUseHSL = useHSL;
    if (hasType)
        image->sResType = type;
    image->dwMask = mask;
    if (useHSL) {
        SaveSourcePixels(image);
        CRenderEngine::AdjustImage(m_bUseHSL, image, m_H, m_S, m_L);
    }

    CStdStringPtrMap& table = TargetResInfo(shared).m_ImageHash;
    if (TImageInfo* old = FindImage(table, bitmap)) {
        CRenderEngine::FreeImage(old);
        table.Remove(bitmap);
    }
    if (!table.Insert(bitmap, image)) {
        CRenderEngine::FreeImage(image);
        return nullptr;
    }
    return image;
}

TImageInfo* CSkinResources::GetImage(const wchar_t* bitmap) {
    if (bitmap == nullptr)
        return nullptr;
    if (TImageInfo* image = FindImage(m_ResInfo.m_ImageHash, bitmap))
        return image;
    return FindImage(m_SharedResInfo.m_ImageHash, bitmap);
}

TImageInfo* CSkinResources::GetImageEx(const wchar_t* bitmap, const wchar_t* type, DWORD mask,
                                       bool useHSL, HINSTANCE instance) {
    if (TImageInfo* image = GetImage(bitmap))
        return image;
    // A failed load registers nothing, so the next paint tries again.
    return AddImage(bitmap, type, mask, useHSL, false, instance);
}

bool CSkinResources::RemoveImage(const wchar_t* bitmap, bool shared) {
    if (bitmap == nullptr)
        return false;
    CStdStringPtrMap& table = TargetResInfo(shared).m_ImageHash;
    TImageInfo* image = FindImage(table, bitmap);
    if (image == nullptr)
        return false;
    CRenderEngine::FreeImage(image);
    return table.Remove(bitmap);
}

void CSkinResources::RemoveAllImages(bool shared) {
    CStdStringPtrMap& table = TargetResInfo(shared).m_ImageHash;
    // Lookups without move-to-front, so that the walk by index sees every
    // item exactly once.
    for (int i = 0; const wchar_t* key = table.GetAt(i); ++i)
        CRenderEngine::FreeImage(static_cast<TImageInfo*>(table.Find(key, false)));
    table.RemoveAll();
}

TImageInfo* CSkinResources::GetImageString(const wchar_t* image, const wchar_t* modify) {
    TDrawInfo info;
    info.Clear();
    ParseDrawInfo(info, image, modify);
    const wchar_t* type = info.sResType.IsEmpty() ? nullptr : info.sResType.GetData();
    return GetImageEx(info.sImageName, type, info.dwMask, false, nullptr);
}

TDrawInfo* CSkinResources::GetDrawInfo(const wchar_t* image, const wchar_t* modify) {
    CSkinString key(image);
    key += modify;
    if (auto* cached = static_cast<TDrawInfo*>(m_ResInfo.m_DrawInfoHash.Find(key)))
        return cached;
    if (key.IsEmpty())
        return nullptr;

    TDrawInfo* info = new TDrawInfo;
    info->Clear();
    // The description is written for 96 dpi and scaled; a modifier is made
    // at paint time from the control's laid-out rectangle (the progress bar's
    // filled part), already in the window's pixels, so it is applied after
    // the scaling.
    ParseDrawInfo(*info, image, nullptr);
    m_DPI.Scale(&info->rcDest);
    m_DPI.Scale(&info->rcSource);
    m_DPI.Scale(&info->rcCorner);
    info->sDrawModify = modify;
    ApplyImageItems(*info, modify);
    // Scaled skins carry their own artwork: "bk.png" becomes "bk@150.png".
    if (m_DPI.GetScale() != 100) {
        CSkinString scaled;
        scaled.SmallFormat(L"@%d.", m_DPI.GetScale());
        info->sImageName.Replace(L".", scaled);
    }
    if (!m_ResInfo.m_DrawInfoHash.Insert(key, info)) {
        delete info;
        return nullptr;
    }
    return info;
}

void CSkinResources::RemoveAllDrawInfos() {
    CStdStringPtrMap& table = m_ResInfo.m_DrawInfoHash;
    for (int i = 0; const wchar_t* key = table.GetAt(i); ++i)
        delete static_cast<TDrawInfo*>(table.Find(key, false));
    table.RemoveAll();
}

} // namespace SkinUI

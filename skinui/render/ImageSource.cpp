// Where image bytes come from: a module resource or the skin source (an
// entry of the skin archive, or without an archive a file under the resource
// path), nothing else.
#include "skinui/render/RenderEngine.h"

#include "skinui/core/SkinFile.h"
#include "skinui/render/SkinResources.h"
#include "skinui/render/ResourceManager.h"

namespace SkinUI {

namespace {

// Image files larger than this are not read at all.
constexpr DWORD kMaxImageFileSize = 64 * 1024 * 1024;

TImageInfo* LoadFromResource(const wchar_t* name, const wchar_t* type, DWORD mask,
                             HINSTANCE instance) {
    HINSTANCE module = instance ? instance : CSkinSource::GetResourceDll();
    HRSRC resource = FindResourceW(module, name, type);
    if (resource == nullptr)
        return nullptr;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0)
        return nullptr;
    // Resource memory is read-only and stays mapped with the module, so the
    // decoder reads it in place instead of from a copy.
    return CRenderEngine::LoadImageFromMemory(static_cast<const BYTE*>(data), size, mask);
}

} // namespace

TImageInfo* CRenderEngine::LoadImage(const wchar_t* bitmap, const wchar_t* type, DWORD mask,
                                     HINSTANCE instance) {
    if (bitmap == nullptr || (!IS_INTRESOURCE(bitmap) && *bitmap == L'\0'))
        return nullptr;
    const bool hasType = type != nullptr && (IS_INTRESOURCE(type) || *type != L'\0');
    if (hasType) {
        if (TImageInfo* image = LoadFromResource(bitmap, type, mask, instance))
            return image;
    } else {
        if (IS_INTRESOURCE(bitmap))
            return nullptr;
        if (const wchar_t* mapped = CResourceManager::GetInstance()->GetImagePath(bitmap)) {
            if (*mapped != L'\0')
                bitmap = mapped;
        }
        CSkinFileBuffer bytes;
        if (ReadSkinFile(bitmap, kMaxImageFileSize, &bytes) == SkinFileError::None)
            return LoadImageFromMemory(bytes.GetData(), bytes.GetSize(), mask);
    }
    // What the skin source and the module do not have is not drawn. The name
    // is never tried as a path of its own: relative, it would name a file in
    // the current folder (the Downloads folder the installer was started
    // from, which is the user's), and an elevated program would draw, and
    // decode into memory, whatever the user put there under an artwork name.
    return nullptr;
}

TImageInfo* CRenderEngine::LoadImage(UINT id, const wchar_t* type, DWORD mask, HINSTANCE instance) {
    if (id == 0 || id > 0xFFFF)
        return nullptr;
    return LoadImage(MAKEINTRESOURCEW(id), type, mask, instance);
}

} // namespace SkinUI

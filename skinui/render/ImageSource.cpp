// Where image bytes come from: a module resource, the skin source (archive
// entry or file under the resource path), or a file path of its own.
#include "skinui/render/RenderEngine.h"

#include "skinui/core/SkinFile.h"
#include "skinui/core/Handles.h"
#include "skinui/render/SkinResources.h"
#include "skinui/render/ResourceManager.h"

namespace SkinUI {

namespace {

// Image files larger than this are not read at all.
constexpr DWORD kMaxImageFileSize = 64 * 1024 * 1024;

// The whole file at a path of its own; false for a missing, empty, too large
// or short-read file.
bool ReadWholeFile(const wchar_t* path, CSkinFileBuffer* out) {
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    bool ok = false;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
        size.QuadPart <= kMaxImageFileSize && out->Allocate(static_cast<DWORD>(size.QuadPart))) {
        DWORD read = 0;
        ok = ReadFile(file.Get(), out->GetData(), out->GetSize(), &read, nullptr) &&
             read == out->GetSize();
        if (!ok)
            out->Reset();
    }
    return ok;
}

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
    // Neither the skin source nor the module had it: the name may be a path.
    if (IS_INTRESOURCE(bitmap))
        return nullptr;
    CSkinFileBuffer bytes;
    if (!ReadWholeFile(bitmap, &bytes))
        return nullptr;
    return LoadImageFromMemory(bytes.GetData(), bytes.GetSize(), mask);
}

TImageInfo* CRenderEngine::LoadImage(UINT id, const wchar_t* type, DWORD mask, HINSTANCE instance) {
    if (id == 0 || id > 0xFFFF)
        return nullptr;
    return LoadImage(MAKEINTRESOURCEW(id), type, mask, instance);
}

} // namespace SkinUI

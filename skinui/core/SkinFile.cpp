#include "skinui/core/SkinFile.h"

#include "skinui/core/Handles.h"
#include "skinui/core/ResourceZip.h"
#include "skinui/core/SkinSource.h"

#include <cstdlib>
#include <memory>

namespace SkinUI {

namespace {

SkinFileError ReadPlainFile(const wchar_t* name, DWORD maxSize, CSkinFileBuffer* out) {
    const CSkinString path = CSkinSource::GetResourcePath() + name;
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return SkinFileError::OpenFile;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
        return SkinFileError::ReadFile;
    if (size.QuadPart == 0)
        return SkinFileError::Empty;
    if ((maxSize != 0 && size.QuadPart > maxSize) || size.QuadPart > 0x7FFFFFFF)
        return SkinFileError::TooLarge;
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    if (!out->Allocate(bytes))
        return SkinFileError::ReadFile;
    DWORD done = 0;
    while (done < bytes) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), out->GetData() + done, bytes - done, &read, nullptr) ||
            read == 0) {
            out->Reset();
            return SkinFileError::ReadFile;
        }
        done += read;
    }
    return SkinFileError::None;
}

SkinFileError ReadArchiveEntry(const wchar_t* name, DWORD maxSize, CSkinFileBuffer* out) {
    const CSkinString& zipName = CSkinSource::GetResourceZip();
    CResourceZip* zip = nullptr;
    // The archive opened for this read alone when the process keeps none open.
    std::unique_ptr<CResourceZip> opened;
    // A memory archive has no file to reopen, so its handle serves every read.
    if (zipName == L"membuffer" || CSkinSource::IsCachedResourceZip()) {
        zip = CSkinSource::GetResourceZipHandle();
    } else {
        opened.reset(CResourceZip::OpenFromFile(CSkinSource::GetResourcePath() + zipName));
        zip = opened.get();
    }
    if (zip == nullptr)
        return SkinFileError::OpenZip;
    TZipEntry entry;
    if (!zip->FindEntry(name, &entry))
        return SkinFileError::EntryNotFound;
    if (entry.uncompressedSize == 0)
        return SkinFileError::Empty;
    if ((maxSize != 0 && entry.uncompressedSize > maxSize) || entry.uncompressedSize > 0x7FFFFFFF)
        return SkinFileError::TooLarge;
    const DWORD bytes = static_cast<DWORD>(entry.uncompressedSize);
    if (!out->Allocate(bytes))
        return SkinFileError::Unzip;
    const DWORD result = zip->Unzip(entry.index, out->GetData(), bytes);
    if (result != kZipOk && result != kZipMore) {
        out->Reset();
        return SkinFileError::Unzip;
    }
    return SkinFileError::None;
}

} // namespace

bool CSkinFileBuffer::Allocate(DWORD size) {
    Reset();
    m_data = static_cast<BYTE*>(malloc(size != 0 ? size : 1));
    if (m_data == nullptr)
        return false;
    m_size = size;
    return true;
}

void CSkinFileBuffer::Reset() {
    free(m_data);
    m_data = nullptr;
    m_size = 0;
}

SkinFileError ReadSkinFile(const wchar_t* name, DWORD maxSize, CSkinFileBuffer* out) {
    out->Reset();
    if (name == nullptr)
        name = L"";
    if (CSkinSource::GetResourceZip().IsEmpty())
        return ReadPlainFile(name, maxSize, out);
    return ReadArchiveEntry(name, maxSize, out);
}

} // namespace SkinUI

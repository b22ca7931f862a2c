#include "skinui/core/SkinSource.h"

#include "skinui/core/ResourceZip.h"

#include <cwchar>

namespace SkinUI {

namespace {
const wchar_t kMemoryZipName[] = L"membuffer";
}

HINSTANCE CSkinSource::m_hInstance = nullptr;
HINSTANCE CSkinSource::m_hResourceInstance = nullptr;
CSkinString CSkinSource::m_pStrResourcePath;
CSkinString CSkinSource::m_pStrResourceZip;
bool CSkinSource::m_bCachedResourceZip = true;
CResourceZip* CSkinSource::m_hResourceZip = nullptr;
int CSkinSource::m_nResType = 1;

HINSTANCE CSkinSource::GetInstance() {
    return m_hInstance;
}

void CSkinSource::SetInstance(HINSTANCE instance) {
    m_hInstance = instance;
}

CSkinString CSkinSource::GetInstancePath() {
    if (m_hInstance == nullptr)
        return CSkinString();
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD len = GetModuleFileNameW(m_hInstance, path, MAX_PATH);
    // A cut path (len == MAX_PATH) may lack its terminator on older systems.
    if (len == 0 || len >= MAX_PATH)
        return CSkinString();
    path[len] = 0;
    wchar_t* lastSlash = wcsrchr(path, L'\\');
    if (lastSlash == nullptr)
        return CSkinString();
    lastSlash[1] = 0;
    return CSkinString(path);
}

HINSTANCE CSkinSource::GetResourceDll() {
    return m_hResourceInstance != nullptr ? m_hResourceInstance : m_hInstance;
}

void CSkinSource::SetResourceDll(HINSTANCE instance) {
    m_hResourceInstance = instance;
}

const CSkinString& CSkinSource::GetResourcePath() {
    return m_pStrResourcePath;
}

void CSkinSource::SetResourcePath(const wchar_t* path) {
    m_pStrResourcePath = path;
    if (m_pStrResourcePath.IsEmpty())
        return;
    const wchar_t last = m_pStrResourcePath[m_pStrResourcePath.GetLength() - 1];
    if (last != L'\\' && last != L'/')
        m_pStrResourcePath += L'\\';
}

int CSkinSource::GetResourceType() {
    return m_nResType;
}

void CSkinSource::SetResourceType(int type) {
    m_nResType = type;
}

void CSkinSource::SetResourceZip(const void* data, unsigned int size) {
    if (m_pStrResourceZip == kMemoryZipName)
        return;
    delete m_hResourceZip;
    m_hResourceZip = nullptr;
    m_pStrResourceZip = kMemoryZipName;
    m_hResourceZip = CResourceZip::OpenFromMemory(data, size);
}

void CSkinSource::SetResourceZip(const wchar_t* name, bool cached) {
    if (m_pStrResourceZip == name && m_bCachedResourceZip == cached)
        return;
    delete m_hResourceZip;
    m_hResourceZip = nullptr;
    m_pStrResourceZip = name;
    m_bCachedResourceZip = cached;
    if (cached && !m_pStrResourceZip.IsEmpty())
        m_hResourceZip = CResourceZip::OpenFromFile(m_pStrResourcePath + m_pStrResourceZip);
}

const CSkinString& CSkinSource::GetResourceZip() {
    return m_pStrResourceZip;
}

CResourceZip* CSkinSource::GetResourceZipHandle() {
    return m_hResourceZip;
}

bool CSkinSource::IsCachedResourceZip() {
    return m_bCachedResourceZip;
}

void CSkinSource::Term() {
    delete m_hResourceZip;
    m_hResourceZip = nullptr;
    if (m_pStrResourceZip == kMemoryZipName)
        m_pStrResourceZip.Empty();
}

} // namespace SkinUI

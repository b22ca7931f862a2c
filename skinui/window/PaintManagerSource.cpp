// The process-wide resource source of the paint manager: the module, the
// resource path and the skin archive.
#include "skinui/window/PaintManagerUI.h"

#include "skinui/render/ResourceZip.h"

namespace SkinUI {

namespace {
const wchar_t kMemoryZipName[] = L"membuffer";
}

HINSTANCE CPaintManagerUI::m_hInstance = nullptr;
HINSTANCE CPaintManagerUI::m_hResourceInstance = nullptr;
CSkinString CPaintManagerUI::m_pStrResourcePath;
CSkinString CPaintManagerUI::m_pStrResourceZip;
bool CPaintManagerUI::m_bCachedResourceZip = true;
CResourceZip* CPaintManagerUI::m_hResourceZip = nullptr;
int CPaintManagerUI::m_nResType = 1;
bool CPaintManagerUI::m_bUseHSL = false;
short CPaintManagerUI::m_H = 180;
short CPaintManagerUI::m_S = 100;
short CPaintManagerUI::m_L = 100;
TResInfo CPaintManagerUI::m_SharedResInfo;

HINSTANCE CPaintManagerUI::GetInstance() {
    return m_hInstance;
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) {
    m_hInstance = instance;
}

CSkinString CPaintManagerUI::GetInstancePath() {
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

HINSTANCE CPaintManagerUI::GetResourceDll() {
    return m_hResourceInstance != nullptr ? m_hResourceInstance : m_hInstance;
}

void CPaintManagerUI::SetResourceDll(HINSTANCE instance) {
    m_hResourceInstance = instance;
}

const CSkinString& CPaintManagerUI::GetResourcePath() {
    return m_pStrResourcePath;
}

void CPaintManagerUI::SetResourcePath(const wchar_t* path) {
    m_pStrResourcePath = path;
    if (m_pStrResourcePath.IsEmpty())
        return;
    const wchar_t last = m_pStrResourcePath[m_pStrResourcePath.GetLength() - 1];
    if (last != L'\\' && last != L'/')
        m_pStrResourcePath += L'\\';
}

int CPaintManagerUI::GetResourceType() {
    return m_nResType;
}

void CPaintManagerUI::SetResourceType(int type) {
    m_nResType = type;
}

void CPaintManagerUI::SetResourceZip(const void* data, unsigned int size) {
    if (m_pStrResourceZip == kMemoryZipName)
        return;
    delete m_hResourceZip;
    m_hResourceZip = nullptr;
    m_pStrResourceZip = kMemoryZipName;
    m_hResourceZip = CResourceZip::OpenFromMemory(data, size);
}

void CPaintManagerUI::SetResourceZip(const wchar_t* name, bool cached) {
    if (m_pStrResourceZip == name && m_bCachedResourceZip == cached)
        return;
    delete m_hResourceZip;
    m_hResourceZip = nullptr;
    m_pStrResourceZip = name;
    m_bCachedResourceZip = cached;
    if (cached && !m_pStrResourceZip.IsEmpty())
        m_hResourceZip = CResourceZip::OpenFromFile(m_pStrResourcePath + m_pStrResourceZip);
}

const CSkinString& CPaintManagerUI::GetResourceZip() {
    return m_pStrResourceZip;
}

CResourceZip* CPaintManagerUI::GetResourceZipHandle() {
    return m_hResourceZip;
}

bool CPaintManagerUI::IsCachedResourceZip() {
    return m_bCachedResourceZip;
}

void CPaintManagerUI::Term() {
    delete m_hResourceZip;
    m_hResourceZip = nullptr;
    if (m_pStrResourceZip == kMemoryZipName)
        m_pStrResourceZip.Empty();
}

bool CPaintManagerUI::IsUseHSL() {
    return m_bUseHSL;
}

void CPaintManagerUI::SetHSL(bool use, short H, short S, short L) {
    m_bUseHSL = use;
    m_H = H;
    m_S = S;
    m_L = L;
}

void CPaintManagerUI::GetHSL(short* H, short* S, short* L) {
    if (H != nullptr)
        *H = m_H;
    if (S != nullptr)
        *S = m_S;
    if (L != nullptr)
        *L = m_L;
}

} // namespace SkinUI

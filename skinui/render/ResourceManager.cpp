#include "skinui/render/ResourceManager.h"

#include "skinui/core/SkinString.h"

namespace SkinUI {

CResourceManager* CResourceManager::GetInstance() {
    // Lives for the process; UI thread only.
    static CResourceManager instance;
    return &instance;
}

CResourceManager::~CResourceManager() {
    ResetPaths();
}

const wchar_t* CResourceManager::GetImagePath(const wchar_t* name) const {
    const CSkinString* path = static_cast<const CSkinString*>(m_imagePaths.Find(name));
    return path != nullptr ? path->GetData() : nullptr;
}

const wchar_t* CResourceManager::GetXmlPath(const wchar_t* name) const {
    const CSkinString* path = static_cast<const CSkinString*>(m_xmlPaths.Find(name));
    return path != nullptr ? path->GetData() : nullptr;
}

void CResourceManager::SetImagePath(const wchar_t* name, const wchar_t* path) {
    SetPath(m_imagePaths, name, path);
}

void CResourceManager::SetXmlPath(const wchar_t* name, const wchar_t* path) {
    SetPath(m_xmlPaths, name, path);
}

void CResourceManager::ResetPaths() {
    Clear(m_imagePaths);
    Clear(m_xmlPaths);
}

void CResourceManager::SetPath(CStdStringPtrMap& table, const wchar_t* name, const wchar_t* path) {
    if (name == nullptr || name[0] == 0)
        return;
    delete static_cast<CSkinString*>(table.Find(name, false));
    table.Remove(name);
    if (path == nullptr)
        return;
    CSkinString* copy = new CSkinString(path);
    if (!table.Insert(name, copy))
        delete copy;
}

void CResourceManager::Clear(CStdStringPtrMap& table) {
    for (int i = 0; i < table.GetSize(); ++i)
        delete static_cast<CSkinString*>(table.Find(table.GetAt(i), false));
    table.RemoveAll();
}

} // namespace SkinUI

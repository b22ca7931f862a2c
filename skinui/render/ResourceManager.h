// Process-wide name tables that redirect a skin document or image name to
// another path before it is read. The installer never fills them, so every
// name is read as written.
#pragma once

#include "skinui/core/StdContainers.h"

namespace SkinUI {

class CResourceManager {
public:
    static CResourceManager* GetInstance();

    // The mapped path, or null when the name is not mapped.
    const wchar_t* GetImagePath(const wchar_t* name) const;
    const wchar_t* GetXmlPath(const wchar_t* name) const;

    // Replaces an earlier mapping of the same name.
    void SetImagePath(const wchar_t* name, const wchar_t* path);
    void SetXmlPath(const wchar_t* name, const wchar_t* path);
    void ResetPaths();

private:
    CResourceManager() = default;
    ~CResourceManager();
    CResourceManager(const CResourceManager&) = delete;
    CResourceManager& operator=(const CResourceManager&) = delete;

    static void SetPath(CStdStringPtrMap& table, const wchar_t* name, const wchar_t* path);
    static void Clear(CStdStringPtrMap& table);

    CStdStringPtrMap m_imagePaths; // name -> CSkinString*
    CStdStringPtrMap m_xmlPaths;   // name -> CSkinString*
};

} // namespace SkinUI

// Where skin files come from, for the whole process: the module, the
// resource path and the skin archive. Configured once at start-up, before the
// first window; UI thread only. The paint manager exposes these under its own
// name, so that callers configure "the skin" in one place.
#pragma once

#include <windows.h>

#include "skinui/core/SkinString.h"

namespace SkinUI {

class CResourceZip;

class CSkinSource {
public:
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE instance);
    // The directory of the instance's module file, with its last backslash;
    // empty while there is no instance.
    static CSkinString GetInstancePath();
    // The module that holds resources; the instance while none was set.
    static HINSTANCE GetResourceDll();
    static void SetResourceDll(HINSTANCE instance);

    // Prefix of every skin file name; a non-empty path always ends with '\' or '/'.
    static const CSkinString& GetResourcePath();
    static void SetResourcePath(const wchar_t* path);
    // Stored and returned only; no lookup depends on it.
    static int GetResourceType();
    static void SetResourceType(int type);

    // An archive held in memory, read in place: the block must outlive the
    // archive. Only the first call has an effect. The archive is opened at once
    // and kept open whatever the cached flag says, since a block of memory has
    // no file to reopen.
    static void SetResourceZip(const void* data, unsigned int size);
    // An archive file under the resource path. With `cached` it is opened now and
    // kept open; without, it is opened for every file read.
    static void SetResourceZip(const wchar_t* name, bool cached = false);
    // The archive name ("membuffer" for a memory archive); empty: plain files.
    static const CSkinString& GetResourceZip();
    static CResourceZip* GetResourceZipHandle();
    static bool IsCachedResourceZip();
    // Closes the kept archive. A memory archive is forgotten with it, since its
    // block is no longer referenced; a later SetResourceZip starts afresh.
    static void Term();

private:
    static HINSTANCE m_hInstance;
    static HINSTANCE m_hResourceInstance;
    static CSkinString m_pStrResourcePath;
    static CSkinString m_pStrResourceZip;
    static bool m_bCachedResourceZip;
    static CResourceZip* m_hResourceZip;
    static int m_nResType;
};

} // namespace SkinUI

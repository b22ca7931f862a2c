#include "skinui/core/StdContainers.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace SkinUI {

// ---------------------------------------------------------------------------
// CStdPtrArray

CStdPtrArray::CStdPtrArray(int preallocSize) : m_ppVoid(nullptr), m_nCount(0), m_nAllocated(0) {
    if (preallocSize > 0) {
        m_ppVoid = static_cast<void**>(malloc(preallocSize * sizeof(void*)));
        if (m_ppVoid != nullptr)
            m_nAllocated = preallocSize;
    }
}

CStdPtrArray::CStdPtrArray(const CStdPtrArray& src)
    : m_ppVoid(nullptr), m_nCount(0), m_nAllocated(0) {
    for (int i = 0; i < src.GetSize(); ++i)
        Add(src.m_ppVoid[i]);
}

CStdPtrArray& CStdPtrArray::operator=(const CStdPtrArray& src) {
    if (this != &src) {
        Empty();
        for (int i = 0; i < src.GetSize(); ++i)
            Add(src.m_ppVoid[i]);
    }
    return *this;
}

CStdPtrArray::~CStdPtrArray() {
    free(m_ppVoid);
}

void CStdPtrArray::Empty() {
    free(m_ppVoid);
    m_ppVoid = nullptr;
    m_nCount = m_nAllocated = 0;
}

void CStdPtrArray::Resize(int size) {
    Empty();
    if (size <= 0)
        return;
    m_ppVoid = static_cast<void**>(calloc(size, sizeof(void*)));
    if (m_ppVoid == nullptr)
        return;
    m_nCount = m_nAllocated = size;
}

int CStdPtrArray::Find(const void* p) const {
    for (int i = 0; i < m_nCount; ++i) {
        if (m_ppVoid[i] == p)
            return i;
    }
    return -1;
}

void* CStdPtrArray::GetAt(int index) const {
    if (index < 0 || index >= m_nCount)
        return nullptr;
    return m_ppVoid[index];
}

// Counts one more element, growing the block when the count reaches the
// allocation; on failure the array is left exactly as it was.
bool CStdPtrArray::Grow() {
    if (m_nCount == INT_MAX)
        return false;
    ++m_nCount;
    if (m_nCount >= m_nAllocated) {
        const int wanted = m_nAllocated == 0 ? 11 : m_nAllocated * 2;
        if (m_nAllocated > INT_MAX / 2 || static_cast<size_t>(wanted) > SIZE_MAX / sizeof(void*)) {
            --m_nCount;
            return false;
        }
        void** block = static_cast<void**>(realloc(m_ppVoid, wanted * sizeof(void*)));
        if (block == nullptr) {
            --m_nCount;
            return false;
        }
        m_ppVoid = block;
        m_nAllocated = wanted;
    }
    return true;
}

bool CStdPtrArray::Add(void* p) {
    if (!Grow())
        return false;
    m_ppVoid[m_nCount - 1] = p;
    return true;
}

bool CStdPtrArray::SetAt(int index, void* p) {
    if (index < 0 || index >= m_nCount)
        return false;
    m_ppVoid[index] = p;
    return true;
}

bool CStdPtrArray::InsertAt(int index, void* p) {
    if (index == m_nCount)
        return Add(p);
    if (index < 0 || index > m_nCount)
        return false;
    if (!Grow())
        return false;
    memmove(&m_ppVoid[index + 1], &m_ppVoid[index], (m_nCount - index - 1) * sizeof(void*));
    m_ppVoid[index] = p;
    return true;
}

bool CStdPtrArray::Remove(int index) {
    if (index < 0 || index >= m_nCount)
        return false;
    if (index < m_nCount - 1)
        memmove(&m_ppVoid[index], &m_ppVoid[index + 1], (m_nCount - index - 1) * sizeof(void*));
    --m_nCount;
    return true;
}

// ---------------------------------------------------------------------------
// CStdValArray

CStdValArray::CStdValArray(int elementSize, int preallocSize)
    : m_pVoid(nullptr), m_iElementSize(elementSize), m_nCount(0), m_nAllocated(0) {
    if (elementSize <= 0)
        m_iElementSize = 1;
    if (preallocSize > 0 && static_cast<size_t>(preallocSize) <= SIZE_MAX / m_iElementSize) {
        m_pVoid = static_cast<unsigned char*>(malloc(preallocSize * m_iElementSize));
        if (m_pVoid != nullptr)
            m_nAllocated = preallocSize;
    }
}

CStdValArray::~CStdValArray() {
    free(m_pVoid);
}

void* CStdValArray::GetAt(int index) const {
    if (index < 0 || index >= m_nCount)
        return nullptr;
    return m_pVoid + index * m_iElementSize;
}

bool CStdValArray::Add(const void* value) {
    if (m_nCount == INT_MAX)
        return false;
    ++m_nCount;
    if (m_nCount >= m_nAllocated) {
        const int wanted = m_nAllocated == 0 ? 11 : m_nAllocated * 2;
        if (m_nAllocated > INT_MAX / 2 ||
            static_cast<size_t>(wanted) > SIZE_MAX / static_cast<size_t>(m_iElementSize)) {
            --m_nCount;
            return false;
        }
        unsigned char* block = static_cast<unsigned char*>(
            realloc(m_pVoid, static_cast<size_t>(wanted) * m_iElementSize));
        if (block == nullptr) {
            --m_nCount;
            return false;
        }
        m_pVoid = block;
        m_nAllocated = wanted;
    }
    memcpy(m_pVoid + (m_nCount - 1) * m_iElementSize, value, m_iElementSize);
    return true;
}

bool CStdValArray::Remove(int index) {
    if (index < 0 || index >= m_nCount)
        return false;
    if (index < m_nCount - 1) {
        memmove(m_pVoid + index * m_iElementSize, m_pVoid + (index + 1) * m_iElementSize,
                static_cast<size_t>(m_nCount - index - 1) * m_iElementSize);
    }
    --m_nCount;
    return true;
}

// ---------------------------------------------------------------------------
// CStdStringPtrMap

CStdStringPtrMap::CStdStringPtrMap(int buckets) : m_aT(nullptr), m_nBuckets(0), m_nCount(0) {
    Resize(buckets < 16 ? 16 : buckets);
}

CStdStringPtrMap::~CStdStringPtrMap() {
    FreeAll();
}

// The hash runs from the last character to the first.
unsigned int CStdStringPtrMap::Hash(const wchar_t* key) {
    if (key == nullptr)
        return 0;
    unsigned int h = 0;
    for (size_t i = wcslen(key); i > 0; --i)
        h = h * 33u + static_cast<unsigned short>(key[i - 1]);
    return h;
}

void CStdStringPtrMap::FreeAll() {
    if (m_aT != nullptr) {
        for (int i = 0; i < m_nBuckets; ++i) {
            TITEM* item = m_aT[i];
            while (item != nullptr) {
                TITEM* next = item->pNext;
                delete item;
                item = next;
            }
        }
        delete[] m_aT;
        m_aT = nullptr;
    }
    m_nBuckets = 0;
    m_nCount = 0;
}

void CStdStringPtrMap::Resize(int buckets) {
    FreeAll();
    if (buckets <= 0)
        return;
    m_aT = new (std::nothrow) TITEM*[buckets];
    if (m_aT == nullptr)
        return;
    for (int i = 0; i < buckets; ++i)
        m_aT[i] = nullptr;
    m_nBuckets = buckets;
}

void CStdStringPtrMap::RemoveAll() {
    Resize(m_nBuckets);
}

CStdStringPtrMap::TITEM* CStdStringPtrMap::FindItem(const wchar_t* key,
                                                    unsigned int* bucket) const {
    if (key == nullptr)
        key = L"";
    *bucket = Hash(key) % static_cast<unsigned int>(m_nBuckets);
    for (TITEM* item = m_aT[*bucket]; item != nullptr; item = item->pNext) {
        if (item->Key == key)
            return item;
    }
    return nullptr;
}

void* CStdStringPtrMap::Find(const wchar_t* key, bool optimize) const {
    if (m_nBuckets == 0 || m_nCount == 0)
        return nullptr;
    unsigned int bucket = 0;
    TITEM* item = FindItem(key, &bucket);
    if (item == nullptr)
        return nullptr;
    if (optimize && item != m_aT[bucket]) {
        // Unlink (an item other than the head always has a predecessor) and
        // relink as the head.
        item->pPrev->pNext = item->pNext;
        if (item->pNext != nullptr)
            item->pNext->pPrev = item->pPrev;
        item->pPrev = nullptr;
        item->pNext = m_aT[bucket];
        m_aT[bucket]->pPrev = item;
        m_aT[bucket] = item;
    }
    return item->Data;
}

bool CStdStringPtrMap::Insert(const wchar_t* key, void* data) {
    if (m_nBuckets == 0)
        return false;
    unsigned int bucket = 0;
    if (FindItem(key, &bucket) != nullptr) {
        // Keys stay unique even when the present item holds null data.
        Find(key, true);
        return false;
    }
    TITEM* item = new (std::nothrow) TITEM;
    if (item == nullptr)
        return false;
    item->Key = key;
    item->Data = data;
    item->pPrev = nullptr;
    item->pNext = m_aT[bucket];
    if (item->pNext != nullptr)
        item->pNext->pPrev = item;
    m_aT[bucket] = item;
    ++m_nCount;
    return true;
}

void* CStdStringPtrMap::Set(const wchar_t* key, void* data) {
    if (m_nBuckets == 0)
        return data;
    if (m_nCount > 0) {
        unsigned int bucket = 0;
        TITEM* item = FindItem(key, &bucket);
        if (item != nullptr) {
            void* old = item->Data;
            item->Data = data;
            return old;
        }
    }
    Insert(key, data);
    return nullptr;
}

bool CStdStringPtrMap::Remove(const wchar_t* key) {
    if (m_nBuckets == 0 || m_nCount == 0)
        return false;
    unsigned int bucket = 0;
    TITEM* item = FindItem(key, &bucket);
    if (item == nullptr)
        return false;
    if (item->pPrev != nullptr)
        item->pPrev->pNext = item->pNext;
    else
        m_aT[bucket] = item->pNext;
    if (item->pNext != nullptr)
        item->pNext->pPrev = item->pPrev;
    delete item;
    --m_nCount;
    return true;
}

const wchar_t* CStdStringPtrMap::GetAt(int index) const {
    if (m_nBuckets == 0 || m_nCount == 0 || index < 0)
        return nullptr;
    int pos = 0;
    for (int b = m_nBuckets - 1; b >= 0; --b) {
        for (TITEM* item = m_aT[b]; item != nullptr; item = item->pNext) {
            if (pos == index)
                return item->Key.GetData();
            ++pos;
        }
    }
    return nullptr;
}

} // namespace SkinUI

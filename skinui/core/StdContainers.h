// The UI library's containers: a growable array of untyped pointers, a growable
// array of fixed-size values, and a string-keyed hash map of untyped pointers.
// None of them owns what its pointers point at.
#pragma once

#include "skinui/core/SkinString.h"

namespace SkinUI {

// Growth: the count goes up first; when it reaches the allocation, the
// allocation doubles (11 slots the first time), so a grown array always keeps
// a spare slot.
class CStdPtrArray {
public:
    explicit CStdPtrArray(int preallocSize = 0);
    CStdPtrArray(const CStdPtrArray& src);
    CStdPtrArray& operator=(const CStdPtrArray& src);
    ~CStdPtrArray();

    bool IsEmpty() const { return m_nCount == 0; }
    int GetSize() const { return m_nCount; }
    void** GetData() const { return m_ppVoid; }
    int Find(const void* p) const;
    // Null when `index` is out of range.
    void* GetAt(int index) const;
    // Unchecked: the caller guarantees 0 <= index < GetSize().
    void* operator[](int index) const { return m_ppVoid[index]; }

    void Empty();
    void Resize(int size);
    bool Add(void* p);
    bool SetAt(int index, void* p);
    bool InsertAt(int index, void* p);
    bool Remove(int index);

private:
    bool Grow();

    void** m_ppVoid;
    int m_nCount;
    int m_nAllocated;
};

// A CStdPtrArray whose element type is part of its type, so that no caller
// has to cast what it reads. It is a CStdPtrArray, and can be handed to code
// that takes one.
template <typename T> class CStdPtrArrayOf : public CStdPtrArray {
public:
    explicit CStdPtrArrayOf(int preallocSize = 0) : CStdPtrArray(preallocSize) {}

    T** GetData() const { return reinterpret_cast<T**>(CStdPtrArray::GetData()); }
    int Find(const T* p) const { return CStdPtrArray::Find(p); }
    // Null when `index` is out of range.
    T* GetAt(int index) const { return static_cast<T*>(CStdPtrArray::GetAt(index)); }
    // Unchecked: the caller guarantees 0 <= index < GetSize().
    T* operator[](int index) const { return static_cast<T*>(CStdPtrArray::operator[](index)); }

    bool Add(T* p) { return CStdPtrArray::Add(p); }
    bool SetAt(int index, T* p) { return CStdPtrArray::SetAt(index, p); }
    bool InsertAt(int index, T* p) { return CStdPtrArray::InsertAt(index, p); }
};

// Values are copied in byte by byte; `Empty` keeps the block for reuse.
class CStdValArray {
public:
    explicit CStdValArray(int elementSize, int preallocSize = 0);
    CStdValArray(const CStdValArray&) = delete;
    CStdValArray& operator=(const CStdValArray&) = delete;
    ~CStdValArray();

    bool IsEmpty() const { return m_nCount == 0; }
    int GetSize() const { return m_nCount; }
    void* GetData() const { return m_pVoid; }
    // Null when `index` is out of range.
    void* GetAt(int index) const;
    // Unchecked: the caller guarantees 0 <= index < GetSize().
    void* operator[](int index) const { return m_pVoid + index * m_iElementSize; }

    void Empty() { m_nCount = 0; }
    bool Add(const void* value);
    bool Remove(int index);

private:
    unsigned char* m_pVoid;
    int m_iElementSize;
    int m_nCount;
    int m_nAllocated;
};

// Separate chaining over a fixed bucket count; keys compare case-sensitively.
// Lookups move a hit to the head of its chain so that names asked for again and
// again (controls found by name on every notification) are found first.
class CStdStringPtrMap {
public:
    explicit CStdStringPtrMap(int buckets = 83);
    CStdStringPtrMap(const CStdStringPtrMap&) = delete;
    CStdStringPtrMap& operator=(const CStdStringPtrMap&) = delete;
    ~CStdStringPtrMap();

    int GetSize() const { return m_nCount; }
    int GetBucketCount() const { return m_nBuckets; }
    // The key of the index-th item, visiting buckets from the last to the first
    // and each chain from its head; null when out of range. Only for visiting
    // every item: the order depends on hashes and on lookups.
    const wchar_t* GetAt(int index) const;
    const wchar_t* operator[](int index) const { return GetAt(index); }
    static unsigned int Hash(const wchar_t* key);

    void* Find(const wchar_t* key, bool optimize = true) const;
    // False when the key is present already (its data stays) or there are no buckets.
    bool Insert(const wchar_t* key, void* data);
    // Replaces and returns the old data of a present key; inserts and returns
    // null otherwise; with no buckets stores nothing and returns `data`.
    void* Set(const wchar_t* key, void* data);
    bool Remove(const wchar_t* key);
    // Drops every item and makes `buckets` empty buckets (none for 0 or less).
    void Resize(int buckets = 83);
    void RemoveAll();

private:
    struct TITEM {
        CSkinString Key;
        void* Data;
        TITEM* pPrev;
        TITEM* pNext;
    };

    TITEM* FindItem(const wchar_t* key, unsigned int* bucket) const;
    void FreeAll();

    TITEM** m_aT;
    int m_nBuckets;
    int m_nCount;
};

} // namespace SkinUI

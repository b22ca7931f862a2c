// The one family of RAII holders for every Windows handle this repository owns:
// kernel handles, registry keys, modules, system-allocated memory, COM
// pointers, GDI objects, memory DCs with their selections, and 32-bit
// top-down DIB sections. It sits in the lowest layer so the library, the
// installer, the uninstaller, the client, the tools and the tests all use the
// same types. Handles kept for the life of the process (the install mutex, the
// paint manager's shared fonts) are the documented exception.
#pragma once

#include <windows.h>

namespace SkinUI {

// A holder of one handle value with a close function. Traits give the empty
// value, what counts as valid, and how to close.
template <typename Traits> class CUniqueHolder {
public:
    using Value = typename Traits::Value;

    CUniqueHolder() = default;
    explicit CUniqueHolder(Value v) : m_v(v) {}
    ~CUniqueHolder() { Reset(); }
    CUniqueHolder(const CUniqueHolder&) = delete;
    CUniqueHolder& operator=(const CUniqueHolder&) = delete;
    CUniqueHolder(CUniqueHolder&& o) noexcept : m_v(o.Release()) {}
    CUniqueHolder& operator=(CUniqueHolder&& o) noexcept {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }

    Value Get() const { return m_v; }
    bool Valid() const { return Traits::Valid(m_v); }
    explicit operator bool() const { return Valid(); }

    // For out parameters (RegOpenKeyEx, CreatePipe ...): frees what is held first.
    Value* Put() {
        Reset();
        return &m_v;
    }
    Value Release() {
        Value v = m_v;
        m_v = Traits::Empty();
        return v;
    }
    void Reset(Value v = Traits::Empty()) {
        if (Traits::Valid(m_v))
            Traits::Close(m_v);
        m_v = v;
    }

private:
    Value m_v = Traits::Empty();
};

// Both null and INVALID_HANDLE_VALUE count as "no handle", since Win32 uses
// either for failure depending on the function.
struct TKernelHandleTraits {
    using Value = HANDLE;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Close(Value v) { CloseHandle(v); }
};
struct TRegKeyTraits {
    using Value = HKEY;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr; }
    static void Close(Value v) { RegCloseKey(v); }
};
struct TModuleTraits {
    using Value = HMODULE;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr; }
    static void Close(Value v) { FreeLibrary(v); }
};
struct TFindTraits {
    using Value = HANDLE;
    static Value Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Value v) { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Close(Value v) { FindClose(v); }
};
template <typename T> struct TGdiObjectTraits {
    using Value = T;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr; }
    static void Close(Value v) { DeleteObject(v); }
};
struct TIconTraits {
    using Value = HICON;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr; }
    static void Close(Value v) { DestroyIcon(v); }
};
// A DC from GetDC must go back to the window it came from, so the holder
// keeps both (see CWindowDC below); a DC from CreateCompatibleDC is deleted.
struct TMemoryDCTraits {
    using Value = HDC;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr; }
    static void Close(Value v) { DeleteDC(v); }
};

// Memory the system allocated for the caller: with LocalAlloc (security
// descriptors, argument vectors, message texts) or with CoTaskMemAlloc
// (shell paths). T is the pointer type the function hands back.
template <typename T> struct TLocalMemTraits {
    using Value = T;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr; }
    static void Close(Value v) { LocalFree(reinterpret_cast<HLOCAL>(v)); }
};
template <typename T> struct TCoTaskMemTraits {
    using Value = T;
    static Value Empty() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr; }
    static void Close(Value v) { CoTaskMemFree(v); }
};

using UniqueHandle = CUniqueHolder<TKernelHandleTraits>;
using UniqueRegKey = CUniqueHolder<TRegKeyTraits>;
using UniqueModule = CUniqueHolder<TModuleTraits>;
using UniqueFind = CUniqueHolder<TFindTraits>;
template <typename T> using UniqueLocal = CUniqueHolder<TLocalMemTraits<T>>;
template <typename T> using UniqueCoTaskMem = CUniqueHolder<TCoTaskMemTraits<T>>;
// Owns an icon loaded with LoadImage (not LR_SHARED) or created.
using UniqueIcon = CUniqueHolder<TIconTraits>;
// Owns an object freed with DeleteObject (bitmap, brush, pen, font, region).
template <typename T> using CGdiObject = CUniqueHolder<TGdiObjectTraits<T>>;

// Owns a COM interface pointer and releases it.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** Put() {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Takes over a reference the caller holds (a new object's first one).
    void Attach(T* p) {
        Reset();
        m_p = p;
    }
    explicit operator bool() const { return m_p != nullptr; }
    void Reset() {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

// Owns a device context from CreateCompatibleDC.
class CMemoryDC : public CUniqueHolder<TMemoryDCTraits> {
public:
    CMemoryDC() = default;
    explicit CMemoryDC(HDC compatibleWith) : CUniqueHolder(CreateCompatibleDC(compatibleWith)) {}
};

// A DC borrowed from a window (or the screen for null) with GetDC, given back
// with ReleaseDC.
class CWindowDC {
public:
    CWindowDC() = default;
    explicit CWindowDC(HWND hWnd) { Acquire(hWnd); }
    ~CWindowDC() { Reset(); }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;

    // Gives back what is held, then borrows the DC of `hWnd`.
    HDC Acquire(HWND hWnd) {
        Reset();
        m_hWnd = hWnd;
        m_hdc = GetDC(hWnd);
        return m_hdc;
    }
    void Reset() {
        if (m_hdc)
            ReleaseDC(m_hWnd, m_hdc);
        m_hWnd = nullptr;
        m_hdc = nullptr;
    }
    HDC Get() const { return m_hdc; }
    explicit operator bool() const { return m_hdc != nullptr; }

private:
    HWND m_hWnd = nullptr;
    HDC m_hdc = nullptr;
};

// Selects an object into a device context and selects the previous one back,
// so that the object can be deleted afterwards (GDI refuses to delete an
// object that is still selected).
class CSelectObject {
public:
    CSelectObject(HDC hdc, HGDIOBJ object) : m_hdc(hdc), m_old(SelectObject(hdc, object)) {}
    ~CSelectObject() {
        if (m_old && m_old != HGDI_ERROR)
            SelectObject(m_hdc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

    // False when GDI refused the selection (no DC, no object).
    bool Selected() const { return m_old && m_old != HGDI_ERROR; }

private:
    HDC m_hdc;
    HGDIOBJ m_old;
};

// A 32-bit top-down DIB section: the one pixel layout the render engine, the
// off-screen paint buffer and the screenshots of tests and tools share. Pixels
// are premultiplied BGRA, row after row from the top, Width() * 4 bytes a row.
class CDibSection {
public:
    CDibSection() = default;
    // compatibleWith may be null (the screen's format is irrelevant for DIBs).
    CDibSection(HDC compatibleWith, int width, int height) {
        Create(compatibleWith, width, height);
    }

    bool Create(HDC compatibleWith, int width, int height) {
        m_bitmap.Reset();
        m_bits = nullptr;
        m_width = m_height = 0;
        if (width <= 0 || height <= 0)
            return false;
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height; // negative: rows from the top
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap.Reset(CreateDIBSection(compatibleWith, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!m_bitmap || !bits) {
            m_bitmap.Reset();
            return false;
        }
        m_bits = static_cast<DWORD*>(bits);
        m_width = width;
        m_height = height;
        return true;
    }

    HBITMAP Get() const { return m_bitmap.Get(); }
    HBITMAP Release() {
        m_bits = nullptr;
        m_width = m_height = 0;
        return m_bitmap.Release();
    }
    explicit operator bool() const { return static_cast<bool>(m_bitmap); }
    DWORD* Bits() const { return m_bits; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    DWORD Pixel(int x, int y) const { return m_bits[y * m_width + x]; }

private:
    CGdiObject<HBITMAP> m_bitmap;
    DWORD* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

} // namespace SkinUI

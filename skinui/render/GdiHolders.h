// Small owners of the GDI objects the render engine creates for the length of
// one call: a memory device context, a selection into a device context, and
// any object freed with DeleteObject.
#pragma once

#include <windows.h>

namespace SkinUI {

// Owns an object freed with DeleteObject (bitmap, brush, pen, font, region).
template <typename T> class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(T object) : m_object(object) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    T Get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    T Release() {
        T object = m_object;
        m_object = nullptr;
        return object;
    }
    void Reset(T object = nullptr) {
        if (m_object)
            DeleteObject(m_object);
        m_object = object;
    }

private:
    T m_object = nullptr;
};

// Owns a device context from CreateCompatibleDC.
class CMemoryDC {
public:
    explicit CMemoryDC(HDC compatibleWith) : m_hdc(CreateCompatibleDC(compatibleWith)) {}
    ~CMemoryDC() {
        if (m_hdc)
            DeleteDC(m_hdc);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    HDC Get() const { return m_hdc; }
    explicit operator bool() const { return m_hdc != nullptr; }

private:
    HDC m_hdc;
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

private:
    HDC m_hdc;
    HGDIOBJ m_old;
};

} // namespace SkinUI

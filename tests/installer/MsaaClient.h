// A small accessibility client for the end-to-end tests: the installer's
// window as a screen reader reads it, which is also how the tests read the
// texts the window draws.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleacc.h>

#include <string>
#include <vector>

namespace qmtest {

// One child of the window's accessible object as a client sees it.
struct TElement {
    long id = 0;
    std::wstring name;
    long role = 0;
    long state = 0;
    RECT screen = {};
};

// A small MSAA client: the window's client object, its children read through
// the simple-element ids the way screen readers enumerate them.
class MsaaClient {
public:
    explicit MsaaClient(HWND hwnd) {
        CoInitialize(nullptr);
        // From the DLL at run time: its import library and the uuid library
        // both define IID_IAccessible.
        HMODULE oleacc = LoadLibraryW(L"oleacc.dll");
        auto fromWindow =
            oleacc
                ? reinterpret_cast<decltype(&::AccessibleObjectFromWindow)>(
                      reinterpret_cast<void*>(GetProcAddress(oleacc, "AccessibleObjectFromWindow")))
                : nullptr;
        if (fromWindow)
            fromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                       reinterpret_cast<void**>(&m_acc));
    }
    ~MsaaClient() {
        if (m_acc)
            m_acc->Release();
        CoUninitialize();
    }
    MsaaClient(const MsaaClient&) = delete;
    MsaaClient& operator=(const MsaaClient&) = delete;

    IAccessible* Get() const { return m_acc; }

    std::vector<TElement> Children() const {
        std::vector<TElement> out;
        long count = 0;
        if (!m_acc || FAILED(m_acc->get_accChildCount(&count)))
            return out;
        for (long id = 1; id <= count; ++id)
            out.push_back(Element(id));
        return out;
    }
    TElement Element(long id) const {
        TElement e;
        e.id = id;
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        BSTR name = nullptr;
        if (m_acc->get_accName(child, &name) == S_OK && name) {
            e.name = name;
            SysFreeString(name);
        }
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(m_acc->get_accRole(child, &v)) && v.vt == VT_I4)
            e.role = v.lVal;
        VariantInit(&v);
        if (SUCCEEDED(m_acc->get_accState(child, &v)) && v.vt == VT_I4)
            e.state = v.lVal;
        long x = 0, y = 0, w = 0, h = 0;
        if (SUCCEEDED(m_acc->accLocation(&x, &y, &w, &h, child)))
            e.screen = RECT{x, y, x + w, y + h};
        return e;
    }
    // The name of the element that has the keyboard focus ("" for none).
    std::wstring FocusName() const {
        VARIANT v;
        VariantInit(&v);
        if (m_acc->get_accFocus(&v) != S_OK || v.vt != VT_I4 || v.lVal == CHILDID_SELF)
            return L"";
        return Element(v.lVal).name;
    }
    std::wstring Value(long id) const {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        BSTR value = nullptr;
        std::wstring out;
        if (m_acc->get_accValue(child, &value) == S_OK && value) {
            out = value;
            SysFreeString(value);
        }
        return out;
    }
    HRESULT DoDefaultAction(long id) const {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        return m_acc->accDoDefaultAction(child);
    }
    // The child of that name; id 0 when there is none.
    TElement Find(const std::wstring& name) const {
        for (const TElement& e : Children())
            if (e.name == name)
                return e;
        return TElement();
    }

private:
    IAccessible* m_acc = nullptr;
};

// The first child whose name starts with prefix; id 0 when there is none.
inline TElement FindStartingWith(const MsaaClient& client, const std::wstring& prefix) {
    for (const TElement& e : client.Children())
        if (e.name.compare(0, prefix.size(), prefix) == 0)
            return e;
    return TElement();
}

} // namespace qmtest

// Small RAII holders for the kernel and registry handles the installer owns.
// Handles kept for the life of the process (the install mutex) are not held here.
#pragma once

#include <windows.h>

// Owns a kernel handle closed with CloseHandle. Both null and
// INVALID_HANDLE_VALUE count as "no handle", since Win32 uses either for failure.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : m_h(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : m_h(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }

    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }

    HANDLE Release() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    void Reset(HANDLE h = nullptr) {
        if (Valid())
            CloseHandle(m_h);
        m_h = h;
    }

private:
    HANDLE m_h = nullptr;
};

// Owns an open registry key closed with RegCloseKey.
class UniqueRegKey {
public:
    UniqueRegKey() = default;
    ~UniqueRegKey() { Reset(); }
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;

    HKEY Get() const { return m_key; }
    // For the out parameter of RegOpenKeyEx / RegCreateKeyEx.
    HKEY* Put() {
        Reset();
        return &m_key;
    }
    explicit operator bool() const { return m_key != nullptr; }
    void Reset() {
        if (m_key)
            RegCloseKey(m_key);
        m_key = nullptr;
    }

private:
    HKEY m_key = nullptr;
};

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
    explicit operator bool() const { return m_p != nullptr; }
    void Reset() {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

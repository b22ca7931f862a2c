// A buffer that ends right before an inaccessible page, so that reading or
// writing one byte past its end faults at once instead of going unnoticed.
#pragma once

#include <windows.h>

#include <cstring>

namespace skinui_test {

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : m_size(size) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        const size_t dataPages = (size + page - 1) / page;
        m_total = (dataPages + 1) * page;
        m_base = static_cast<BYTE*>(
            VirtualAlloc(nullptr, m_total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (m_base != nullptr) {
            DWORD old = 0;
            VirtualProtect(m_base + dataPages * page, page, PAGE_NOACCESS, &old);
            m_data = m_base + dataPages * page - size;
        }
    }
    GuardedBuffer(const void* bytes, size_t size) : GuardedBuffer(size) {
        if (m_data != nullptr && size > 0)
            memcpy(m_data, bytes, size);
    }
    ~GuardedBuffer() {
        if (m_base != nullptr)
            VirtualFree(m_base, 0, MEM_RELEASE);
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    BYTE* Data() const { return m_data; }
    size_t Size() const { return m_size; }

private:
    BYTE* m_base = nullptr;
    BYTE* m_data = nullptr;
    size_t m_size = 0;
    size_t m_total = 0;
};

} // namespace skinui_test

#include "installer/engine/EntryWriter.h"

#include "installer/services/SlimLock.h"
#include "installer/services/Staging.h"

#include "skinui/core/Crc32.h"

#include <new>
#include <utility>

namespace {

HANDLE CreateNewFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

// Created new, so that whatever lies at the name (a link above all) is never
// written through; only a plain file is deleted to make room.
HANDLE CreateEntryFile(const std::wstring& path) {
    HANDLE file = CreateNewFile(path);
    if (file != nullptr)
        return file;
    const DWORD error = GetLastError();
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || IsReparsePoint(path) ||
        !DeleteFileW(path.c_str()))
        return nullptr;
    return CreateNewFile(path);
}

} // namespace

CEntryWriter::~CEntryWriter() {
    if (m_thread) {
        {
            CSlimLockHold lock(&m_lock);
            m_stop = true;
            WakeAllConditionVariable(&m_changed);
        }
        WaitForSingleObject(m_thread.Get(), INFINITE);
    }
    // A reader that returned half way leaves no half file behind.
    if (m_file) {
        m_file.Reset();
        DeleteFileW(m_path.c_str());
    }
    for (char* buffer : m_buffers)
        delete[] buffer;
}

bool CEntryWriter::Start() {
    for (int i = 0; i < kBuffers; ++i) {
        m_buffers[i] = new (std::nothrow) char[kBufferSize];
        if (m_buffers[i] == nullptr)
            return false;
        m_free[i] = true;
    }
    m_thread.Reset(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
    return true;
}

DWORD WINAPI CEntryWriter::ThreadProc(void* self) {
    static_cast<CEntryWriter*>(self)->Run();
    return 0;
}

void CEntryWriter::Run() {
    CSlimLockHold lock(&m_lock);
    for (;;) {
        while (m_count == 0 && !m_stop)
            SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
        if (m_count == 0)
            return;
        Item item = std::move(m_queue[m_head]);
        m_head = (m_head + 1) % kQueue;
        --m_count;
        m_busy = true;
        ReleaseSRWLockExclusive(&m_lock);
        const bool ok = Process(item);
        AcquireSRWLockExclusive(&m_lock);
        m_busy = false;
        Processed(item, ok);
        WakeAllConditionVariable(&m_changed);
    }
}

void CEntryWriter::Push(Item item) {
    if (!m_thread) {
        Processed(item, Process(item));
        return;
    }
    CSlimLockHold lock(&m_lock);
    while (m_count == kQueue)
        SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
    m_queue[(m_head + m_count) % kQueue] = std::move(item);
    ++m_count;
    WakeAllConditionVariable(&m_changed);
}

bool CEntryWriter::Process(Item& item) {
    // After a failure the unpacking stops; nothing more is created.
    if (m_failed)
        return true;
    switch (item.kind) {
    case Kind::Begin:
        for (const std::wstring& folder : item.folders)
            CreateDirectoryW(folder.c_str(), nullptr);
        m_path = std::move(item.path);
        m_file.Reset(m_path.empty() ? nullptr : CreateEntryFile(m_path));
        m_expectedCrc = item.crc;
        m_expectedSize = item.size;
        m_crc = 0;
        m_written = 0;
        m_entryBad = !m_path.empty() && !m_file;
        return true;
    case Kind::Data:
        if (!m_entryBad && m_file) {
            const char* data = m_buffers[item.buffer];
            m_crc = SkinUI::Crc32(m_crc, data, item.length);
            DWORD done = 0;
            // WriteFile reports every short write, which buffered C runtime
            // writes can lose in their last flush.
            if (!WriteFile(m_file.Get(), data, item.length, &done, nullptr) || done != item.length)
                m_entryBad = true;
        }
        m_written += item.length;
        return true;
    case Kind::End: {
        bool bad = m_entryBad;
        // Closed by hand: the close's own result counts, as a delayed write
        // can fail there, and a holder cannot report it.
        if (m_file && !CloseHandle(m_file.Release()))
            bad = true;
        bad = bad || m_written != m_expectedSize || m_crc != m_expectedCrc;
        if ((bad || item.abandon) && !m_path.empty())
            DeleteFileW(m_path.c_str());
        // An entry the reader gave up on fails the unpacking by the reader's
        // own result.
        return !bad || item.abandon;
    }
    }
    return true;
}

void CEntryWriter::Processed(const Item& item, bool ok) {
    if (item.buffer >= 0)
        m_free[item.buffer] = true;
    if (item.kind != Kind::End || m_failed)
        return;
    if (!ok)
        m_failed = true;
    else if (!item.abandon)
        ++m_completed;
}

void CEntryWriter::Begin(std::vector<std::wstring> folders, const std::wstring& path, uint32_t crc,
                         uint64_t size) {
    Item item;
    item.kind = Kind::Begin;
    item.folders = std::move(folders);
    item.path = path;
    item.crc = crc;
    item.size = size;
    Push(std::move(item));
}

char* CEntryWriter::Acquire() {
    CSlimLockHold lock(&m_lock);
    for (;;) {
        if (m_failed || m_buffers[0] == nullptr)
            return nullptr;
        for (int i = 0; i < kBuffers; ++i) {
            if (m_free[i]) {
                m_free[i] = false;
                m_acquired = i;
                return m_buffers[i];
            }
        }
        if (!m_thread)
            return nullptr;
        SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
    }
}

void CEntryWriter::Submit(DWORD length) {
    Item item;
    item.kind = Kind::Data;
    item.buffer = m_acquired;
    item.length = length;
    m_acquired = -1;
    if (item.buffer >= 0)
        Push(std::move(item));
}

void CEntryWriter::End(bool abandon) {
    if (m_acquired >= 0) {
        CSlimLockHold lock(&m_lock);
        m_free[m_acquired] = true;
        m_acquired = -1;
        WakeAllConditionVariable(&m_changed);
    }
    Item item;
    item.kind = Kind::End;
    item.abandon = abandon;
    Push(std::move(item));
}

bool CEntryWriter::Flush() {
    CSlimLockHold lock(&m_lock);
    while (m_thread && (m_count > 0 || m_busy))
        SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
    return !m_failed;
}

uint64_t CEntryWriter::Completed() {
    CSlimLockHold lock(&m_lock);
    return m_completed;
}

bool CEntryWriter::Failed() {
    CSlimLockHold lock(&m_lock);
    return m_failed;
}

#include "installer/engine/EntryWriter.h"

#include "installer/services/FolderHandle.h"
#include "installer/services/SlimLock.h"
#include "installer/services/Staging.h"

#include "skinui/core/Crc32.h"

#include <new>
#include <utility>

namespace {

constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY |
                                      FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
// DELETE, so that a file that fails its check goes through the same handle.
constexpr ACCESS_MASK kFileAccess =
    GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

std::wstring Upper(std::wstring text) {
    if (!text.empty())
        CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

HANDLE CEntryWriter::FolderOf(const std::wstring& relative) {
    const size_t cut = relative.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut == 0)
        return m_root;
    const std::wstring folder = relative.substr(0, cut);
    const std::wstring key = Upper(folder);
    auto found = m_folders.find(key);
    if (found != m_folders.end())
        return found->second.Get();
    HANDLE parent = FolderOf(folder);
    if (!parent)
        return nullptr;
    const size_t nameStart = folder.find_last_of(L'\\');
    // Made new: a folder of that name that this writer did not make was put
    // there by someone else, and nothing is written into it.
    SkinUI::UniqueHandle made =
        OpenBelow(parent, nameStart == std::wstring::npos ? folder : folder.substr(nameStart + 1),
                  kFolderAccess, true, BelowHow::New);
    if (!made)
        return nullptr;
    HANDLE h = made.Get();
    m_folders.emplace(key, std::move(made));
    return h;
}

HANDLE CEntryWriter::OpenEntryFile(const std::wstring& relative) {
    HANDLE folder = FolderOf(relative);
    if (!folder)
        return nullptr;
    const std::wstring name = relative.substr(relative.find_last_of(L'\\') + 1);
    const std::wstring key = Upper(relative);
    SkinUI::UniqueHandle file = OpenBelow(folder, name, kFileAccess, false, BelowHow::New);
    if (file) {
        m_files.insert(key);
        return file.Release();
    }
    // Only a file this writer made is ever replaced: anything else at the
    // name was put there by someone else.
    if (GetLastError() != ERROR_ALREADY_EXISTS || m_files.count(key) == 0)
        return nullptr;
    // An archive that names an entry twice: the file made for the first goes,
    // through a handle to it rather than by its path, and never through a
    // link (OpenBelow refuses one).
    SkinUI::UniqueHandle old =
        OpenBelow(folder, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, false,
                  BelowHow::Existing);
    if (!old || !DeleteOpenedFile(old.Get()))
        return nullptr;
    old.Reset();
    return OpenBelow(folder, name, kFileAccess, false, BelowHow::New).Release();
}

void CEntryWriter::DiscardFile() {
    if (!m_file)
        return;
    DeleteOpenedFile(m_file.Get());
    m_file.Reset();
}

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
    DiscardFile();
    for (char* buffer : m_buffers)
        delete[] buffer;
}

bool CEntryWriter::Start(HANDLE root) {
    m_root = root;
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
    case Kind::Begin: {
        const std::wstring& path = item.path;
        if (path.empty() || path.back() == L'\\') {
            // The folder itself is made as the folder of a name below it.
            m_entryBad = !path.empty() && !FolderOf(path);
        } else {
            m_file.Reset(OpenEntryFile(path));
            m_entryBad = !m_file;
        }
        m_expectedCrc = item.crc;
        m_expectedSize = item.size;
        m_crc = 0;
        m_written = 0;
        return true;
    }
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
        bool bad = m_entryBad || m_written != m_expectedSize || m_crc != m_expectedCrc;
        // A file that failed goes through its own handle. A good one is
        // closed by hand: the close's own result counts, as a delayed write
        // can fail there, and a holder cannot report it (such a file stays
        // in the unpack folder, which goes as a whole).
        if (bad || item.abandon)
            DiscardFile();
        else if (m_file && !CloseHandle(m_file.Release()))
            bad = true;
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

void CEntryWriter::Begin(const std::wstring& relative, uint32_t crc, uint64_t size) {
    Item item;
    item.kind = Kind::Begin;
    item.path = relative;
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

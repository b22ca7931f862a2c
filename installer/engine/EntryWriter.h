// The unpacked entries' files created, written and their CRCs checked on a
// thread of their own while the next data is read and inflated: on two cores
// unpacking costs little more than inflating alone. A few buffers of fixed size travel between
// the two threads, so memory stays flat in the payload's size.
#pragma once

#include "skinui/core/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

class CEntryWriter {
public:
    static constexpr DWORD kBufferSize = 256 * 1024;

    CEntryWriter() = default;
    // Finishes what is queued, then ends the thread; an entry left open is
    // closed and deleted.
    ~CEntryWriter();
    CEntryWriter(const CEntryWriter&) = delete;
    CEntryWriter& operator=(const CEntryWriter&) = delete;

    // False without the buffers. Without a thread of its own the writer works
    // on the caller's thread, as a plain loop would. root is the folder the
    // entries go into, held open by the caller for the writer's life: every
    // level below it is reached through the handle of the level above.
    bool Start(HANDLE root);

    // The calls below come from one thread, one entry at a time: Begin, then
    // Acquire and Submit for each buffer of data, then End.

    // relative is the entry's path below the root, '\\' separated, ending
    // with one for a folder entry. Creates its folders that this writer has
    // not made yet, each new and relative to the handle of the one above
    // (a name already there that the writer did not make fails the entry:
    // it was planted), then the file new in the last one. Only a file the
    // writer made there before (an archive that names an entry twice) is
    // replaced, deleted through a handle first; a link is never followed. The entry's
    // data must come to exactly size bytes with the given CRC-32.
    void Begin(const std::wstring& relative, uint32_t crc, uint64_t size);
    // A buffer of kBufferSize bytes to fill, waiting for one to come back;
    // null once an entry failed, since nothing more is worth inflating.
    char* Acquire();
    // Queues the first length bytes of the acquired buffer.
    void Submit(DWORD length);
    // Closes the entry's file and checks it; a file that fails is deleted,
    // and so is one the reader gave up on (abandon), which does not count as
    // the writer's failure.
    void End(bool abandon);
    // Waits until everything queued is done; false when any entry failed.
    bool Flush();
    // An entry failed to be written or did not match its size or CRC. The
    // writer then ignores what follows.
    bool Failed();
    // The entries done, in order, before any failure.
    uint64_t Completed();

private:
    enum class Kind { Begin, Data, End };
    struct Item {
        Kind kind = Kind::Data;
        std::wstring path;
        uint32_t crc = 0;
        uint64_t size = 0;
        int buffer = -1;
        DWORD length = 0;
        bool abandon = false;
    };
    static constexpr int kBuffers = 3;
    static constexpr int kQueue = 8;

    static DWORD WINAPI ThreadProc(void* self);
    void Run();
    void Push(Item item);
    // Done on the writing side; false when the item ends an entry that failed.
    bool Process(Item& item);
    // Back on the queue's side, under the lock in the threaded case.
    void Processed(const Item& item, bool ok);

    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_changed = CONDITION_VARIABLE_INIT;
    SkinUI::UniqueHandle m_thread;
    bool m_stop = false;
    // Everything below the lock, except what only the writing side touches.
    Item m_queue[kQueue];
    int m_head = 0;
    int m_count = 0;
    bool m_busy = false;
    bool m_failed = false;
    uint64_t m_completed = 0;
    char* m_buffers[kBuffers] = {};
    bool m_free[kBuffers] = {};
    int m_acquired = -1;

    // The writing side's folders and entry. The folders this writer made,
    // by their relative path in upper case ('\\' separated, no trailing
    // one), each held open.
    HANDLE m_root = nullptr;
    std::unordered_map<std::wstring, SkinUI::UniqueHandle> m_folders;
    // The files it made, named in the same way.
    std::unordered_set<std::wstring> m_files;
    // The folder of relative (made as needed); null when it cannot be.
    HANDLE FolderOf(const std::wstring& relative);
    HANDLE OpenEntryFile(const std::wstring& relative);
    void DiscardFile();
    SkinUI::UniqueHandle m_file;
    uint32_t m_expectedCrc = 0;
    uint64_t m_expectedSize = 0;
    uint32_t m_crc = 0;
    uint64_t m_written = 0;
    bool m_entryBad = false;
};

// The payload one process installs, as everything in it asks about it: the
// file held open from the start, its digest checked once, its index decoded
// once (names, sizes, the unpacked total) and kept. The window's space line,
// the install folder's path check and the unpacking all read the same index.
#pragma once

#include "installer/engine/PayloadReader.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CInstallPayload {
public:
    CInstallPayload() = default;
    CInstallPayload(const CInstallPayload&) = delete;
    CInstallPayload& operator=(const CInstallPayload&) = delete;

    // The running program's own payload, as its image describes it: opened
    // and held, and its check started on a thread of its own so that it runs
    // while the window waits for the click. False when the program carries
    // none.
    bool OpenOwn();
    // size bytes of path from offset, trusted without a digest: how tests and
    // benchmarks hand the engine a payload of their own. Forgets the index of
    // the one before.
    bool OpenRange(const std::wstring& path, uint64_t offset, uint64_t size);
    void Close();

    // A payload is open (the program carries one, or a range was given).
    bool IsOpen() const { return m_file.IsOpen(); }
    // The program carries a payload (its image names one), or a range was
    // given; a damaged or unreadable one counts.
    bool Carried() const { return m_hasDigest || m_file.IsOpen(); }
    // It matches the digest the image carries (waits for the check); a range
    // given by OpenRange counts as matching.
    bool Verified();
    // The index, decoded on the first call from whichever thread makes it and
    // kept: true when the payload is verified and its index readable. Every
    // accessor below calls it and answers as for an empty payload otherwise.
    bool IndexRead();
    const std::vector<TPayloadEntry>& Entries();
    // The bytes the payload takes once unpacked, as its index states them;
    // UINT64_MAX when the sizes would not fit in the type.
    uint64_t UnpackedBytes();
    // The client and the uninstaller are among the top-level entries.
    bool CarriesProductPrograms();
    // PathExcess for every entry plus the entry list the install writes; 0
    // when the index cannot be read (the install then fails on that).
    size_t PathExcess(const std::wstring& installDir);

    // For the thread that unpacks, once IndexRead: a reader at the first
    // entry's data, whose index is the one above. One unpack at a time.
    CPayloadReader* DataReader();
    // After an unpack: the decoder's memory goes back until the next one.
    void ReleaseDecoder();

    // How often this process decoded a payload's index; a log line names
    // each (tests count them).
    static long IndexDecodes();

private:
    CPayloadFile m_file;
    TPayloadDigest m_digest;
    // False for a range: nothing to compare it with.
    bool m_hasDigest = false;
    // The index is decoded under the lock; once m_indexTried, it and the
    // fields it sets do not change until the payload is closed.
    SRWLOCK m_lock = SRWLOCK_INIT;
    bool m_indexTried = false;
    bool m_indexRead = false;
    uint64_t m_unpackedBytes = 0;
    CPayloadReader m_reader;
    // The reader has handed out its data since the index was decoded.
    bool m_dataUsed = false;
};

#include "installer/engine/InstallPayload.h"

#include "installer/engine/InstallJob.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/SlimLock.h"
#include "installer/services/PathText.h"

#include "skinui/core/TextFormat.h"

namespace {

volatile LONG g_indexDecodes = 0;

} // namespace

bool CInstallPayload::OpenOwn() {
    Close();
    m_hasDigest = OwnPayloadDigest(&m_digest);
    if (!m_hasDigest || !m_file.OpenOwn(m_digest))
        return false;
    m_file.StartVerify(m_digest);
    return true;
}

bool CInstallPayload::OpenRange(const std::wstring& path, uint64_t offset, uint64_t size) {
    Close();
    return m_file.OpenRange(path, offset, size);
}

void CInstallPayload::Close() {
    CSlimLockHold hold(&m_lock);
    m_file.Close();
    m_hasDigest = false;
    m_indexTried = false;
    m_indexRead = false;
    m_unpackedBytes = 0;
    m_dataUsed = false;
}

bool CInstallPayload::Verified() {
    if (!m_file.IsOpen())
        return false;
    return !m_hasDigest || m_file.Verify(m_digest);
}

bool CInstallPayload::IndexRead() {
    CSlimLockHold hold(&m_lock);
    if (m_indexTried)
        return m_indexRead;
    // Names and sizes are read only from a payload that matched its digest;
    // the outcome stands, as nobody can change the file while it is held.
    if (!Verified())
        return false;
    m_indexTried = true;
    InterlockedIncrement(&g_indexDecodes);
    m_indexRead = m_reader.Open(&m_file);
    m_dataUsed = false;
    if (!m_indexRead) {
        SetupLogLine(L"the payload's index cannot be read");
        return false;
    }
    uint64_t total = 0;
    for (const TPayloadEntry& entry : m_reader.Entries()) {
        // A size near the type's end is a damaged or hostile table; it must
        // not wrap into a small sum that lets a full drive through.
        if (entry.size > UINT64_MAX - total) {
            total = UINT64_MAX;
            break;
        }
        total += entry.size;
    }
    m_unpackedBytes = total;
    SetupLogLine(L"read the payload's index: " +
                 SkinUI::DecimalText(static_cast<int>(m_reader.Entries().size())) + L" entries");
    return true;
}

const std::vector<TPayloadEntry>& CInstallPayload::Entries() {
    static const std::vector<TPayloadEntry> kNone;
    return IndexRead() ? m_reader.Entries() : kNone;
}

uint64_t CInstallPayload::UnpackedBytes() {
    return IndexRead() ? m_unpackedBytes : 0;
}

bool CInstallPayload::CarriesProductPrograms() {
    return IndexRead() && m_reader.CarriesProductPrograms();
}

size_t CInstallPayload::PathExcess(const std::wstring& installDir) {
    if (!IndexRead())
        return 0;
    std::vector<std::wstring> names;
    names.reserve(m_reader.Entries().size() + 1);
    for (const TPayloadEntry& entry : m_reader.Entries())
        names.push_back(entry.name);
    // The list the install writes may not be among the payload's entries.
    names.push_back(kEntryListName);
    return ::PathExcess(installDir, names);
}

CPayloadReader* CInstallPayload::DataReader() {
    if (!IndexRead())
        return nullptr;
    // Open left the reader at the data; a later unpack starts it again there.
    if (m_dataUsed && !m_reader.Rewind())
        return nullptr;
    m_dataUsed = true;
    return &m_reader;
}

void CInstallPayload::ReleaseDecoder() {
    CSlimLockHold hold(&m_lock);
    m_reader.ReleaseDecoder();
}

long CInstallPayload::IndexDecodes() {
    return InterlockedCompareExchange(&g_indexDecodes, 0, 0);
}

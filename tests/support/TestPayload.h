// Payloads of the installer's own format (tools/pack_payload.py describes
// it) built in memory from the entries the ZIP tests write, damaged ones
// included, and installer copies that carry them: the payload attached after
// the image and its digest in the image, as the build does.
#pragma once

#include "tests/support/TestZip.h"

#include <string>
#include <vector>

namespace qmtest {

// The payload of entries, in their order. Names are taken as ZipEntry stores
// them (code page 936 unless utf8Name) and written as UTF-8; names ending in
// a slash or backslash are folders. The data is one frame of stored blocks of
// the compressor the tested installer reads (zstd unless built for LZMA).
// Faults: wrongCrc gives the index a wrong CRC; declaredSize gives it another
// size; brokenDeflate breaks the frame where the entry's data starts;
// declaredCount overrides the header's entry count. method and extraFlags
// have no counterpart and are ignored.
std::string BuildPayload(const std::vector<ZipEntry>& entries, int64_t declaredCount = -1);

// The digest record the installer's image carries for payload (its size and
// SHA-256, computed with the system's own SHA-256).
std::string PayloadDigestRecord(const std::string& payload);

// Copies program (any PE image, with a payload attached or not) to path and
// gives the copy payload: its digest as resource QMPAYLOAD / 101 (language
// 2052) and the bytes attached at the next multiple of 4096 past the
// sections and the string table, as tools/attach_payload.py does. digestOf,
// when given, is what the digest is computed from instead (a payload that
// does not match its program). Without a payload the copy is the image alone,
// without symbols and string table, which the system's resource updater can
// then change safely. Empty on failure.
std::wstring MakePayloadCopy(const std::wstring& program, const std::wstring& path,
                             const std::string* payload, const std::string* digestOf = nullptr);

} // namespace qmtest

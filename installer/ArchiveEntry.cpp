#include "installer/ArchiveEntry.h"

#include "installer/EntryWriter.h"
#include "installer/PayloadReader.h"

#include <zlib.h>

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Names that Windows maps to a device in any directory ("dir\nul.txt" is the
// null device), compared without extension and trailing spaces.
bool IsDeviceName(const std::wstring& component) {
    std::wstring stem = component.substr(0, component.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    static const wchar_t* const kDevices[] = {L"CON", L"PRN",    L"AUX",
                                              L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 &&
           (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

} // namespace

std::wstring DecodeEntryName(const std::string& bytes, bool utf8) {
    if (bytes.empty() || bytes.size() > 0xFFFF)
        return std::wstring();
    const UINT codePage = utf8 ? CP_UTF8 : kZipLegacyNameCodePage;
    const int len = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), len, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring name(static_cast<size_t>(n), L'\0');
    n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), len, &name[0], n);
    if (n <= 0)
        return std::wstring();
    name.resize(static_cast<size_t>(n));
    return name;
}

bool CurrentEntryName(unzFile zip, std::wstring* name, unz_file_info64* info) {
    // The first call learns the stored name's length (a 16-bit field), the
    // second reads exactly that many bytes.
    if (unzGetCurrentFileInfo64(zip, info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info->size_filename == 0)
        return false;
    std::string bytes(static_cast<size_t>(info->size_filename) + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, info, &bytes[0], static_cast<uLong>(bytes.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK)
        return false;
    bytes.resize(info->size_filename);
    // A name with a NUL inside would be cut by every file function.
    if (bytes.find('\0') != std::string::npos)
        return false;
    *name = DecodeEntryName(bytes, (info->flag & kZipFlagUtf8Name) != 0);
    return !name->empty();
}

bool IsSafeEntryName(const std::wstring& name) {
    if (name.empty() || IsSeparator(name[0]) || name.find(L':') != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        std::wstring component = name.substr(start, end - start);
        if (!component.empty()) {
            if (component.find_first_not_of(L". ") == std::wstring::npos)
                return false;
            if (IsDeviceName(component))
                return false;
        }
        start = end + 1;
    }
    return true;
}

bool ReadEntryData(PayloadStream& stream, const TEntryData& entry, CEntryWriter& writer,
                   std::vector<char>& input, uint64_t* bytes) {
    if (!stream.Seek(static_cast<int64_t>(entry.offset), SEEK_SET))
        return false;
    uint64_t left = entry.compressedSize;
    // Up to one input buffer of the entry's data; 0 at its end or a failure.
    auto read = [&](char* to, uint32_t capacity) -> uint32_t {
        const uint32_t want = left < capacity ? static_cast<uint32_t>(left) : capacity;
        const uint32_t got = want == 0 ? 0 : stream.Read(to, want);
        if (got != want)
            return 0;
        left -= got;
        return got;
    };
    uint64_t produced = 0;
    // False once the entry has grown beyond its declared size: a lying header
    // must not fill the disk before the size check fails.
    auto submit = [&](DWORD n) {
        produced += n;
        writer.Submit(n);
        return produced <= entry.size;
    };
    if (entry.method == 0) {
        while (left > 0) {
            char* out = writer.Acquire();
            if (out == nullptr)
                return false;
            const uint32_t n = read(out, CEntryWriter::kBufferSize);
            if (n == 0 || !submit(n))
                return false;
        }
    } else if (entry.method == Z_DEFLATED) {
        if (input.empty())
            return false;
        z_stream z = {};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return false;
        bool ok = true;
        int status = Z_OK;
        char* out = nullptr;
        while (ok && status != Z_STREAM_END) {
            if (out == nullptr) {
                out = writer.Acquire();
                if (out == nullptr) {
                    ok = false;
                    break;
                }
                z.next_out = reinterpret_cast<Bytef*>(out);
                z.avail_out = CEntryWriter::kBufferSize;
            }
            if (z.avail_in == 0) {
                const uint32_t n = read(input.data(), static_cast<uint32_t>(input.size()));
                // The data ending before the deflate stream does is damage.
                if (n == 0) {
                    ok = false;
                    break;
                }
                z.next_in = reinterpret_cast<Bytef*>(input.data());
                z.avail_in = n;
            }
            status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) {
                ok = false;
                break;
            }
            if (z.avail_out == 0 || status == Z_STREAM_END) {
                out = nullptr;
                ok = submit(CEntryWriter::kBufferSize - z.avail_out);
            }
        }
        inflateEnd(&z);
        if (!ok)
            return false;
    } else {
        return false;
    }
    *bytes += produced;
    return produced == entry.size;
}

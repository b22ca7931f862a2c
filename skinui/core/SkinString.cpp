#include "skinui/core/SkinString.h"

#include <windows.h>

#include <cassert>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace SkinUI {

namespace {

const wchar_t kEmpty[] = L"";

// Length of at most `max` characters of `text` (all of it when max is negative);
// never reads past a terminator or past `max`.
size_t BoundedLength(const wchar_t* text, int max) {
    if (max < 0)
        return wcslen(text);
    return wcsnlen(text, static_cast<size_t>(max));
}

wchar_t* AllocChars(size_t count) {
    return static_cast<wchar_t*>(malloc(count * sizeof(wchar_t)));
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

CSkinString::CSkinString() : m_pstr(m_szBuffer) {
    m_szBuffer[0] = L'\0';
}

CSkinString::CSkinString(wchar_t ch) : m_pstr(m_szBuffer) {
    m_szBuffer[0] = ch;
    m_szBuffer[1] = L'\0';
}

CSkinString::CSkinString(const wchar_t* text, int max) : m_pstr(m_szBuffer) {
    m_szBuffer[0] = L'\0';
    Assign(text, max);
}

CSkinString::CSkinString(const CSkinString& src) : m_pstr(m_szBuffer) {
    m_szBuffer[0] = L'\0';
    Assign(src.m_pstr);
}

CSkinString::~CSkinString() {
    if (!IsInline())
        free(m_pstr);
}

// ---------------------------------------------------------------------------
// Storage

int CSkinString::GetLength() const {
    return static_cast<int>(wcslen(m_pstr));
}

void CSkinString::Empty() {
    if (!IsInline())
        free(m_pstr);
    m_pstr = m_szBuffer;
    m_szBuffer[0] = L'\0';
}

// `text` may point into this string's own storage (s = s.GetData() + 3), so
// the new storage is always filled before the old block is released.
void CSkinString::Assign(const wchar_t* text, int max) {
    if (text == nullptr)
        text = kEmpty;
    const size_t len = BoundedLength(text, max);
    if (len <= MAX_INLINE_LENGTH) {
        wmemmove(m_szBuffer, text, len);
        m_szBuffer[len] = L'\0';
        if (!IsInline())
            free(m_pstr);
        m_pstr = m_szBuffer;
        return;
    }
    if (IsInline() || len > wcslen(m_pstr)) {
        wchar_t* block = AllocChars(len + 1);
        if (block == nullptr)
            return; // out of memory: the string keeps its old text
        wmemcpy(block, text, len);
        block[len] = L'\0';
        if (!IsInline())
            free(m_pstr);
        m_pstr = block;
        return;
    }
    // A heap block that is already long enough is reused.
    wmemmove(m_pstr, text, len);
    m_pstr[len] = L'\0';
}

void CSkinString::Append(const wchar_t* text) {
    if (text == nullptr)
        return;
    const size_t oldLen = wcslen(m_pstr);
    const size_t addLen = wcslen(text);
    const size_t total = oldLen + addLen;
    if (total > MAX_INLINE_LENGTH) {
        // A fresh block even for a heap string, since `text` may live in the old one.
        wchar_t* block = AllocChars(total + 1);
        if (block == nullptr)
            return;
        wmemcpy(block, m_pstr, oldLen);
        wmemcpy(block + oldLen, text, addLen);
        block[total] = L'\0';
        if (!IsInline())
            free(m_pstr);
        m_pstr = block;
        return;
    }
    if (IsInline()) {
        wmemmove(m_szBuffer + oldLen, text, addLen);
    } else {
        // A heap string can hold a short text after SetAt cut it; it moves back
        // inline.
        wmemcpy(m_szBuffer, m_pstr, oldLen);
        wmemmove(m_szBuffer + oldLen, text, addLen);
        free(m_pstr);
        m_pstr = m_szBuffer;
    }
    m_szBuffer[total] = L'\0';
}

void CSkinString::AssignNarrow(const char* text, bool append) {
    if (text == nullptr) {
        if (!append)
            Empty();
        return;
    }
    const size_t narrowLen = strlen(text);
    if (narrowLen >= static_cast<size_t>(INT_MAX))
        return;
    // One wide character per byte at most, plus the terminator.
    wchar_t* wide = AllocChars(narrowLen + 1);
    if (wide == nullptr)
        return;
    int count = MultiByteToWideChar(GetACP(), 0, text, static_cast<int>(narrowLen), wide,
                                    static_cast<int>(narrowLen + 1));
    if (count < 0)
        count = 0;
    wide[count] = L'\0';
    if (append)
        Append(wide);
    else
        Assign(wide);
    free(wide);
}

// ---------------------------------------------------------------------------
// Assignment and concatenation

CSkinString& CSkinString::operator=(const CSkinString& src) {
    if (this != &src)
        Assign(src.m_pstr);
    return *this;
}

CSkinString& CSkinString::operator=(const wchar_t* text) {
    Assign(text);
    return *this;
}

CSkinString& CSkinString::operator=(wchar_t ch) {
    Empty();
    m_szBuffer[0] = ch;
    m_szBuffer[1] = L'\0';
    return *this;
}

CSkinString& CSkinString::operator=(const char* text) {
    AssignNarrow(text, false);
    return *this;
}

CSkinString& CSkinString::operator+=(const CSkinString& src) {
    Append(src.m_pstr);
    return *this;
}

CSkinString& CSkinString::operator+=(const wchar_t* text) {
    Append(text);
    return *this;
}

CSkinString& CSkinString::operator+=(wchar_t ch) {
    const wchar_t text[2] = {ch, L'\0'};
    Append(text);
    return *this;
}

CSkinString& CSkinString::operator+=(const char* text) {
    AssignNarrow(text, true);
    return *this;
}

CSkinString CSkinString::operator+(const CSkinString& src) const {
    CSkinString result(*this);
    result.Append(src.m_pstr);
    return result;
}

CSkinString CSkinString::operator+(const wchar_t* text) const {
    CSkinString result(*this);
    result.Append(text);
    return result;
}

// ---------------------------------------------------------------------------
// Comparison

int CSkinString::Compare(const wchar_t* text) const {
    return wcscmp(m_pstr, text != nullptr ? text : kEmpty);
}

int CSkinString::CompareNoCase(const wchar_t* text) const {
    return _wcsicmp(m_pstr, text != nullptr ? text : kEmpty);
}

// ---------------------------------------------------------------------------
// Operations

void CSkinString::MakeUpper() {
    _wcsupr(m_pstr);
}

void CSkinString::MakeLower() {
    _wcslwr(m_pstr);
}

CSkinString CSkinString::Left(int n) const {
    const int len = GetLength();
    if (n < 0)
        n = 0;
    if (n > len)
        n = len;
    return CSkinString(m_pstr, n);
}

CSkinString CSkinString::Mid(int pos, int n) const {
    assert(pos >= 0 && "Mid: the start position must not be negative");
    const int len = GetLength();
    if (pos < 0 || pos > len)
        return CSkinString();
    if (n < 0 || n > len - pos)
        n = len - pos;
    if (n <= 0)
        return CSkinString();
    return CSkinString(m_pstr + pos, n);
}

CSkinString CSkinString::Right(int n) const {
    const int len = GetLength();
    if (n < 0)
        return CSkinString();
    if (n > len)
        n = len;
    return CSkinString(m_pstr + len - n, n);
}

int CSkinString::Find(const wchar_t* text, int start) const {
    if (text == nullptr)
        return -1;
    if (start != 0 && (start < 0 || start > GetLength()))
        return -1;
    // An empty pattern matches where the search starts, as the platform's wcsstr
    // documents; Wine's wcsstr answers null for it on an empty tail.
    if (text[0] == L'\0')
        return start;
    const wchar_t* hit = wcsstr(m_pstr + start, text);
    return hit != nullptr ? static_cast<int>(hit - m_pstr) : -1;
}

int CSkinString::Find(wchar_t ch, int start) const {
    if (start != 0 && (start < 0 || start >= GetLength()))
        return -1;
    const wchar_t* hit = wcschr(m_pstr + start, ch);
    return hit != nullptr ? static_cast<int>(hit - m_pstr) : -1;
}

int CSkinString::ReverseFind(wchar_t ch) const {
    const wchar_t* hit = wcsrchr(m_pstr, ch);
    return hit != nullptr ? static_cast<int>(hit - m_pstr) : -1;
}

// The search resumes after the inserted text, so a replacement that contains
// the pattern is never replaced again. An empty pattern would match at the same
// place forever, so it replaces nothing.
int CSkinString::Replace(const wchar_t* from, const wchar_t* to) {
    if (from == nullptr || from[0] == L'\0')
        return 0;
    if (to == nullptr)
        to = kEmpty;
    const CSkinString replacement(to); // `to` may point into this string
    const int fromLen = static_cast<int>(wcslen(from));
    const CSkinString pattern(from);
    const int toLen = replacement.GetLength();
    int count = 0;
    int pos = Find(pattern.m_pstr, 0);
    while (pos >= 0) {
        CSkinString rebuilt = Left(pos);
        rebuilt.Append(replacement.m_pstr);
        rebuilt.Append(m_pstr + pos + fromLen);
        Assign(rebuilt.m_pstr);
        ++count;
        pos = Find(pattern.m_pstr, pos + toLen);
    }
    return count;
}

int CSkinString::Format(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list measureArgs;
    va_copy(measureArgs, args);
    const int len = _vscwprintf(fmt, measureArgs);
    va_end(measureArgs);
    if (len < 0) {
        va_end(args);
        return len;
    }
    wchar_t* buffer = static_cast<wchar_t*>(calloc(static_cast<size_t>(len) + 1, sizeof(wchar_t)));
    if (buffer == nullptr) {
        va_end(args);
        return -1;
    }
    const int written = _vsnwprintf(buffer, static_cast<size_t>(len) + 1, fmt, args);
    va_end(args);
    buffer[len] = L'\0';
    Assign(buffer);
    free(buffer);
    return written;
}

int CSkinString::SmallFormat(const wchar_t* fmt, ...) {
    wchar_t buffer[64];
    va_list args;
    va_start(args, fmt);
    // At most 63 characters: the platform formatter does not terminate a cut
    // result, so the last slot is kept for the terminator.
    const int written = _vsnwprintf(buffer, 63, fmt, args);
    va_end(args);
    buffer[63] = L'\0';
    if (written >= 0 && written < 63)
        buffer[written] = L'\0';
    Assign(buffer);
    return written;
}

} // namespace SkinUI

// The UI library's wide string: short texts (control names, attribute values,
// map keys) live in an inline buffer, longer ones in one heap block.
#pragma once

#include <cstdarg>
#include <cwchar>

namespace SkinUI {

class CSkinString {
public:
    // The inline buffer holds 62 characters and their terminator (plus one spare
    // slot), so that almost every control name and attribute value never touches
    // the heap.
    enum { MAX_LOCAL_STRING_LEN = 63, MAX_INLINE_LENGTH = 62 };

    CSkinString();
    CSkinString(wchar_t ch);
    CSkinString(const wchar_t* text, int max = -1);
    CSkinString(const CSkinString& src);
    ~CSkinString();

    // Accessors.
    int GetLength() const;
    bool IsEmpty() const { return m_pstr[0] == L'\0'; }
    const wchar_t* GetData() const { return m_pstr; }
    operator const wchar_t*() const { return m_pstr; }
    // Unchecked: the caller guarantees 0 <= i <= GetLength().
    wchar_t GetAt(int i) const { return m_pstr[i]; }
    wchar_t operator[](int i) const { return m_pstr[i]; }
    void SetAt(int i, wchar_t ch) { m_pstr[i] = ch; }

    // Storage.
    void Empty();
    void Assign(const wchar_t* text, int max = -1);
    void Append(const wchar_t* text);

    // Assignment and concatenation. Narrow text is in the system ANSI code page.
    CSkinString& operator=(const CSkinString& src);
    CSkinString& operator=(const wchar_t* text);
    CSkinString& operator=(wchar_t ch);
    CSkinString& operator=(const char* text);
    CSkinString& operator+=(const CSkinString& src);
    CSkinString& operator+=(const wchar_t* text);
    CSkinString& operator+=(wchar_t ch);
    CSkinString& operator+=(const char* text);
    CSkinString operator+(const CSkinString& src) const;
    CSkinString operator+(const wchar_t* text) const;

    // Comparison.
    int Compare(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text) const;
    bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
    bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
    bool operator<(const wchar_t* text) const { return Compare(text) < 0; }
    bool operator<=(const wchar_t* text) const { return Compare(text) <= 0; }
    bool operator>(const wchar_t* text) const { return Compare(text) > 0; }
    bool operator>=(const wchar_t* text) const { return Compare(text) >= 0; }

    // Operations.
    void MakeUpper();
    void MakeLower();
    CSkinString Left(int n) const;
    CSkinString Mid(int pos, int n = -1) const;
    CSkinString Right(int n) const;
    int Find(const wchar_t* text, int start = 0) const;
    int Find(wchar_t ch, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int Replace(const wchar_t* from, const wchar_t* to);
    int Format(const wchar_t* fmt, ...);
    int SmallFormat(const wchar_t* fmt, ...);

private:
    bool IsInline() const { return m_pstr == m_szBuffer; }
    void AssignNarrow(const char* text, bool append);

    wchar_t* m_pstr;
    wchar_t m_szBuffer[MAX_LOCAL_STRING_LEN + 1];
};

} // namespace SkinUI

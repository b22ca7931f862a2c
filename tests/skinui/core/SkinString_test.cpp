#include "skinui/core/SkinString.h"

#include <gtest/gtest.h>

#include <string>

using SkinUI::CSkinString;

namespace {

bool IsInline(const CSkinString& s) {
    // The inline buffer sits inside the object itself.
    const char* p = reinterpret_cast<const char*>(s.GetData());
    const char* self = reinterpret_cast<const char*>(&s);
    return p >= self && p < self + sizeof(CSkinString);
}

std::wstring Str(const CSkinString& s) {
    return s.GetData();
}

TEST(SkinString, StorageBoundaryIs62InlineCharacters) {
    CSkinString s(std::wstring(62, L'x').c_str());
    EXPECT_TRUE(IsInline(s));
    EXPECT_EQ(62, s.GetLength());

    s = std::wstring(63, L'y').c_str();
    EXPECT_FALSE(IsInline(s));
    EXPECT_EQ(std::wstring(63, L'y'), Str(s));

    s = L"short";
    EXPECT_TRUE(IsInline(s));
    EXPECT_EQ(L"short", Str(s));
}

TEST(SkinString, AppendCrossesToHeapAt63Characters) {
    CSkinString s(std::wstring(60, L'a').c_str());
    s += L"bb";
    EXPECT_TRUE(IsInline(s));
    s += L'c';
    EXPECT_FALSE(IsInline(s));
    EXPECT_EQ(std::wstring(60, L'a') + L"bbc", Str(s));
    s += std::wstring(100, L'd').c_str();
    EXPECT_EQ(163, s.GetLength());
}

TEST(SkinString, HeapStringCutBySetAtReturnsInlineOnAppend) {
    CSkinString s(std::wstring(80, L'a').c_str());
    s.SetAt(2, L'\0');
    s += L"b";
    EXPECT_TRUE(IsInline(s));
    EXPECT_EQ(L"aab", Str(s));
}

TEST(SkinString, CopiesNeverShareStorage) {
    CSkinString a(std::wstring(100, L'q').c_str());
    CSkinString b(a);
    EXPECT_NE(a.GetData(), b.GetData());
    b.SetAt(0, L'z');
    EXPECT_EQ(L'q', a[0]);
}

TEST(SkinString, AssignFromOwnTextIsSafe) {
    CSkinString s(L"0123456789");
    s = s.GetData() + 4;
    EXPECT_EQ(L"456789", Str(s));

    std::wstring longText(100, L'a');
    longText += L"tail";
    CSkinString h(longText.c_str());
    h.Assign(h.GetData() + 1, 70); // heap text into a shorter heap text
    EXPECT_EQ(longText.substr(1, 70), Str(h));
    h = h.GetData() + 60; // heap text that becomes inline
    EXPECT_EQ(longText.substr(61, 10), Str(h));

    CSkinString twice(std::wstring(40, L'r').c_str());
    twice += twice;
    EXPECT_EQ(std::wstring(80, L'r'), Str(twice));
}

TEST(SkinString, AssignTakesAtMostMaxCharacters) {
    CSkinString s;
    s.Assign(L"abcdef", 3);
    EXPECT_EQ(L"abc", Str(s));
    s.Assign(L"ab", 10);
    EXPECT_EQ(L"ab", Str(s));
    s.Assign(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    // Not NUL-terminated: only the first four characters may be read.
    const wchar_t raw[4] = {L'w', L'x', L'y', L'z'};
    EXPECT_EQ(L"wxyz", Str(CSkinString(raw, 4)));
}

TEST(SkinString, AssignmentKinds) {
    CSkinString s(L"old");
    s = L'Q';
    EXPECT_EQ(L"Q", Str(s));
    s = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    // "青梧" in code page 936.
    s = "\xc7\xe0\xce\xe0";
    EXPECT_EQ(L"青梧", Str(s));
    s += "ab";
    s += static_cast<const char*>(nullptr);
    s += static_cast<const wchar_t*>(nullptr);
    s += L'!';
    EXPECT_EQ(L"青梧ab!", Str(s));
    s = static_cast<const char*>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(SkinString, ConcatenationLeavesOperandsAlone) {
    CSkinString a(L"ab");
    CSkinString b = a + L"cd";
    CSkinString c = a + b;
    CSkinString d = a + static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(L"ab", Str(a));
    EXPECT_EQ(L"abcd", Str(b));
    EXPECT_EQ(L"ababcd", Str(c));
    EXPECT_EQ(L"ab", Str(d));
}

TEST(SkinString, ComparisonIsOrdinalAndNoCaseIgnoresCase) {
    CSkinString s(L"Button");
    EXPECT_TRUE(s == L"Button");
    EXPECT_TRUE(s != L"button");
    EXPECT_TRUE(s < L"button"); // 'B' sorts before 'b'
    EXPECT_TRUE(s <= L"Button");
    EXPECT_TRUE(s > L"A");
    EXPECT_TRUE(s >= L"Button");
    EXPECT_EQ(0, s.CompareNoCase(L"BUTTON"));
    EXPECT_GT(s.Compare(nullptr), 0);
    CSkinString t(L"Button");
    EXPECT_TRUE(s == t);
}

TEST(SkinString, CaseMapping) {
    CSkinString s(L"Skin.XML");
    s.MakeLower();
    EXPECT_EQ(L"skin.xml", Str(s));
    s.MakeUpper();
    EXPECT_EQ(L"SKIN.XML", Str(s));
}

struct SubstringCase {
    const wchar_t* text;
    char op; // 'L', 'M', 'R'
    int a, b;
    const wchar_t* expected;
};

TEST(SkinString, SubstringEdges) {
    const SubstringCase cases[] = {
        {L"abcdef", 'M', 3, -1, L"def"}, {L"abcdef", 'M', 2, 10, L"cdef"},
        {L"abcdef", 'M', 6, 2, L""},     {L"abcdef", 'M', 0, 0, L""},
        {L"abcdef", 'M', 8, -1, L""},    {L"abcdef", 'M', 1, 2, L"bc"},
        {L"abc", 'R', 10, 0, L"abc"},    {L"abc", 'R', 2, 0, L"bc"},
        {L"abc", 'R', -1, 0, L""},       {L"abc", 'R', 0, 0, L""},
        {L"abc", 'L', -1, 0, L""},       {L"abc", 'L', 2, 0, L"ab"},
        {L"abc", 'L', 10, 0, L"abc"},
    };
    for (const SubstringCase& c : cases) {
        CSkinString s(c.text);
        CSkinString r = c.op == 'L' ? s.Left(c.a) : c.op == 'R' ? s.Right(c.a) : s.Mid(c.a, c.b);
        EXPECT_EQ(std::wstring(c.expected), Str(r)) << c.op << " " << c.a << "," << c.b;
    }
}

TEST(SkinString, FindStartRulesDifferForTextAndCharacter) {
    CSkinString s(L"abc");
    EXPECT_EQ(-1, s.Find(L'c', 3)); // a character search rejects start == length
    EXPECT_EQ(-1, s.Find(L"c", 3)); // a text search looks at the empty tail
    EXPECT_EQ(3, s.Find(L"", 3));   // where only the empty pattern matches
    EXPECT_EQ(-1, s.Find(L"", 4));
    EXPECT_EQ(-1, s.Find(L"a", -1));
    EXPECT_EQ(-1, s.Find(L'a', -1));
    EXPECT_EQ(2, s.Find(L'c', 2));
    EXPECT_EQ(1, s.Find(L"bc"));
    EXPECT_EQ(-1, s.Find(L"b", 2));
    CSkinString e;
    EXPECT_EQ(-1, e.Find(L'a', 0));
    CSkinString path(L"a\\b\\c");
    EXPECT_EQ(3, path.ReverseFind(L'\\'));
    EXPECT_EQ(-1, path.ReverseFind(L'/'));
}

TEST(SkinString, Replace_DoesNotRescanInsertedText) {
    CSkinString s(L"aaa");
    EXPECT_EQ(3, s.Replace(L"a", L"aa"));
    EXPECT_EQ(L"aaaaaa", Str(s));

    CSkinString t(L"x--y--z");
    EXPECT_EQ(2, t.Replace(L"--", L""));
    EXPECT_EQ(L"xyz", Str(t));
    EXPECT_EQ(0, t.Replace(L"q", L"r"));
    EXPECT_EQ(L"xyz", Str(t));
}

TEST(SkinString, Replace_EmptyPatternReplacesNothingAndEnds) {
    // An empty pattern matches at every position including the end; it used to
    // loop for ever.
    CSkinString s(L"abc");
    EXPECT_EQ(0, s.Replace(L"", L"x"));
    EXPECT_EQ(0, s.Replace(nullptr, L"x"));
    EXPECT_EQ(L"abc", Str(s));
}

TEST(SkinString, ReplaceAcrossHeapBoundary) {
    CSkinString s(std::wstring(40, L'a').c_str());
    EXPECT_EQ(40, s.Replace(L"a", L"bc"));
    EXPECT_EQ(80, s.GetLength());
    EXPECT_EQ(40, s.Replace(L"bc", L"d"));
    EXPECT_EQ(std::wstring(40, L'd'), Str(s));
    EXPECT_TRUE(IsInline(s));
}

TEST(SkinString, FormatHasNoLengthLimit) {
    CSkinString s;
    EXPECT_EQ(15, s.Format(L"dest='%d,%d,%d,%d'", 1, 2, 30, 4));
    EXPECT_EQ(L"dest='1,2,30,4'", Str(s));
    s.Format(L"%.0f%%", 42.4);
    EXPECT_EQ(L"42%", Str(s));
    s.Format(L"%s-%s", L"wide", std::wstring(200, L'w').c_str());
    EXPECT_EQ(205, s.GetLength());
}

TEST(SkinString, SmallFormatKeepsFirst63Characters) {
    CSkinString s;
    s.SmallFormat(L"%s", std::wstring(100, L'k').c_str());
    EXPECT_EQ(std::wstring(63, L'k'), Str(s));
    s.SmallFormat(L"%d", 7);
    EXPECT_EQ(L"7", Str(s));
    s.SmallFormat(L"%s", std::wstring(63, L'm').c_str());
    EXPECT_EQ(std::wstring(63, L'm'), Str(s));
}

TEST(SkinString, EmptyReleasesHeap) {
    CSkinString s(std::wstring(70, L'e').c_str());
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(IsInline(s));
    EXPECT_EQ(0, s.GetLength());
}

} // namespace

#include "skinui/core/Markup.h"
#include "skinui/window/PaintManagerUI.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using SkinUI::CMarkup;
using SkinUI::CMarkupNode;
using SkinUI::CPaintManagerUI;

namespace {

// The element tree as text: name, [attributes], "value", (children); siblings
// separated by spaces. Every attribute query path is exercised on the way.
std::wstring Dump(CMarkupNode node) {
    std::wstring out;
    for (; node.IsValid(); node = node.GetSibling()) {
        if (!out.empty())
            out += L' ';
        out += node.GetName();
        const int count = node.GetAttributeCount();
        if (count > 0) {
            out += L'[';
            for (int i = 0; i < count; ++i) {
                if (i > 0)
                    out += L';';
                out += node.GetAttributeName(i);
                out += L'=';
                out += node.GetAttributeValue(i);
            }
            out += L']';
        }
        if (node.GetValue()[0] != 0) {
            out += L'"';
            out += node.GetValue();
            out += L'"';
        }
        if (node.HasChildren())
            out += L'(' + Dump(node.GetChild()) + L')';
    }
    return out;
}

std::wstring Message(const CMarkup& m) {
    wchar_t text[100];
    m.GetLastErrorMessage(text, 100);
    return text;
}

std::wstring Location(const CMarkup& m) {
    wchar_t text[50];
    m.GetLastErrorLocation(text, 50);
    return text;
}

struct AcceptedCase {
    const wchar_t* xml;
    const wchar_t* tree;
};

TEST(Markup, AcceptedDocuments) {
    const AcceptedCase cases[] = {
        {L"<a/>", L"a"},
        {L"<a x=\"1\" y=\"2\"/>", L"a[x=1;y=2]"},
        {L"<a>text</a>", L"a\"text\""},
        {L"<a x = \"1\"\t\ny=\"\"></a>", L"a[x=1;y=]"},
        {L"<VerticalLayout><Button /></VerticalLayout >", L"VerticalLayout(Button)"},
        {L"<ns:a_1 b:c=\"2\"/>", L"ns:a_1[b:c=2]"},
        // Single quotes and spaces inside a value are ordinary characters.
        {L"<Button normalimage=\"file='btn.png' source='0,0,100,30' corner='2,2,2,2'\"/>",
         L"Button[normalimage=file='btn.png' source='0,0,100,30' corner='2,2,2,2']"},
        // One pass of decoding: &amp;lt; gives an ampersand and "lt;".
        {L"<a v=\"&amp;lt;\"/>", L"a[v=&lt;]"},
        {L"<a v=\"&lt;&gt;&quot;&apos;&amp;\"/>", L"a[v=<>\"'&]"},
        {L"<a v=\"&copy; &AMP; &\"/>", L"a[v=&copy; &AMP; &]"},
        {L"<a>x &amp;&amp; y</a>", L"a\"x && y\""},
        // Values that shrank still let the later attributes be found.
        {L"<a x=\"&amp;&amp;\" y=\"2\" z=\"&lt;\"/>", L"a[x=&&;y=2;z=<]"},
        {L"<a>&lt;</a>", L"a\"<\""},
        // Only the text before the first child is the value.
        {L"<a>head<b/></a>", L"a\"head\"(b)"},
        {L"<a><b>1</b><c>2</c></a>", L"a(b\"1\" c\"2\")"},
        {L"<!-- comment --><a><!-- inner --><b/></a>", L"a(b)"},
        {L"<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n<Window/>", L"Window"},
        {L"<a/><b/>", L"a b"},
        // A stray closing tag at the top level ends the document.
        {L"<a/></b>junk", L"a"},
        // The end of the text is accepted in the root and among its children.
        {L"<a>text", L"a\"text\""},
        {L"<a><b>", L"a(b)"},
        {L"<a><b>text", L"a(b\"text\")"},
        {L"<a><b/>", L"a(b)"},
        {L"<a x=\"&amp;\">te&amp;xt", L"a[x=&]\"te&xt\""},
        {L"<a>&amp;", L"a\"&\""},
        {L"<a><!-- open", L"a"},
        // An element name may be empty; whatever follows a name ends it.
        {L"<>x</>", L"\"x\""},
        {L"<a-b=\"1\"/>", L"a[b=1]"},
        {L"<a/ >", L"a"},
    };
    for (const AcceptedCase& c : cases) {
        CMarkup m;
        ASSERT_TRUE(m.Load(c.xml)) << c.xml << " -> " << Message(m) << " at " << Location(m);
        EXPECT_TRUE(m.IsValid());
        EXPECT_EQ(std::wstring(c.tree), Dump(m.GetRoot())) << c.xml;
    }
}

struct RejectedCase {
    const wchar_t* xml;
    const wchar_t* message;
    const wchar_t* location;
};

TEST(Markup, RejectedDocumentsSayWhatAndWhere) {
    const RejectedCase cases[] = {
        {L"text", L"Expected start tag", L"text"},
        {L"<a></a>junk", L"Expected start tag", L"junk"},
        {L"<a><b/>tail</a>", L"Expected start tag", L"tail</a>"},
        {L"<a><!--c-->x</a>", L"Expected start tag", L"x</a>"},
        {L"<!-- a -> b --><a/>", L"Expected start tag", L"b --><a/>"},
        {L"<a", L"Error parsing element name", L""},
        {L"<a x=\"1\" / >", L"Expected start-tag closing", L"/ >"},
        {L"<VerticalLayout></VerticalLayoutX>", L"Unmatched closing tag", L"X>"},
        {L"<a></b>", L"Unmatched closing tag", L"b>"},
        {L"<a></A>", L"Unmatched closing tag", L"A>"},
        {L"<a data-x=\"1\"/>", L"Error while parsing attributes", L"-x=\"1\"/>"},
        {L"<a x.y=\"1\"/>", L"Error while parsing attributes", L".y=\"1\"/>"},
        {L"<a x $>", L"Error while parsing attributes", L"$>"},
        {L"<a x=1/>", L"Expected attribute value", L"1/>"},
        {L"<a x='1'/>", L"Expected attribute value", L"'1'/>"},
        {L"<a x=\"1", L"Error while parsing attribute string", L""},
        {L"<a x=\"&amp;", L"Error while parsing attribute string", L""},
        // Deeper than the root's children the end of the text is an error.
        {L"<a><b><c>", L"Expected end-tag start", L""},
        {L"<a><b><c>text", L"Expected end-tag start", L""},
        {L"<a><b><c/>", L"Expected start tag", L""},
        {L"<a><b></b><c><d/>", L"Expected start tag", L""},
    };
    for (const RejectedCase& c : cases) {
        CMarkup m;
        EXPECT_FALSE(m.Load(c.xml)) << c.xml;
        EXPECT_FALSE(m.IsValid());
        EXPECT_FALSE(m.GetRoot().IsValid());
        EXPECT_EQ(std::wstring(c.message), Message(m)) << c.xml;
        EXPECT_EQ(std::wstring(c.location), Location(m)) << c.xml;
    }
}

TEST(Markup, DeclarationAndWhitespaceOnlyHasNoRoot) {
    CMarkup m;
    EXPECT_TRUE(m.Load(L"<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n  \t\r\n"));
    EXPECT_TRUE(m.IsValid());
    EXPECT_FALSE(m.GetRoot().IsValid());
    EXPECT_TRUE(m.Load(L""));
    EXPECT_FALSE(m.GetRoot().IsValid());
}

TEST(Markup, ErrorLocationIsCutTo49Characters) {
    CMarkup m;
    const std::wstring tail(80, L'z');
    EXPECT_FALSE(m.Load((L"<a/>" + tail).c_str()));
    EXPECT_EQ(tail.substr(0, 49), Location(m));
    wchar_t small[4];
    m.GetLastErrorMessage(small, 4);
    EXPECT_EQ(std::wstring(L"Exp"), small);
}

TEST(Markup, Only64AttributesAreVisible) {
    std::wstring xml = L"<a";
    for (int i = 0; i < 65; ++i)
        xml += L" k" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
    xml += L"/>";
    CMarkup m(xml.c_str());
    CMarkupNode root = m.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_EQ(64, root.GetAttributeCount());
    EXPECT_STREQ(L"v63", root.GetAttributeValue(L"k63"));
    EXPECT_TRUE(root.HasAttribute(L"K63"));
    EXPECT_FALSE(root.HasAttribute(L"k64"));
    EXPECT_STREQ(L"", root.GetAttributeValue(L"k64"));
    EXPECT_STREQ(L"", root.GetAttributeValue(64));
}

TEST(Markup, DuplicateAttributesAreBothVisibleAndLookupFindsFirst) {
    CMarkup m(L"<a Name=\"one\" name=\"two\"/>");
    CMarkupNode root = m.GetRoot();
    EXPECT_EQ(2, root.GetAttributeCount());
    EXPECT_STREQ(L"one", root.GetAttributeValue(L"NAME"));
    EXPECT_STREQ(L"two", root.GetAttributeValue(1));
}

TEST(Markup, NodeNavigation) {
    CMarkup m(L"<Window><Font id=\"1\"/><VerticalLayout><Label/></VerticalLayout></Window>");
    CMarkupNode root = m.GetRoot();
    EXPECT_FALSE(root.GetParent().IsValid());
    EXPECT_FALSE(root.HasSiblings());
    EXPECT_TRUE(root.HasChildren());
    CMarkupNode layout = root.GetChild(L"verticallayout");
    ASSERT_TRUE(layout.IsValid());
    EXPECT_STREQ(L"VerticalLayout", layout.GetName());
    EXPECT_STREQ(L"Window", layout.GetParent().GetName());
    EXPECT_STREQ(L"Label", layout.GetChild().GetName());
    EXPECT_FALSE(layout.GetSibling().IsValid());
    EXPECT_TRUE(root.GetChild().HasSiblings());
    EXPECT_FALSE(root.GetChild(L"Missing").IsValid());
    EXPECT_FALSE(root.GetChild().HasAttribute(L"name"));
    EXPECT_TRUE(root.GetChild().HasAttributes());

    CMarkupNode invalid;
    EXPECT_FALSE(invalid.GetChild().IsValid());
    EXPECT_FALSE(invalid.GetParent().IsValid());
    EXPECT_EQ(nullptr, invalid.GetName());
    EXPECT_EQ(nullptr, invalid.GetValue());
    EXPECT_EQ(nullptr, invalid.GetAttributeValue(L"x"));
    EXPECT_EQ(0, invalid.GetAttributeCount());
    EXPECT_FALSE(invalid.HasAttributes());
    wchar_t buffer[4];
    EXPECT_FALSE(invalid.GetAttributeValue(L"x", buffer, 4));
}

TEST(Markup, AttributeCopyIsBoundedAndUnterminatedWhenFull) {
    CMarkup m(L"<a k=\"abcdef\"/>");
    CMarkupNode root = m.GetRoot();
    wchar_t buffer[8];
    wmemset(buffer, L'#', 8);
    EXPECT_TRUE(root.GetAttributeValue(L"k", buffer, 3));
    EXPECT_EQ(std::wstring(L"abc#"), std::wstring(buffer, 4));
    EXPECT_TRUE(root.GetAttributeValue(0, buffer, 8));
    EXPECT_STREQ(L"abcdef", buffer);
    EXPECT_FALSE(root.GetAttributeValue(L"missing", buffer, 8));
    EXPECT_FALSE(root.GetAttributeValue(1, buffer, 8));
}

TEST(Markup, CollapsingWhitespaceWhenAsked) {
    CMarkup m;
    m.SetPreserveWhitespace(false);
    ASSERT_TRUE(m.Load(L"<a v=\"a    b\">x  \t y</a>"));
    EXPECT_STREQ(L"a b", m.GetRoot().GetAttributeValue(L"v"));
    EXPECT_STREQ(L"x y", m.GetRoot().GetValue());
}

TEST(Markup, LoadingAgainReplacesTheDocument) {
    CMarkup m(L"<first/>");
    EXPECT_STREQ(L"first", m.GetRoot().GetName());
    ASSERT_TRUE(m.Load(L"<second a=\"1\"/>"));
    EXPECT_STREQ(L"second", m.GetRoot().GetName());
    EXPECT_FALSE(m.Load(L"<broken"));
    EXPECT_FALSE(m.IsValid());
    ASSERT_TRUE(m.Load(L"<third/>"));
    EXPECT_STREQ(L"third", m.GetRoot().GetName());
    m.Release();
    EXPECT_FALSE(m.IsValid());
    EXPECT_FALSE(m.GetRoot().IsValid());
}

TEST(Markup, DeepNestingDoesNotExhaustTheStack) {
    // Used to recurse once per level.
    const int depth = 200000;
    std::wstring xml;
    xml.reserve(depth * 8);
    for (int i = 0; i < depth; ++i)
        xml += L"<a>";
    for (int i = 0; i < depth; ++i)
        xml += L"</a>";
    CMarkup m;
    ASSERT_TRUE(m.Load(xml.c_str()));
    CMarkupNode node = m.GetRoot();
    int levels = 0;
    while (node.IsValid()) {
        ++levels;
        node = node.GetChild();
    }
    EXPECT_EQ(depth, levels);
}

// ---------------------------------------------------------------------------
// Encodings

// "<Label text=\"青梧\"/>" with the two characters in each encoding.
const char kUtf8Doc[] = "\xEF\xBB\xBF<Label text=\"\xE9\x9D\x92\xE6\xA2\xA7\"/>";
const char kGbkDoc[] = "<Label text=\"\xC7\xE0\xCE\xE0\"/>";

std::vector<BYTE> Bytes(const char* s, size_t n) {
    return std::vector<BYTE>(s, s + n);
}

std::vector<BYTE> Utf16(const std::wstring& text, bool bigEndian) {
    std::vector<BYTE> out = {static_cast<BYTE>(bigEndian ? 0xFE : 0xFF),
                             static_cast<BYTE>(bigEndian ? 0xFF : 0xFE)};
    for (wchar_t c : text) {
        const BYTE lo = static_cast<BYTE>(c & 0xFF), hi = static_cast<BYTE>(c >> 8);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    }
    return out;
}

TEST(Markup, AllThreeEncodings) {
    const std::wstring expected = L"Label[text=青梧]";
    {
        std::vector<BYTE> b = Bytes(kUtf8Doc, sizeof(kUtf8Doc) - 1);
        CMarkup m;
        ASSERT_TRUE(m.LoadFromMem(b.data(), static_cast<DWORD>(b.size()), 0));
        EXPECT_EQ(expected, Dump(m.GetRoot()));
    }
    {
        // Without the byte-order mark.
        std::vector<BYTE> b = Bytes(kUtf8Doc + 3, sizeof(kUtf8Doc) - 4);
        CMarkup m;
        ASSERT_TRUE(m.LoadFromMem(b.data(), static_cast<DWORD>(b.size()), 0));
        EXPECT_EQ(expected, Dump(m.GetRoot()));
    }
    {
        std::vector<BYTE> b = Bytes(kGbkDoc, sizeof(kGbkDoc) - 1);
        CMarkup m;
        ASSERT_TRUE(m.LoadFromMem(b.data(), static_cast<DWORD>(b.size()), 2));
        EXPECT_EQ(expected, Dump(m.GetRoot()));
    }
    for (bool bigEndian : {false, true}) {
        std::vector<BYTE> b = Utf16(L"<Label text=\"青梧\"/>", bigEndian);
        b.push_back(0x41); // an odd trailing byte is ignored
        CMarkup m;
        ASSERT_TRUE(m.LoadFromMem(b.data(), static_cast<DWORD>(b.size()), 1));
        EXPECT_EQ(expected, Dump(m.GetRoot()));
        // Big-endian text is swapped in the caller's buffer.
        EXPECT_EQ(0x3C, b[2]);
        EXPECT_EQ(0x00, b[3]);
    }
}

TEST(Markup, Utf8TextReadsAsTheSystemConverterReadsTheWholeDocument) {
    // Well-formed sequences of every length, then malformed ones, each in an
    // attribute and in element text; the document must read as the same text
    // converted by the system in one piece and loaded as UTF-16.
    const char* const cases[] = {
        "plain",
        "\xC3\xA9t\xC3\xA9",
        "\xE9\x9D\x92\xE6\xA2\xA7",
        "\xF0\x9F\x98\x80!",
        "\xEF\xBF\xBF\xEF\xBB\xBF",
        "x\xE1y",
        "\xF0\x9Fz",
        "\xC0\xAF",
        "\xE0\x80\xAF",
        "\xED\xA0\x80",
        "\xF4\x90\x80\x80",
        "\x80\xBF",
        "\xFF",
        "\xE4\xFA"
        "5",
        "\xE9\x9D\x92\xE6\xA2",
        "ok\xC3\xA9\xE1",
    };
    for (const char* text : cases) {
        const std::string doc = std::string("<a v=\"") + text + "\">" + text + "</a>";
        std::vector<BYTE> utf8(doc.begin(), doc.end());
        std::wstring wide(doc.size(), L'\0');
        wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, doc.data(),
                                                            static_cast<int>(doc.size()), &wide[0],
                                                            static_cast<int>(doc.size()))));
        std::vector<BYTE> utf16 = Utf16(wide, false);
        CMarkup fromUtf8, fromUtf16;
        const bool ok8 = fromUtf8.LoadFromMem(utf8.data(), static_cast<DWORD>(utf8.size()), 0);
        const bool ok16 = fromUtf16.LoadFromMem(utf16.data(), static_cast<DWORD>(utf16.size()), 1);
        EXPECT_EQ(ok16, ok8) << text;
        if (ok8 && ok16) {
            EXPECT_EQ(Dump(fromUtf16.GetRoot()), Dump(fromUtf8.GetRoot())) << text;
        }
    }
}

TEST(Markup, Utf16WithoutByteOrderMarkIsAnEmptyDocument) {
    std::vector<BYTE> b = Utf16(L"<a/>", false);
    b.erase(b.begin(), b.begin() + 2);
    CMarkup m;
    EXPECT_TRUE(m.LoadFromMem(b.data(), static_cast<DWORD>(b.size()), 1));
    EXPECT_FALSE(m.GetRoot().IsValid());
}

TEST(Markup, LoadFromMemReplacesAHeldDocument) {
    CMarkup m(L"<old/>");
    std::vector<BYTE> b = Bytes("<new/>", 6);
    ASSERT_TRUE(m.LoadFromMem(b.data(), static_cast<DWORD>(b.size())));
    EXPECT_STREQ(L"new", m.GetRoot().GetName());
}

// ---------------------------------------------------------------------------
// Loading from the resource source

class MarkupFile : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_dir = std::wstring(temp) + L"skinui_markup_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_dir.c_str(), nullptr);
        CPaintManagerUI::SetResourcePath(m_dir.c_str());
    }
    void TearDown() override {
        CPaintManagerUI::SetResourceZip(L"", false);
        CPaintManagerUI::Term();
        CPaintManagerUI::SetResourcePath(L"");
        for (const std::wstring& f : m_files)
            DeleteFileW(f.c_str());
        RemoveDirectoryW(m_dir.c_str());
    }
    void Write(const wchar_t* name, const std::string& bytes) {
        const std::wstring path = m_dir + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
        m_files.push_back(path);
    }

    std::wstring m_dir;
    std::vector<std::wstring> m_files;
};

TEST_F(MarkupFile, PlainFilesAndTheirLimits) {
    Write(L"skin.xml", "<Window size=\"560,420\"/>");
    Write(L"empty.xml", "");
    Write(L"limit.xml", "<a/>" + std::string(0x400000 - 4, ' '));
    Write(L"big.xml", "<a/>" + std::string(0x400000 - 3, ' '));
    CMarkup m;
    ASSERT_TRUE(m.LoadFromFile(L"skin.xml"));
    EXPECT_STREQ(L"560,420", m.GetRoot().GetAttributeValue(L"size"));
    ASSERT_TRUE(m.LoadFromFile(L"skin.xml")) << "loading twice in a row";

    struct {
        const wchar_t* name;
        const wchar_t* message;
    } failures[] = {
        {L"missing.xml", L"Error opening file"},
        {L"empty.xml", L"File is empty"},
        {L"big.xml", L"File too large"},
    };
    for (const auto& f : failures) {
        EXPECT_FALSE(m.LoadFromFile(f.name));
        EXPECT_FALSE(m.IsValid());
        EXPECT_EQ(std::wstring(f.message), Message(m)) << f.name;
        EXPECT_EQ(std::wstring(f.name), Location(m));
    }
    EXPECT_TRUE(m.LoadFromFile(L"limit.xml")) << "exactly 4 MiB is allowed";
}

TEST_F(MarkupFile, ArchiveEntriesAndTheirFailures) {
    using qmtest::ZipEntry;
    std::vector<ZipEntry> entries(5);
    entries[0].name = "skin.xml";
    entries[0].data = "\xEF\xBB\xBF<Window caption=\"0,0,0,262\"/>";
    entries[1].name = "empty.xml";
    entries[2].name = "big.xml";
    entries[2].data = "<a/>" + std::string(0x400000, ' ');
    entries[3].name = "crc.xml";
    entries[3].data = "<a/>";
    entries[3].wrongCrc = true;
    entries[4].name = "stored.xml";
    entries[4].data = "<Stored/>";
    entries[4].deflate = false;
    Write(L"skin.zip", qmtest::BuildZip(entries));

    for (bool cached : {true, false}) {
        CPaintManagerUI::SetResourceZip(L"skin.zip", cached);
        CMarkup m;
        ASSERT_TRUE(m.LoadFromFile(L"Skin.XML")) << "entry names ignore case";
        EXPECT_STREQ(L"0,0,0,262", m.GetRoot().GetAttributeValue(L"caption"));
        ASSERT_TRUE(m.LoadFromFile(L"stored.xml"));
        EXPECT_STREQ(L"Stored", m.GetRoot().GetName());
        struct {
            const wchar_t* name;
            const wchar_t* message;
        } failures[] = {
            {L"missing.xml", L"Could not find ziped file"},
            {L"empty.xml", L"File is empty"},
            {L"big.xml", L"File too large"},
            {L"crc.xml", L"Could not unzip file"},
        };
        for (const auto& f : failures) {
            EXPECT_FALSE(m.LoadFromFile(f.name));
            EXPECT_EQ(std::wstring(f.message), Message(m)) << f.name;
        }
        CPaintManagerUI::SetResourceZip(L"", false);
    }

    CPaintManagerUI::SetResourceZip(L"nothere.zip", false);
    CMarkup m;
    EXPECT_FALSE(m.LoadFromFile(L"skin.xml"));
    EXPECT_EQ(std::wstring(L"Error opening zip file"), Message(m));
    CPaintManagerUI::SetResourceZip(L"nothere.zip", true);
    EXPECT_FALSE(m.LoadFromFile(L"skin.xml"));
    EXPECT_EQ(std::wstring(L"Error opening zip file"), Message(m));
}

TEST_F(MarkupFile, MemoryArchive) {
    using qmtest::ZipEntry;
    std::vector<ZipEntry> entries(1);
    entries[0].name = "skin.xml";
    entries[0].data = "<Window/>";
    const std::string zip = qmtest::BuildZip(entries);
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    CMarkup m;
    ASSERT_TRUE(m.LoadFromFile(L"SKIN.xml"));
    EXPECT_STREQ(L"Window", m.GetRoot().GetName());
}

} // namespace

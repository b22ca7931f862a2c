// Seeded random damage to real skin documents: every load must end in a
// parsed document that can be walked, or in one of the parser's messages,
// without reading outside the input.
#include "skinui/core/Markup.h"
#include "tests/skinui/support/GuardedBuffer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

// The parser's document text is allocated with new[] (nothrow). While a load
// runs under GuardAllocations, such blocks end right before an inaccessible
// page, so a read or write past the end of the text faults instead of going
// unnoticed in the heap.
namespace {

bool g_guardAllocations = false;

struct GuardedBlock {
    void* data;
    void* base;
};
GuardedBlock g_guardedBlocks[8];

} // namespace

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    if (g_guardAllocations) {
        for (GuardedBlock& block : g_guardedBlocks) {
            if (block.data != nullptr)
                continue;
            SYSTEM_INFO info;
            GetSystemInfo(&info);
            const size_t page = info.dwPageSize;
            const size_t pages = (size + page - 1) / page;
            BYTE* base = static_cast<BYTE*>(VirtualAlloc(nullptr, (pages + 1) * page,
                                                         MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
            if (base == nullptr)
                return nullptr;
            DWORD old = 0;
            VirtualProtect(base + pages * page, page, PAGE_NOACCESS, &old);
            block.base = base;
            block.data = base + pages * page - size;
            return block.data;
        }
    }
    return malloc(size != 0 ? size : 1);
}

void operator delete[](void* p) noexcept {
    for (GuardedBlock& block : g_guardedBlocks) {
        if (p != nullptr && block.data == p) {
            VirtualFree(block.base, 0, MEM_RELEASE);
            block.data = block.base = nullptr;
            return;
        }
    }
    free(p);
}

void operator delete[](void* p, size_t) noexcept {
    operator delete[](p);
}

namespace {

class GuardAllocations {
public:
    GuardAllocations() { g_guardAllocations = true; }
    ~GuardAllocations() { g_guardAllocations = false; }
};

} // namespace

extern const unsigned char kSkinDocument[];
extern const unsigned kSkinDocumentSize;

using SkinUI::CMarkup;
using SkinUI::CMarkupNode;
using skinui_test::GuardedBuffer;

namespace {

const char kSmallDocument[] =
    "<?xml version=\"1.0\"?>\n<!-- a comment -> with -- dashes -->\n"
    "<Window size=\"10,20\" a=\"&amp;&lt;&gt;&quot;&apos;\" b=\"x &copy; y\">head"
    "<Button name=\"ok\" normalimage=\"file='a.png' dest='1,2,3,4'\"/>"
    "<Label>text &amp; more</Label ><Layout><A/><B x=\"1\" y=\"2\"></B></Layout>"
    "</Window>";

const std::set<std::wstring>& Messages() {
    static const std::set<std::wstring> messages = {
        L"Expected start tag",         L"Error parsing element name",
        L"Expected start-tag closing", L"Expected end-tag start",
        L"Unmatched closing tag",      L"Error while parsing attributes",
        L"Expected attribute value",   L"Error while parsing attribute string",
    };
    return messages;
}

// Visits every element and every attribute query; answers the element count.
int Walk(CMarkup& m) {
    int count = 0;
    std::vector<CMarkupNode> pending;
    for (CMarkupNode n = m.GetRoot(); n.IsValid(); n = n.GetSibling())
        pending.push_back(n);
    while (!pending.empty()) {
        CMarkupNode node = pending.back();
        pending.pop_back();
        ++count;
        const wchar_t* name = node.GetName();
        const wchar_t* value = node.GetValue();
        EXPECT_TRUE(name != nullptr && value != nullptr);
        const int attributes = node.GetAttributeCount();
        EXPECT_LE(attributes, 64);
        for (int i = 0; i < attributes; ++i) {
            const wchar_t* attrName = node.GetAttributeName(i);
            (void)wcslen(node.GetAttributeValue(i));
            // The name finds its first occurrence, which may be an earlier duplicate.
            EXPECT_TRUE(node.HasAttribute(attrName));
            (void)wcslen(node.GetAttributeValue(attrName));
        }
        (void)node.GetChild(name);
        (void)node.GetParent().IsValid();
        for (CMarkupNode c = node.GetChild(); c.IsValid(); c = c.GetSibling())
            pending.push_back(c);
    }
    return count;
}

template <typename Unit> class Mutator {
public:
    explicit Mutator(unsigned seed) : m_rng(seed) {}

    std::basic_string<Unit> operator()(std::basic_string<Unit> s) {
        static const char special[] = "<>/\"=&!?- ;'\t\n:_a";
        static const char* const fragments[] = {"&amp;", "&lt;", "&",  "&quo", "<!--", "-->",
                                                "?>",    "</",   "/>", "=\"",  "<a ",  "\""};
        const int ops = 1 + Next(4);
        for (int op = 0; op < ops && !s.empty(); ++op) {
            const size_t at = Next(static_cast<int>(s.size()));
            switch (Next(7)) {
            case 0:
                s[at] = static_cast<Unit>(Next(sizeof(Unit) == 1 ? 256 : 0x10000));
                break;
            case 1:
                s[at] = static_cast<Unit>(special[Next(sizeof(special) - 1)]);
                break;
            case 2:
                s.erase(at, 1 + Next(16));
                break;
            case 3: {
                const std::basic_string<Unit> piece = s.substr(at, 1 + Next(64));
                s.insert(Next(static_cast<int>(s.size())), piece);
                break;
            }
            case 4:
                s.resize(at);
                break;
            case 5: {
                const char* f = fragments[Next(sizeof(fragments) / sizeof(fragments[0]))];
                s.insert(at, std::basic_string<Unit>(f, f + strlen(f)));
                break;
            }
            default:
                s[at] = 0;
                break;
            }
        }
        return s;
    }
    int Next(int bound) { return bound <= 0 ? 0 : static_cast<int>(m_rng() % bound); }

private:
    std::mt19937 m_rng;
};

std::wstring ToWide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string ToGbk(const std::wstring& wide) {
    const int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                      0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::string ToUtf16Bytes(const std::wstring& wide, int bom) {
    std::string out;
    if (bom == 1)
        out = "\xFF\xFE";
    else if (bom == 2)
        out = "\xFE\xFF";
    for (wchar_t c : wide) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out += bom == 2 ? hi : lo;
        out += bom == 2 ? lo : hi;
    }
    return out;
}

class Outcomes {
public:
    void Check(CMarkup& m, bool ok, const char* what, int iteration) {
        if (ok) {
            ++m_parsed;
            m_elements += Walk(m);
            return;
        }
        ++m_failed;
        wchar_t message[100];
        m.GetLastErrorMessage(message, 100);
        EXPECT_EQ(1u, Messages().count(message))
            << what << " iteration " << iteration << ": unexpected message";
        EXPECT_FALSE(m.IsValid());
    }
    int Parsed() const { return m_parsed; }
    int Failed() const { return m_failed; }

private:
    int m_parsed = 0;
    int m_failed = 0;
    long long m_elements = 0;
};

std::vector<std::string> SeedDocuments() {
    return {std::string(reinterpret_cast<const char*>(kSkinDocument), kSkinDocumentSize),
            std::string(kSmallDocument)};
}

TEST(MarkupRobustness, EveryPrefixOfTheSkinDocument) {
    const std::string doc(reinterpret_cast<const char*>(kSkinDocument), kSkinDocumentSize);
    Outcomes outcomes;
    for (size_t len = 0; len <= doc.size(); ++len) {
        GuardedBuffer bytes(doc.data(), len);
        CMarkup m;
        bool ok;
        {
            GuardAllocations guard;
            ok = m.LoadFromMem(bytes.Data(), static_cast<DWORD>(len), 0);
        }
        outcomes.Check(m, ok, "prefix", static_cast<int>(len));
    }
    EXPECT_GT(outcomes.Parsed(), 0);
    EXPECT_GT(outcomes.Failed(), 0);
}

TEST(MarkupRobustness, RandomDamageInEveryEncoding) {
    const int kIterations = 2500;
    Outcomes outcomes;
    const std::vector<std::string> seeds = SeedDocuments();
    for (size_t s = 0; s < seeds.size(); ++s) {
        const std::wstring wide = ToWide(seeds[s]);
        Mutator<char> bytes(0xC0FFEE + static_cast<unsigned>(s));
        Mutator<wchar_t> chars(0xBEEF + static_cast<unsigned>(s));
        const std::string gbk = ToGbk(wide);
        // Loads the bytes as the encoding numbered `encoding`, with every
        // allocation of the load guarded.
        auto loadBytes = [&outcomes](const std::string& bytesIn, int encoding, const char* label,
                                     int i) {
            GuardedBuffer buffer(bytesIn.data(), bytesIn.size());
            CMarkup m;
            bool ok;
            {
                GuardAllocations guard;
                ok = m.LoadFromMem(buffer.Data(), static_cast<DWORD>(buffer.Size()), encoding);
            }
            outcomes.Check(m, ok, label, i);
        };
        for (int i = 0; i < kIterations; ++i) {
            loadBytes(bytes(seeds[s]), 0, "utf-8", i);
            loadBytes(bytes(gbk), 2, "ansi", i);
            const std::wstring damagedWide = chars(wide);
            {
                std::string utf16 = ToUtf16Bytes(damagedWide, 1 + chars.Next(3) % 3);
                if (chars.Next(8) == 0 && !utf16.empty())
                    utf16.resize(utf16.size() - 1); // an odd byte count
                loadBytes(utf16, 1, "utf-16", i);
            }
            {
                // Load copies up to the first terminator, which ends the page.
                GuardedBuffer buffer(damagedWide.c_str(),
                                     (damagedWide.size() + 1) * sizeof(wchar_t));
                CMarkup m;
                bool ok;
                {
                    GuardAllocations guard;
                    ok = m.Load(reinterpret_cast<const wchar_t*>(buffer.Data()));
                }
                outcomes.Check(m, ok, "wide", i);
            }
        }
    }
    // The damage must reach both outcomes often, or it tests little.
    EXPECT_GT(outcomes.Parsed(), 1000);
    EXPECT_GT(outcomes.Failed(), 1000);
}

} // namespace

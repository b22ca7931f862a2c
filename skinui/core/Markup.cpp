#include "skinui/core/Markup.h"

#include "skinui/core/SkinFile.h"

#include <cassert>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>

namespace SkinUI {

namespace {

const wchar_t kEmpty[] = L"";

// Whitespace is every character up to the space, except the terminator that
// ends the text (or a string written into it).
inline bool IsSpace(wchar_t c) {
    return c != 0 && c <= L' ';
}

template <typename Char> inline void SkipWhitespace(Char*& p) {
    while (IsSpace(*p))
        ++p;
}

// Element and attribute names: letters and digits as the platform classifies
// them, '_' and ':'. ASCII is decided here, since names are almost always
// ASCII and the platform call per character would dominate the parse.
struct NameCharTable {
    NameCharTable() {
        for (int c = 0; c < 0x80; ++c) {
            ascii[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == ':';
        }
    }
    bool ascii[0x80];
};
const NameCharTable kNameChars;

inline bool IsNameChar(wchar_t c) {
    if (c < 0x80)
        return kNameChars.ascii[c];
    return iswalnum(c) != 0;
}

inline void SkipIdentifier(wchar_t*& p) {
    while (IsNameChar(*p))
        ++p;
}

// Copies at most max - 1 characters and terminates, when there is room at all.
void CopyTerminated(wchar_t* dest, const wchar_t* src, SIZE_T max) {
    if (dest == nullptr || max == 0)
        return;
    SIZE_T i = 0;
    for (; i + 1 < max && src[i] != 0; ++i)
        dest[i] = src[i];
    dest[i] = 0;
}

void CopyAtMost(wchar_t* dest, SIZE_T capacity, const wchar_t* src, SIZE_T max) {
    if (max > capacity - 1)
        max = capacity - 1;
    SIZE_T i = 0;
    if (src != nullptr) {
        for (; i < max && src[i] != 0; ++i)
            dest[i] = src[i];
    }
    dest[i] = 0;
}

// UTF-8 to UTF-16 for a skin document, which is nearly all ASCII: runs of
// ASCII are widened four bytes at a time and well-formed multi-byte sequences
// are decoded here. From the first malformed sequence on, the rest of the
// text goes to the system's converter, which replaces what it cannot decode
// as it always has (how many characters a malformed sequence takes with it
// differs between Windows and Wine, so none of that is imitated here). The
// converter keeps no state across characters, and everything before that
// point is well formed, so the result is the converter's own for the whole
// text. dest has room for cb units (no sequence makes more units than bytes);
// answers the units written, or -1 when the system's converter failed.
int WidenUtf8(const BYTE* src, DWORD cb, wchar_t* dest) {
    DWORD i = 0;
    DWORD out = 0;
    while (i < cb) {
        while (i + 4 <= cb) {
            uint32_t four;
            memcpy(&four, src + i, 4);
            if ((four & 0x80808080u) != 0)
                break;
            dest[out] = src[i];
            dest[out + 1] = src[i + 1];
            dest[out + 2] = src[i + 2];
            dest[out + 3] = src[i + 3];
            i += 4;
            out += 4;
        }
        while (i < cb && src[i] < 0x80)
            dest[out++] = src[i++];
        if (i >= cb)
            break;

        bool wellFormed = true;
        while (i < cb && src[i] >= 0x80) {
            const BYTE lead = src[i];
            const DWORD left = cb - i;
            auto trail = [&](DWORD k, BYTE low, BYTE high) {
                return k < left && src[i + k] >= low && src[i + k] <= high;
            };
            if (lead >= 0xC2 && lead <= 0xDF && trail(1, 0x80, 0xBF)) {
                dest[out++] = static_cast<wchar_t>(((lead & 0x1F) << 6) | (src[i + 1] & 0x3F));
                i += 2;
            } else if (lead >= 0xE0 && lead <= 0xEF &&
                       trail(1, lead == 0xE0 ? 0xA0 : 0x80, lead == 0xED ? 0x9F : 0xBF) &&
                       trail(2, 0x80, 0xBF)) {
                dest[out++] = static_cast<wchar_t>(
                    ((lead & 0x0F) << 12) | ((src[i + 1] & 0x3F) << 6) | (src[i + 2] & 0x3F));
                i += 3;
            } else if (lead >= 0xF0 && lead <= 0xF4 &&
                       trail(1, lead == 0xF0 ? 0x90 : 0x80, lead == 0xF4 ? 0x8F : 0xBF) &&
                       trail(2, 0x80, 0xBF) && trail(3, 0x80, 0xBF)) {
                const uint32_t cp = ((lead & 0x07u) << 18) | ((src[i + 1] & 0x3Fu) << 12) |
                                    ((src[i + 2] & 0x3Fu) << 6) | (src[i + 3] & 0x3Fu);
                dest[out++] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
                dest[out++] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                i += 4;
            } else {
                wellFormed = false;
                break;
            }
        }
        if (!wellFormed) {
            const int n = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(src + i),
                                              static_cast<int>(cb - i), dest + out,
                                              static_cast<int>(cb - out));
            if (n <= 0)
                return -1;
            return static_cast<int>(out + static_cast<DWORD>(n));
        }
    }
    return static_cast<int>(out);
}

} // namespace

// ===========================================================================
// CMarkupNode

CMarkupNode::CMarkupNode() : m_iPos(0), m_nAttributes(0), m_pOwner(nullptr) {
}

CMarkupNode::CMarkupNode(CMarkup* owner, int pos) : m_iPos(pos), m_nAttributes(0), m_pOwner(owner) {
}

CMarkupNode CMarkupNode::GetParent() {
    if (m_pOwner == nullptr)
        return CMarkupNode();
    const ULONG pos = m_pOwner->m_pElements[m_iPos].iParent;
    if (pos == 0)
        return CMarkupNode();
    return CMarkupNode(m_pOwner, static_cast<int>(pos));
}

CMarkupNode CMarkupNode::GetSibling() {
    if (m_pOwner == nullptr)
        return CMarkupNode();
    const ULONG pos = m_pOwner->m_pElements[m_iPos].iNext;
    if (pos == 0)
        return CMarkupNode();
    return CMarkupNode(m_pOwner, static_cast<int>(pos));
}

CMarkupNode CMarkupNode::GetChild() {
    if (m_pOwner == nullptr)
        return CMarkupNode();
    const ULONG pos = m_pOwner->m_pElements[m_iPos].iChild;
    if (pos == 0)
        return CMarkupNode();
    return CMarkupNode(m_pOwner, static_cast<int>(pos));
}

CMarkupNode CMarkupNode::GetChild(const wchar_t* name) {
    if (m_pOwner == nullptr || name == nullptr)
        return CMarkupNode();
    ULONG pos = m_pOwner->m_pElements[m_iPos].iChild;
    while (pos != 0) {
        if (_wcsicmp(m_pOwner->m_pstrXML + m_pOwner->m_pElements[pos].iStart, name) == 0)
            return CMarkupNode(m_pOwner, static_cast<int>(pos));
        pos = m_pOwner->m_pElements[pos].iNext;
    }
    return CMarkupNode();
}

bool CMarkupNode::HasSiblings() const {
    return m_pOwner != nullptr && m_pOwner->m_pElements[m_iPos].iNext > 0;
}

bool CMarkupNode::HasChildren() const {
    return m_pOwner != nullptr && m_pOwner->m_pElements[m_iPos].iChild != 0;
}

const wchar_t* CMarkupNode::GetName() const {
    if (m_pOwner == nullptr)
        return nullptr;
    return m_pOwner->m_pstrXML + m_pOwner->m_pElements[m_iPos].iStart;
}

const wchar_t* CMarkupNode::GetValue() const {
    if (m_pOwner == nullptr)
        return nullptr;
    return m_pOwner->m_pstrXML + m_pOwner->m_pElements[m_iPos].iData;
}

// The parse left each attribute as name, terminator, filler, opening quote,
// value, terminator, filler: the walk below steps over exactly that, and never
// beyond the element's value, which follows the attributes.
void CMarkupNode::MapAttributes() {
    m_nAttributes = 0;
    const wchar_t* text = m_pOwner->m_pstrXML;
    const CMarkup::XMLELEMENT& el = m_pOwner->m_pElements[m_iPos];
    const wchar_t* p = text + el.iStart;
    const wchar_t* end = text + el.iData;
    auto stepPastString = [&end](const wchar_t* s) {
        while (s < end && *s != 0)
            ++s;
        return s + 1;
    };
    p = stepPastString(p);
    while (p < end) {
        SkipWhitespace(p);
        if (p >= end)
            return;
        const wchar_t* name = p;
        p = stepPastString(p);
        if (p >= end)
            return;
        SkipWhitespace(p);
        if (p >= end || *p != L'"')
            return;
        ++p;
        m_aAttributes[m_nAttributes].iName = static_cast<ULONG>(name - text);
        m_aAttributes[m_nAttributes].iValue = static_cast<ULONG>(p - text);
        if (++m_nAttributes >= MAX_XML_ATTRIBUTES)
            return;
        p = stepPastString(p);
    }
}

bool CMarkupNode::HasAttributes() {
    if (m_pOwner == nullptr)
        return false;
    if (m_nAttributes == 0)
        MapAttributes();
    return m_nAttributes > 0;
}

int CMarkupNode::GetAttributeCount() {
    if (m_pOwner == nullptr)
        return 0;
    if (m_nAttributes == 0)
        MapAttributes();
    return m_nAttributes;
}

int CMarkupNode::FindAttribute(const wchar_t* name) {
    if (m_pOwner == nullptr || name == nullptr)
        return -1;
    if (m_nAttributes == 0)
        MapAttributes();
    for (int i = 0; i < m_nAttributes; ++i) {
        if (_wcsicmp(m_pOwner->m_pstrXML + m_aAttributes[i].iName, name) == 0)
            return i;
    }
    return -1;
}

bool CMarkupNode::HasAttribute(const wchar_t* name) {
    return FindAttribute(name) >= 0;
}

const wchar_t* CMarkupNode::GetAttributeName(int index) {
    if (m_pOwner == nullptr)
        return nullptr;
    if (m_nAttributes == 0)
        MapAttributes();
    if (index < 0 || index >= m_nAttributes)
        return kEmpty;
    return m_pOwner->m_pstrXML + m_aAttributes[index].iName;
}

const wchar_t* CMarkupNode::GetAttributeValue(int index) {
    if (m_pOwner == nullptr)
        return nullptr;
    if (m_nAttributes == 0)
        MapAttributes();
    if (index < 0 || index >= m_nAttributes)
        return kEmpty;
    return m_pOwner->m_pstrXML + m_aAttributes[index].iValue;
}

const wchar_t* CMarkupNode::GetAttributeValue(const wchar_t* name) {
    if (m_pOwner == nullptr)
        return nullptr;
    const int index = FindAttribute(name);
    if (index < 0)
        return kEmpty;
    return m_pOwner->m_pstrXML + m_aAttributes[index].iValue;
}

bool CMarkupNode::GetAttributeValue(int index, wchar_t* value, SIZE_T max) {
    if (m_pOwner == nullptr || value == nullptr)
        return false;
    if (m_nAttributes == 0)
        MapAttributes();
    if (index < 0 || index >= m_nAttributes)
        return false;
    wcsncpy(value, m_pOwner->m_pstrXML + m_aAttributes[index].iValue, max);
    return true;
}

bool CMarkupNode::GetAttributeValue(const wchar_t* name, wchar_t* value, SIZE_T max) {
    if (m_pOwner == nullptr || value == nullptr)
        return false;
    const int index = FindAttribute(name);
    if (index < 0)
        return false;
    wcsncpy(value, m_pOwner->m_pstrXML + m_aAttributes[index].iValue, max);
    return true;
}

// ===========================================================================
// CMarkup: loading

CMarkup::CMarkup(const wchar_t* xml)
    : m_pstrXML(nullptr), m_pElements(nullptr), m_nElements(0), m_nReservedElements(0),
      m_bPreserveWhitespace(true) {
    m_szErrorMsg[0] = 0;
    m_szErrorXML[0] = 0;
    if (xml != nullptr)
        Load(xml);
}

CMarkup::~CMarkup() {
    Release();
}

void CMarkup::Release() {
    delete[] m_pstrXML;
    free(m_pElements);
    m_pstrXML = nullptr;
    m_pElements = nullptr;
    m_nElements = 0;
}

bool CMarkup::Load(const wchar_t* xml) {
    Release();
    if (xml == nullptr)
        xml = kEmpty;
    const size_t cch = wcslen(xml);
    m_pstrXML = new (std::nothrow) wchar_t[cch + 1];
    if (m_pstrXML == nullptr)
        return Failed(L"Out of memory");
    memcpy(m_pstrXML, xml, (cch + 1) * sizeof(wchar_t));
    const bool ok = Parse();
    if (!ok)
        Release();
    return ok;
}

bool CMarkup::LoadFromMem(BYTE* bytes, DWORD size, int encoding) {
    // Loading over a document would leak it; the object is emptied first.
    Release();
    if (bytes == nullptr)
        size = 0;
    if (size > static_cast<DWORD>(INT_MAX) - 1)
        return Failed(L"File too large");

    if (encoding == XMLFILE_ENCODING_UNICODE) {
        DWORD count = 0;
        const BYTE* chars = bytes;
        if (size >= 2 &&
            ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
            count = size / 2 - 1;
            chars = bytes + 2;
            if (bytes[0] == 0xFE) {
                for (DWORD i = 0; i < count; ++i) {
                    BYTE* pair = bytes + 2 + i * 2;
                    const BYTE t = pair[0];
                    pair[0] = pair[1];
                    pair[1] = t;
                }
            }
        }
        // Without a byte-order mark nothing is taken: an empty document.
        m_pstrXML = new (std::nothrow) wchar_t[static_cast<size_t>(count) + 1];
        if (m_pstrXML == nullptr)
            return Failed(L"Out of memory");
        if (count > 0)
            memcpy(m_pstrXML, chars, static_cast<size_t>(count) * 2);
        m_pstrXML[count] = 0;
    } else {
        const BYTE* src = bytes;
        DWORD cb = size;
        UINT codePage = CP_ACP;
        if (encoding != XMLFILE_ENCODING_ANSI) {
            assert(encoding == XMLFILE_ENCODING_UTF8 && "LoadFromMem: encoding must be 0, 1 or 2");
            codePage = CP_UTF8;
            if (cb >= 3 && src[0] == 0xEF && src[1] == 0xBB && src[2] == 0xBF) {
                src += 3;
                cb -= 3;
            }
        }
        // Neither UTF-8 nor a double-byte code page makes more UTF-16 units than
        // bytes, so one pass converts into a buffer sized by the byte count.
        m_pstrXML = new (std::nothrow) wchar_t[static_cast<size_t>(cb) + 1];
        if (m_pstrXML == nullptr)
            return Failed(L"Out of memory");
        int cch = 0;
        if (cb > 0) {
            cch = codePage == CP_UTF8 ? WidenUtf8(src, cb, m_pstrXML) : -1;
            if (cch < 0)
                cch = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(src),
                                          static_cast<int>(cb), m_pstrXML, static_cast<int>(cb));
            if (cch < 0)
                cch = 0;
        }
        m_pstrXML[cch] = 0;
    }
    const bool ok = Parse();
    if (!ok)
        Release();
    return ok;
}

bool CMarkup::LoadFromFile(const wchar_t* name, int encoding) {
    Release();
    m_szErrorMsg[0] = 0;
    m_szErrorXML[0] = 0;
    CSkinFileBuffer bytes;
    switch (ReadSkinFile(name, kMaxFileSize, &bytes)) {
    case SkinFileError::None:
        break;
    case SkinFileError::OpenFile:
        return FailedLoad(L"Error opening file", name);
    case SkinFileError::Empty:
        return FailedLoad(L"File is empty", name);
    case SkinFileError::TooLarge:
        return FailedLoad(L"File too large", name);
    case SkinFileError::ReadFile:
        return FailedLoad(L"Could not read file", name);
    case SkinFileError::OpenZip:
        return FailedLoad(L"Error opening zip file", name);
    case SkinFileError::EntryNotFound:
        return FailedLoad(L"Could not find ziped file", name);
    case SkinFileError::Unzip:
        return FailedLoad(L"Could not unzip file", name);
    }
    return LoadFromMem(bytes.GetData(), bytes.GetSize(), encoding);
}

void CMarkup::GetLastErrorMessage(wchar_t* message, SIZE_T max) const {
    CopyTerminated(message, m_szErrorMsg, max);
}

void CMarkup::GetLastErrorLocation(wchar_t* source, SIZE_T max) const {
    CopyTerminated(source, m_szErrorXML, max);
}

CMarkupNode CMarkup::GetRoot() {
    if (m_nElements < 2)
        return CMarkupNode();
    return CMarkupNode(this, 1);
}

bool CMarkup::Failed(const wchar_t* message, const wchar_t* location) {
    CopyAtMost(m_szErrorMsg, 100, message, 99);
    CopyAtMost(m_szErrorXML, 50, location, 49);
    return false;
}

// Loading messages name the file as their location.
bool CMarkup::FailedLoad(const wchar_t* message, const wchar_t* name) {
    Release();
    return Failed(message, name);
}

// ===========================================================================
// CMarkup: parsing
//
// The document is parsed in place: terminators and decoded text are written
// into the text buffer, always at or behind the read position, so that every
// name and value becomes a terminated string inside it.
//
// The descent over nested elements keeps its levels on a heap stack instead
// of the machine stack, so that a document nested a million levels deep is
// parsed like any other instead of overflowing the thread's stack.

struct CMarkup::ParseFrame {
    ULONG iParent;   // the element whose children this level parses (0: top level)
    ULONG iPrevious; // the last element of this level so far
    // The element of this level whose children are being parsed one level
    // deeper, with what its closing tag needs.
    wchar_t* name;
    wchar_t* nameEnd;
    wchar_t* dest;
};

namespace {

class FrameStack {
public:
    FrameStack() = default;
    ~FrameStack() { free(m_frames); }
    FrameStack(const FrameStack&) = delete;
    FrameStack& operator=(const FrameStack&) = delete;

    template <typename Frame> Frame* Push() {
        if (m_count == m_capacity) {
            const size_t wanted = m_capacity == 0 ? 32 : m_capacity * 2;
            if (wanted > SIZE_MAX / sizeof(Frame))
                return nullptr;
            void* block = realloc(m_frames, wanted * sizeof(Frame));
            if (block == nullptr)
                return nullptr;
            m_frames = block;
            m_capacity = wanted;
        }
        Frame* frame = static_cast<Frame*>(m_frames) + m_count++;
        memset(frame, 0, sizeof(Frame));
        return frame;
    }
    template <typename Frame> Frame* Top() { return static_cast<Frame*>(m_frames) + m_count - 1; }
    void Pop() { --m_count; }
    size_t Size() const { return m_count; }

private:
    void* m_frames = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
};

} // namespace

// Until the first entity nothing moves, so the text is only scanned; almost
// all skin text (attribute values, the line breaks before child elements) ends
// there. Defined before its callers so that the scan is inlined into them.
inline void CMarkup::ParseData(wchar_t*& p, wchar_t*& dest, wchar_t end) {
    if (m_bPreserveWhitespace) {
        wchar_t* scan = p;
        wchar_t c = *scan;
        // Both end characters and the ampersand are below the letters and
        // digits, so most characters pass on one comparison.
        while (c > L'<' || (c != end && c != 0 && c != L'&'))
            c = *++scan;
        p = scan;
        dest = scan;
        if (c != L'&')
            return;
    }
    DecodeData(p, dest, end);
}

CMarkup::XMLELEMENT* CMarkup::ReserveElement() {
    if (m_nElements == 0)
        m_nReservedElements = 0;
    if (m_nElements >= m_nReservedElements) {
        const ULONG grow = m_nReservedElements / 2 + 500;
        if (m_nReservedElements > ULONG_MAX - grow)
            return nullptr;
        const ULONG wanted = m_nReservedElements + grow;
        if (wanted > SIZE_MAX / sizeof(XMLELEMENT))
            return nullptr;
        XMLELEMENT* block =
            static_cast<XMLELEMENT*>(realloc(m_pElements, wanted * sizeof(XMLELEMENT)));
        if (block == nullptr)
            return nullptr;
        m_pElements = block;
        m_nReservedElements = wanted;
    }
    return &m_pElements[m_nElements++];
}

bool CMarkup::Parse() {
    m_szErrorMsg[0] = 0;
    m_szErrorXML[0] = 0;
    m_nElements = 0;
    // Element 0 is a placeholder, so that index 0 can mean "none".
    XMLELEMENT* placeholder = ReserveElement();
    if (placeholder == nullptr)
        return Failed(L"Out of memory");
    memset(placeholder, 0, sizeof(XMLELEMENT));
    wchar_t* text = m_pstrXML;
    return ParseElements(text);
}

// One level of elements (the children of frame->iParent) per stack frame.
// A level ends successfully at "</" (the caller's closing tag) or at the end
// of the text while at most one level below the top: the first element of the
// document and its direct children may be left unclosed.
bool CMarkup::ParseElements(wchar_t*& p) {
    FrameStack stack;
    if (stack.Push<ParseFrame>() == nullptr)
        return Failed(L"Out of memory");
    SkipWhitespace(p);
    for (;;) {
        ParseFrame* frame = stack.Top<ParseFrame>();
        bool levelDone = false;
        if (*p == 0 && frame->iParent <= 1) {
            levelDone = true;
        } else {
            SkipWhitespace(p);
            if (*p != L'<')
                return Failed(L"Expected start tag", p);
            levelDone = p[1] == L'/';
        }
        if (levelDone) {
            if (stack.Size() == 1)
                return true;
            stack.Pop();
            if (!CloseElement(p, *stack.Top<ParseFrame>()))
                return false;
            continue;
        }

        *p++ = 0;
        SkipWhitespace(p);
        // Comments end at the first "->" and declarations at the first "?>".
        if (*p == L'!' || *p == L'?') {
            const wchar_t closer = *p == L'!' ? L'-' : L'?';
            while (*p != 0 && !(p[0] == closer && p[1] == L'>'))
                ++p;
            if (*p != 0)
                p += 2;
            SkipWhitespace(p);
            continue;
        }

        XMLELEMENT* el = ReserveElement();
        if (el == nullptr)
            return Failed(L"Out of memory", p);
        const ULONG pos = static_cast<ULONG>(el - m_pElements);
        el->iStart = static_cast<ULONG>(p - m_pstrXML);
        el->iParent = frame->iParent;
        el->iNext = 0;
        el->iChild = 0;
        el->iData = el->iStart;
        if (frame->iPrevious != 0)
            m_pElements[frame->iPrevious].iNext = pos;
        else if (frame->iParent > 0)
            m_pElements[frame->iParent].iChild = pos;
        frame->iPrevious = pos;

        wchar_t* name = p;
        SkipIdentifier(p);
        wchar_t* nameEnd = p;
        if (*p == 0)
            return Failed(L"Error parsing element name", p);
        if (!ParseAttributes(p))
            return false;
        SkipWhitespace(p);

        if (p[0] == L'/' && p[1] == L'>') {
            // Empty element: its value is the terminator written over the "/".
            m_pElements[pos].iData = static_cast<ULONG>(p - m_pstrXML);
            *p = 0;
            p += 2;
            *nameEnd = 0;
            SkipWhitespace(p);
            continue;
        }
        if (*p != L'>')
            return Failed(L"Expected start-tag closing", p);
        ++p;
        m_pElements[pos].iData = static_cast<ULONG>(p - m_pstrXML);
        wchar_t* dest = p;
        ParseData(p, dest, L'<');
        if (*p == 0 && frame->iParent <= 1) {
            // Unclosed at the end of the text: keep what was parsed, terminated.
            *dest = 0;
            *nameEnd = 0;
            continue;
        }
        if (*p != L'<')
            return Failed(L"Expected end-tag start", p);
        frame->name = name;
        frame->nameEnd = nameEnd;
        frame->dest = dest;
        if (p[1] != L'/') {
            ParseFrame* child = stack.Push<ParseFrame>();
            if (child == nullptr)
                return Failed(L"Out of memory", p);
            child->iParent = pos;
            SkipWhitespace(p);
            continue;
        }
        if (!CloseElement(p, *frame))
            return false;
    }
}

// Finishes the element frame->name after its text and children: its closing
// tag when the text is at one, else (the end of the text) just the terminators.
bool CMarkup::CloseElement(wchar_t*& p, const ParseFrame& frame) {
    // Tested before the value's terminator is written: with no entity in the
    // text, the terminator lands on this very "<".
    const bool closingTag = p[0] == L'<' && p[1] == L'/';
    *frame.dest = 0;
    if (closingTag) {
        *p = 0;
        p += 2;
        SkipWhitespace(p);
        const size_t cchName = static_cast<size_t>(frame.nameEnd - frame.name);
        if (wcsncmp(p, frame.name, cchName) != 0)
            return Failed(L"Unmatched closing tag", p);
        p += cchName;
        SkipWhitespace(p);
        if (*p != L'>')
            return Failed(L"Unmatched closing tag", p);
        ++p;
    }
    *frame.nameEnd = 0;
    SkipWhitespace(p);
    return true;
}

bool CMarkup::ParseAttributes(wchar_t*& p) {
    if (p[0] == L'>' || (p[0] == L'/' && p[1] == L'>'))
        return true;
    // Whatever follows the name ends it.
    *p++ = 0;
    SkipWhitespace(p);
    while (*p != 0 && *p != L'>' && *p != L'/') {
        SkipIdentifier(p);
        wchar_t* nameEnd = p;
        SkipWhitespace(p);
        if (*p != L'=')
            return Failed(L"Error while parsing attributes", p);
        *p++ = L' ';
        *nameEnd = 0;
        SkipWhitespace(p);
        if (*p != L'"')
            return Failed(L"Expected attribute value", p);
        ++p;
        wchar_t* dest = p;
        ParseData(p, dest, L'"');
        if (*p == 0)
            return Failed(L"Error while parsing attribute string", p);
        *dest = 0;
        // Keep the filler walkable for the attribute mapping.
        if (dest != p)
            *p = L' ';
        ++p;
        SkipWhitespace(p);
    }
    return true;
}

// Decodes text up to `end` (or the end of the text) into `dest`, which starts
// where the text starts and never overtakes it. The characters between the
// decoded text and the read position become spaces, so that the attribute
// mapping can step over a value that shrank.
void CMarkup::DecodeData(wchar_t*& p, wchar_t*& dest, wchar_t end) {
    for (;;) {
        wchar_t c = *p;
        if (c == 0 || c == end)
            break;
        if (c == L'&') {
            while (*p == L'&') {
                ++p;
                if (p[0] == L'a' && p[1] == L'm' && p[2] == L'p' && p[3] == L';') {
                    *dest++ = L'&';
                    p += 4;
                } else if (p[0] == L'l' && p[1] == L't' && p[2] == L';') {
                    *dest++ = L'<';
                    p += 3;
                } else if (p[0] == L'g' && p[1] == L't' && p[2] == L';') {
                    *dest++ = L'>';
                    p += 3;
                } else if (p[0] == L'q' && p[1] == L'u' && p[2] == L'o' && p[3] == L't' &&
                           p[4] == L';') {
                    *dest++ = L'"';
                    p += 5;
                } else if (p[0] == L'a' && p[1] == L'p' && p[2] == L'o' && p[3] == L's' &&
                           p[4] == L';') {
                    *dest++ = L'\'';
                    p += 5;
                } else {
                    *dest++ = L'&';
                }
            }
            c = *p;
            // An entity may be the last thing in the text.
            if (c == 0 || c == end)
                break;
        }
        *dest++ = c;
        ++p;
        if (c == L' ' && !m_bPreserveWhitespace)
            SkipWhitespace(p);
    }
    for (wchar_t* fill = dest + 1; fill < p; ++fill)
        *fill = L' ';
}

} // namespace SkinUI

// The skin document parser: a forgiving XML subset parsed in place into one
// wide text buffer and a flat table of elements, walked through lightweight
// node handles.
#pragma once

#include <windows.h>

namespace SkinUI {

class CMarkup;

// A handle to one element, copied by value. Strings it answers point into the
// document text and live exactly as long as the loaded document.
class CMarkupNode {
public:
    // Only 64 attributes of one element are visible; the rest are ignored.
    enum { MAX_XML_ATTRIBUTES = 64 };

    CMarkupNode();
    CMarkupNode(CMarkup* owner, int pos);

    bool IsValid() const { return m_pOwner != nullptr; }
    CMarkupNode GetParent();
    CMarkupNode GetSibling();
    CMarkupNode GetChild();
    // The first child whose name equals `name` ignoring case.
    CMarkupNode GetChild(const wchar_t* name);
    bool HasSiblings() const;
    bool HasChildren() const;
    const wchar_t* GetName() const;
    const wchar_t* GetValue() const;

    bool HasAttributes();
    bool HasAttribute(const wchar_t* name);
    int GetAttributeCount();
    // Empty text (never null on a valid node) when out of range or absent.
    const wchar_t* GetAttributeName(int index);
    const wchar_t* GetAttributeValue(int index);
    const wchar_t* GetAttributeValue(const wchar_t* name);
    // Copy at most `max` characters; the copy is terminated only when the value
    // is shorter than `max`. False when absent or out of range.
    bool GetAttributeValue(int index, wchar_t* value, SIZE_T max);
    bool GetAttributeValue(const wchar_t* name, wchar_t* value, SIZE_T max);

private:
    // Finds the attributes again from the parsed text, on first query.
    void MapAttributes();
    int FindAttribute(const wchar_t* name);

    struct XMLATTRIBUTE {
        ULONG iName;
        ULONG iValue;
    };

    int m_iPos;
    int m_nAttributes;
    XMLATTRIBUTE m_aAttributes[MAX_XML_ATTRIBUTES];
    CMarkup* m_pOwner;
};

class CMarkup {
public:
    // Encodings of LoadFromMem and LoadFromFile.
    enum { XMLFILE_ENCODING_UTF8 = 0, XMLFILE_ENCODING_UNICODE = 1, XMLFILE_ENCODING_ANSI = 2 };

    // Documents read from a file or archive are limited to 4 MiB of bytes.
    static const DWORD kMaxFileSize = 0x400000;

    explicit CMarkup(const wchar_t* xml = nullptr);
    ~CMarkup();
    CMarkup(const CMarkup&) = delete;
    CMarkup& operator=(const CMarkup&) = delete;

    // Each load releases the previous document first. On failure the object is
    // empty and the error texts say what and where.
    bool Load(const wchar_t* xml);
    // The bytes may be changed in place (big-endian UTF-16 is swapped) and stay
    // the caller's.
    bool LoadFromMem(BYTE* bytes, DWORD size, int encoding = XMLFILE_ENCODING_UTF8);
    // Reads `name` from the skin resource source (a file under the resource
    // path, or an entry of the skin archive).
    bool LoadFromFile(const wchar_t* name, int encoding = XMLFILE_ENCODING_UTF8);
    void Release();
    bool IsValid() const { return m_pElements != nullptr; }

    void SetPreserveWhitespace(bool preserve = true) { m_bPreserveWhitespace = preserve; }
    // Copy at most max - 1 characters and always terminate (when max > 0).
    void GetLastErrorMessage(wchar_t* message, SIZE_T max) const;
    void GetLastErrorLocation(wchar_t* source, SIZE_T max) const;

    // The first top-level element; an invalid node when there is none.
    CMarkupNode GetRoot();

private:
    friend class CMarkupNode;

    // Five character offsets into the document text; index 0 means none.
    typedef struct tagXMLELEMENT {
        ULONG iStart;
        ULONG iChild;
        ULONG iNext;
        ULONG iParent;
        ULONG iData;
    } XMLELEMENT;

    struct ParseFrame;

    bool Parse();
    bool ParseElements(wchar_t*& text);
    bool ParseAttributes(wchar_t*& text);
    void ParseData(wchar_t*& text, wchar_t*& dest, wchar_t end);
    void DecodeData(wchar_t*& text, wchar_t*& dest, wchar_t end);
    bool CloseElement(wchar_t*& text, const ParseFrame& frame);
    XMLELEMENT* ReserveElement();
    bool Failed(const wchar_t* message, const wchar_t* location = nullptr);
    bool FailedLoad(const wchar_t* message, const wchar_t* name);

    wchar_t* m_pstrXML;
    XMLELEMENT* m_pElements;
    ULONG m_nElements;
    ULONG m_nReservedElements;
    wchar_t m_szErrorMsg[100];
    wchar_t m_szErrorXML[50];
    bool m_bPreserveWhitespace;
};

} // namespace SkinUI

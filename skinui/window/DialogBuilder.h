// Turns a skin document into a tree of controls and configures the window's
// paint manager from the document's top-level element: fonts, images,
// default attribute lists, styles and the Window attributes.
#pragma once

#include <windows.h>

#include "skinui/core/Markup.h"
#include "skinui/core/SkinString.h"

namespace SkinUI {

class CControlUI;
class CPaintManagerUI;

// Makes a control for an element name the factory does not know; null when it
// does not know it either.
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(const wchar_t* className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// Where a skin document comes from: a module resource id (below 0x10000),
// inline markup (text starting with "<"), or a skin file name.
class TXmlSource {
public:
    TXmlSource(const wchar_t* text) : m_text(text) {}
    TXmlSource(const CSkinString& text) : m_text(text.GetData()) {}
    TXmlSource(UINT resourceId) : m_text(MAKEINTRESOURCEW(resourceId)) {}

    bool IsResourceId() const { return m_text != nullptr && IS_INTRESOURCE(m_text); }
    UINT GetResourceId() const { return static_cast<UINT>(reinterpret_cast<ULONG_PTR>(m_text)); }
    // Only for a text source.
    const wchar_t* GetText() const { return m_text; }

private:
    const wchar_t* m_text;
};

class CDialogBuilder {
public:
    CDialogBuilder();
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // Loads the document and builds it (the second form). `type` is the
    // resource type of a resource document (a name, or MAKEINTRESOURCE of a
    // number); includes of such a document are resources of the same type.
    // Null when the document cannot be loaded (GetLastErrorMessage says why)
    // or makes no control.
    CControlUI* Create(TXmlSource xml, const wchar_t* type = nullptr,
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // Builds the loaded document: with a manager, the top-level resource
    // elements are registered with it and, for a Window root of a window that
    // exists, the Window attributes applied; then the controls are made and
    // attached to `parent`. Answers the first control made at the top level;
    // null when a control with child elements cannot hold children.
    CControlUI* Create(IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);

    // The module whose resources hold resource documents; null = the paint
    // manager's resource module.
    void SetInstance(HINSTANCE instance) { m_instance = instance; }
    CMarkup* GetMarkup() { return &m_xml; }
    void GetLastErrorMessage(wchar_t* message, SIZE_T max) const;
    void GetLastErrorLocation(wchar_t* source, SIZE_T max) const;

private:
    // Documents may include each other; a document that (through others)
    // includes itself would otherwise recurse until the stack is gone.
    static const int kMaxIncludeDepth = 16;
    // The builder walks the element tree recursively, one stack frame per
    // level (includes continue the count); a document nested deeper is
    // refused with a load error before the stack could run out. Real skins
    // nest a dozen levels.
    static const int kMaxNestingDepth = 256;
    // Copies an Include may insert over the whole build: a count of two
    // thousand million, or two copies of itself at every level of the include
    // depth, would never finish. A build that asks for more fails.
    static const int kMaxIncludedCopies = 1024;

    bool Load(TXmlSource xml, const wchar_t* type);
    bool LoadResource(UINT id, const wchar_t* type);
    void RegisterResources(CMarkupNode& root, CPaintManagerUI* manager);
    CControlUI* Parse(CMarkupNode* parentNode, CControlUI* parent, CPaintManagerUI* manager,
                      int depth);
    void BuildInclude(CMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager, int depth);
    // Ends the whole build with a message for GetLastErrorMessage.
    void Fail(const wchar_t* message);
    // The remembered resource type, or null for a document that is no resource.
    const wchar_t* ResourceType() const;
    // Deletes a control that was made but could not be attached.
    static void Discard(CControlUI* control, CPaintManagerUI* manager);

    CMarkup m_xml;
    IDialogBuilderCallback* m_pCallback = nullptr;
    HINSTANCE m_instance = nullptr;
    bool m_fromResource = false;
    CSkinString m_sType;    // a named resource type
    WORD m_typeId = 0;      // or a numbered one
    int m_includeDepth = 0; // of this builder's document
    bool m_failed = false;  // a parent without children slots ended the build
    // Why the build ended, when it was a limit; null otherwise.
    const wchar_t* m_buildError = nullptr;
    // The nesting depth this builder's document starts at (its Include's).
    int m_depthBase = 0;
    // Included copies made so far in the whole build; an included document's
    // builder counts in its includer's.
    int m_includedCopies = 0;
    int* m_copyCount = &m_includedCopies;
};

} // namespace SkinUI

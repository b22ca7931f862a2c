// The dialog builder: loading a skin document, registering its resources,
// applying the Window attributes and building the control tree.
#include "skinui/window/DialogBuilder.h"

#include "skinui/control/ContainerUI.h"
#include "skinui/control/ControlUI.h"
#include "skinui/window/ControlFactory.h"
#include "skinui/render/SkinColor.h"
#include "skinui/window/PaintManagerUI.h"
#include "skinui/render/ResourceManager.h"

#include <cwchar>
#include <vector>

namespace SkinUI {

namespace {

using namespace AttributeValue;

bool IsNamed(const wchar_t* name, const wchar_t* wanted) {
    return name != nullptr && _wcsicmp(name, wanted) == 0;
}

// Elements that describe resources rather than controls.
bool IsResourceElement(const wchar_t* name) {
    return IsNamed(name, L"Image") || IsNamed(name, L"Font") || IsNamed(name, L"Default") ||
           IsNamed(name, L"Style");
}

// A hexadecimal colour with an optional leading "#".
DWORD ToHex(const wchar_t* value) {
    if (*value == L'#')
        ++value;
    return wcstoul(value, nullptr, 16);
}

// =============================================================================
// Window attributes
// =============================================================================

struct TWindowAttribute {
    const wchar_t* name;
    bool caseSensitive;
    void (*apply)(CPaintManagerUI& pm, const wchar_t* value);
};

// The window shadow is not part of this build: its attributes are accepted
// and have no effect.
void IgnoreShadow(CPaintManagerUI& /*pm*/, const wchar_t* /*value*/) {
}

void ApplySize(CPaintManagerUI& pm, const wchar_t* value) {
    const SIZE size = ToSize(value);
    pm.SetInitSize(pm.GetDPIObj()->Scale(size.cx), pm.GetDPIObj()->Scale(size.cy));
}

void ApplySizeBox(CPaintManagerUI& pm, const wchar_t* value) {
    RECT rc = ToRect(value);
    pm.SetSizeBox(rc);
}

void ApplyCaption(CPaintManagerUI& pm, const wchar_t* value) {
    RECT rc = ToRect(value);
    pm.SetCaptionRect(rc);
}

const TWindowAttribute kWindowAttributes[] = {
    {L"size", false, ApplySize},
    {L"sizebox", false, ApplySizeBox},
    {L"caption", false, ApplyCaption},
    {L"roundcorner", false,
     [](CPaintManagerUI& pm, const wchar_t* v) {
         const SIZE size = ToSize(v);
         pm.SetRoundCorner(size.cx, size.cy);
     }},
    {L"mininfo", false,
     [](CPaintManagerUI& pm, const wchar_t* v) {
         const SIZE size = ToSize(v);
         pm.SetMinInfo(size.cx, size.cy);
     }},
    {L"maxinfo", false,
     [](CPaintManagerUI& pm, const wchar_t* v) {
         const SIZE size = ToSize(v);
         pm.SetMaxInfo(size.cx, size.cy);
     }},
    {L"showdirty", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetShowUpdateRect(ToBool(v)); }},
    {L"opacity", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetOpacity(static_cast<BYTE>(ToInt(v))); }},
    {L"alpha", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetOpacity(static_cast<BYTE>(ToInt(v))); }},
    {L"layeredopacity", true,
     [](CPaintManagerUI& pm, const wchar_t* v) {
         pm.SetLayeredOpacity(static_cast<BYTE>(ToInt(v)));
     }},
    {L"layered", true, [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetLayered(ToBool(v)); }},
    {L"bktrans", true, [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetLayered(ToBool(v)); }},
    {L"disabledfontcolor", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetDefaultDisabledColor(ParseColor(v)); }},
    {L"defaultfontcolor", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetDefaultFontColor(ParseColor(v)); }},
    {L"linkfontcolor", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetDefaultLinkFontColor(ParseColor(v)); }},
    {L"linkhoverfontcolor", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetDefaultLinkHoverFontColor(ParseColor(v)); }},
    {L"selectedcolor", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetDefaultSelectedBkColor(ParseColor(v)); }},
    {L"focusringcolor", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetFocusRingColor(ParseColor(v)); }},
    {L"focusringinset", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetFocusRingInset(ToInt(v)); }},
    {L"shadowsize", false, IgnoreShadow},
    {L"shadowsharpness", false, IgnoreShadow},
    {L"shadowdarkness", false, IgnoreShadow},
    {L"shadowposition", false, IgnoreShadow},
    {L"shadowcolor", false, IgnoreShadow},
    {L"shadowcorner", false, IgnoreShadow},
    {L"shadowimage", false, IgnoreShadow},
    {L"showshadow", false, IgnoreShadow},
    {L"gdiplustext", false,
     [](CPaintManagerUI& pm, const wchar_t* v) { pm.SetUseGdiplusText(ToBool(v)); }},
    {L"textrenderinghint", false,
     [](CPaintManagerUI& pm, const wchar_t* v) {
         pm.GetResources()->SetGdiplusTextRenderingHint(ToInt(v));
     }},
};

void ApplyWindowAttribute(CPaintManagerUI& pm, const wchar_t* name, const wchar_t* value) {
    for (const TWindowAttribute& attribute : kWindowAttributes) {
        const bool match = attribute.caseSensitive ? wcscmp(name, attribute.name) == 0
                                                   : _wcsicmp(name, attribute.name) == 0;
        if (match) {
            attribute.apply(pm, value);
            return;
        }
    }
}

// =============================================================================
// Resource elements
// =============================================================================

void RegisterFont(CMarkupNode& node, CPaintManagerUI* pm) {
    int id = -1;
    const wchar_t* face = L"";
    int size = 12;
    bool bold = false, underline = false, italic = false, isDefault = false, shared = false;
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        const wchar_t* name = node.GetAttributeName(i);
        const wchar_t* value = node.GetAttributeValue(i);
        if (IsNamed(name, L"id"))
            id = ToInt(value);
        else if (IsNamed(name, L"name"))
            face = value;
        else if (IsNamed(name, L"size"))
            size = ToInt(value);
        else if (IsNamed(name, L"bold"))
            bold = ToBool(value);
        else if (IsNamed(name, L"underline"))
            underline = ToBool(value);
        else if (IsNamed(name, L"italic"))
            italic = ToBool(value);
        else if (IsNamed(name, L"default"))
            isDefault = ToBool(value);
        else if (IsNamed(name, L"shared"))
            shared = ToBool(value);
    }
    if (id < 0)
        return;
    pm->AddFont(id, face, size, bold, underline, italic, shared);
    // The manager scales the size itself when it makes the font, so the size
    // goes in as written; scaling it here too would scale it twice.
    if (isDefault)
        pm->SetDefaultFont(face, size, bold, underline, italic, shared);
}

void RegisterImage(CMarkupNode& node, CPaintManagerUI* pm, HINSTANCE instance) {
    const wchar_t* name = L"";
    const wchar_t* type = L"";
    DWORD mask = 0;
    bool shared = false;
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        const wchar_t* attribute = node.GetAttributeName(i);
        const wchar_t* value = node.GetAttributeValue(i);
        if (IsNamed(attribute, L"name"))
            name = value;
        else if (IsNamed(attribute, L"restype"))
            type = value;
        else if (IsNamed(attribute, L"mask"))
            mask = ToHex(value);
        else if (IsNamed(attribute, L"shared"))
            shared = ToBool(value);
    }
    if (*name == L'\0')
        return;
    pm->AddImage(name, *type != L'\0' ? type : nullptr, mask, false, shared, instance);
}

// Default and Style elements: a name, an attribute list and the shared flag.
struct TNamedList {
    const wchar_t* name = L"";
    const wchar_t* value = L"";
    bool shared = false;
};

TNamedList ReadNamedList(CMarkupNode& node) {
    TNamedList list;
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        const wchar_t* attribute = node.GetAttributeName(i);
        const wchar_t* value = node.GetAttributeValue(i);
        if (IsNamed(attribute, L"name"))
            list.name = value;
        else if (IsNamed(attribute, L"value"))
            list.value = value;
        else if (IsNamed(attribute, L"shared"))
            list.shared = ToBool(value);
    }
    return list;
}

} // namespace

// =============================================================================
// Loading
// =============================================================================

CDialogBuilder::CDialogBuilder() = default;

CControlUI* CDialogBuilder::Create(TXmlSource xml, const wchar_t* type,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    if (!Load(xml, type))
        return nullptr;
    return Create(callback, manager, parent);
}

bool CDialogBuilder::Load(TXmlSource xml, const wchar_t* type) {
    m_fromResource = false;
    if (xml.IsResourceId())
        return LoadResource(xml.GetResourceId(), type);
    const wchar_t* text = xml.GetText();
    if (text == nullptr || *text == L'\0')
        return false;
    if (*text == L'<')
        return m_xml.Load(text);
    const wchar_t* mapped = CResourceManager::GetInstance()->GetXmlPath(text);
    return m_xml.LoadFromFile(mapped != nullptr ? mapped : text, CMarkup::XMLFILE_ENCODING_UTF8);
}

bool CDialogBuilder::LoadResource(UINT id, const wchar_t* type) {
    if (type != nullptr && IS_INTRESOURCE(type)) {
        m_typeId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
        m_sType.Empty();
    } else {
        m_typeId = 0;
        m_sType = type != nullptr ? type : L"";
    }
    m_fromResource = true;

    const HINSTANCE module = m_instance != nullptr ? m_instance : CPaintManagerUI::GetResourceDll();
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), ResourceType());
    if (resource == nullptr)
        return false;
    const HGLOBAL loaded = ::LoadResource(module, resource);
    const DWORD size = SizeofResource(module, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0)
        return false;
    // The parser may rewrite the bytes in place, and resource memory is
    // read-only: it gets a copy.
    std::vector<BYTE> bytes(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    return m_xml.LoadFromMem(bytes.data(), size, CMarkup::XMLFILE_ENCODING_UTF8);
}

const wchar_t* CDialogBuilder::ResourceType() const {
    if (!m_fromResource)
        return nullptr;
    if (m_typeId != 0)
        return MAKEINTRESOURCEW(m_typeId);
    return m_sType.IsEmpty() ? nullptr : m_sType.GetData();
}

void CDialogBuilder::GetLastErrorMessage(wchar_t* message, SIZE_T max) const {
    if (m_buildError == nullptr) {
        m_xml.GetLastErrorMessage(message, max);
        return;
    }
    if (message == nullptr || max == 0)
        return;
    SIZE_T i = 0;
    for (; i + 1 < max && m_buildError[i] != L'\0'; ++i)
        message[i] = m_buildError[i];
    message[i] = L'\0';
}

void CDialogBuilder::Fail(const wchar_t* message) {
    m_failed = true;
    if (m_buildError == nullptr)
        m_buildError = message;
}

void CDialogBuilder::GetLastErrorLocation(wchar_t* source, SIZE_T max) const {
    m_xml.GetLastErrorLocation(source, max);
}

// =============================================================================
// Building
// =============================================================================

void CDialogBuilder::Discard(CControlUI* control, CPaintManagerUI* manager) {
    if (control == nullptr)
        return;
    // Its subtree may have registered with the manager while its attributes
    // were applied (option groups); linked to the manager again, every
    // control can unregister itself as it is deleted.
    if (manager != nullptr)
        control->SetManager(manager, nullptr, false);
    delete control;
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    m_pCallback = callback;
    m_failed = false;
    m_buildError = nullptr;
    CMarkupNode root = m_xml.GetRoot();
    if (!root.IsValid())
        return nullptr;
    if (manager != nullptr) {
        RegisterResources(root, manager);
        if (IsNamed(root.GetName(), L"Window") && manager->GetPaintWindow() != nullptr) {
            for (int i = 0; i < root.GetAttributeCount(); ++i)
                ApplyWindowAttribute(*manager, root.GetAttributeName(i), root.GetAttributeValue(i));
        }
    }
    return Parse(&root, parent, manager, m_depthBase);
}

void CDialogBuilder::RegisterResources(CMarkupNode& root, CPaintManagerUI* manager) {
    for (CMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* name = node.GetName();
        if (IsNamed(name, L"Image")) {
            RegisterImage(node, manager, m_instance);
        } else if (IsNamed(name, L"Font")) {
            RegisterFont(node, manager);
        } else if (IsNamed(name, L"Default")) {
            const TNamedList list = ReadNamedList(node);
            if (*list.name != L'\0')
                manager->AddDefaultAttributeList(list.name, list.value, list.shared);
        } else if (IsNamed(name, L"Style")) {
            const TNamedList list = ReadNamedList(node);
            if (*list.name != L'\0')
                manager->AddStyle(list.name, list.value, list.shared);
        }
    }
}

void CDialogBuilder::BuildInclude(CMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager,
                                  int depth) {
    if (!node.HasAttributes())
        return;
    int count = 1;
    const wchar_t* source = L"";
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        const wchar_t* name = node.GetAttributeName(i);
        if (IsNamed(name, L"count"))
            count = ToInt(node.GetAttributeValue(i));
        else if (IsNamed(name, L"source"))
            source = node.GetAttributeValue(i);
    }
    if (*source == L'\0' || m_includeDepth + 1 > kMaxIncludeDepth)
        return;
    for (int i = 0; i < count; ++i) {
        if (*m_copyCount >= kMaxIncludedCopies) {
            Fail(L"Too many included copies");
            return;
        }
        ++*m_copyCount;
        CDialogBuilder builder;
        builder.m_instance = m_instance;
        builder.m_includeDepth = m_includeDepth + 1;
        builder.m_depthBase = depth;
        builder.m_copyCount = m_copyCount;
        // What the included document makes is attached to `parent`; the
        // answer itself is not used.
        if (m_fromResource)
            builder.Create(static_cast<UINT>(ToInt(source)), ResourceType(), m_pCallback, manager,
                           parent);
        else
            builder.Create(source, nullptr, m_pCallback, manager, parent);
        // A limit reached inside the included document ends this build too.
        if (builder.m_buildError != nullptr) {
            Fail(builder.m_buildError);
            return;
        }
    }
}

CControlUI* CDialogBuilder::Parse(CMarkupNode* parentNode, CControlUI* parent,
                                  CPaintManagerUI* manager, int depth) {
    if (depth >= kMaxNestingDepth) {
        Fail(L"Elements nested too deeply");
        return nullptr;
    }
    IContainerUI* container = nullptr;
    bool containerLooked = false;
    CControlUI* first = nullptr;
    for (CMarkupNode node = parentNode->GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* elementName = node.GetName();
        if (IsResourceElement(elementName))
            continue;
        if (IsNamed(elementName, L"Include")) {
            BuildInclude(node, parent, manager, depth);
            if (m_failed) {
                if (parent == nullptr)
                    Discard(first, manager);
                return nullptr;
            }
            continue;
        }

        // Element names are matched exactly: "verticallayout" is no class.
        CSkinString className = L"C";
        className += elementName;
        className += L"UI";
        CControlUI* control = CControlFactory::GetInstance()->CreateControl(className);
        if (control == nullptr) {
            const CStdPtrArray* plugins = CPaintManagerUI::GetPlugins();
            for (int i = 0; control == nullptr && i < plugins->GetSize(); ++i) {
                const auto create =
                    reinterpret_cast<CPaintManagerUI::LPCREATECONTROL>(plugins->GetAt(i));
                if (create != nullptr)
                    control = create(elementName);
            }
        }
        if (control == nullptr && m_pCallback != nullptr)
            control = m_pCallback->CreateControl(elementName);
        if (control == nullptr)
            continue;

        // Children first, so that a container is complete before it is
        // attached to its own parent.
        if (node.HasChildren()) {
            Parse(&node, control, manager, depth + 1);
            if (m_failed) {
                Discard(control, manager);
                if (parent == nullptr)
                    Discard(first, manager);
                return nullptr;
            }
        }

        if (parent != nullptr) {
            if (!containerLooked) {
                container = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
                containerLooked = true;
            }
            if (container == nullptr) {
                // The whole build fails. Controls attached so far belong to
                // their parents; this one belongs to nobody.
                m_failed = true;
                Discard(control, manager);
                return nullptr;
            }
            if (!container->Add(control)) {
                delete control;
                continue;
            }
        }

        // While its attributes are applied the control can reach the manager
        // (styles, scaling, option groups) but not its parent; the links are
        // made final when the root is attached to the manager.
        if (manager != nullptr) {
            control->SetManager(manager, nullptr, false);
            const wchar_t* defaults = manager->GetDefaultAttributeList(elementName);
            if (defaults != nullptr)
                control->ApplyAttributeList(defaults);
        }
        for (int i = 0; i < node.GetAttributeCount(); ++i)
            control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
        if (manager != nullptr)
            control->SetManager(nullptr, nullptr, false);

        if (first == nullptr)
            first = control;
    }
    return first;
}

} // namespace SkinUI

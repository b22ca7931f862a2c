#include "skinui/window/DialogBuilder.h"

#include "skinui/control/ButtonUI.h"
#include "skinui/control/ContainerUI.h"
#include "skinui/control/LabelUI.h"
#include "skinui/control/TabLayoutUI.h"
#include "skinui/window/ControlFactory.h"
#include "skinui/window/PaintManagerUI.h"
#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

using namespace SkinUI;

extern const unsigned char kSkinDocument[];
extern const unsigned kSkinDocumentSize;

namespace {

// A plain top-level window and a paint manager bound to it: what the builder
// configures when it applies the Window attributes.
class BuilderWindow {
public:
    BuilderWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BuilderTestWindow";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        m_pm.Init(m_hwnd);
    }
    ~BuilderWindow() { DestroyWindow(m_hwnd); }
    CPaintManagerUI& pm() { return m_pm; }
    HWND hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
    CPaintManagerUI m_pm;
};

// The tree as "Class:name(children)" for compact comparisons.
std::wstring Shape(CControlUI* control) {
    std::wstring out = control->GetClass();
    const CSkinString name = control->GetName();
    if (!name.IsEmpty()) {
        out += L':';
        out += name.GetData();
    }
    auto* container = static_cast<IContainerUI*>(control->GetInterface(L"IContainer"));
    if (container != nullptr && container->GetCount() > 0) {
        out += L'(';
        for (int i = 0; i < container->GetCount(); ++i) {
            if (i > 0)
                out += L' ';
            out += Shape(container->GetItemAt(i));
        }
        out += L')';
    }
    return out;
}

std::wstring ErrorMessage(const CDialogBuilder& builder) {
    wchar_t text[100] = {};
    builder.GetLastErrorMessage(text, 100);
    return text;
}

// Makes a control for the element names it knows, and notes what it was asked.
class RecordingCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(const wchar_t* className) override {
        asked.push_back(className);
        if (std::wstring(className) == L"Gadget") {
            CLabelUI* label = new CLabelUI();
            label->SetUserData(L"from callback");
            return label;
        }
        return nullptr;
    }
    std::vector<std::wstring> asked;
};

CControlUI* CreateFromPlugin(const wchar_t* name) {
    if (std::wstring(name) != L"Gadget")
        return nullptr;
    CLabelUI* label = new CLabelUI();
    label->SetUserData(L"from plugin");
    return label;
}

} // namespace

TEST(DialogBuilder, DefaultListComesBeforeTheElementsOwnAttributes) {
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window><Default name=\"Button\" value=\"text=&quot;default&quot; "
        L"width=&quot;50&quot;\"/>"
        L"<VerticalLayout><Button name=\"plain\"/><Button name=\"own\" text=\"own\" width=\"70\"/>"
        L"<Label name=\"label\"/></VerticalLayout></Window>",
        nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    auto* container = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"));
    CControlUI* plain = container->GetItemAt(0);
    CControlUI* own = container->GetItemAt(1);
    CControlUI* label = container->GetItemAt(2);
    EXPECT_EQ(plain->GetText(), L"default");
    EXPECT_EQ(plain->GetFixedWidth(), 50);
    EXPECT_EQ(own->GetText(), L"own");
    EXPECT_EQ(own->GetFixedWidth(), 70);
    // The list belongs to Button elements only.
    EXPECT_EQ(label->GetText(), L"");
    EXPECT_EQ(label->GetFixedWidth(), 0);
}

TEST(DialogBuilder, AnAttributeWhoseValueNamesAStyleAppliesTheStyle) {
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window><Style name=\"wide\" value=\"width=&quot;120&quot; height=&quot;30&quot;\"/>"
        L"<HorizontalLayout><Label name=\"a\" look=\"wide\"/><Label name=\"b\" look=\"narrow\"/>"
        L"</HorizontalLayout></Window>",
        nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    CControlUI* a = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"))->GetItemAt(0);
    CControlUI* b = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"))->GetItemAt(1);
    EXPECT_EQ(a->GetFixedWidth(), 120);
    EXPECT_EQ(a->GetFixedHeight(), 30);
    EXPECT_EQ(a->GetCustomAttribute(L"look"), nullptr);
    // A value that names no style is an ordinary (here: unknown) attribute.
    EXPECT_EQ(b->GetFixedWidth(), 0);
    EXPECT_STREQ(b->GetCustomAttribute(L"look"), L"narrow");
}

TEST(DialogBuilder, IncludeWithCountInsertsThatManyCopiesIntoTheSameParent) {
    skintest::SkinFolder folder;
    ASSERT_TRUE(folder.WriteText(L"row.xml", L"<Row><Button name=\"inc\"/><Label/></Row>"));
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(
        builder.Create(L"<Window><VerticalLayout><Label name=\"first\"/>"
                       L"<Include source=\"row.xml\" count=\"3\"/><Label name=\"last\"/>"
                       L"<Include source=\"row.xml\"/></VerticalLayout></Window>",
                       nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Shape(root.get()),
              L"VerticalLayoutUI(LabelUI:first ButtonUI:inc LabelUI ButtonUI:inc LabelUI "
              L"ButtonUI:inc LabelUI LabelUI:last ButtonUI:inc LabelUI)");
}

TEST(DialogBuilder, IncludeWithoutSourceOrOfAMissingFileAddsNothing) {
    BuilderWindow window;
    skintest::SkinFolder folder;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window><VerticalLayout><Include count=\"2\"/><Include/><Include source=\"none.xml\"/>"
        L"<Label/></VerticalLayout></Window>",
        nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Shape(root.get()), L"VerticalLayoutUI(LabelUI)");
}

// Pins a fixed crash: a document that includes itself recursed until the
// stack overflowed.
TEST(DialogBuilder, ADocumentIncludingItselfStopsAtADepthLimit) {
    skintest::SkinFolder folder;
    ASSERT_TRUE(folder.WriteText(L"self.xml", L"<X><Label/><Include source=\"self.xml\"/></X>"));
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(
        builder.Create(L"<X><VerticalLayout><Include source=\"self.xml\"/></VerticalLayout></X>"));
    ASSERT_NE(root, nullptr);
    const int count = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"))->GetCount();
    EXPECT_GT(count, 1);
    EXPECT_LE(count, 16);
}

std::wstring Nested(int levels) {
    std::wstring text = L"<Window>";
    for (int i = 0; i < levels; ++i)
        text += L"<VerticalLayout>";
    for (int i = 0; i < levels; ++i)
        text += L"</VerticalLayout>";
    return text + L"</Window>";
}

// Pins fixed hangs and a crash: 2,000 nested layouts overflowed the stack, and
// an Include with a huge count or one that includes itself twice never ended.
TEST(DialogBuilder, NestingAndIncludedCopiesAreBoundedWithALoadError) {
    skintest::SkinFolder folder;
    ASSERT_TRUE(folder.WriteText(L"row.xml", L"<Row><Label/></Row>"));
    ASSERT_TRUE(folder.WriteText(L"twice.xml",
                                 L"<X><Label/><Include source=\"twice.xml\" count=\"2\"/></X>"));
    struct Case {
        std::wstring document;
        const wchar_t* error; // null: builds
    } cases[] = {
        {Nested(200), nullptr},
        {Nested(2000), L"Elements nested too deeply"},
        {L"<W><VerticalLayout><Include source=\"row.xml\" count=\"1000\"/></VerticalLayout></W>",
         nullptr},
        {L"<W><VerticalLayout><Include source=\"row.xml\" count=\"2000000000\"/>"
         L"</VerticalLayout></W>",
         L"Too many included copies"},
        {L"<W><VerticalLayout><Include source=\"twice.xml\"/></VerticalLayout></W>",
         L"Too many included copies"},
    };
    BuilderWindow window;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document.substr(0, 80).c_str());
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> root(
            builder.Create(c.document.c_str(), nullptr, nullptr, &window.pm()));
        if (c.error == nullptr) {
            EXPECT_NE(root, nullptr);
        } else {
            EXPECT_EQ(root, nullptr);
            EXPECT_EQ(ErrorMessage(builder), c.error);
        }
    }
}

TEST(DialogBuilder, UnknownAndWronglyCasedElementsAreSkippedWithTheirChildren) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(
        builder.Create(L"<Window><VerticalLayout>"
                       L"<Gizmo><Button name=\"insideUnknown\"/></Gizmo>"
                       L"<verticallayout><Button name=\"insideLowerCase\"/></verticallayout>"
                       L"<button name=\"lowerButton\"/>"
                       L"<List><Label name=\"insideUnbuiltClass\"/></List>"
                       L"<Label name=\"kept\"/></VerticalLayout></Window>"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Shape(root.get()), L"VerticalLayoutUI(LabelUI:kept)");
}

TEST(DialogBuilder, ResourceElementsAreNotControlsAtAnyDepth) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window><Font id=\"1\" name=\"x\"/><VerticalLayout><Image name=\"a.png\"/>"
        L"<Style name=\"s\" value=\"\"/><Default name=\"Label\" value=\"\"/><Font id=\"2\"/>"
        L"<Label/></VerticalLayout></Window>"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Shape(root.get()), L"VerticalLayoutUI(LabelUI)");
}

TEST(DialogBuilder, ASecondSizeAttributeOverridesTheFirst) {
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window size=\"100,80\" caption=\"0,0,0,20\" SIZE=\"300,200\"><Control/></Window>",
        nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    const SIZE size = window.pm().GetInitSize();
    EXPECT_EQ(size.cx, 300);
    EXPECT_EQ(size.cy, 200);
    // Without a tree yet the window takes the size at once.
    RECT rc = {};
    GetWindowRect(window.hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    EXPECT_EQ(window.pm().GetCaptionRect().bottom, 20);
}

TEST(DialogBuilder, WindowAttributesNeedAWindowRootAndAWindow) {
    {
        CPaintManagerUI detached;
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> root(
            builder.Create(L"<Window size=\"300,200\" roundcorner=\"5,5\"><Control/></Window>",
                           nullptr, nullptr, &detached));
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(detached.GetInitSize().cx, 0);
        EXPECT_EQ(detached.GetRoundCorner().cx, 0);
    }
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(
        builder.Create(L"<Frame size=\"300,200\" roundcorner=\"5,5\"><Control/></Frame>", nullptr,
                       nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(window.pm().GetRoundCorner().cx, 0);
}

TEST(DialogBuilder, WindowAttributeTable) {
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window sizebox=\"4,5,6,7\" caption=\"1,2,3,-1\" roundcorner=\"3,4\" mininfo=\"200,100\""
        L" maxinfo=\"900,700\" showdirty=\"TRUE\" defaultfontcolor=\"#00000000\""
        L" disabledfontcolor=\"#FF111111\" linkfontcolor=\"FF222222\""
        L" linkhoverfontcolor=\"#FF333333\" selectedcolor=\"#FF444444\" gdiplustext=\"true\""
        L" textrenderinghint=\"4\" shadowsize=\"6\" showshadow=\"true\" shadowcolor=\"#FF000000\""
        L" LAYERED=\"true\" unknown=\"1\"><Control/></Window>",
        nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    CPaintManagerUI& pm = window.pm();
    const RECT box = pm.GetSizeBox();
    EXPECT_EQ(box.left, 4);
    EXPECT_EQ(box.bottom, 7);
    const RECT caption = pm.GetCaptionRect();
    EXPECT_EQ(caption.left, 1);
    EXPECT_EQ(caption.bottom, -1);
    EXPECT_EQ(pm.GetRoundCorner().cx, 3);
    EXPECT_EQ(pm.GetRoundCorner().cy, 4);
    EXPECT_EQ(pm.GetMinInfo().cx, 200);
    EXPECT_EQ(pm.GetMaxInfo().cy, 700);
    EXPECT_TRUE(pm.IsShowUpdateRect());
    EXPECT_EQ(pm.GetDefaultFontColor(), 0u);
    EXPECT_EQ(pm.GetDefaultDisabledColor(), 0xFF111111u);
    EXPECT_EQ(pm.GetDefaultLinkFontColor(), 0xFF222222u);
    EXPECT_EQ(pm.GetDefaultLinkHoverFontColor(), 0xFF333333u);
    EXPECT_EQ(pm.GetDefaultSelectedBkColor(), 0xFF444444u);
    EXPECT_TRUE(pm.IsUseGdiplusText());
    EXPECT_EQ(pm.GetGdiplusTextRenderingHint(), 4);
    // "layered" is compared case-sensitively.
    EXPECT_FALSE(pm.IsLayered());
}

TEST(DialogBuilder, ShippedSkinRegistersFontsZeroToFiveInTheirTables) {
    BuilderWindow window;
    CDialogBuilder builder;
    std::vector<BYTE> bytes(kSkinDocument, kSkinDocument + kSkinDocumentSize);
    ASSERT_TRUE(builder.GetMarkup()->LoadFromMem(bytes.data(), kSkinDocumentSize));
    std::unique_ptr<CControlUI> root(builder.Create(nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);

    struct {
        int id;
        int size;
        bool bold;
        bool shared;
    } const fonts[] = {{0, 13, false, true}, {1, 12, false, true}, {2, 14, false, true},
                       {3, 16, false, true}, {4, 14, true, true},  {5, 11, false, false}};
    CPaintManagerUI other; // another window sees only the shared table
    for (const auto& font : fonts) {
        SCOPED_TRACE(font.id);
        TFontInfo* info = window.pm().GetFontInfo(font.id);
        EXPECT_EQ(info->sFontName, L"微软雅黑");
        EXPECT_EQ(info->iSize, font.size);
        EXPECT_EQ(info->bBold, font.bold);
        EXPECT_FALSE(info->bUnderline);
        EXPECT_FALSE(info->bItalic);
        EXPECT_EQ(other.GetFontInfo(font.id) != other.GetDefaultFontInfo(), font.shared);
    }
    // No Font is the default: the window keeps the shared default font.
    EXPECT_EQ(window.pm().GetDefaultFontInfo(), other.GetDefaultFontInfo());

    // The tree of the shipped skin and its Window attributes.
    EXPECT_STREQ(root->GetClass(), L"VerticalLayoutUI");
    auto* top = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"));
    ASSERT_EQ(top->GetCount(), 3);
    EXPECT_EQ(top->GetItemAt(0)->GetName(), L"tablayout");
    EXPECT_EQ(
        static_cast<IContainerUI*>(top->GetItemAt(0)->GetInterface(L"IContainer"))->GetCount(), 3);
    EXPECT_EQ(top->GetItemAt(1)->GetName(), L"minBtn");
    EXPECT_EQ(top->GetItemAt(2)->GetName(), L"closeBtn");
    EXPECT_EQ(window.pm().GetInitSize().cx, 560);
    EXPECT_EQ(window.pm().GetInitSize().cy, 420);
    // Every area without a control moves the window, down to its bottom.
    EXPECT_EQ(window.pm().GetCaptionRect().bottom, -1);
    EXPECT_EQ(window.pm().GetRoundCorner().cx, 3);
}

TEST(DialogBuilder, ADefaultFontBecomesTheManagersDefaultFont) {
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window><Font id=\"7\" name=\"Arial\" size=\"19\" default=\"true\" italic=\"true\"/>"
        L"<Font name=\"NoId\" size=\"30\"/><Font id=\"-2\" name=\"Negative\"/>"
        L"<Control/></Window>",
        nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    TFontInfo* info = window.pm().GetDefaultFontInfo();
    EXPECT_EQ(info->sFontName, L"Arial");
    EXPECT_EQ(info->iSize, 19);
    EXPECT_TRUE(info->bItalic);
    // A font without an id (or with a negative one) registers nothing.
    EXPECT_EQ(window.pm().GetFontInfo(-2), info);
}

TEST(DialogBuilder, AfterTheBuildNoControlRefersToTheManagerAndParentLinksAreSet) {
    BuilderWindow window;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(
        L"<Window><VerticalLayout><HorizontalLayout><Button name=\"deep\"/></HorizontalLayout>"
        L"</VerticalLayout></Window>",
        nullptr, nullptr, &window.pm()));
    ASSERT_NE(root, nullptr);
    CControlUI* row = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"))->GetItemAt(0);
    CControlUI* deep = static_cast<IContainerUI*>(row->GetInterface(L"IContainer"))->GetItemAt(0);
    EXPECT_EQ(root->GetManager(), nullptr);
    EXPECT_EQ(row->GetManager(), nullptr);
    EXPECT_EQ(deep->GetManager(), nullptr);
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_EQ(row->GetParent(), root.get());
    EXPECT_EQ(deep->GetParent(), row);
}

TEST(DialogBuilder, PluginsAreAskedBeforeTheCallback) {
    RecordingCallback callback;
    {
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> root(
            builder.Create(L"<W><VerticalLayout><Gadget name=\"g\"/><Other/></VerticalLayout></W>",
                           nullptr, &callback));
        ASSERT_NE(root, nullptr);
        CControlUI* gadget =
            static_cast<IContainerUI*>(root->GetInterface(L"IContainer"))->GetItemAt(0);
        ASSERT_NE(gadget, nullptr);
        EXPECT_EQ(gadget->GetUserData(), L"from callback");
        EXPECT_EQ(gadget->GetName(), L"g");
        // Only names the factory does not know reach the callback.
        EXPECT_EQ(callback.asked, (std::vector<std::wstring>{L"Gadget", L"Other"}));
    }
    CPaintManagerUI::GetPlugins()->Add(reinterpret_cast<void*>(&CreateFromPlugin));
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(
        builder.Create(L"<W><VerticalLayout><Gadget/></VerticalLayout></W>", nullptr, &callback));
    CPaintManagerUI::GetPlugins()->Remove(
        CPaintManagerUI::GetPlugins()->Find(reinterpret_cast<void*>(&CreateFromPlugin)));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(
        static_cast<IContainerUI*>(root->GetInterface(L"IContainer"))->GetItemAt(0)->GetUserData(),
        L"from plugin");
    EXPECT_EQ(callback.asked.size(), 2u);
}

TEST(DialogBuilder, AParentWithoutChildrenSlotsFailsTheBuild) {
    BuilderWindow window;
    const wchar_t* const documents[] = {
        L"<W><Label><Button/></Label></W>",
        L"<W><VerticalLayout><Label/><HorizontalLayout><Label><Option group=\"g\"/></Label>"
        L"</HorizontalLayout></VerticalLayout></W>",
    };
    for (const wchar_t* document : documents) {
        CDialogBuilder builder;
        EXPECT_EQ(builder.Create(document, nullptr, nullptr, &window.pm()), nullptr) << document;
    }
    // Nothing of the failed builds stays registered with the manager.
    EXPECT_EQ(window.pm().GetOptionGroup(L"g"), nullptr);
}

TEST(DialogBuilder, LoadFailuresReturnNullWithTheParsersMessage) {
    {
        CDialogBuilder builder;
        EXPECT_EQ(builder.Create(L"<Window><VerticalLayout></Window>"), nullptr);
        EXPECT_EQ(ErrorMessage(builder), L"Unmatched closing tag");
    }
    {
        skintest::SkinFolder folder;
        CDialogBuilder builder;
        EXPECT_EQ(builder.Create(L"absent.xml"), nullptr);
        EXPECT_EQ(ErrorMessage(builder), L"Error opening file");
    }
    {
        CDialogBuilder builder;
        EXPECT_EQ(builder.Create(L""), nullptr);
        EXPECT_EQ(builder.Create(static_cast<const wchar_t*>(nullptr)), nullptr);
        EXPECT_EQ(builder.Create(999u, L"NOSUCHTYPE"), nullptr);
    }
    {
        // A document that makes no control.
        CDialogBuilder builder;
        EXPECT_EQ(builder.Create(L"<Window><Font id=\"1\"/></Window>"), nullptr);
    }
}

TEST(DialogBuilder, ResourceDocumentsIncludeResourcesOfTheSameType) {
    CDialogBuilder builder;
    builder.SetInstance(GetModuleHandleW(nullptr));
    std::unique_ptr<CControlUI> root(builder.Create(201u, L"SKINDOC"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Shape(root.get()),
              L"VerticalLayoutUI(LabelUI:top ButtonUI:included ButtonUI:included)");
}

TEST(ControlFactory, MakesTheBuiltClassesAndNothingElse) {
    CControlFactory* factory = CControlFactory::GetInstance();
    const wchar_t* const built[] = {L"CControlUI",          L"CContainerUI", L"CVerticalLayoutUI",
                                    L"CHorizontalLayoutUI", L"CTabLayoutUI", L"CLabelUI",
                                    L"CButtonUI",           L"COptionUI",    L"CEditUI",
                                    L"CProgressUI"};
    for (const wchar_t* name : built) {
        std::unique_ptr<CControlUI> control(factory->CreateControl(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(std::wstring(L"C") + control->GetClass(), name);
    }
    EXPECT_EQ(factory->CreateControl(L"CListUI"), nullptr);
    EXPECT_EQ(factory->CreateControl(L"cbuttonui"), nullptr);
    EXPECT_EQ(factory->CreateControl(nullptr), nullptr);

    factory->RegistControl(L"CListUI", [] { return static_cast<CControlUI*>(new CLabelUI()); });
    std::unique_ptr<CControlUI> list(factory->CreateControl(L"CListUI"));
    EXPECT_NE(list, nullptr);
    // Release forgets registrations; the next instance has the built-ins only.
    CControlFactory::Release();
    EXPECT_EQ(CControlFactory::GetInstance()->CreateControl(L"CListUI"), nullptr);
    std::unique_ptr<CControlUI> button(CControlFactory::GetInstance()->CreateControl(L"CButtonUI"));
    EXPECT_NE(button, nullptr);
}

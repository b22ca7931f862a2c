#include "skinui/control/EditUI.h"

#include "skinui/control/ContainerUI.h"
#include "skinui/window/PaintManagerUI.h"
#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;
using skintest::SkinTestWindow;

namespace {

typedef std::vector<std::wstring> Log;

// A button takes the first focus; the edit "e" is at (0,40)-(200,80) with the
// installer's padding; the label "away" is right of it.
const wchar_t kEditSkin[] =
    L"<Window size=\"300,160\"><VerticalLayout>"
    L"<Button name=\"first\" height=\"40\"/>"
    L"<HorizontalLayout height=\"40\"><Edit name=\"e\" width=\"200\" textpadding=\"5,2,1,0\""
    L" text=\"C:\\Program Files\\\"/><Label name=\"away\"/></HorizontalLayout>"
    L"<HorizontalLayout height=\"40\"><Edit name=\"limited\" width=\"100\" maxchar=\"3\""
    L" numberonly=\"true\"/><Edit name=\"off\" width=\"100\" enabled=\"false\"/>"
    L"</HorizontalLayout></VerticalLayout></Window>";

std::wstring NativeText(HWND native) {
    wchar_t text[256] = {};
    GetWindowTextW(native, text, 256);
    return text;
}

// The native window's rectangle in the paint window's client coordinates.
RECT NativeRect(HWND native) {
    RECT rc = {};
    GetWindowRect(native, &rc);
    MapWindowPoints(nullptr, GetParent(native), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class EditWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Open());
        edit = window.Get<CEditUI>(L"e");
        ASSERT_NE(edit, nullptr);
        ASSERT_EQ(edit->GetNativeEditHWND(), nullptr);
    }
    HWND OpenByClick(CEditUI* target) {
        window.ClickControl(target);
        window.Pump();
        return target->GetNativeEditHWND();
    }
    bool WaitClosed(CEditUI* target) {
        return window.PumpUntil([&] { return target->GetNativeEditHWND() == nullptr; });
    }

    SkinTestWindow window{kEditSkin};
    CEditUI* edit = nullptr;
};

} // namespace

TEST_F(EditWindow, AClickOpensTheNativeWindowOverTheTextWithTheWholeTextSelected) {
    HWND native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    EXPECT_TRUE(IsWindowVisible(native));
    EXPECT_EQ(GetParent(native), window.GetHWND());
    EXPECT_EQ(GetFocus(), native);
    wchar_t className[32] = {};
    GetClassNameW(native, className, 32);
    EXPECT_STREQ(className, L"EditWnd");
    EXPECT_EQ(NativeText(native), L"C:\\Program Files\\");
    DWORD start = 0, end = 0;
    ::SendMessageW(native, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 17u);

    // The text area less the padding as written, one line of the font high,
    // centred vertically.
    const int textHeight = window.Manager().GetFontInfo(-1)->tm.tmHeight;
    const RECT rc = NativeRect(native);
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.right, 199);
    EXPECT_EQ(rc.top, 42 + (38 - textHeight) / 2);
    EXPECT_EQ(rc.bottom - rc.top, textHeight);
}

TEST_F(EditWindow, TypedTextComesBackThroughGetTextWithOneTextChangedPerKey) {
    HWND native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    window.notifications.clear();
    for (wchar_t ch : std::wstring(L"D:\\x"))
        window.PostChar(ch, native);
    EXPECT_EQ(edit->GetText(), L"D:\\x");
    EXPECT_EQ(window.Of({L"textchanged"}), Log(4, L"textchanged e"));
    window.PostKey(VK_BACK, native);
    EXPECT_EQ(edit->GetText(), L"D:\\");
    EXPECT_EQ(window.Of({L"textchanged"}).size(), 5u);
}

TEST_F(EditWindow, ReturnAnnouncesItselfAndEscapeGoesToTheNativeWindow) {
    HWND native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    window.notifications.clear();
    window.PostKey(VK_RETURN, native);
    window.PostKey(VK_ESCAPE, native);
    EXPECT_EQ(window.Of({L"return", L"textchanged"}), (Log{L"return e"}));
    EXPECT_EQ(edit->GetNativeEditHWND(), native);
    EXPECT_EQ(window.closeRequests, 0);
}

TEST_F(EditWindow, FocusElsewhereClosesTheNativeWindowAndKeepsTheText) {
    HWND native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    window.PostChar(L'Z', native);
    window.ClickControl(window.Find(L"away"));
    ASSERT_TRUE(WaitClosed(edit));
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(edit->GetText(), L"Z");

    // TAB moves the focus on, which closes the window too.
    native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    window.PostKey(VK_TAB, native);
    ASSERT_TRUE(WaitClosed(edit));
    EXPECT_NE(window.Manager().GetFocus(), edit);
}

TEST_F(EditWindow, SetTextOnAnOpenEditAlsoUpdatesTheNativeWindow) {
    window.notifications.clear();
    edit->SetText(L"closed");
    EXPECT_TRUE(window.Of({L"textchanged"}).empty());
    EXPECT_EQ(edit->GetText(), L"closed");

    HWND native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(NativeText(native), L"closed");
    window.notifications.clear();
    edit->SetText(L"open");
    EXPECT_EQ(NativeText(native), L"open");
    EXPECT_EQ(window.Of({L"textchanged"}), (Log{L"textchanged e"}));
    EXPECT_EQ(edit->GetText(), L"open");
}

TEST_F(EditWindow, HidingTheEditClosesTheNativeWindow) {
    HWND native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    edit->SetVisible(false);
    EXPECT_TRUE(WaitClosed(edit));
}

TEST_F(EditWindow, LimitsAndNumberOnlyReachTheNativeWindow) {
    CEditUI* limited = window.Get<CEditUI>(L"limited");
    HWND native = OpenByClick(limited);
    ASSERT_NE(native, nullptr);
    EXPECT_NE(GetWindowLongW(native, GWL_STYLE) & ES_NUMBER, 0);
    for (wchar_t ch : std::wstring(L"12345"))
        window.PostChar(ch, native);
    EXPECT_EQ(limited->GetText(), L"123");
    limited->SetReadOnly(true);
    EXPECT_NE(GetWindowLongW(native, GWL_STYLE) & ES_READONLY, 0);
    limited->SetPasswordMode(true);
    EXPECT_NE(GetWindowLongW(native, GWL_STYLE) & ES_PASSWORD, 0);
}

TEST_F(EditWindow, ADisabledEditDoesNotOpen) {
    CEditUI* off = window.Get<CEditUI>(L"off");
    window.ClickControl(off);
    window.Pump();
    EXPECT_EQ(off->GetNativeEditHWND(), nullptr);
    EXPECT_EQ(off->GetControlFlags(), 0u);
}

// An edit deleted while its native window is open must not leave that window
// calling into the deleted control when it closes (a use after free).
TEST_F(EditWindow, RemovingAnEditWithAnOpenNativeWindowClosesIt) {
    HWND native = OpenByClick(edit);
    ASSERT_NE(native, nullptr);
    auto* row = static_cast<IContainerUI*>(edit->GetParent()->GetInterface(L"IContainer"));
    ASSERT_TRUE(row->Remove(edit));
    window.Pump();
    EXPECT_FALSE(IsWindow(native));
    window.Paint();
    window.Pump();
}

TEST(EditUI, PasswordAndTipValueAreDrawnInPlaceOfTheText) {
    // Each edit is drawn exactly like a label with the text it should show.
    SkinTestWindow window(
        L"<Window size=\"300,150\"><VerticalLayout>"
        L"<Button name=\"first\" height=\"30\"/>"
        L"<HorizontalLayout height=\"30\"><Edit name=\"pw\" width=\"150\" text=\"abc\""
        L" password=\"true\" passwordchar=\"W\" textcolor=\"#FFFF0000\"/>"
        L"<Label width=\"150\" text=\"WWW\" textcolor=\"#FFFF0000\" bkcolor=\"#FFFFFFFF\""
        L" textpadding=\"4,3,4,3\"/></HorizontalLayout>"
        L"<HorizontalLayout height=\"30\"><Edit name=\"tip\" width=\"150\" tipvalue=\"WWW\""
        L" tipvaluecolor=\"#FF0000FF\"/>"
        L"<Label width=\"150\" text=\"WWW\" textcolor=\"#FF0000FF\" bkcolor=\"#FFFFFFFF\""
        L" textpadding=\"4,3,4,3\"/></HorizontalLayout>"
        L"</VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    const std::vector<DWORD> pixels = window.Capture();
    for (int row : {30, 60}) {
        int inked = 0;
        for (int y = row; y < row + 30; ++y) {
            for (int x = 0; x < 150; ++x) {
                const DWORD edit = pixels[static_cast<size_t>(y) * 300 + x];
                const DWORD label = pixels[static_cast<size_t>(y) * 300 + x + 150];
                ASSERT_EQ(edit, label) << "row " << row << " at " << x << "," << y;
                if (edit != 0xFFFFFF)
                    ++inked;
            }
        }
        EXPECT_GT(inked, 20) << "row " << row;
    }
}

TEST(EditUI, AttributesAndDefaults) {
    CEditUI edit;
    EXPECT_EQ(edit.GetTextPadding().left, 4);
    EXPECT_EQ(edit.GetTextPadding().top, 3);
    EXPECT_EQ(edit.GetBkColor(), 0xFFFFFFFFu);
    EXPECT_EQ(edit.GetMaxChar(), 255u);
    EXPECT_EQ(edit.GetPasswordChar(), L'*');
    EXPECT_EQ(edit.GetNativeEditBkColor(), 0xFFFFFFFFu);
    EXPECT_EQ(edit.GetTipValueColor(), 0xFFBAC0C5u);
    edit.SetAttribute(L"ReadOnly", L"true");
    edit.SetAttribute(L"numberonly", L"true");
    edit.SetAttribute(L"maxchar", L"12");
    edit.SetAttribute(L"passwordchar", L"#x");
    edit.SetAttribute(L"tipvaluecolor", L"FF010203");
    edit.SetAttribute(L"nativebkcolor", L"#FF040506");
    edit.SetAttribute(L"nativetextcolor", L"#FF070809");
    edit.SetAttribute(L"focusedimage", L"f.png");
    EXPECT_TRUE(edit.IsReadOnly());
    EXPECT_TRUE(edit.IsNumberOnly());
    EXPECT_EQ(edit.GetWindowStyls(), static_cast<UINT>(ES_NUMBER));
    EXPECT_EQ(edit.GetMaxChar(), 12u);
    EXPECT_EQ(edit.GetPasswordChar(), L'#');
    EXPECT_EQ(edit.GetTipValueColor(), 0xFF010203u);
    EXPECT_EQ(edit.GetNativeEditBkColor(), 0xFF040506u);
    EXPECT_EQ(edit.GetNativeEditTextColor(), 0xFF070809u);
    EXPECT_EQ(edit.GetFocusedImage(), L"f.png");
    edit.SetNumberOnly(false);
    EXPECT_EQ(edit.GetWindowStyls(), 0u);
    EXPECT_STREQ(edit.GetClass(), L"EditUI");
    EXPECT_EQ(edit.GetInterface(L"edit"), &edit);
    EXPECT_EQ(edit.GetControlFlags(), ControlFlagTabStop | ControlFlagSetCursor);
}

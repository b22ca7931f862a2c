// The window host of the UI library's tests under Wine. One driver does what
// a person and the message loop would do to a window: it pumps the queue
// through the paint managers' pre-translation, sends real mouse and key
// messages at client coordinates, and reads back the painted pixels. It comes
// in the two shapes the tests need:
//   TestWindow      a plain popup whose procedure hands every message to a
//                   paint manager; the test attaches a tree built in code, so
//                   the manager is seen without the window base in between.
//   SkinTestWindow  a WindowImplBase built from skin markup or a skin file,
//                   recording the notifications it receives.
// Also recorders of notifications and events, and a temporary skin folder.
#pragma once

#include <windows.h>

#include "skinui/control/ControlUI.h"
#include "skinui/window/PaintManagerUI.h"
#include "skinui/window/WindowImplBase.h"

#include <functional>
#include <string>
#include <vector>

namespace skintest {

// =============================================================================
// Driver
// =============================================================================

class WindowDriver {
public:
    // Dispatches every message already queued for this thread, through the
    // paint managers' pre-translation, as the message loop does; bounded, so
    // that a message that keeps re-posting itself cannot hang a test.
    void Pump();
    // Pumps until `done` answers true or the time is up; answers `done`.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
    // Runs WM_PAINT now if anything is invalid.
    void Paint();
    void SetClientSize(int cx, int cy);

    // Mouse and key messages sent straight to the window procedure, in client
    // coordinates. The system cursor is moved to the point of a move or a
    // press too, so that hover and leave tracking see the mouse where the
    // messages say; a release is only the message.
    void MouseMove(int x, int y, WPARAM keys = 0);
    void LButtonDown(int x, int y);
    void LButtonUp(int x, int y);
    void LButtonDblClk(int x, int y);
    void RButtonDown(int x, int y);
    void RButtonUp(int x, int y);
    // A press and a release at one point.
    void Click(int x, int y);
    // The centre of a control, in client coordinates.
    POINT CenterOf(SkinUI::CControlUI* control) const;
    void ClickControl(SkinUI::CControlUI* control);
    void KeyDown(WPARAM vk);
    void KeyUp(WPARAM vk);
    // A typed key (down and up) posted to `target` (the window when null) and
    // pumped, so that it passes pre-translation like a key from the keyboard.
    void PostKey(WPARAM vk, HWND target = nullptr);
    void PostChar(wchar_t ch, HWND target = nullptr);
    // The window's result for a message sent to it.
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    // The client area as the window paints it into a bitmap (0x00RRGGBB
    // pixels, row by row), and one pixel of it (0xDEADBEEF outside).
    std::vector<DWORD> Capture();
    DWORD Pixel(int x, int y);
    // The colour (0x00RRGGBB) of a client pixel as it is on the screen now.
    DWORD ScreenPixel(int x, int y);

protected:
    WindowDriver() = default;
    ~WindowDriver() = default;
    // The window driven; null before it exists.
    virtual HWND DrivenWindow() const = 0;

private:
    int m_captureWidth = 0;
    int m_captureHeight = 0;
};

// =============================================================================
// Plain window with a paint manager
// =============================================================================

class TestWindow : public WindowDriver {
public:
    // A visible popup window (no frame: client area = window rectangle) at
    // the screen's top-left corner, with an initialised paint manager.
    TestWindow(int cx, int cy);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    SkinUI::CPaintManagerUI& Manager() { return *m_manager; }

    // Attaches a tree and paints it (layout, "windowinit").
    void Attach(SkinUI::CControlUI* root);

protected:
    HWND DrivenWindow() const override { return m_hwnd; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    SkinUI::CPaintManagerUI* m_manager = nullptr;
};

// =============================================================================
// Skinned window
// =============================================================================

class SkinTestWindow : public SkinUI::WindowImplBase, public WindowDriver {
public:
    // `skin` is inline markup ("<Window ...>") or a skin file name.
    explicit SkinTestWindow(std::wstring skin);
    ~SkinTestWindow() override;

    // Creates the window at (x, y) on the screen, shows it on top, and lets
    // it lay out and paint once. False when the window could not be made.
    bool Open(int x = 0, int y = 0);

    SkinUI::CPaintManagerUI& Manager() { return m_pm; }
    SkinUI::CControlUI* Find(const wchar_t* name) { return m_pm.FindControl(name); }
    template <typename T> T* Get(const wchar_t* name) { return static_cast<T*>(Find(name)); }

    // "type name" of every notification received, in order.
    std::vector<std::wstring> notifications;
    // Only those of the given types.
    std::vector<std::wstring> Of(std::initializer_list<const wchar_t*> types) const;
    // Called for every notification after it is recorded and routed.
    std::function<void(SkinUI::TNotifyUI&)> onNotify;

    void Notify(SkinUI::TNotifyUI& msg) override;
    SkinUI::CSkinString GetSkinFileName() override;
    // Tests look at WM_CLOSE themselves; the window stays until the test ends
    // unless this is set.
    bool allowClose = false;
    int closeRequests = 0;
    WPARAM lastCloseCode = 0;
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinTestWindow"; }
    HWND DrivenWindow() const override { return m_hWnd; }

private:
    std::wstring m_skin;
};

// =============================================================================
// Recorders
// =============================================================================

// "type sender wParam lParam" of every notification, sender by name ("-" for
// a null sender).
class NotifyRecorder : public SkinUI::INotifyUI {
public:
    void Notify(SkinUI::TNotifyUI& msg) override;
    // Only the entries whose type is one of `types` (all when empty).
    std::vector<std::wstring> Of(std::initializer_list<const wchar_t*> types = {}) const;
    int Count(const wchar_t* type) const;
    void Clear() {
        entries.clear();
        records.clear();
    }

    std::vector<std::wstring> entries;
    std::vector<SkinUI::TNotifyUI> records;
    // Called for every notification, after it is recorded.
    std::function<void(SkinUI::TNotifyUI&)> onNotify;
};

// Appends "name:Event" for every event the control receives.
void WatchEvents(SkinUI::CControlUI* control, std::vector<std::wstring>* log);
// Only the entries naming one of the event types (all when empty).
std::vector<std::wstring> Filter(const std::vector<std::wstring>& log,
                                 std::initializer_list<const wchar_t*> events);
const wchar_t* EventName(int type);

// A control that takes part in TAB order and receives set-cursor events.
class TabStopControl : public SkinUI::CControlUI {
public:
    UINT GetControlFlags() const override {
        return IsKeyboardEnabled() ? SkinUI::ControlFlagTabStop | SkinUI::ControlFlagSetCursor
                                   : SkinUI::ControlFlagSetCursor;
    }
};

// Rectangle as "(l, t, r, b)" for readable assertion failures.
std::string Str(const RECT& rc);
inline std::string Str(int l, int t, int r, int b) {
    return Str(RECT{l, t, r, b});
}

// =============================================================================
// Skin files
// =============================================================================

// 0xAARRGGBB pixels of an image, row by row, encoded as PNG.
std::string MakePng(int width, int height, const std::function<DWORD(int x, int y)>& pixel);
std::string SolidPng(int width, int height, DWORD argb);

// A temporary folder that is the UI library's resource path while it lives.
class SkinFolder {
public:
    SkinFolder();
    ~SkinFolder();
    SkinFolder(const SkinFolder&) = delete;
    SkinFolder& operator=(const SkinFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    bool Write(const std::wstring& name, const std::string& bytes) const;
    // UTF-8 text.
    bool WriteText(const std::wstring& name, const std::wstring& text) const;

private:
    std::wstring m_path;
};

} // namespace skintest

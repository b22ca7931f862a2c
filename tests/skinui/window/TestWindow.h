// A small host for testing the control tree in a real window under Wine: a
// plain Win32 top-level window whose procedure hands every message to a paint
// manager, plus recorders for the notifications and events a test expects.
#pragma once

#include <windows.h>

#include "skinui/control/ControlUI.h"
#include "skinui/window/PaintManagerUI.h"

#include <functional>
#include <string>
#include <vector>

namespace skintest {

class TestWindow {
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
    // Runs WM_PAINT now if anything is invalid.
    void Paint();
    // Dispatches every message already queued for this thread, through the
    // paint managers' pre-translation, as the message loop does.
    void Pump();
    // Pumps until `done` answers true or timeoutMs passes; answers `done`.
    template <typename F> bool PumpUntil(F done, DWORD timeoutMs) {
        const DWORD start = GetTickCount();
        for (;;) {
            Pump();
            if (done())
                return true;
            if (GetTickCount() - start > timeoutMs)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    void SetClientSize(int cx, int cy);

    // Mouse and keyboard messages sent straight to the window procedure, in
    // client coordinates. The system cursor is moved to the point too, so
    // that hover and leave tracking see the mouse where the messages say.
    void MouseMove(int x, int y, WPARAM keys = 0);
    void LButtonDown(int x, int y);
    void LButtonUp(int x, int y);
    void RButtonDown(int x, int y);
    void RButtonUp(int x, int y);
    void KeyDown(WPARAM vk);
    void KeyUp(WPARAM vk);
    // WM_KEYDOWN posted and pumped, so that TAB reaches pre-translation.
    void PostKey(WPARAM vk);

    // The colour (0x00RRGGBB) of a client pixel as it is on screen.
    DWORD Pixel(int x, int y);

    // The window's result for a message sent to it.
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    SkinUI::CPaintManagerUI* m_manager = nullptr;
};

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

} // namespace skintest

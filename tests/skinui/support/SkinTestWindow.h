// A skinned window for tests under Wine: a WindowImplBase built from inline
// skin markup (or a skin file), shown at a fixed place on the screen, with
// mouse and key helpers that send the real window messages, a recorder of the
// notifications the window receives, and a capture of its client area as the
// window paints it. Also a temporary skin folder for the images a skin names.
#pragma once

#include <windows.h>

#include "skinui/control/ControlUI.h"
#include "skinui/window/WindowImplBase.h"

#include <functional>
#include <string>
#include <vector>

namespace skinwin {

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

class SkinTestWindow : public SkinUI::WindowImplBase {
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

    // Dispatches the queued messages as the message loop does (pre-translation
    // first); bounded.
    void Pump();
    // Pumps until `done` or the time is up; answers `done`.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
    // Repaints what is invalid now.
    void Paint();

    // Mouse messages at client coordinates, sent to the window; the system
    // cursor is moved there too so that hover tracking agrees.
    void MouseMove(int x, int y);
    void LButtonDown(int x, int y);
    void LButtonUp(int x, int y);
    void LButtonDblClk(int x, int y);
    void Click(int x, int y);
    // The centre of a control, in client coordinates.
    POINT CenterOf(SkinUI::CControlUI* control) const;
    void ClickControl(SkinUI::CControlUI* control);
    // A key posted to `target` (the window when null) and pumped, so that it
    // passes pre-translation like a typed key.
    void PostKey(WPARAM vk, HWND target = nullptr);
    void PostChar(wchar_t ch, HWND target = nullptr);

    // The client area as the window paints it (0x00RRGGBB pixels).
    std::vector<DWORD> Capture();
    DWORD Pixel(int x, int y);

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

private:
    std::wstring m_skin;
    int m_width = 0;
    int m_height = 0;
};

} // namespace skinwin

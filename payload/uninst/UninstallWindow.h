// The uninstaller's window while it works: the step it is in and how far it
// got, in the installer's colours, so that removing a large installation
// never looks as if nothing were happening. It runs on a thread of its own,
// so the removal itself needs no message loop.
#pragma once

#include "skinui/core/Handles.h"

#include <windows.h>

#include <string>

class CUninstallWindow {
public:
    CUninstallWindow() = default;
    ~CUninstallWindow() { Close(); }
    CUninstallWindow(const CUninstallWindow&) = delete;
    CUninstallWindow& operator=(const CUninstallWindow&) = delete;

    // Creates and shows the window on its own thread; false when it could
    // not be made (the uninstall then goes on without it).
    bool Open();
    // The step's text and the percentage, 0 to 100.
    void Show(const std::wstring& step, int percent);
    // The window, as the owner of the boxes that end the run; null when it is
    // not open.
    HWND Window() const { return m_hwnd; }
    // Closes the window and waits for its thread.
    void Close();

private:
    static DWORD WINAPI ThreadEntry(void* self);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint(HWND hwnd);
    int Scale(int value) const { return MulDiv(value, m_dpi, 96); }

    SkinUI::UniqueHandle m_thread;
    SkinUI::UniqueHandle m_ready;
    HWND m_hwnd = nullptr;
    int m_dpi = 96;
    SRWLOCK m_lock = SRWLOCK_INIT;
    std::wstring m_step;
    int m_percent = 0;
};

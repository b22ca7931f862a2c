// The installer's main window. So far it carries what the install worker
// shares with it (the window handle, the install directory and the install
// kind) and the two install-kind operations the worker runs; the window
// itself, its pages and its controls come with the UI library's window base,
// which also brings the window handle and its accessor.
#pragma once

#include <windows.h>

#include <string>

class CFrameUI {
public:
    CFrameUI() = default;

    HWND GetHWND() const { return m_hWnd; }

    // Worker thread, before any file is touched: classifies the install into
    // m_installWay (InstallWay.cpp).
    void DetectInstallWay();
    // Worker thread, after a successful install: records m_installWay in the
    // product's per-user settings key.
    void WriteInstallWay();

    // Install kind: 0 fresh, 1 over a registered install whose client still
    // exists, 2 over settings left by an earlier install. Only the worker
    // thread touches it.
    int m_installWay = 0;
    // The install directory; once stored it always ends with '\' or '/'. The
    // worker reads it once at its start, and the window does not change it
    // while an install runs.
    std::wstring m_installDir;

protected:
    // Only the fields the worker shares, without a window: for programs that
    // run the worker on their own (the tests' runner, the benchmark) and set
    // m_hWnd to a window of theirs.
    struct NoWindow {};
    explicit CFrameUI(NoWindow) {}

    HWND m_hWnd = nullptr;
};

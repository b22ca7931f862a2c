// The product client's main window: shows the installed version and where the
// product is installed.
#pragma once

#include "installer/services/Product.h"
#include "skinui/window/WindowImplBase.h"

#include <string>

class CClientWindow : public SkinUI::WindowImplBase {
public:
    CClientWindow(std::wstring version, std::wstring installDir);

    void InitWindow() override;
    SkinUI::CSkinString GetSkinFileName() override { return SkinUI::CSkinString(L"skin.xml"); }
    LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

protected:
    const wchar_t* GetWindowClassName() const override { return kClientWindowClass; }

    // The title buttons "closeBtn" and "minBtn" are the window base's.
    SKIN_DECLARE_MESSAGE_MAP()

private:
    void OnQuit(SkinUI::TNotifyUI& msg);

    std::wstring m_version;
    std::wstring m_installDir;
};

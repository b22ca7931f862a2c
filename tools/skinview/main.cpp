// skinview: opens a skin as a working window, or, for skin designers and
// tests, prints its laid-out control tree and renders it to a PNG.
//
//   skinview.exe SKIN [--size W,H] [--scale PERCENT] [--select NAME=INDEX]... [--dump]
//                [--png OUT.png]
//
// Exit codes: 0 done; 1 the skin or the window failed, or an output could not
// be made; 2 the command line is wrong.
#include "skinui/control/ControlUI.h"
#include "skinui/control/TabLayoutUI.h"
#include "skinui/window/DialogBuilder.h"
#include "skinui/core/SystemLibrary.h"
#include "skinui/window/PaintManagerUI.h"
#include "tools/skinview/SkinOutput.h"
#include "tools/skinview/SkinSource.h"
#include "tools/skinview/SkinViewWindow.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

using skinview::Print;

const wchar_t kUsage[] =
    L"usage: skinview SKIN [--size W,H] [--scale PERCENT] [--select NAME=INDEX]... [--dump]\n"
    L"                [--png OUT.png]\n"
    L"  SKIN        a folder holding skin.xml, a skin document, or a .zip archive\n"
    L"              holding skin.xml at its root\n"
    L"  --size      set the client area to W x H pixels after the window is created\n"
    L"  --scale     lay the skin out and draw it at PERCENT (25 to 500; 150 is what\n"
    L"              a 144-dpi display gets) instead of the display's scale\n"
    L"  --select    show page INDEX of the tab layout named NAME\n"
    L"  --dump      print the laid-out control tree, one control a line:\n"
    L"              DEPTH CLASS \"NAME\" LEFT,TOP,RIGHT,BOTTOM VISIBLE\n"
    L"  --png       render the client area into a PNG file\n"
    L"Without --dump or --png the window is shown until it is closed.\n";

struct TSelect {
    std::wstring name;
    int index = 0;
};

struct TOptions {
    std::wstring skin;
    bool hasSize = false;
    int scale = 0;
    int width = 0;
    int height = 0;
    std::vector<TSelect> selects;
    bool dump = false;
    std::wstring png;
};

// A whole non-negative decimal number, nothing else.
bool ParseCount(const std::wstring& text, int* value) {
    if (text.empty() || text.size() > 9)
        return false;
    int result = 0;
    for (wchar_t ch : text) {
        if (ch < L'0' || ch > L'9')
            return false;
        result = result * 10 + (ch - L'0');
    }
    *value = result;
    return true;
}

bool ParseArguments(int argc, wchar_t** argv, TOptions* options, std::wstring* error) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--dump") {
            options->dump = true;
        } else if (arg == L"--size") {
            const std::wstring value = hasValue ? argv[++i] : L"";
            const size_t comma = value.find(L',');
            if (comma == std::wstring::npos ||
                !ParseCount(value.substr(0, comma), &options->width) ||
                !ParseCount(value.substr(comma + 1), &options->height) || options->width == 0 ||
                options->height == 0) {
                *error = L"--size needs W,H with two positive numbers";
                return false;
            }
            options->hasSize = true;
        } else if (arg == L"--scale") {
            const std::wstring value = hasValue ? argv[++i] : L"";
            if (!ParseCount(value, &options->scale) || options->scale < 25 ||
                options->scale > 500) {
                *error = L"--scale needs a percentage from 25 to 500";
                return false;
            }
        } else if (arg == L"--select") {
            const std::wstring value = hasValue ? argv[++i] : L"";
            const size_t equals = value.rfind(L'=');
            TSelect select;
            if (equals == std::wstring::npos || equals == 0 ||
                !ParseCount(value.substr(equals + 1), &select.index)) {
                *error = L"--select needs NAME=INDEX";
                return false;
            }
            select.name = value.substr(0, equals);
            options->selects.push_back(select);
        } else if (arg == L"--png") {
            if (!hasValue) {
                *error = L"--png needs a file name";
                return false;
            }
            options->png = argv[++i];
        } else if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            *error = L"";
            return false;
        } else if (arg.size() > 1 && arg[0] == L'-' && arg[1] == L'-') {
            *error = L"unknown option " + arg;
            return false;
        } else if (options->skin.empty()) {
            options->skin = arg;
        } else {
            *error = L"only one skin at a time: " + arg;
            return false;
        }
    }
    if (options->skin.empty()) {
        *error = L"no skin given";
        return false;
    }
    return true;
}

// Builds the skin once without a window, so that a broken skin is reported
// here with the parser's message instead of by the window base, which would
// show a message box and end the process.
bool CheckSkin(const std::wstring& skinFile) {
    SkinUI::CDialogBuilder builder;
    SkinUI::CControlUI* root = builder.Create(skinFile.c_str());
    if (root != nullptr) {
        delete root;
        return true;
    }
    wchar_t message[128] = {};
    wchar_t location[64] = {};
    builder.GetLastErrorMessage(message, sizeof(message) / sizeof(message[0]));
    builder.GetLastErrorLocation(location, sizeof(location) / sizeof(location[0]));
    std::wstring text = L"skinview: cannot load " + skinFile + L": ";
    text += message[0] != L'\0' ? message : L"the document makes no control";
    text += L"\n";
    if (location[0] != L'\0') {
        text += L"at: ";
        text += location;
        text += L"\n";
    }
    Print(STD_ERROR_HANDLE, text);
    return false;
}

// Makes the client area exactly W x H. The window base makes the whole
// window client area, but measuring the difference keeps this true whatever
// frame the window has.
void SetClientSize(HWND window, int width, int height) {
    RECT rcWindow = {};
    RECT rcClient = {};
    GetWindowRect(window, &rcWindow);
    GetClientRect(window, &rcClient);
    const int frameX = (rcWindow.right - rcWindow.left) - (rcClient.right - rcClient.left);
    const int frameY = (rcWindow.bottom - rcWindow.top) - (rcClient.bottom - rcClient.top);
    SetWindowPos(window, nullptr, 0, 0, width + frameX, height + frameY,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool SelectPages(SkinUI::CPaintManagerUI* manager, const std::vector<TSelect>& selects) {
    for (const TSelect& select : selects) {
        SkinUI::CControlUI* control = manager->FindControl(select.name.c_str());
        auto* tabs = control != nullptr
                         ? static_cast<SkinUI::CTabLayoutUI*>(control->GetInterface(L"TabLayout"))
                         : nullptr;
        if (tabs == nullptr) {
            Print(STD_ERROR_HANDLE, L"skinview: no tab layout named \"" + select.name + L"\"\n");
            return false;
        }
        if (!tabs->SelectItem(select.index)) {
            Print(STD_ERROR_HANDLE, L"skinview: the tab layout \"" + select.name +
                                        L"\" has no page " + std::to_wstring(select.index) + L"\n");
            return false;
        }
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    SkinUI::HardenDllSearch();

    TOptions options;
    std::wstring error;
    if (!ParseArguments(argc, argv, &options, &error)) {
        if (error.empty()) {
            Print(STD_OUTPUT_HANDLE, kUsage);
            return 0;
        }
        Print(STD_ERROR_HANDLE, L"skinview: " + error + L"\n" + kUsage);
        return 2;
    }

    SkinUI::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    skinview::CSkinSource source;
    if (!source.Open(options.skin, &error)) {
        Print(STD_ERROR_HANDLE, L"skinview: " + error + L"\n");
        return 1;
    }
    if (!CheckSkin(source.SkinFileName()))
        return 1;

    const bool interactive = !options.dump && options.png.empty();
    skinview::CSkinViewWindow window(source.SkinFileName());
    window.SetInteractive(interactive);
    window.SetScale(options.scale);
    const std::wstring title = L"skinview - " + options.skin;
    if (window.Create(nullptr, title.c_str(), WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0) ==
        nullptr) {
        Print(STD_ERROR_HANDLE, L"skinview: cannot create the window\n");
        return 1;
    }
    SkinUI::CPaintManagerUI* manager = window.GetPaintManager();
    if (options.hasSize)
        SetClientSize(window, options.width, options.height);
    if (!SelectPages(manager, options.selects)) {
        DestroyWindow(window);
        return 1;
    }

    if (interactive) {
        window.CenterWindow();
        window.ShowWindow(true, true);
        SkinUI::CPaintManagerUI::MessageLoop();
        return 0;
    }

    // The first layout, as the window's first paint does it: the root takes
    // the whole client area and places everything below it.
    RECT rcClient = {};
    GetClientRect(window, &rcClient);
    if (SkinUI::CControlUI* root = manager->GetRoot())
        root->SetPos(rcClient, false);

    int status = 0;
    if (options.dump)
        skinview::PrintUtf8(STD_OUTPUT_HANDLE, skinview::DumpTree(manager->GetRoot()));
    if (!options.png.empty() && !skinview::WriteClientPng(window, options.png, &error)) {
        Print(STD_ERROR_HANDLE, L"skinview: " + error + L"\n");
        status = 1;
    }
    DestroyWindow(window);
    return status;
}

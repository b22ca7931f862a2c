#include "installer/services/MessageBox.h"

#include "installer/services/SetupLog.h"

#include <string>

namespace {

MessageBoxHook g_hook = nullptr;
bool g_silent = false;

const wchar_t* ButtonName(int id) {
    switch (id) {
    case IDOK:
        return L"OK";
    case IDCANCEL:
        return L"Cancel";
    case IDABORT:
        return L"Abort";
    case IDRETRY:
        return L"Retry";
    case IDIGNORE:
        return L"Ignore";
    case IDYES:
        return L"Yes";
    case IDNO:
        return L"No";
    case IDTRYAGAIN:
        return L"Try again";
    case IDCONTINUE:
        return L"Continue";
    default:
        return L"closed";
    }
}

} // namespace

int DefaultMessageBoxButton(UINT type) {
    // The buttons of each MB_ type, left to right, as the box lays them out.
    struct Buttons {
        UINT type;
        int ids[3];
    };
    static const Buttons kButtons[] = {
        {MB_OK, {IDOK, 0, 0}},
        {MB_OKCANCEL, {IDOK, IDCANCEL, 0}},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
        {MB_YESNO, {IDYES, IDNO, 0}},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL, 0}},
        {MB_CANCELTRYCONTINUE, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}},
    };
    const UINT buttons = type & MB_TYPEMASK;
    size_t index = 0;
    switch (type & MB_DEFMASK) {
    case MB_DEFBUTTON2:
        index = 1;
        break;
    case MB_DEFBUTTON3:
        index = 2;
        break;
    default:
        break;
    }
    for (const Buttons& b : kButtons) {
        if (b.type != buttons)
            continue;
        return b.ids[index] != 0 ? b.ids[index] : b.ids[0];
    }
    return IDOK;
}

void SetSilentMessageBoxes(bool silent) {
    g_silent = silent;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    const std::wstring said = std::wstring(L"message: ") + (text ? text : L"");
    int answer = 0;
    if (g_silent)
        answer = DefaultMessageBoxButton(type);
    else if (g_hook)
        answer = g_hook(owner, text, caption, type);
    else
        answer = MessageBoxW(owner, text, caption, type);
    // A box with a single button asks nothing, so its answer says nothing.
    if ((type & MB_TYPEMASK) == MB_OK)
        SetupLogLine(said);
    else
        SetupLogLine(said + L" → " + ButtonName(answer) + (g_silent ? L" (silent default)" : L""));
    return answer;
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook old = g_hook;
    g_hook = hook;
    return old;
}

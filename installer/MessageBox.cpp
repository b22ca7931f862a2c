#include "installer/MessageBox.h"

namespace {
MessageBoxHook g_hook = nullptr;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    if (g_hook)
        return g_hook(owner, text, caption, type);
    return MessageBoxW(owner, text, caption, type);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook old = g_hook;
    g_hook = hook;
    return old;
}

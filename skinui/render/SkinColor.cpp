#include "skinui/render/SkinColor.h"

namespace SkinUI {

DWORD ParseColor(const wchar_t* text) {
    if (text == nullptr)
        return 0;
    if (*text == L'#')
        ++text;
    DWORD value = 0;
    for (; *text != L'\0'; ++text) {
        unsigned digit;
        wchar_t c = *text;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else
            break;
        if (value > 0x0FFFFFFFu)
            value = 0xFFFFFFFFu;
        else
            value = (value << 4) | digit;
    }
    return value;
}

} // namespace SkinUI

// Skin colours: 0xAARRGGBB values, written in the skin as "#FF102030".
#pragma once

#include <windows.h>

namespace SkinUI {

// A skin colour: an optional "#" and hexadecimal digits up to the first other
// character, as 0xAARRGGBB. More than eight digits saturate to 0xFFFFFFFF, as
// an unsigned conversion of the platform would. Null or no digits give 0.
DWORD ParseColor(const wchar_t* text);

// The GDI colour of a skin colour: red, green and blue kept, alpha dropped.
inline COLORREF ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

} // namespace SkinUI

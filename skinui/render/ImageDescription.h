// The text form of image descriptions: "bk.png", "file='a.png' dest='0,0,9,9'".
#pragma once

#include <windows.h>

#include "skinui/render/ImageInfo.h"
#include "skinui/render/SkinColor.h"

namespace SkinUI {

// Fills a freshly cleared record from a description and an optional modifier:
// both texts are stored, the image name starts as the whole description, then
// the description's items and the modifier's items are applied in that order,
// so the modifier overrides. A malformed item ends the parsing of its text and
// keeps everything parsed before it. DPI scaling is the caller's.
void ParseDrawInfo(TDrawInfo& info, const wchar_t* description, const wchar_t* modifier);

// Applies the items of one text to the record (the loop used for both texts).
void ApplyImageItems(TDrawInfo& info, const wchar_t* text);

} // namespace SkinUI

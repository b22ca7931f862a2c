// Markup attributes become setter calls through one table per control class;
// a name that a class's table lacks falls back to its base class.
#pragma once

#include <cwchar>
#include <cstddef>

namespace SkinUI {

// Applies the entry of `table` whose name matches `name` (ignoring case) to
// `control` and answers true; false when the table has no such entry, so the
// caller hands the attribute on to its base class. A null value is applied as
// an empty text, since attribute values are parsed leniently and never fail.
template <typename Entry, size_t N, typename Control>
bool ApplyTableAttribute(const Entry (&table)[N], Control& control, const wchar_t* name,
                         const wchar_t* value) {
    if (name == nullptr)
        return false;
    for (const Entry& entry : table) {
        if (_wcsicmp(name, entry.name) == 0) {
            entry.apply(control, value != nullptr ? value : L"");
            return true;
        }
    }
    return false;
}

} // namespace SkinUI

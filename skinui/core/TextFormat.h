// Bounded printf-style formatting into fixed buffers, and decimal numbers read
// from text, without the C99 formatter and number reader of the compiler's
// runtime library (together some 50 KB in every program).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <type_traits>

namespace SkinUI {

// Formats with the system C runtime's formatter, whose dialect the skin's own
// format strings are written in: in the wide form %s and %ls are wide text,
// %hs narrow; in the narrow form %s is narrow text. The result is always
// terminated, also when cut at the buffer's end. Returns the characters
// stored, or -1 when the text was cut (or `count` is 0).
int FormatText(wchar_t* buffer, size_t count, const wchar_t* format, ...);
int FormatTextV(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
int FormatText(char* buffer, size_t count, const char* format, ...)
    __attribute__((format(ms_printf, 3, 4)));
int FormatTextV(char* buffer, size_t count, const char* format, va_list args)
    __attribute__((format(ms_printf, 3, 0)));

// Reads a decimal number as wcstod does for decimal text: leading blanks, an
// optional sign, digits with an optional fraction, an optional exponent.
// `end` receives the first character not read, or `text` when no number
// starts there (the result is then 0). Hexadecimal numbers, "inf" and "nan"
// are not read.
double ParseDecimal(const wchar_t* text, const wchar_t** end);

// The decimal text of an integer, as std::to_wstring writes it (which would
// bring the C99 formatter along).
std::wstring SignedDecimalText(long long value);
std::wstring UnsignedDecimalText(unsigned long long value);
template <typename T> std::wstring DecimalText(T value) {
    static_assert(std::is_integral_v<T>, "DecimalText writes integers");
    if constexpr (std::is_signed_v<T>)
        return SignedDecimalText(value);
    else
        return UnsignedDecimalText(value);
}

} // namespace SkinUI

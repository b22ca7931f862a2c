#include "skinui/core/TextFormat.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace SkinUI {

namespace {

// The runtime's formatter leaves a cut result (and one that fills the buffer
// exactly) unterminated, so it gets one slot less than there is.
template <typename Char, typename Formatter>
int Bounded(Formatter format, Char* buffer, size_t count, const Char* text, va_list args) {
    if (buffer == nullptr || count == 0)
        return -1;
    const int written = format(buffer, count - 1, text, args);
    if (written < 0) {
        buffer[count - 1] = Char(0);
        return -1;
    }
    buffer[written] = Char(0);
    return written;
}

} // namespace

int FormatTextV(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    return Bounded(_vsnwprintf, buffer, count, format, args);
}

int FormatText(wchar_t* buffer, size_t count, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = FormatTextV(buffer, count, format, args);
    va_end(args);
    return written;
}

int FormatTextV(char* buffer, size_t count, const char* format, va_list args) {
    return Bounded(_vsnprintf, buffer, count, format, args);
}

int FormatText(char* buffer, size_t count, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = FormatTextV(buffer, count, format, args);
    va_end(args);
    return written;
}

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// Powers of ten that a double holds exactly: a mantissa below 2^53 multiplied
// or divided by one of them is correctly rounded, which covers every number a
// skin writes.
constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLastExactTen = 22;

double ScaleByTens(double value, int exponent) {
    while (exponent > kLastExactTen && value != 0) {
        value *= kExactTens[kLastExactTen];
        exponent -= kLastExactTen;
    }
    while (exponent < -kLastExactTen && value != 0) {
        value /= kExactTens[kLastExactTen];
        exponent += kLastExactTen;
    }
    return exponent >= 0 ? value * kExactTens[exponent] : value / kExactTens[-exponent];
}

} // namespace

double ParseDecimal(const wchar_t* text, const wchar_t** end) {
    const wchar_t* p = text;
    while (IsBlank(*p))
        ++p;
    const bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+')
        ++p;
    // Digits past the 19th no longer fit the mantissa; they only move the
    // decimal point.
    constexpr int kMantissaDigits = 19;
    uint64_t mantissa = 0;
    int kept = 0;
    int exponent = 0;
    bool anyDigit = false;
    for (; IsDigit(*p); ++p, anyDigit = true) {
        if (kept < kMantissaDigits) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - L'0');
            if (mantissa != 0)
                ++kept;
        } else {
            ++exponent;
        }
    }
    if (*p == L'.') {
        const wchar_t* fraction = p + 1;
        for (p = fraction; IsDigit(*p); ++p, anyDigit = true) {
            if (kept < kMantissaDigits) {
                mantissa = mantissa * 10 + static_cast<uint64_t>(*p - L'0');
                --exponent;
                if (mantissa != 0)
                    ++kept;
            }
        }
    }
    if (!anyDigit) {
        if (end)
            *end = text;
        return 0;
    }
    // An exponent counts only when digits follow the 'e' and its sign.
    if (*p == L'e' || *p == L'E') {
        const wchar_t* q = p + 1;
        const bool negativeExponent = *q == L'-';
        if (*q == L'-' || *q == L'+')
            ++q;
        if (IsDigit(*q)) {
            int value = 0;
            for (; IsDigit(*q); ++q) {
                // Beyond this every double is zero or infinite anyway.
                if (value < 100000)
                    value = value * 10 + (*q - L'0');
            }
            exponent += negativeExponent ? -value : value;
            p = q;
        }
    }
    if (end)
        *end = p;
    const double value = ScaleByTens(static_cast<double>(mantissa), exponent);
    return negative ? -value : value;
}

std::wstring UnsignedDecimalText(unsigned long long value) {
    // 20 digits hold the largest 64-bit value.
    wchar_t digits[20];
    size_t at = sizeof(digits) / sizeof(digits[0]);
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0 && at > 0);
    return std::wstring(digits + at, digits + sizeof(digits) / sizeof(digits[0]));
}

std::wstring SignedDecimalText(long long value) {
    if (value >= 0)
        return UnsignedDecimalText(static_cast<unsigned long long>(value));
    // Negated as unsigned, so the most negative value has its digits too.
    return L'-' + UnsignedDecimalText(0ULL - static_cast<unsigned long long>(value));
}

} // namespace SkinUI

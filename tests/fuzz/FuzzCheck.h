#pragma once

// What the fuzz targets share: a check that stops the run with the failed condition
// (libFuzzer then keeps the input as a crash), in the fuzz build and in the replay.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond) \
    do { \
        if (!(cond)) { \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort(); \
        } \
    } while (false)

namespace corvane::fuzz {

// The input as text: UTF-8 when the first byte is even, else raw UTF-16 code units
// (lone surrogates and all), so both the network's and the keyboard's texts are met.
inline QString textOf(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return {};
    if (data[0] % 2 == 0)
        return QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QString s;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        s.append(QChar(char16_t(data[i] | (data[i + 1] << 8))));
    return s;
}

// A number as the station writes it: optional minus, digits without a leading zero
// (or a lone 0), an optional point with digits not ending in 0; no exponent, no "-0".
inline bool isPlainDecimal(const QString &s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && s[i] == u'-')
        ++i;
    const qsizetype intStart = i;
    while (i < n && s[i].isDigit() && s[i].unicode() < 0x80)
        ++i;
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && s[intStart] == u'0'))
        return false;
    if (i < n && s[i] == u'.') {
        ++i;
        const qsizetype fracStart = i;
        while (i < n && s[i].isDigit() && s[i].unicode() < 0x80)
            ++i;
        if (i == fracStart || s[i - 1] == u'0')
            return false;
    }
    if (i != n)
        return false;
    if (s == QStringLiteral("-0"))
        return false;
    return !(s[0] == u'-' && intDigits == 1 && s[intStart] == u'0' && n == 2);
}

// Significant digits of a plain decimal: leading zeros (and the sign, the point) do
// not count, trailing zeros of a whole number do not either.
inline int significantDigits(const QString &s)
{
    QString digits;
    for (QChar c : s) {
        if (c.isDigit())
            digits.append(c);
    }
    while (digits.startsWith(u'0'))
        digits.remove(0, 1);
    while (digits.endsWith(u'0'))
        digits.chop(1);
    return int(digits.size());
}

} // namespace corvane::fuzz

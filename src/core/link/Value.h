#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace corvane {

// A caption read as a number: a decimal number with optional surrounding blanks.
// Anything else (empty, words, trailing garbage, nan, inf, out of range) is no
// number, so it matches neither 0 nor 1 and no rule that tests for them fires.
std::optional<double> readValue(QStringView text);

// True only when the text reads as a number equal to `expected`.
inline bool readsAs(QStringView text, double expected)
{
    const auto v = readValue(text);
    return v && *v == expected;
}

// A number as the station writes it: up to 15 significant digits, plain decimal
// notation, no trailing zeros, no exponent ("100", "60.0006103515625", "29818.88").
QString numberText(double value);

} // namespace corvane

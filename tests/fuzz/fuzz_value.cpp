// Reading a caption as a number: whatever the text, the answer is a finite number
// that strtod agrees with, or no number; blanks around it change nothing.
#include "FuzzCheck.h"

#include "core/link/Value.h"

#include <clocale>
#include <cmath>
#include <string>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = fuzz::textOf(data, size);
    const auto value = readValue(text);

    FUZZ_CHECK(readsAs(text, 0) == (value && *value == 0));
    FUZZ_CHECK(readsAs(text, 1) == (value && *value == 1));

    // Blanks and tabs around a caption are no part of its value.
    const auto padded = readValue(QStringLiteral(" \t") + text + QStringLiteral("\t "));
    FUZZ_CHECK(padded.has_value() == value.has_value());
    FUZZ_CHECK(!value || *padded == *value);

    if (!value)
        return 0;
    FUZZ_CHECK(std::isfinite(*value));

    // A number is plain ASCII; strtod (C locale) reads it to the same double.
    const QString trimmed = text.trimmed();
    std::string ascii;
    for (QChar c : trimmed) {
        FUZZ_CHECK(c.unicode() < 0x80);
        ascii.push_back(char(c.unicode()));
    }
    std::setlocale(LC_NUMERIC, "C");
    char *end = nullptr;
    const double reference = std::strtod(ascii.c_str(), &end);
    FUZZ_CHECK(end == ascii.c_str() + ascii.size());
    FUZZ_CHECK(reference == *value);

    // What the station would write back for it reads as the same number, to 15 digits.
    const auto again = readValue(numberText(*value));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(std::abs(*again - *value) <= std::abs(*value) * 1e-14 || std::abs(*again - *value) < 1e-300);
    return 0;
}

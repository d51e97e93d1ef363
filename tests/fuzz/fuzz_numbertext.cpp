// The number text of any double: plain decimal (no exponent, no trailing zero, never
// "-0") of at most 15 significant digits that reads back to the same number within
// those digits; NaN and the infinities are words that read as no number.
#include "FuzzCheck.h"

#include "core/link/Value.h"

#include <cfloat>
#include <cmath>
#include <cstring>

using namespace corvane;

namespace {

void check(double x)
{
    const QString text = numberText(x);
    if (!std::isfinite(x)) {
        FUZZ_CHECK(text == (std::isnan(x) ? u"NaN" : x > 0 ? u"Inf" : u"-Inf"));
        FUZZ_CHECK(!readValue(text));
        return;
    }
    FUZZ_CHECK(fuzz::isPlainDecimal(text));
    FUZZ_CHECK(fuzz::significantDigits(text) <= 15);
    FUZZ_CHECK((x == 0) == (text == u"0"));
    FUZZ_CHECK(text.startsWith(u'-') == (x < 0));

    const auto back = readValue(text);
    FUZZ_CHECK(back.has_value());
    const double error = std::abs(*back - x);
    // 15 digits hold a normal double to half a unit in the 15th digit; below DBL_MIN
    // the doubles themselves are coarser than that.
    FUZZ_CHECK(error <= std::abs(x) * 5.1e-15 || (std::abs(x) < DBL_MIN && error <= DBL_TRUE_MIN));
    if (std::abs(x) >= DBL_MIN)
        FUZZ_CHECK(numberText(*back) == text); // written again, it stays as it is
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Every 8 bytes one double, bit for bit; a shorter tail as a small whole number
    // and as that number scaled like the PLC's speed units.
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        double x;
        std::memcpy(&x, data + i, 8);
        check(x);
    }
    if (i < size) {
        std::int64_t n = 0;
        for (; i < size; ++i)
            n = n * 256 + data[i];
        check(double(n));
        check(double(n) / 655.36);
        check(double(n) * 655.36);
        check(-double(n) / 10.0);
    }
    return 0;
}

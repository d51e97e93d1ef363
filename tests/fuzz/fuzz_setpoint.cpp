// The blower speed entry: a write only for 45 to 100 percent, in the PLC's units,
// reading back to the percentage entered; a PLC value shown as percent or INVALID.
#include "FuzzCheck.h"

#include "core/link/Value.h"
#include "screens/blowers/SpeedSetpoint.h"

#include <cmath>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString entry = fuzz::textOf(data, size);
    const auto percent = readValue(entry);
    const auto write = speedSetpointText(entry);

    FUZZ_CHECK(write.has_value() == (percent && *percent >= 45 && *percent <= 100));
    if (write) {
        FUZZ_CHECK(fuzz::isPlainDecimal(*write));
        const auto units = readValue(*write);
        FUZZ_CHECK(units && *units >= 45 * 655.36 - 1e-9 && *units <= 65536);
        FUZZ_CHECK(std::abs(*units - *percent * 655.36) <= 65536 * 1e-14);
        // The PLC's value, shown again as percent, is what was entered.
        const auto shown = readValue(speedPercentText(*write));
        FUZZ_CHECK(shown && std::abs(*shown - *percent) <= 1e-12);
    }

    // The same text as the PLC's value: a percentage, or INVALID for no number.
    const QString status = speedPercentText(entry);
    FUZZ_CHECK((status == speedNoNumberText()) == !percent);
    if (percent) {
        const auto shown = readValue(status);
        FUZZ_CHECK(shown && std::abs(*shown - *percent / 655.36) <= std::abs(*percent / 655.36) * 1e-14 + 1e-300);
    }
    return 0;
}

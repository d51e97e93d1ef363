#include "SpeedSetpoint.h"

#include "core/link/Value.h"

namespace corvane {

namespace {
// PLC speed units: 655.36 to the percent.
constexpr double kUnitsPerPercent = 655.36;
constexpr double kLowest = 45, kHighest = 100;
} // namespace

std::optional<QString> speedSetpointText(QStringView entry)
{
    const auto percent = readValue(entry);
    if (!percent || *percent < kLowest || *percent > kHighest)
        return std::nullopt;
    return numberText(*percent * kUnitsPerPercent);
}

QString speedPercentText(QStringView value)
{
    const auto units = readValue(value);
    return units ? numberText(*units / kUnitsPerPercent) : speedNoNumberText();
}

double speedUnitsPerPercent()
{
    return kUnitsPerPercent;
}

QString speedNoNumberText()
{
    return QStringLiteral("INVALID");
}

} // namespace corvane

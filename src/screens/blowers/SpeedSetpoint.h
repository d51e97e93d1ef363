#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace corvane {

// What a speed entry box asks to write: for a percentage from 45 to 100 the PLC's
// units (655.36 to the percent) as the write text; nothing for any other entry, and
// the box's button stays disabled.
std::optional<QString> speedSetpointText(QStringView entry);

// What a speed's status label shows for the PLC's value: percent, unrounded, or
// speedNoNumberText() for a value that is no number.
QString speedPercentText(QStringView value);
QString speedNoNumberText();

// PLC speed units to the percent.
double speedUnitsPerPercent();

} // namespace corvane

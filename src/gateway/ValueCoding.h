#pragma once

#include "ItemMap.h"

#include <QString>
#include <QVector>
#include <optional>
#include <variant>

namespace corvane::gateway {

// A bit read from a coil or discrete input as the value text.
QString bitText(bool on);

// The value text of a register row from its registers (widthOf(row.type) of them, in
// address order). Nothing when the registers hold no value of the type (bad BCD).
std::optional<QString> registerText(const MapRow &row, const quint16 *registers, bool highWordFirst);

// What a write puts into the PLC: a bit, or registers in address order. For a
// RegisterBit row, `bit` is the bit's new state and the caller merges it into the
// register it reads just before writing.
struct Encoded
{
    bool bit = false;
    QVector<quint16> registers;
};

// The checked value of a write, or the reason it is refused.
std::variant<Encoded, QString> encodeWrite(const MapRow &row, const QString &text, bool highWordFirst);

} // namespace corvane::gateway

#include "ValueCoding.h"

#include "core/link/Value.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace corvane::gateway {

namespace {

quint32 joinWords(const quint16 *r, bool highWordFirst)
{
    return highWordFirst ? (quint32(r[0]) << 16 | r[1]) : (quint32(r[1]) << 16 | r[0]);
}

QVector<quint16> splitWords(quint32 v, bool highWordFirst)
{
    const quint16 low = quint16(v & 0xFFFF);
    const quint16 high = quint16(v >> 16);
    return highWordFirst ? QVector<quint16>{high, low} : QVector<quint16>{low, high};
}

// Each nibble one decimal digit, or nothing.
std::optional<quint32> fromBcd(quint32 raw, int digits)
{
    quint32 value = 0;
    for (int i = digits - 1; i >= 0; --i) {
        const quint32 digit = (raw >> (4 * i)) & 0xF;
        if (digit > 9)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

quint32 toBcd(quint32 value)
{
    quint32 raw = 0;
    for (int shift = 0; value != 0; shift += 4, value /= 10)
        raw |= (value % 10) << shift;
    return raw;
}

struct Range
{
    double min;
    double max;
};

Range rangeOf(Type type)
{
    switch (type) {
    case Type::Bit:
    case Type::RegisterBit:
        return {0, 1};
    case Type::U16:
        return {0, 65535};
    case Type::S16:
        return {-32768, 32767};
    case Type::Bcd16:
        return {0, 9999};
    case Type::U32:
        return {0, 4294967295.0};
    case Type::S32:
        return {-2147483648.0, 2147483647.0};
    case Type::Bcd32:
        return {0, 99999999};
    case Type::F32:
        return {-std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
    }
    return {0, 0};
}

// The shortest decimal text that reads back as the same float: a PLC's 0.1f is
// "0.1", not the 0.100000001490116 of its double. Positional, as the station reads.
QString floatText(float f)
{
    if (f == 0)
        return QStringLiteral("0"); // also for -0
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::fixed);
    if (ec != std::errc())
        return numberText(double(f));
    return QString::fromLatin1(buf, end - buf);
}

} // namespace

QString bitText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<QString> registerText(const MapRow &row, const quint16 *r, bool highWordFirst)
{
    switch (row.type) {
    case Type::Bit:
        return bitText(r[0] != 0);
    case Type::RegisterBit:
        return bitText((r[0] >> row.bit) & 1);
    case Type::U16:
        return QString::number(r[0]);
    case Type::S16:
        return QString::number(qint16(r[0]));
    case Type::Bcd16: {
        const auto v = fromBcd(r[0], 4);
        return v ? std::optional(QString::number(*v)) : std::nullopt;
    }
    case Type::U32:
        return QString::number(joinWords(r, highWordFirst));
    case Type::S32:
        return QString::number(qint32(joinWords(r, highWordFirst)));
    case Type::Bcd32: {
        const auto v = fromBcd(joinWords(r, highWordFirst), 8);
        return v ? std::optional(QString::number(*v)) : std::nullopt;
    }
    case Type::F32: {
        const float f = std::bit_cast<float>(joinWords(r, highWordFirst));
        if (!std::isfinite(f))
            return std::nullopt;
        return floatText(f);
    }
    }
    return std::nullopt;
}

std::variant<Encoded, QString> encodeWrite(const MapRow &row, const QString &text, bool highWordFirst)
{
    const auto number = readValue(text);
    if (!number)
        return QStringLiteral("not a number");
    const Range range = rangeOf(row.type);
    if (row.type == Type::Bit || row.type == Type::RegisterBit) {
        if (*number != 0 && *number != 1)
            return QStringLiteral("a bit takes 0 or 1");
        return Encoded{*number == 1, {}};
    }
    if (row.type == Type::F32) {
        if (*number < range.min || *number > range.max)
            return QStringLiteral("out of range for f32");
        const float f = float(*number);
        // 1e-50 would reach the PLC as 0: a value the type cannot hold is refused.
        if (f == 0 && *number != 0)
            return QStringLiteral("too small for f32");
        return Encoded{false, splitWords(std::bit_cast<quint32>(f), highWordFirst)};
    }
    // std::round goes half away from zero, as a setpoint of 39321.6 wants.
    const double v = std::round(*number);
    if (v < range.min || v > range.max)
        return QStringLiteral("out of range for %1").arg(typeName(row));
    switch (row.type) {
    case Type::U16:
        return Encoded{false, {quint16(v)}};
    case Type::S16:
        return Encoded{false, {quint16(qint16(v))}};
    case Type::Bcd16:
        return Encoded{false, {quint16(toBcd(quint32(v)))}};
    case Type::U32:
        return Encoded{false, splitWords(quint32(v), highWordFirst)};
    case Type::S32:
        return Encoded{false, splitWords(quint32(qint32(v)), highWordFirst)};
    case Type::Bcd32:
        return Encoded{false, splitWords(toBcd(quint32(v)), highWordFirst)};
    default:
        break;
    }
    return QStringLiteral("type cannot be written");
}

} // namespace corvane::gateway

#pragma once

#include <QString>

namespace corvane::sim {

// The simulated PLC's memory as a data server serves it: item text -> value text.
class PlcImage
{
public:
    virtual ~PlcImage() = default;
    virtual void set(const QString &item, const QString &value) = 0;
    virtual QString get(const QString &item) const = 0;
};

} // namespace corvane::sim

#pragma once

#include "HistoryReader.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QWidget;

namespace corvane::history {

// The trend window's questions to the operator. Each returns nothing when cancelled.

// One of the items, found by typing part of its words or its code.
std::optional<QString> chooseItem(QWidget *parent, const QStringList &items,
                                  const std::function<QString(const QString &)> &titleOf);
// A stretch of time, picked as local dates and times.
std::optional<std::pair<qint64, qint64>> chooseRange(QWidget *parent, qint64 fromMs, qint64 toMs);
// One of the alarm lines, newest first; its time.
std::optional<qint64> chooseAlarm(QWidget *parent, const std::vector<AlarmRecord> &alarms);
// A pen's scale by hand: the low and high ends.
std::optional<std::pair<double, double>> chooseScale(QWidget *parent, const QString &title, double low, double high);

} // namespace corvane::history

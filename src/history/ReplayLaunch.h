#pragma once

#include <QString>
#include <QStringList>

namespace corvane::history {

// The command line of a replay of the history file from utcMs (ISO 8601 in UTC, so
// the moment survives any time zone of the second process).
QStringList replayArguments(const QString &historyPath, qint64 utcMs);

// "Replay from here": a second station process on the history, detached, so the live
// station goes on untouched and outlives it either way. False if it could not start.
bool startReplay(const QString &historyPath, qint64 utcMs);

} // namespace corvane::history

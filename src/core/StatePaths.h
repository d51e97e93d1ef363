#pragma once

#include <QString>

namespace corvane {

// Where the programs keep what they write by default (the alarm log, the history):
// d:\temp on Windows, $XDG_STATE_HOME/corvane (usually ~/.local/state/corvane) elsewhere.
QString stateFolder();
// A file of that folder.
QString stateFile(const QString &name);

// The defaults of the station's alarm log and value history, side by side.
QString defaultAlarmLogPath();
QString defaultHistoryPath();

} // namespace corvane

#pragma once

namespace corvane {

struct StationOptions;

// The station as a replay of its history (--replay): a second process on the file,
// read-only. Call with the QApplication made; returns the exit code.
int runReplay(const StationOptions &options);

} // namespace corvane

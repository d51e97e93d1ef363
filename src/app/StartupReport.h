#pragma once

class QCoreApplication;

namespace corvane {

// For measuring start-up: once the first window of the program is on screen and
// painted, prints one line to stdout:
//   startup: shown 123.4 ms after process start, painted at monotonic 987654321 ns
// The milliseconds come from the kernel's start time of the process (10 ms steps);
// the monotonic stamp lets whoever started the process measure exactly.
void reportStartup(QCoreApplication &app);

// The kernel's start time of this process and the time now, on the boot clock, in ns.
long long processStartNs();
long long bootClockNs();

} // namespace corvane

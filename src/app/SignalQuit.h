#pragma once

class QCoreApplication;

namespace corvane {

// SIGINT and SIGTERM end the event loop, so the station shuts down cleanly (pending
// pulses written, links closed) instead of dying where it stands.
void installSignalQuit(QCoreApplication &app);

} // namespace corvane

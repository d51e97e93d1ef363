#pragma once

#include <functional>

class QCoreApplication;

namespace corvane {

// Runs `handler` on the application's thread each time `signal` arrives. The signal
// handler itself only writes a byte to a socket pair, which is all it safely may.
void onSignal(QCoreApplication &app, int signal, std::function<void()> handler);

// SIGINT and SIGTERM end the event loop, so the station shuts down cleanly (pending
// pulses written, links closed) instead of dying where it stands.
void installSignalQuit(QCoreApplication &app);

} // namespace corvane

#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace corvane {

// Calls handed from another thread to the thread of a receiver, each run as its own
// queued event, in the order they were handed over: what QMetaObject::invokeMethod
// with a functor does, except that the call itself passes a std::mutex. Debian's Qt
// locks its event queue with futexes ThreadSanitizer cannot see, so a functor built on
// one thread and run on another looked like a race to it.
class HandOff : public QObject
{
    Q_OBJECT
public:
    // A child of the receiver: it lives in the receiver's thread and goes with it.
    explicit HandOff(QObject *receiver);

    // Any thread.
    void post(std::function<void()> call);

private:
    Q_INVOKABLE void runOne();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
};

} // namespace corvane

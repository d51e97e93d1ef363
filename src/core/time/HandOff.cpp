#include "core/time/HandOff.h"

namespace corvane {

HandOff::HandOff(QObject *receiver)
    : QObject(receiver)
{
}

void HandOff::post(std::function<void()> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    // By name: the event is made and read inside Qt, and carries nothing of ours.
    QMetaObject::invokeMethod(this, "runOne", Qt::QueuedConnection);
}

void HandOff::runOne()
{
    std::function<void()> call;
    {
        std::lock_guard lock(m_mutex);
        if (m_calls.empty())
            return;
        call = std::move(m_calls.front());
        m_calls.pop_front();
    }
    call();
}

} // namespace corvane

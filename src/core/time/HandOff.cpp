#include "core/time/HandOff.h"

#include <QMetaMethod>

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
    // Through the meta-object: the event is made and read inside Qt and carries nothing
    // of ours. The method is looked up once, not by its name at every call.
    static const QMetaMethod runOne = staticMetaObject.method(staticMetaObject.indexOfMethod("runOne()"));
    runOne.invoke(this, Qt::QueuedConnection);
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

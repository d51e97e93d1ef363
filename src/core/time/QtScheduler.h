#pragma once

#include "core/time/Scheduler.h"

#include <QElapsedTimer>

namespace corvane {

class QtScheduler final : public Scheduler
{
public:
    QtScheduler();
    qint64 elapsedMs() const override;
    QDateTime now() const override;
    void post(QObject *guard, std::function<void()> fn) override;
    std::unique_ptr<TimerBackend> createTimer(std::function<void()> onFire) override;

private:
    QElapsedTimer m_clock;
};

} // namespace corvane

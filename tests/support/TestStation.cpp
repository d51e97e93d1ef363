#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"
#include "screens/AllScreens.h"
#include "station/FrmAlarmlist.h"

#include <QFile>

namespace corvane::test {

void prepareTestApplication()
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setQuitOnLastWindowClosed(false);
    applyStationLook();
}

TestStation::TestStation(bool registerScreens)
{
    station = std::make_unique<Station>(scheduler, server, dir.filePath(QStringLiteral("log/alarm_log.txt")));
    if (registerScreens)
        registerAllScreens(*station);
    else
        wireStation(*station);
}

TestStation::~TestStation()
{
    station.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestStation::advance(qint64 ms)
{
    scheduler.advance(ms);
    QCoreApplication::processEvents();
    scheduler.runPending();
}

QString TestStation::captionOf(const QString &form, const QString &name) const
{
    QWidget *w = control(form, name);
    return w ? caption(w) : QStringLiteral("<no control %1.%2>").arg(form, name);
}

ColourRef TestStation::colourOf(const QString &form, const QString &name) const
{
    QWidget *w = control(form, name);
    return w ? backColour(w) : ColourRef(0xDEADBEEF);
}

Link *TestStation::link(const QString &form, const QString &name) const
{
    Screen *s = screen(form);
    return s ? s->link(name) : nullptr;
}

QString TestStation::alarmLogPath() const
{
    return station->alarms().path();
}

QByteArray TestStation::alarmLogBytes() const
{
    QFile f(alarmLogPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList TestStation::alarmLogLines() const
{
    QStringList lines = QString::fromUtf8(alarmLogBytes()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList TestStation::alarmListLines() const
{
    auto *list = qobject_cast<FrmAlarmlist *>(screen(QString::fromLatin1(FrmAlarmlist::kFormName)));
    return list ? list->lines() : QStringList();
}

void TestStation::activate(QWidget *w)
{
    QCoreApplication::processEvents(); // activations the windows asked for come first
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(w);
    QT_WARNING_POP
    QCoreApplication::processEvents();
}

QStringList TestStation::operations() const
{
    QStringList out;
    for (const auto &op : server.operations()) {
        QString s;
        switch (op.kind) {
        case InProcessServer::Operation::Open:
            s = QStringLiteral("open %1 %2").arg(op.item, op.mode == LinkMode::Automatic ? "auto" : "manual");
            break;
        case InProcessServer::Operation::Timeout:
            s = QStringLiteral("timeout %1 %2").arg(op.item).arg(op.timeout);
            break;
        case InProcessServer::Operation::Close:
            s = QStringLiteral("close %1").arg(op.item);
            break;
        case InProcessServer::Operation::Poke:
            s = QStringLiteral("poke %1 %2").arg(op.item, op.value);
            break;
        }
        out << s + u'@' + QString::number(op.timeMs);
    }
    return out;
}

} // namespace corvane::test

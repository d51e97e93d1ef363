#pragma once

#include "core/link/Link.h"
#include "core/time/VirtualScheduler.h"
#include "station/Screen.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "transport/InProcessServer.h"
#include "ui/Controls.h"
#include "ui/Look.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace corvane::test {

// The station as the program builds it, on virtual time, the in-process server and
// a temporary alarm log, with every screen registered.
class TestStation
{
public:
    explicit TestStation(bool registerScreens = true);
    ~TestStation();

    VirtualScheduler scheduler;
    InProcessServer server{scheduler};
    QTemporaryDir dir;
    std::unique_ptr<Station> station;

    ScreenRegistry &screens() const { return station->screens(); }
    Screen *screen(const QString &form) const { return screens().find(form); }

    // Moves virtual time and lets Qt deliver its own events (activation, deletion).
    void advance(qint64 ms);
    void settle() { advance(0); }

    template<typename T = QWidget>
    T *control(const QString &form, const QString &name) const
    {
        Screen *s = screen(form);
        return s ? s->control<T>(name) : nullptr;
    }
    QString captionOf(const QString &form, const QString &name) const;
    ColourRef colourOf(const QString &form, const QString &name) const;
    // The link of that name on a loaded screen, or nullptr.
    Link *link(const QString &form, const QString &name) const;

    QString alarmLogPath() const;
    QByteArray alarmLogBytes() const;
    QStringList alarmLogLines() const; // without the CR LF
    QStringList alarmListLines() const;

    // Makes w the active window of the program, as a click on it would.
    static void activate(QWidget *w);
    // The pokes of an item as "value@ms".
    QStringList pokes(const QString &item) const { return server.pokes(item); }
    // The server's operations as "kind item[ mode|timeout|value]@ms" for link-order checks.
    QStringList operations() const;
};

void prepareTestApplication();

} // namespace corvane::test

#define CORVANE_TEST_MAIN(TestObject) \
    int main(int argc, char *argv[]) \
    { \
        qputenv("QT_QPA_PLATFORM", "offscreen"); \
        QApplication app(argc, argv); \
        corvane::test::prepareTestApplication(); \
        TestObject tc; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&tc, argc, argv); \
    }

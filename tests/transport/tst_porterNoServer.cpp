// The porter screen opens its 71 links while the data server cannot be reached: the
// load must not wait for the network (the porter would see a frozen window), every
// link must stand open waiting for the server, and a command must not wait either.
#include "MqttTestKit.h"
#include "Sanitizer.h"
#include "TestStation.h"

#include "core/link/Link.h"
#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"

#include <QPushButton>
#include <QTcpServer>

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kPorter = QStringLiteral("frmPorter");
// Time the load may hold the UI: what a porter feels as instant on a shared machine,
// widened under the sanitizers.
constexpr qint64 kLongestHoldMs = measuredBound(300);
} // namespace

class TestPorterNoServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadsAtOnceWithEveryLinkWaiting_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("nothing listens") << false;
        QTest::newRow("broker takes the connection, never answers") << true;
    }
    void loadsAtOnceWithEveryLinkWaiting()
    {
        QFETCH(bool, silent);
        QTcpServer listener;
        RefusingPort refusing; // held: no other test's broker can answer on it
        MqttSettings settings;
        if (silent) {
            QVERIFY(listener.listen(QHostAddress::LocalHost));
            settings.port = listener.serverPort();
        } else {
            settings.port = refusing.port();
        }
        QtScheduler scheduler;
        MqttTagSource tags(settings);
        QTemporaryDir dir;
        Station station(scheduler, tags, dir.filePath(QStringLiteral("alarm_log.txt")));
        registerAllScreens(station);
        tags.start();

        const qint64 held = longestStall([&] { station.screens().show(kPorter); }, 300);
        QVERIFY2(held < kLongestHoldMs, qPrintable(QStringLiteral("the load held the UI %1 ms").arg(held)));

        QWidget *window = station.screens().find(kPorter)->window();
        QVERIFY(window && window->isVisible());
        const std::vector<Link *> &links = station.screens().find(kPorter)->links().inOrder();
        QCOMPARE(links.size(), 71u);
        for (const Link *link : links) {
            QVERIFY2(link->isLinkOpen(), qPrintable(link->objectName()));
            QCOMPARE(link->value(), QStringLiteral("0"));
        }
        QVERIFY(!tags.isLinkUp());

        // Nor does a command: its write fails at once instead of waiting for the broker.
        auto *call = window->findChild<QPushButton *>(QStringLiteral("cmdDrAMealCall"));
        QVERIFY(call);
        const qint64 clickHeld = longestStall([&] { call->click(); }, 50);
        QVERIFY2(clickHeld < kLongestHoldMs, qPrintable(QString::number(clickHeld)));

        station.shutDown();
        tags.stop();
    }
};

CORVANE_TEST_MAIN(TestPorterNoServer)
#include "tst_porterNoServer.moc"

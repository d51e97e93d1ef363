#include "TestStation.h"

#include <QPushButton>
#include <QSignalSpy>

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kSelect = QStringLiteral("frmSelect");
const QString kMain = QStringLiteral("frmCVCarmain");
} // namespace

class TestFrmSelect : public QObject
{
    Q_OBJECT

    static QPushButton *button(TestStation &t, const char *name)
    {
        return t.control<QPushButton>(kSelect, QString::fromLatin1(name));
    }

private Q_SLOTS:
    void windowAndDesign()
    {
        TestStation t;
        t.screens().show(kSelect);
        QWidget *w = t.screen(kSelect)->window();
        QCOMPARE(w->windowTitle(), QStringLiteral(" Ordovan"));
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(w->frameGeometry().center().x() - avail.center().x()) <= 1);
        QVERIFY(qAbs(w->frameGeometry().center().y() - avail.center().y()) <= 1);
        const QStringList captions = {t.captionOf(kSelect, "lblSelection"), t.captionOf(kSelect, "cmdLK"),
                                      t.captionOf(kSelect, "cmdCV"),        t.captionOf(kSelect, "cmdBD"),
                                      t.captionOf(kSelect, "Command3"),     t.captionOf(kSelect, "cmdCVReActvLink"),
                                      t.captionOf(kSelect, "Command1")};
        QCOMPARE(captions, QStringList({"Select Car To Monitor", "Larkspur", "Corvane", "Baggage Dorm",
                                        "Reactivate Link", "Click to Run Demo", "Reactivate Link"}));
        QVERIFY(!button(t, "cmdCV")->isEnabled());
        QVERIFY(button(t, "cmdCVReActvLink")->isEnabled());
        // Left to right: Larkspur, Corvane, Baggage Dorm; the second row under the first.
        QVERIFY(button(t, "cmdLK")->x() < button(t, "cmdCV")->x());
        QVERIFY(button(t, "cmdCV")->x() < button(t, "cmdBD")->x());
        QCOMPARE(button(t, "cmdCVReActvLink")->x(), button(t, "cmdCV")->x());
        QVERIFY(button(t, "cmdCVReActvLink")->y() > button(t, "cmdCV")->y());
        QVERIFY(t.link(kSelect, "lblCVDSDataStatus") && !t.control<QWidget>(kSelect, "lblCVDSDataStatus"));
    }

    void linksStatusAutomaticThenEnableManualWithoutTimeout()
    {
        TestStation t;
        t.screens().load(kSelect);
        QCOMPARE(t.operations(), QStringList({"open Status auto@0", "open Enable manual@0"}));
    }

    void corvaneButtonFollowsStatus_data()
    {
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("active") << QStringList{"1"} << "Corvane Link Active" << 0x00FF00u << true;
        QTest::newRow("active with blanks") << QStringList{" 1 "} << "Corvane Link Active" << 0x00FF00u << true;
        QTest::newRow("not active") << QStringList{"0"} << "Corvane Link NOT Active" << 0x00FFFFu << false;
        QTest::newRow("1 then 0") << QStringList{"1", "0"} << "Corvane Link NOT Active" << 0x00FFFFu << false;
        QTest::newRow("1 then 2 keeps active") << QStringList{"1", "2"} << "Corvane Link Active" << 0x00FF00u << true;
        QTest::newRow("0 then word keeps not active")
                << QStringList{"0", "down"} << "Corvane Link NOT Active" << 0x00FFFFu << false;
        QTest::newRow("2 from the start keeps the design") << QStringList{"2"} << "Corvane" << 0x8000000Fu << false;
    }
    void corvaneButtonFollowsStatus()
    {
        QFETCH(QStringList, statuses);
        QFETCH(QString, caption);
        QFETCH(quint32, colour);
        QFETCH(bool, enabled);
        TestStation t;
        t.screens().show(kSelect);
        for (const QString &s : statuses) {
            t.server.setValue(QStringLiteral("Status"), s);
            t.advance(200); // within one tick
        }
        QCOMPARE(t.captionOf(kSelect, "cmdCV"), caption);
        QCOMPARE(t.colourOf(kSelect, "cmdCV"), ColourRef(colour));
        QCOMPARE(button(t, "cmdCV")->isEnabled(), enabled);
    }

    void otherCarsNeverActive_data()
    {
        QTest::addColumn<QString>("status");
        QTest::newRow("1") << "1";
        QTest::newRow("0") << "0";
        QTest::newRow("2") << "2";
    }
    void otherCarsNeverActive()
    {
        QFETCH(QString, status);
        TestStation t;
        t.server.setValue(QStringLiteral("Status"), status);
        t.screens().show(kSelect);
        t.advance(199);
        QCOMPARE(t.captionOf(kSelect, "cmdLK"), QStringLiteral("Larkspur")); // before the first tick
        t.advance(1);
        QCOMPARE(t.captionOf(kSelect, "cmdLK"), QStringLiteral("Larkspur Link NOT Active"));
        QCOMPARE(t.captionOf(kSelect, "cmdBD"), QStringLiteral("Baggage Dorm Link NOT Active"));
        QCOMPARE(t.colourOf(kSelect, "cmdLK"), Colours::yellow);
        QCOMPARE(t.colourOf(kSelect, "cmdBD"), Colours::yellow);
        QVERIFY(!button(t, "cmdLK")->isEnabled());
        QVERIFY(!button(t, "cmdBD")->isEnabled());
    }

    void serverAbsentShowsNotActiveAndDemoStillOpens()
    {
        TestStation t;
        t.server.setPresent(false);
        t.screens().show(kSelect);
        t.advance(200);
        QCOMPARE(t.captionOf(kSelect, "cmdCV"), QStringLiteral("Corvane Link NOT Active"));
        QVERIFY(!button(t, "cmdCV")->isEnabled());
        button(t, "cmdCVReActvLink")->click();
        QVERIFY(t.screens().isLoaded(kMain));
    }

    void bothButtonsShowOneMainScreen()
    {
        TestStation t;
        t.server.setValue(QStringLiteral("Status"), QStringLiteral("1"));
        t.screens().show(kSelect);
        t.advance(200);
        button(t, "cmdCVReActvLink")->click();
        QWidget *main = t.screen(kMain)->window();
        QVERIFY(main && main->isVisible());
        button(t, "cmdCVReActvLink")->click();
        button(t, "cmdCV")->click();
        QCOMPARE(t.screen(kMain)->window(), main);
        int mainWindows = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            mainWindows += w->objectName() == kMain && w->isVisible();
        QCOMPARE(mainWindows, 1);
    }

    void closingTheSelectionLeavesTheMainScreenRunning()
    {
        TestStation t;
        QSignalSpy last(&t.screens(), &ScreenRegistry::lastScreenUnloaded);
        t.screens().show(kSelect);
        button(t, "cmdCVReActvLink")->click();
        t.screen(kSelect)->window()->close();
        t.advance(1000);
        QVERIFY(!t.screens().isLoaded(kSelect));
        QVERIFY(t.screens().isLoaded(kMain));
        QCOMPARE(last.count(), 0);
        t.screen(kMain)->window()->close();
        QCOMPARE(t.screens().loadedCount(), 0);
        QCOMPARE(last.count(), 1);
    }
};

CORVANE_TEST_MAIN(TestFrmSelect)
#include "tst_frmSelect.moc"

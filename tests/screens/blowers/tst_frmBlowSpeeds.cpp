#include "TestStation.h"

#include <QLineEdit>
#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kA = QStringLiteral("frmBlowASpeeds");
const QString kB = QStringLiteral("frmBlowBSpeeds");
const QString kDm = QStringLiteral("frmBlowDmSpeeds");
const QString kMain = QStringLiteral("frmCVCarmain");
// A value that is no number must never look like a speed.
const QString kNoNumber = QStringLiteral("INVALID");

struct Fixture
{
    explicit Fixture(const QString &form = kA)
        : form(form)
    {
        t.screens().show(form);
        t.settle();
    }
    QLineEdit *entry(const QString &name) const { return t.control<QLineEdit>(form, name); }
    QPushButton *button(const QString &name) const { return t.control<QPushButton>(form, name); }
    void retype(const QString &entryName, const QString &text) const
    {
        QLineEdit *e = entry(entryName);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
    }
    void deliver(const QString &item, const QString &value)
    {
        t.server.setValue(item, value);
        t.settle();
    }
    QString form;
    TestStation t;
};

} // namespace

class TestFrmBlowSpeeds : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Rows as "key|caption|item", Actual first.
    void configuration_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("A end") << kA << "A End Overhead Blower Speeds"
                               << "A End Overhead Unit Blower Speeds"
                               << QStringList{"AEndAct|Actual|v7024:db", "AEndNo|No Heat or Cool|v10200:db",
                                              "AEndHeat|Heat|v10202:db", "AEnd1Cool|1st Stage Cool|v10204:db",
                                              "AEnd2Cool|2nd Stage Cool|v10206:db"};
        QTest::newRow("B end") << kB << "B End Overhead Blower Speeds"
                               << "B End Overhead Unit Blower Speeds"
                               << QStringList{"BEndAct|Actual|v7030:db",
                                              "BEndNo|No Heat or Cool|v10230:db",
                                              "BEnd1Heat|1st Stage Heat|v10232:db",
                                              "BEnd2Heat|2nd Stage Heat|v10234:db",
                                              "BEnd1Cool|1st Stage Cool|v10236:db",
                                              "BEnd2Cool|2nd Stage Cool|v10240:db"};
        QTest::newRow("dome") << kDm << "Dome Overhead Blower Speeds"
                              << "Dome Overhead Unit Blower Speeds"
                              << QStringList{"DmAct|Actual|v7026:db",
                                             "DmNo|No Heat or Cool|v10260:db",
                                             "Dm1Heat|1st Stage Heat|v10262:db",
                                             "Dm2Heat|2nd Stage Heat|v10264:db",
                                             "Dm1Cool|1st Stage Cool|v10266:db",
                                             "Dm2Cool|2nd Stage Cool|v10270:db"};
    }
    void configuration()
    {
        QFETCH(QString, form);
        QFETCH(QString, caption);
        QFETCH(QString, frame);
        QFETCH(QStringList, rows);
        Fixture f(form);
        QCOMPARE(f.t.screen(form)->window()->windowTitle(), caption);
        QCOMPARE(f.t.captionOf(form, "fraOvrhdA"), frame);
        QCOMPARE(f.t.captionOf(form, "Label1"), QStringLiteral("Values In Percent of Overall Motor Speed"));
        QCOMPARE(f.t.captionOf(form, "Label2"), QStringLiteral("Values Must be Between 45% and 100%"));
        QCOMPARE(f.t.colourOf(form, "Label1"), Colours::white);
        QCOMPARE(f.t.colourOf(form, "Label2"), Colours::white);

        QStringList opens, writeOpens, timeouts, writeTimeouts, closes, writeCloses;
        int previousTop = -1;
        for (const QString &row : rows) {
            const QStringList p = row.split(u'|');
            const QString key = p[0], item = p[2];
            const QString part = "DV" + item.mid(1, item.indexOf(u':') - 1);
            const bool actual = p[1] == QLatin1String("Actual");
            Link *link = f.t.link(form, "lbl" + key + part);
            QVERIFY2(link, qPrintable(key + part));
            QCOMPARE(link->item(), item);
            QCOMPARE(f.t.captionOf(form, "lbl" + key + part + "Status"), QStringLiteral("0"));
            QCOMPARE(f.t.captionOf(form, "lbl" + key), p[1]);
            // Rows top to bottom; in a row: status, caption, entry, button.
            QWidget *status = f.t.control(form, "lbl" + key + part + "Status");
            QVERIFY(status->y() > previousTop);
            previousTop = status->y();
            QVERIFY(status->x() < f.t.control(form, "lbl" + key)->x());
            opens << QStringLiteral("open %1 auto").arg(item);
            timeouts << QStringLiteral("timeout %1 50").arg(item);
            closes << QStringLiteral("close %1").arg(item);
            QCOMPARE(f.entry("txt" + key + part) == nullptr, actual);
            if (actual)
                continue;
            QCOMPARE(f.entry("txt" + key + part)->text(), QStringLiteral("60"));
            QCOMPARE(f.button("cmdWrt" + part)->text(), QStringLiteral("Write To PLC"));
            QVERIFY(!f.button("cmdWrt" + part)->isEnabled());
            QVERIFY(f.t.control(form, "lbl" + key)->x() < f.entry("txt" + key + part)->x());
            QVERIFY(f.entry("txt" + key + part)->x() < f.button("cmdWrt" + part)->x());
            Link *write = f.t.link(form, "txt" + key + "Wrt" + part);
            QCOMPARE(write->item(), item);
            QCOMPARE(write->value(), QStringLiteral(" "));
            writeOpens << QStringLiteral("open %1 manual").arg(item);
            writeTimeouts << QStringLiteral("timeout %1 50").arg(item);
            writeCloses << QStringLiteral("close %1").arg(item);
        }
        const auto withoutTimes = [&f] {
            QStringList ops = f.t.operations();
            for (QString &op : ops)
                op = op.left(op.lastIndexOf(u'@'));
            return ops;
        };
        QCOMPARE(withoutTimes(), opens + writeOpens + timeouts + writeTimeouts);
        f.t.server.clearOperations();
        f.t.screens().unload(form);
        QCOMPARE(withoutTimes(), closes + writeCloses);
    }

    void validation_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("45") << "45" << true;
        QTest::newRow("100") << "100" << true;
        QTest::newRow("72.5") << "72.5" << true;
        QTest::newRow("4.5e1") << "4.5e1" << true;
        QTest::newRow("blanks around") << " 60 " << true;
        QTest::newRow("44.99") << "44.99" << false;
        QTest::newRow("100.01") << "100.01" << false;
        QTest::newRow("101") << "101" << false;
        QTest::newRow("-50") << "-50" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("words") << "sixty" << false;
        QTest::newRow("percent sign") << "60%" << false;
        QTest::newRow("comma") << "60,5" << false;
        QTest::newRow("nan") << "nan" << false;
        QTest::newRow("inf") << "inf" << false;
        QTest::newRow("1e400") << "1e400" << false;
    }
    void validation()
    {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        Fixture f(kB);
        f.retype("txtBEnd2HeatDV10234", text);
        QCOMPARE(f.entry("txtBEnd2HeatDV10234")->text(), text);
        QCOMPARE(f.button("cmdWrtDV10234")->isEnabled(), enabled);
        QVERIFY(!f.button("cmdWrtDV10232")->isEnabled()); // the rows decide alone
        f.button("cmdWrtDV10234")->click();
        QCOMPARE(f.t.pokes("v10234:db").size(), enabled ? 1 : 0);
    }

    void everyKeystrokeDecides()
    {
        Fixture f;
        QLineEdit *e = f.entry("txtAEndHeatDV10202");
        QPushButton *b = f.button("cmdWrtDV10202");
        QVERIFY(!b->isEnabled()); // "60" at open, yet disabled
        e->setFocus();
        e->end(false);
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(e->text(), QStringLiteral("6"));
        QVERIFY(!b->isEnabled());
        QTest::keyClick(e, Qt::Key_0);
        QVERIFY(b->isEnabled());
        QTest::keyClick(e, Qt::Key_0); // 600
        QVERIFY(!b->isEnabled());
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, ".5");
        QVERIFY(b->isEnabled());
        QVERIFY(!f.button("cmdWrtDV10200")->isEnabled());
    }

    void writeSendsPercentInPlcUnits_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("written");
        QTest::newRow("60") << "60"
                            << "39321.6";
        QTest::newRow("45") << "45"
                            << "29491.2";
        QTest::newRow("45.5") << "45.5"
                              << "29818.88";
        QTest::newRow("100") << "100"
                             << "65536";
        QTest::newRow("72.25") << "72.25"
                               << "47349.76";
    }
    void writeSendsPercentInPlcUnits()
    {
        QFETCH(QString, entry);
        QFETCH(QString, written);
        Fixture f(kDm);
        f.retype("txtDm2CoolDV10270", entry);
        f.t.advance(100);
        f.button("cmdWrtDV10270")->click();
        f.t.advance(100);
        f.button("cmdWrtDV10270")->click(); // one poke per click
        QCOMPARE(f.t.pokes("v10270:db"), QStringList({written + "@100", written + "@200"}));
        QCOMPARE(f.t.link(kDm, "txtDm2CoolWrtDV10270")->value(), written);
        // Only that row's item is written.
        int pokes = 0;
        for (const auto &op : f.t.server.operations())
            pokes += op.kind == InProcessServer::Operation::Poke;
        QCOMPARE(pokes, 2);
    }

    void readBackInPercent_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("full") << "65536"
                              << "100";
        QTest::newRow("60 and a bit") << "39322"
                                      << "60.0006103515625";
        QTest::newRow("zero") << "0"
                              << "0";
        QTest::newRow("fraction") << "29818.88"
                                  << "45.5";
        QTest::newRow("blanks") << " 32768 "
                                << "50";
        QTest::newRow("error word") << "#ERR" << kNoNumber;
        QTest::newRow("empty") << "" << kNoNumber;
        QTest::newRow("nan") << "nan" << kNoNumber;
        QTest::newRow("trailing garbage") << "39322x" << kNoNumber;
    }
    void readBackInPercent()
    {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        Fixture f;
        f.deliver("v10204:db", "1"); // a first value, so that every row is a change
        f.deliver("v10204:db", value);
        QCOMPARE(f.t.captionOf(kA, "lblAEnd1CoolDV10204Status"), shown);
        QCOMPARE(f.t.captionOf(kA, "lblAEnd2CoolDV10206Status"), QStringLiteral("0"));
        f.deliver("v10204:db", "13107.2"); // a number again shows as one
        QCOMPARE(f.t.captionOf(kA, "lblAEnd1CoolDV10204Status"), QStringLiteral("20"));
    }

    // The B end measured speed comes from v7030:db, not from its no-heat-or-cool setpoint.
    void bEndActualReadsItsOwnItem()
    {
        Fixture f(kB);
        f.deliver("v7030:db", "32768");
        f.deliver("v10230:db", "39322");
        QCOMPARE(f.t.captionOf(kB, "lblBEndActDV7030Status"), QStringLiteral("50"));
        QCOMPARE(f.t.captionOf(kB, "lblBEndNoDV10230Status"), QStringLiteral("60.0006103515625"));
        f.deliver("v10230:db", "65536");
        QCOMPARE(f.t.captionOf(kB, "lblBEndActDV7030Status"), QStringLiteral("50"));
        f.deliver("v7030:db", "0");
        QCOMPARE(f.t.captionOf(kB, "lblBEndNoDV10230Status"), QStringLiteral("100"));
        QCOMPARE(f.t.captionOf(kB, "lblBEndActDV7030Status"), QStringLiteral("0"));
    }

    void noReadBackOfItsOwnAndNoStopWithoutServer()
    {
        Fixture f;
        f.t.server.setPresent(false);
        f.retype("txtAEndNoDV10200", "80");
        f.button("cmdWrtDV10200")->click();
        f.t.advance(1000);
        QCOMPARE(f.t.link(kA, "txtAEndNoWrtDV10200")->value(), QStringLiteral("52428.8"));
        QCOMPARE(f.t.captionOf(kA, "lblAEndNoDV10200Status"), QStringLiteral("0"));
        QVERIFY(f.t.screens().isLoaded(kA));
    }

    void deactivationUnloadsAndReopensFresh()
    {
        TestStation t;
        t.screens().show(kMain);
        t.screens().show(kB);
        TestStation::activate(t.screen(kB)->window());
        auto *e = t.control<QLineEdit>(kB, "txtBEnd1CoolDV10236");
        e->selectAll();
        QTest::keyClicks(e, "75");
        QVERIFY(t.control<QPushButton>(kB, "cmdWrtDV10236")->isEnabled());
        TestStation::activate(nullptr); // another application: it stays
        QVERIFY(t.screens().isLoaded(kB));
        TestStation::activate(t.screen(kB)->window());
        TestStation::activate(t.screen(kMain)->window());
        QVERIFY(!t.screens().isLoaded(kB));
        t.screens().show(kB);
        QCOMPARE(t.control<QLineEdit>(kB, "txtBEnd1CoolDV10236")->text(), QStringLiteral("60"));
        QVERIFY(!t.control<QPushButton>(kB, "cmdWrtDV10236")->isEnabled());
    }
};

CORVANE_TEST_MAIN(TestFrmBlowSpeeds)
#include "tst_frmBlowSpeeds.moc"

// The alarm-management figures of small journals, worked out by hand in the rows.
#include "report/AlarmFigures.h"
#include "report/LocalClock.h"

#include <QTest>

using namespace corvane::report;

namespace {
// 2026-03-01T00:00:00Z; the journals below are written in seconds after it.
constexpr qint64 kBase = 1'772'323'200'000;

// "30 FAULT A": seconds after kBase, kind, item; taken in time order.
AlarmJournal journalOf(QStringList lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const QString &a, const QString &b) {
        return a.section(u' ', 0, 0).toDouble() < b.section(u' ', 0, 0).toDouble();
    });
    AlarmJournal j;
    for (const QString &line : lines) {
        const QStringList w = line.split(u' ');
        const auto kind = w[1] == u"CLEAR" ? AlarmKind::Clear : w[1] == u"WARN" ? AlarmKind::Warn : AlarmKind::Fault;
        j.events.push_back({kBase + qint64(w[0].toDouble() * 1000), j.itemId(w[2].toStdString()), kind});
    }
    return j;
}

QString secs(qint64 ms)
{
    return QString::number(double(ms - kBase) / 1000);
}

// The figures a row checks, in one line, so a wrong one fails by name.
QString describe(const AlarmFigures &f, const AlarmJournal &j)
{
    QStringList out{QStringLiteral("activations=%1").arg(f.activations)};
    for (const Flood &fl : f.floods) {
        QString top;
        for (const auto &[item, count] : fl.top)
            top += QStringLiteral(" %1%2").arg(j.items[item]).arg(count);
        out << QStringLiteral("flood %1-%2%3 n=%4%5")
                        .arg(secs(fl.startMs), secs(fl.endMs), fl.ongoing ? QStringLiteral("+") : QString())
                        .arg(fl.count)
                        .arg(top);
    }
    for (const ItemFigures &it : f.items) {
        if (it.chatterEpisodes)
            out << QStringLiteral("chatter %1x%2").arg(j.items[it.item]).arg(it.chatterEpisodes);
        if (it.fleeting)
            out << QStringLiteral("fleeting %1x%2").arg(j.items[it.item]).arg(it.fleeting);
        if (it.standing())
            out << QStringLiteral("standing %1 %2s").arg(j.items[it.item]).arg(it.longestActiveMs / 1000);
        if (it.activeAtEndMs >= 0)
            out << QStringLiteral("atEnd %1 %2s").arg(j.items[it.item]).arg(it.activeAtEndMs / 1000);
    }
    if (f.link.losses)
        out << QStringLiteral("link %1 down=%2s longest=%3s%4")
                        .arg(f.link.losses)
                        .arg(f.link.downMs / 1000)
                        .arg(f.link.longestMs / 1000)
                        .arg(f.link.downAtEnd ? QStringLiteral(" downAtEnd") : QString());
    return out.join(QStringLiteral("; "));
}

// count activations stepS apart, of the items in turn, each cleared clearS later (0: never).
QStringList every(int count, double firstS, double stepS, const QStringList &items, double clearS)
{
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        const QString &item = items[i % items.size()];
        lines << QStringLiteral("%1 FAULT %2").arg(firstS + i * stepS).arg(item);
        if (clearS > 0)
            lines << QStringLiteral("%1 CLEAR %2").arg(firstS + i * stepS + clearS).arg(item);
    }
    return lines;
}
} // namespace

class tst_alarmFigures : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void figuresOfJournals_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<double>("toS"); // the report covers kBase .. kBase + toS
        QTest::addColumn<QString>("expected");

        // 11 activations 30 s apart (A B A C A B A C A B A: A 6, B 3, C 2), each cleared
        // after 15 s. The 11th, at 300 s, is the 11th within 10 min: the flood starts.
        // Later each leaves the window once it is more than 600 s old; when the one at
        // 180 s leaves, 4 remain: the flood ends at 780 s.
        QTest::newRow("flood starts above 10 in 10 min, ends below 5")
                << every(11, 0, 30, {"A", "B", "A", "C"}, 15) << 3600.0
                << "activations=11; flood 300-780 n=11 A6 B3 C2";
        QTest::newRow("ten in 10 min is no flood")
                << every(10, 0, 30, {"A", "B", "C", "D", "E"}, 15) << 3600.0 << "activations=10";
        // 11 whose first and last are 601 s apart are no flood; exactly 600 s apart they
        // are: all 11 are in at 600 s; the one at 0 leaves after 600 s, those at 60..360
        // after 660..960: once the one at 360 is gone, 4 remain, so it ends at 960 s.
        QTest::newRow("11 in 601 s is no flood")
                << QStringList{"0 FAULT A", "15 CLEAR A"} + every(10, 61, 60, {"B", "C"}, 15) << 3600.0
                << "activations=11";
        QTest::newRow("11 in exactly 600 s is a flood")
                << every(11, 0, 60, {"B"}, 15) << 3600.0 << "activations=11; flood 600-960 n=11 B11";
        // Still flooding at the report's end (200 s): it ends there, marked ongoing. A at
        // 0, 20, 40...: chattering from its third; B likewise; neither clears.
        QTest::newRow("flood at the end")
                << every(12, 0, 10, {"A", "B"}, 0) << 200.0
                << "activations=12; flood 100-200+ n=12 A6 B6; chatter Ax1; atEnd A 200s; chatter Bx1; atEnd B 190s";

        // X: 0, 20, 60 (third within exactly 60 s of the first): one episode. Y: 0, 20,
        // 61: none. Each returns after 15 s, so nothing is fleeting.
        QTest::newRow("chatter at 3 in 60 s, not in 61 s")
                << QStringList{"0 FAULT X",  "0 WARN Y",   "15 CLEAR X", "15 CLEAR Y", "20 FAULT X", "20 WARN Y",
                               "35 CLEAR X", "35 CLEAR Y", "60 FAULT X", "61 WARN Y",  "75 CLEAR X", "76 CLEAR Y"}
                << 600.0 << "activations=6; chatter Xx1";
        // Two runs of chatter with a quiet spell between are two episodes.
        QTest::newRow("chatter episodes") << QStringList{"0 FAULT X",   "10 FAULT X",  "20 FAULT X", "30 FAULT X",
                                                         "500 FAULT X", "510 FAULT X", "520 FAULT X"}
                                          << 600.0 << "activations=7; chatter Xx2; atEnd X 600s";
        // F returns after 9.999 s (fleeting), G after exactly 10 s (not).
        QTest::newRow("fleeting under 10 s")
                << QStringList{"100 FAULT F", "109.999 CLEAR F", "200 FAULT G", "210 CLEAR G"} << 600.0
                << "activations=2; fleeting Fx1";

        // S from 20:00 on 1 March to 20:00:01 on 2 March: 24 h and 1 s across midnight,
        // standing; a second FAULT while it stands does not restart it, a stray CLEAR
        // later changes nothing. T is active exactly 24 h: not standing.
        QTest::newRow("standing across midnight") << QStringList{"72000 FAULT S",  "72030 FAULT T",  "100000 FAULT S",
                                                                 "158401 CLEAR S", "158430 CLEAR T", "158500 CLEAR S"}
                                                  << 172800.0 << "activations=3; standing S 86401s";
        // N raised at 1 h never clears: active 2 h at the report's end (3 h). The link is
        // lost twice: 600-1500 s (15 min) and from 10200 s to the end (10 min).
        QTest::newRow("never clears, link losses")
                << QStringList{"600 FAULT DSDATA", "1500 CLEAR DSDATA", "3600 FAULT N", "10200 FAULT DSDATA"} << 10800.0
                << "activations=3; atEnd DSDATA 600s; atEnd N 7200s; link 2 down=1500s longest=900s downAtEnd";
    }
    void figuresOfJournals()
    {
        QFETCH(QStringList, lines);
        QFETCH(double, toS);
        QFETCH(QString, expected);
        const AlarmJournal journal = journalOf(lines);
        const LocalClock utc(QTimeZone::utc());
        const AlarmFigures f = computeFigures(journal, {kBase, kBase + qint64(toS * 1000)}, utc);
        QCOMPARE(describe(f, journal), expected);
    }

    // Periods and days: 25 activations in the period from 00:10, 3 in the one from 00:30
    // and one on the next day, over two days (288 periods). Average: 29 / 288; over
    // 10: one period of 288; per day 28 and 1.
    void periodsAndDays()
    {
        QStringList lines = every(25, 600, 20, {"A", "B", "C", "D", "E"}, 0);
        lines << "1800 WARN F"
              << "1805 WARN F"
              << "2399 WARN F"
              << "90000 FAULT G";
        const AlarmJournal journal = journalOf(lines);
        const LocalClock utc(QTimeZone::utc());
        const AlarmFigures f = computeFigures(journal, {kBase, kBase + 172'800'000}, utc);
        QCOMPARE(f.perPeriod.size(), size_t(288));
        QCOMPARE(f.perPeriod[1], 25);
        QCOMPARE(f.perPeriod[3], 3);
        QCOMPARE(f.perPeriod[150], 1);
        QCOMPARE(f.periodsOverBusy, 1);
        QCOMPARE(f.busiestPeriodMs, kBase + 600'000);
        QCOMPARE(f.averagePerPeriod, 29.0 / 288);
        QCOMPARE(f.perDay.size(), size_t(2));
        QCOMPARE(f.perDay[0].activations, 28);
        QCOMPARE(f.perDay[1].activations, 1);
        QCOMPARE(f.perDay[1].startMs, kBase + 86'400'000);
    }
};

QTEST_GUILESS_MAIN(tst_alarmFigures)
#include "tst_alarmFigures.moc"

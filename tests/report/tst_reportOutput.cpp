// The HTML page and the CSV files: the figures' text, three charts, nothing that runs
// or loads, and item names from the file that can neither inject markup nor formulas.
#include "report/AlarmFigures.h"
#include "report/LocalClock.h"
#include "report/ReportCsv.h"
#include "report/ReportHtml.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane::report;

namespace {
constexpr qint64 kBase = 1'772'323'200'000; // 2026-03-01T00:00:00Z, 01:00 in Berlin
const char kEvil[] = "<script>alert(1)</script>";
const char kFormula[] = "=cmd|calc";

// One hour: A raised 10 times 10 s apart from 0 s, the evil item at 100 s (the 11th
// activation: a flood starts), the formula item at 200 s; nothing clears. 12
// activations in 6 periods: 2.00 per 10 minutes. The flood ends when the 8th (A at
// 70 s) leaves the window and 4 remain: at 670 s, after 570 s with all 12.
AlarmJournal journal()
{
    AlarmJournal j;
    for (int i = 0; i < 10; ++i)
        j.events.push_back({kBase + i * 10'000, j.itemId("A"), AlarmKind::Fault});
    j.events.push_back({kBase + 100'000, j.itemId(kEvil), AlarmKind::Warn});
    j.events.push_back({kBase + 200'000, j.itemId(kFormula), AlarmKind::Fault});
    j.sources << QStringLiteral("test");
    return j;
}

QString read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class tst_reportOutput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void htmlPage()
    {
        const AlarmJournal j = journal();
        const LocalClock clock;
        const AlarmFigures f = computeFigures(j, {kBase, kBase + 3'600'000}, clock);
        const QString html = htmlReport({j, f, clock});

        QVERIFY(html.contains(QStringLiteral("<td>Average per 10 minutes</td><td>2.00</td>")));
        QVERIFY(html.contains(QStringLiteral("<td>Floods</td><td>1, ")));
        QVERIFY(html.contains(QStringLiteral("<td>2026-03-01 01:01:40</td>"))); // the flood's start, local
        QVERIFY(html.contains(
                QStringLiteral("<td>Standing over 24 h</td><td>0</td><td>fewer than 5</td><td class=\"ok\">")));
        QCOMPARE(html.count(QRegularExpression(QStringLiteral("<svg[^>]*class=\"chart\""))), 3);
        // Each chart says what it is and drew lines or areas.
        const QStringList charts = html.split(QStringLiteral("<svg")).mid(1);
        const char *titles[] = {"Activations per 10 minutes", "The ten most frequent items", "Standing alarms"};
        for (qsizetype i = 0; i < charts.size(); ++i) {
            const QString chart = charts[i].left(charts[i].indexOf(QStringLiteral("</svg>")));
            QVERIFY2(chart.contains(QLatin1StringView(titles[i])), titles[i]);
            QVERIFY2(chart.contains(QStringLiteral("<path")) || chart.contains(QStringLiteral("<polyline")), titles[i]);
        }

        QVERIFY(!html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));
        QVERIFY(!html.contains(QStringLiteral("src=")));
        QVERIFY(!html.contains(QStringLiteral("href=")));
        QVERIFY(!html.contains(QRegularExpression(QStringLiteral(R"(url\((?!#))"))));
    }

    void csvFiles()
    {
        const AlarmJournal j = journal();
        const LocalClock clock;
        const AlarmFigures f = computeFigures(j, {kBase, kBase + 3'600'000}, clock);
        QTemporaryDir dir;
        QString error;
        QVERIFY2(writeCsv({j, f, clock}, dir.filePath(QStringLiteral("out")), &error), qPrintable(error));
        const QStringList periods
                = read(dir.filePath(QStringLiteral("out/periods.csv"))).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(periods.size(), 7);
        QCOMPARE(periods[1], QStringLiteral("2026-03-01 01:00:00,12,1"));
        QCOMPARE(periods[2], QStringLiteral("2026-03-01 01:10:00,0,1")); // the flood lasts to 01:11:10
        QCOMPARE(periods[3], QStringLiteral("2026-03-01 01:20:00,0,0"));
        const QString items = read(dir.filePath(QStringLiteral("out/items.csv")));
        QVERIFY(items.contains(QStringLiteral("\n'=cmd|calc,1,0.0833,0,0,3400,3400,0\n")));
        QVERIFY(items.contains(QStringLiteral("\nA,10,0.8333,1,0,3600,3600,0\n")));
        QCOMPARE(read(dir.filePath(QStringLiteral("out/floods.csv"))).split(u'\n')[1],
                 QStringLiteral("2026-03-01 01:01:40,2026-03-01 "
                                "01:11:10,570,0,12,A,10,<script>alert(1)</script>,1,'=cmd|calc,1"));
    }
};

QTEST_MAIN(tst_reportOutput)
#include "tst_reportOutput.moc"

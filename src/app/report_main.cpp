// corvane-alarm-report: how loud the car's alarm system is, from the alarm lines the
// station recorded (its history, or alarm log files), as a table, an HTML page and CSV.
#include "Options.h"

#include "core/StatePaths.h"
#include "report/AlarmFigures.h"
#include "report/AlarmJournal.h"
#include "report/LocalClock.h"
#include "report/ReportCsv.h"
#include "report/ReportHtml.h"
#include "report/ReportText.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QSaveFile>
#include <cstdio>
#include <memory>

using namespace corvane;
using namespace corvane::report;

namespace {
struct ReportOptions
{
    QString history;
    QStringList logs;
    QString from, to;
    QString html;
    QString csv;
};

std::variant<ReportOptions, int> parseReportOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "How loud the car's alarm system is, by the measures of alarm management: activations per day and per 10 "
            "minutes, floods (more than 10 activations in 10 minutes, until fewer than 5), chattering items (3 "
            "activations within 60 s), fleeting ones (active under 10 s), standing ones (active over 24 h), the ten "
            "most frequent items and the losses of the data server's link, each beside its usual target. An activation "
            "is a FAULT or WARN line, its return the next CLEAR line of the same item. Alarm log times are local; in "
            "the hour a clock change repeats, a line is taken in the first pass of the hour unless a line before it "
            "in the file already lies in the second."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption history(
            QStringLiteral("history"),
            QStringLiteral("The station's history (SQLite, read only) to read the alarm lines from (default %1).")
                    .arg(defaultHistoryPath()),
            QStringLiteral("file"));
    const QCommandLineOption log(
            QStringLiteral("log"),
            QStringLiteral("Read an alarm log instead of the history; give it again for more files, "
                           "oldest first. Lines that are no alarm line are counted and named."),
            QStringLiteral("file"));
    const QCommandLineOption from(
            QStringLiteral("from"),
            QStringLiteral("Start of the report: local time (2026-12-01, 2026-12-01 06:00) or ISO "
                           "8601 with a zone (2026-12-01T05:00Z); default the first line."),
            QStringLiteral("time"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("End of the report, not included (a date alone: the end of that day); "
                                               "default just after the last line."),
                                QStringLiteral("time"));
    const QCommandLineOption html(QStringLiteral("html"),
                                  QStringLiteral("Also write the report as one self-contained HTML page with charts."),
                                  QStringLiteral("file"));
    const QCommandLineOption csv(
            QStringLiteral("csv"),
            QStringLiteral("Also write periods.csv, days.csv, floods.csv and items.csv into the folder."),
            QStringLiteral("folder"));
    parser.addOptions({history, log, from, to, html, csv});
    if (const auto code = handleCommonOptions(parser, app, help, version))
        return *code;
    if (parser.isSet(history) && parser.isSet(log))
        return optionError(QStringLiteral("--history and --log exclude each other"));
    ReportOptions o;
    o.history = parser.isSet(history) ? parser.value(history) : defaultHistoryPath();
    o.logs = parser.values(log);
    o.from = parser.value(from);
    o.to = parser.value(to);
    o.html = parser.value(html);
    o.csv = parser.value(csv);
    return o;
}

int failure(const QString &message)
{
    std::fprintf(stderr, "corvane-alarm-report: %s\n", qPrintable(message));
    return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    const auto names = [] {
        QCoreApplication::setApplicationName(QStringLiteral("corvane-alarm-report"));
        QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    };
    // Options first, on a console: --help and a wrong option need no display.
    std::variant<ReportOptions, int> parsed;
    {
        QCoreApplication console(argc, argv);
        names();
        parsed = parseReportOptions(console);
    }
    if (const int *code = std::get_if<int>(&parsed))
        return *code;
    const ReportOptions &options = std::get<ReportOptions>(parsed);

    // The charts of the page are drawn by Qt Charts, which needs a QApplication; it
    // draws into SVG, never on a screen, so no display is needed.
    std::unique_ptr<QCoreApplication> app;
    if (options.html.isEmpty()) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
    names();

    const LocalClock clock;
    std::optional<qint64> fromMs, toMs;
    if (!options.from.isEmpty() && !(fromMs = parseTimeOption(options.from, clock, false)))
        return optionError(QStringLiteral("--from wants a date and time, not '%1'").arg(options.from));
    if (!options.to.isEmpty() && !(toMs = parseTimeOption(options.to, clock, true)))
        return optionError(QStringLiteral("--to wants a date and time, not '%1'").arg(options.to));

    AlarmJournal journal;
    QString error;
    if (!options.logs.isEmpty()) {
        AlarmLogReader reader(clock, journal);
        for (const QString &path : options.logs) {
            if (!reader.read(path, &error))
                return failure(error);
        }
    } else if (!readAlarmHistory(options.history, toMs, journal, &error)) {
        return failure(error);
    }

    // Nothing recorded yet: the last day, so the report still says so in its figures.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    ReportRange range = journal.events.empty() ? ReportRange{now - 24 * 3600 * 1000LL, now} : wholeRange(journal);
    range.fromMs = fromMs.value_or(range.fromMs);
    range.toMs = toMs.value_or(range.toMs);
    if (range.toMs <= range.fromMs)
        return optionError(QStringLiteral("the report would end before it starts"));
    // A stamp from a clock that lost its time (a year 2000 after a flat battery) must not
    // make the report count every 10 minutes of the years between.
    constexpr qint64 kLongestMs = 20 * 366 * 24 * 3600 * 1000LL;
    if (range.lengthMs() > kLongestMs)
        return optionError(
                QStringLiteral("the lines run from %1 to %2, more than 20 years: choose with --from and --to")
                        .arg(clock.text(range.fromMs), clock.text(range.toMs)));

    const AlarmFigures figures = computeFigures(journal, range, clock);
    const Report report{journal, figures, clock};
    std::fputs(terminalReport(report).toUtf8().constData(), stdout);

    if (!options.html.isEmpty()) {
        QSaveFile file(options.html);
        if (!file.open(QIODevice::WriteOnly) || file.write(htmlReport(report).toUtf8()) < 0 || !file.commit())
            return failure(QStringLiteral("%1: %2").arg(options.html, file.errorString()));
    }
    if (!options.csv.isEmpty() && !writeCsv(report, options.csv, &error))
        return failure(error);
    return 0;
}

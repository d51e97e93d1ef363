#include "report/ReportHtml.h"

#include "report/LocalClock.h"
#include "report/ReportCharts.h"

#include <QRegularExpression>

namespace corvane::report {

using namespace measure;

namespace {
QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// The generator's document as an element of the page, scaled to the page's width. Its
// ids (gradients) get the chart's own prefix: the page's charts share one id space.
QString inlineSvg(const QByteArray &document, const QString &id, const QString &label)
{
    QString svg = QString::fromUtf8(document);
    svg.remove(0, svg.indexOf(QStringLiteral("<svg")));
    const qsizetype tagEnd = svg.indexOf(u'>');
    QString tag = svg.left(tagEnd);
    static const QRegularExpression size(QStringLiteral(R"(\s(width|height)="[^"]*")"));
    tag.remove(size);
    tag += QStringLiteral(R"( role="img" aria-label="%1" class="chart" id="%2")").arg(esc(label), id);
    svg.replace(0, tagEnd, tag);
    static const QRegularExpression ids(QStringLiteral(R"((\sid="|url\(#)(?!chart-))"));
    svg.replace(ids, QStringLiteral("\\1%1-").arg(id));
    return svg + u'\n';
}

QString table(const DetailTable &t)
{
    if (t.rows.isEmpty())
        return QStringLiteral("<p>None.</p>\n");
    QString out = QStringLiteral("<table>\n<tr>");
    for (const QString &h : t.header)
        out += QStringLiteral("<th>%1</th>").arg(esc(h));
    out += QStringLiteral("</tr>\n");
    for (const QStringList &row : t.rows) {
        out += QStringLiteral("<tr>");
        for (const QString &cell : row)
            out += QStringLiteral("<td>%1</td>").arg(esc(cell));
        out += QStringLiteral("</tr>\n");
    }
    return out + QStringLiteral("</table>\n");
}

// A heading, what goes before the table (a chart, a note), and the table; a long one
// folds away, so a year's report still reads from the top.
QString section(const DetailTable &t, const QString &before = QString())
{
    constexpr qsizetype kOpenRows = 25;
    QString out = QStringLiteral("<h2>%1</h2>\n").arg(esc(t.title)) + before;
    if (t.rows.size() <= kOpenRows)
        return out + table(t);
    return out + QStringLiteral("<details><summary>%1 rows</summary>\n%2</details>\n").arg(t.rows.size()).arg(table(t));
}

constexpr char16_t kStyle[] = uR"(
body { font-family: "DejaVu Sans", sans-serif; margin: 2em auto; max-width: 1000px; color: #1d232a; }
h1 { margin-bottom: 0.2em; } .sub { color: #58606a; margin-top: 0; }
table { border-collapse: collapse; margin: 0.6em 0 1.4em; }
th, td { border-bottom: 1px solid #d8dde3; padding: 0.3em 0.8em; text-align: left; vertical-align: top; }
th { background: #eef1f4; }
table.figures td:nth-child(2) { font-weight: bold; }
td.ok { color: #2e7d32; } td.over { color: #c62828; font-weight: bold; }
svg.chart { width: 100%; height: auto; border: 1px solid #d8dde3; margin: 0.4em 0 1em; }
details summary { cursor: pointer; color: #2b6cb0; margin: 0.4em 0; }
)";
} // namespace

QString htmlReport(const Report &r)
{
    const AlarmFigures &f = r.figures;
    QString out;
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n");
    // Nothing on this page may run or load anything.
    out += QStringLiteral("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                          "style-src 'unsafe-inline'\">\n");
    out += QStringLiteral("<title>Alarm report %1 to %2</title>\n<style>%3</style>\n</head>\n<body>\n")
                   .arg(r.clock.dateText(f.range.fromMs), r.clock.dateText(f.range.toMs - 1),
                        QString::fromUtf16(kStyle));
    out += QStringLiteral("<h1>Alarm report</h1>\n<p class=\"sub\">%1 to %2 (%3, local time in %4), from %5</p>\n")
                   .arg(esc(r.clock.text(f.range.fromMs)), esc(r.clock.text(f.range.toMs)),
                        esc(durationText(f.range.lengthMs())), esc(r.clock.zoneName()),
                        esc(r.journal.sources.join(QStringLiteral(", "))));

    out += QStringLiteral(
            "<table class=\"figures\">\n<tr><th>Figure</th><th>Value</th><th>Target</th><th></th></tr>\n");
    for (const SummaryRow &row : summaryRows(r)) {
        const QString verdict = row.target.isEmpty() ? QString()
                                : row.met            ? QStringLiteral("ok")
                                                     : QStringLiteral("over");
        out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td class=\"%4\">%4</td></tr>\n")
                       .arg(esc(row.figure), esc(row.value), esc(row.target), verdict);
    }
    out += QStringLiteral("</table>\n");
    if (r.journal.repeatedHourLines > 0)
        out += QStringLiteral("<p>%1 lines fell in the second pass of an hour the clocks repeated.</p>\n")
                       .arg(r.journal.repeatedHourLines);
    if (r.journal.droppedByStation > 0)
        out += QStringLiteral("<p>The station could not write %1 lines to its log; they are missing here.</p>\n")
                       .arg(r.journal.droppedByStation);

    out += QStringLiteral("<h2>Activations per 10 minutes</h2>\n")
           + inlineSvg(periodChartSvg(r), QStringLiteral("chart-periods"),
                       QStringLiteral("Activations per 10 minutes"));
    out += section(mostFrequentTable(r), inlineSvg(paretoChartSvg(r), QStringLiteral("chart-pareto"),
                                                   QStringLiteral("The ten most frequent items")));
    out += section(standingTable(r), inlineSvg(standingChartSvg(r), QStringLiteral("chart-standing"),
                                               QStringLiteral("Standing alarms over time")));
    out += section(floodTable(r));
    out += section(chatterTable(r));
    out += QStringLiteral("<h2>Link losses</h2>\n<p>%1 losses of the data server's link, down %2 in all, "
                          "the longest %3%4.</p>\n")
                   .arg(f.link.losses)
                   .arg(durationText(f.link.downMs), durationText(f.link.longestMs),
                        f.link.downAtEnd ? QStringLiteral("; down at the end") : QString());
    out += section(dayTable(r));
    if (r.journal.unreadCount > 0) {
        out += section(unreadTable(r),
                       QStringLiteral("<p>%1 lines were no alarm line%2.</p>\n")
                               .arg(r.journal.unreadCount)
                               .arg(r.journal.unreadCount > qint64(r.journal.unread.size())
                                            ? QStringLiteral(" (the first %1 below)").arg(r.journal.unread.size())
                                            : QString()));
    }
    out += QStringLiteral("</body>\n</html>\n");
    return out;
}

} // namespace corvane::report

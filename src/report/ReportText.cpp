#include "report/ReportText.h"

#include "report/LocalClock.h"

#include <QLocale>

namespace corvane::report {

using namespace measure;

QString durationText(qint64 ms)
{
    const qint64 s = ms / 1000;
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    const QString hms = QStringLiteral("%1:%2:%3")
                                .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
                                .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                .arg(s % 60, 2, 10, QLatin1Char('0'));
    return s >= 86400 ? QStringLiteral("%1 d %2").arg(s / 86400).arg(hms) : hms;
}

QString percentText(double share)
{
    return QLocale::c().toString(share * 100, 'f', share * 100 < 10 ? 2 : 1) + QStringLiteral(" %");
}

namespace {
QString number(double v)
{
    return QLocale::c().toString(v, 'f', v < 10 ? 2 : 1);
}
} // namespace

std::vector<SummaryRow> summaryRows(const Report &r)
{
    const AlarmFigures &f = r.figures;
    std::vector<SummaryRow> rows;
    rows.push_back({QStringLiteral("Activations"), QString::number(f.activations), {}, true});
    rows.push_back({QStringLiteral("Average per 10 minutes"), number(f.averagePerPeriod),
                    QStringLiteral("1 acceptable, 2 at most"), f.averagePerPeriod <= kManageablePerPeriod});
    rows.push_back({QStringLiteral("Average per day"), number(f.averagePerDay),
                    QStringLiteral("144 acceptable, 288 at most"), f.averagePerDay <= kManageablePerPeriod * 144});
    rows.push_back(
            {QStringLiteral("Busiest 10 minutes"),
             f.activations ? QStringLiteral("%1 from %2").arg(f.busiestPeriodCount).arg(r.clock.text(f.busiestPeriodMs))
                           : QStringLiteral("0"),
             QStringLiteral("10 at most"), f.busiestPeriodCount <= kPeriodBusy});
    rows.push_back({QStringLiteral("10-minute periods over 10"),
                    QStringLiteral("%1 of %2 (%3)")
                            .arg(f.periodsOverBusy)
                            .arg(f.perPeriod.size())
                            .arg(percentText(f.busyShare)),
                    QStringLiteral("under 1 %"), f.busyShare < kBusyShareTarget});
    rows.push_back({QStringLiteral("Floods"),
                    QStringLiteral("%1, %2 in flood (%3 of the time)")
                            .arg(f.floods.size())
                            .arg(durationText(f.floodMs), percentText(f.floodShare)),
                    QStringLiteral("under 1 % of the time"), f.floodShare < kFloodShareTarget});
    rows.push_back({QStringLiteral("Chattering items"),
                    QStringLiteral("%1 (%2 episodes)").arg(f.chatteringItems).arg(f.chatterEpisodes),
                    QStringLiteral("none"), f.chatteringItems == 0});
    rows.push_back({QStringLiteral("Fleeting activations"), QString::number(f.fleeting), QStringLiteral("none"),
                    f.fleeting == 0});
    rows.push_back({QStringLiteral("Standing over 24 h"), QString::number(f.standingItems),
                    QStringLiteral("fewer than 5"), f.standingItems < kStandingTarget});
    rows.push_back({QStringLiteral("Active at the end"), QString::number(f.activeAtEnd), {}, true});
    qint64 top = 0;
    for (size_t i = 0; i < f.items.size() && i < size_t(kTopCount); ++i)
        top += f.items[i].activations;
    rows.push_back({QStringLiteral("Share of the ten most frequent"),
                    percentText(f.activations ? double(top) / double(f.activations) : 0),
                    {},
                    true});
    rows.push_back({QStringLiteral("Link losses"),
                    QStringLiteral("%1, down %2, longest %3%4")
                            .arg(f.link.losses)
                            .arg(durationText(f.link.downMs), durationText(f.link.longestMs),
                                 f.link.downAtEnd ? QStringLiteral(", down at the end") : QString()),
                    {},
                    true});
    return rows;
}

DetailTable mostFrequentTable(const Report &r)
{
    const AlarmFigures &f = r.figures;
    DetailTable t{QStringLiteral("Most frequent"),
                  {QStringLiteral("Item"), QStringLiteral("Activations"), QStringLiteral("Share")},
                  {}};
    for (size_t i = 0; i < f.items.size() && i < size_t(kTopCount) && f.items[i].activations > 0; ++i)
        t.rows.append({r.itemName(f.items[i].item), QString::number(f.items[i].activations),
                       percentText(double(f.items[i].activations) / double(f.activations))});
    return t;
}

DetailTable floodTable(const Report &r)
{
    DetailTable t{QStringLiteral("Floods"),
                  {QStringLiteral("Start"), QStringLiteral("Length"), QStringLiteral("Activations"),
                   QStringLiteral("Largest contributors")},
                  {}};
    for (const Flood &fl : r.figures.floods) {
        QStringList top;
        for (const auto &[item, count] : fl.top)
            top.append(QStringLiteral("%1 (%2)").arg(r.itemName(item)).arg(count));
        t.rows.append({r.clock.text(fl.startMs),
                       durationText(fl.endMs - fl.startMs) + (fl.ongoing ? QStringLiteral(", still going") : QString()),
                       QString::number(fl.count), top.join(QStringLiteral(", "))});
    }
    return t;
}

DetailTable chatterTable(const Report &r)
{
    DetailTable t{QStringLiteral("Chattering and fleeting"),
                  {QStringLiteral("Item"), QStringLiteral("Chatter episodes (3 in 60 s)"),
                   QStringLiteral("Fleeting (under 10 s)")},
                  {}};
    for (const ItemFigures &it : r.figures.items) {
        if (it.chatterEpisodes > 0 || it.fleeting > 0)
            t.rows.append({r.itemName(it.item), QString::number(it.chatterEpisodes), QString::number(it.fleeting)});
    }
    return t;
}

DetailTable standingTable(const Report &r)
{
    DetailTable t{QStringLiteral("Standing and active at the end"),
                  {QStringLiteral("Item"), QStringLiteral("Longest active"), QStringLiteral("Active at the end")},
                  {}};
    for (const ItemFigures &it : r.figures.items) {
        if (it.standing() || it.activeAtEndMs >= 0)
            t.rows.append({r.itemName(it.item), durationText(it.longestActiveMs),
                           it.activeAtEndMs >= 0 ? durationText(it.activeAtEndMs) : QStringLiteral("-")});
    }
    return t;
}

DetailTable dayTable(const Report &r)
{
    DetailTable t{QStringLiteral("Activations per day"), {QStringLiteral("Date"), QStringLiteral("Activations")}, {}};
    for (const DayCount &day : r.figures.perDay)
        t.rows.append({r.clock.dateText(day.startMs), QString::number(day.activations)});
    return t;
}

DetailTable unreadTable(const Report &r)
{
    DetailTable t{QStringLiteral("Lines not read"), {QStringLiteral("Where"), QStringLiteral("Line")}, {}};
    for (const UnreadLine &u : r.journal.unread)
        t.rows.append({u.source, u.text});
    return t;
}

namespace {
// Columns padded to their widest cell; the last column is not padded.
QString table(const QStringList &header, const QList<QStringList> &rows)
{
    QList<qsizetype> width(header.size(), 0);
    for (const QStringList &row : QList<QStringList>{header} + rows) {
        for (qsizetype c = 0; c < row.size() && c < width.size(); ++c)
            width[c] = std::max(width[c], row[c].size());
    }
    QString out;
    auto line = [&](const QStringList &row) {
        QString l = QStringLiteral("  ");
        for (qsizetype c = 0; c < row.size(); ++c)
            l += c + 1 < row.size() ? row[c].leftJustified(width[c] + 2) : row[c];
        out += l.trimmed().isEmpty() ? QString() : l + u'\n';
    };
    line(header);
    for (const QStringList &row : rows)
        line(row);
    return out;
}
} // namespace

QString terminalReport(const Report &r)
{
    const AlarmFigures &f = r.figures;
    QString out
            = QStringLiteral("Alarm report, %1 to %2 (%3, local time in %4)\nFrom: %5\n")
                      .arg(r.clock.text(f.range.fromMs), r.clock.text(f.range.toMs), durationText(f.range.lengthMs()),
                           r.clock.zoneName(), r.journal.sources.join(QStringLiteral(", ")));
    if (r.journal.unreadCount > 0)
        out += QStringLiteral("Lines not read: %1 (listed at the end)\n").arg(r.journal.unreadCount);
    if (r.journal.droppedByStation > 0)
        out += QStringLiteral("Lines the station could not write to its log: %1\n").arg(r.journal.droppedByStation);
    if (r.journal.repeatedHourLines > 0)
        out += QStringLiteral("Lines in the second pass of an hour the clocks repeated: %1\n")
                       .arg(r.journal.repeatedHourLines);
    out += u'\n';

    QList<QStringList> rows;
    for (const SummaryRow &row : summaryRows(r))
        rows.append({row.figure, row.value, row.target,
                     row.target.isEmpty() ? QString() : (row.met ? QStringLiteral("ok") : QStringLiteral("OVER"))});
    out += table({QStringLiteral("Figure"), QStringLiteral("Value"), QStringLiteral("Target"), QString()}, rows);

    constexpr qsizetype kFloodLines = 20;
    DetailTable floods = floodTable(r);
    if (floods.rows.size() > kFloodLines) {
        std::stable_sort(floods.rows.begin(), floods.rows.end(),
                         [](const QStringList &a, const QStringList &b) { return a[2].toInt() > b[2].toInt(); });
        floods.rows.resize(kFloodLines);
        floods.title = QStringLiteral("Floods (the %1 largest of %2)").arg(kFloodLines).arg(f.floods.size());
    }
    for (const DetailTable &t : {mostFrequentTable(r), floods, chatterTable(r), standingTable(r), unreadTable(r)}) {
        if (!t.rows.isEmpty())
            out += u'\n' + t.title + u'\n' + table(t.header, t.rows);
    }
    return out;
}

} // namespace corvane::report

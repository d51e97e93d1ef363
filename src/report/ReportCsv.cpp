#include "report/ReportCsv.h"

#include "report/LocalClock.h"

#include <QDir>
#include <QSaveFile>

namespace corvane::report {

using namespace measure;

QString csvField(const QString &text)
{
    QString t = text;
    if (!t.isEmpty() && QStringView(u"=+-@\t\r").contains(t.front()))
        t.prepend(u'\'');
    if (t.contains(u',') || t.contains(u'"') || t.contains(u'\n') || t.contains(u'\r'))
        t = u'"' + t.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return t;
}

namespace {
bool writeFile(const QString &path, const QString &text, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString seconds(qint64 ms)
{
    return QString::number(ms / 1000);
}
} // namespace

bool writeCsv(const Report &r, const QString &dir, QString *error)
{
    const AlarmFigures &f = r.figures;
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("%1: cannot make the folder").arg(dir);
        return false;
    }
    const QDir d(dir);

    QString periods = QStringLiteral("start,activations,flood\n");
    size_t flood = 0;
    for (size_t p = 0; p < f.perPeriod.size(); ++p) {
        const qint64 start = f.firstPeriodMs + qint64(p) * kPeriodMs;
        while (flood < f.floods.size() && f.floods[flood].endMs <= start)
            ++flood;
        const bool inFlood = flood < f.floods.size() && f.floods[flood].startMs < start + kPeriodMs;
        periods += QStringLiteral("%1,%2,%3\n").arg(r.clock.text(start)).arg(f.perPeriod[p]).arg(inFlood ? 1 : 0);
    }

    QString days = QStringLiteral("date,activations\n");
    for (const DayCount &day : f.perDay)
        days += QStringLiteral("%1,%2\n").arg(r.clock.dateText(day.startMs)).arg(day.activations);

    QString floods = QStringLiteral("start,end,length_s,ongoing,activations,first,first_count,second,second_count,"
                                    "third,third_count\n");
    for (const Flood &fl : f.floods) {
        floods += QStringLiteral("%1,%2,%3,%4,%5")
                          .arg(r.clock.text(fl.startMs), r.clock.text(fl.endMs), seconds(fl.endMs - fl.startMs))
                          .arg(fl.ongoing ? 1 : 0)
                          .arg(fl.count);
        for (int i = 0; i < kFloodContributors; ++i) {
            if (size_t(i) < fl.top.size())
                floods += QStringLiteral(",%1,%2")
                                  .arg(csvField(r.itemName(fl.top[size_t(i)].first)))
                                  .arg(fl.top[size_t(i)].second);
            else
                floods += QStringLiteral(",,");
        }
        floods += u'\n';
    }

    QString items = QStringLiteral("item,activations,share,chatter_episodes,fleeting,longest_active_s,"
                                   "active_at_end_s,standing\n");
    for (const ItemFigures &it : f.items) {
        items += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8\n")
                         .arg(csvField(r.itemName(it.item)))
                         .arg(it.activations)
                         .arg(f.activations ? double(it.activations) / double(f.activations) : 0.0, 0, 'f', 4)
                         .arg(it.chatterEpisodes)
                         .arg(it.fleeting)
                         .arg(seconds(it.longestActiveMs),
                              it.activeAtEndMs >= 0 ? seconds(it.activeAtEndMs) : QString())
                         .arg(it.standing() ? 1 : 0);
    }

    return writeFile(d.filePath(QStringLiteral("periods.csv")), periods, error)
           && writeFile(d.filePath(QStringLiteral("days.csv")), days, error)
           && writeFile(d.filePath(QStringLiteral("floods.csv")), floods, error)
           && writeFile(d.filePath(QStringLiteral("items.csv")), items, error);
}

} // namespace corvane::report

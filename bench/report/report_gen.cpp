// The alarm journal of a busy car, as the station writes it: an alarm log (local time
// stamps, CR LF, clock changes included) and, optionally, the same lines in a history
// file's alarm table. Random but repeatable (--seed).
//
// What makes it busy: every item raised and cleared at its own rate (a few items do
// most of it), daytime busier than night, two items that chatter, a flood most days
// (many items within minutes), three items that stand for days, and link losses.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <sqlite3.h>
#include <vector>

namespace {

struct Alarm
{
    const char *kind; // FAULT or WARN
    const char *item;
    const char *text; // the message after kind and item, with its trailing blanks
};

// A selection of the car's alarm messages.
constexpr Alarm kAlarms[] = {
        {"FAULT", "C27", "Handbrake ON, Car Moving  "},
        {"FAULT", "X200", "Phase Fault Relay  "},
        {"FAULT", "X226", "Generator Control OFF  "},
        {"WARN", "C300", "Water Level Low  "},
        {"FAULT", "C301", "Water Tank Temp Low  "},
        {"FAULT", "C302", "Fuel Level LOW  "},
        {"WARN", "C12", "Overhead Blower Control in Stop "},
        {"WARN", "C133", "AC Compressor A Block Heat Breaker Tripped  "},
        {"WARN", "C143", "AC Compressor B Block Heat Breaker Tripped  "},
        {"FAULT", "C200", "AC Compressor A Low Freon Pressure  "},
        {"FAULT", "C203", "AC Compressor A High Head Pressure  "},
        {"FAULT", "C204", "AC Compressor A High Motor Temp  "},
        {"FAULT", "C210", "AC Compressor B Low Freon Pressure  "},
        {"FAULT", "C213", "AC Compressor B High Head Pressure  "},
        {"FAULT", "C214", "AC Compressor B High Motor Temp  "},
        {"FAULT", "C354", "Air Compressor Switching Fault "},
        {"FAULT", "C355", "Overhead Blower A Switching Fault "},
        {"FAULT", "C356", "Overhead Blower B Switching Fault "},
        {"FAULT", "C357", "Dome Overhead Blower Switching Fault "},
        {"WARN", "C363", "Water Heater 2 Level Low  "},
        {"WARN", "C366", "Water Heater 1 Level Low  "},
        {"WARN", "C440", "Dome Overhead Heat Overtemp 1 Tripped "},
        {"WARN", "C442", "Overhead Heat A End Overtemp 1 Tripped "},
        {"WARN", "C447", "Overhead Heat B End Overtemp 1 Tripped "},
        {"FAULT", "T340", "Heat Tape A Breaker Tripped  "},
        {"FAULT", "T341", "Heat Tape B Breaker Tripped  "},
        {"FAULT", "X234", "Overhead Blower B Drive Fault "},
        {"FAULT", "X407", "Overhead Blower A Drive Fault "},
        {"FAULT", "DSDATA", "Data Server Link Lost  "},
};
constexpr int kAlarmCount = int(std::size(kAlarms));
constexpr int kLink = kAlarmCount - 1;
constexpr int kChatterers[] = {6, 21};
constexpr int kStanders[] = {4, 19, 24};

// Items with a pattern of their own take no part in the background or the floods.
bool ownPattern(int alarm)
{
    return std::find(std::begin(kChatterers), std::end(kChatterers), alarm) != std::end(kChatterers)
           || std::find(std::begin(kStanders), std::end(kStanders), alarm) != std::end(kStanders);
}

struct Event
{
    qint64 tMs;
    int alarm;
    bool raise;
};

class Generator
{
public:
    Generator(quint64 seed, qint64 startMs, int days, double activationsPerDay)
        : m_rng(seed)
        , m_start(startMs)
        , m_end(startMs + days * kDay)
        , m_perDay(activationsPerDay)
    {
    }

    std::vector<Event> run()
    {
        background();
        for (qint64 day = m_start; day < m_end; day += kDay) {
            chatter(day);
            if (chance(0.8))
                flood(day + uniform(0, kDay));
            for (int i = 0; i < 2; ++i)
                pulse(kLink, day + uniform(0, kDay), std::exp(normal(std::log(120'000.0), 1.5)));
        }
        for (int alarm : kStanders) {
            for (qint64 t = m_start + uniform(0, 10 * kDay); t < m_end; t += uniform(8 * kDay, 30 * kDay))
                pulse(alarm, t, double(uniform(kDay / 2, 5 * kDay)));
        }
        std::stable_sort(m_events.begin(), m_events.end(),
                         [](const Event &a, const Event &b) { return a.tMs < b.tMs; });
        // Each item alternates: a raise while it is raised, or a clear while it is
        // clear, is no line the station would write.
        std::vector<bool> active(size_t(kAlarmCount), false);
        std::vector<Event> lines;
        lines.reserve(m_events.size());
        for (const Event &e : m_events) {
            if (e.tMs >= m_end || active[size_t(e.alarm)] == e.raise)
                continue;
            active[size_t(e.alarm)] = e.raise;
            lines.push_back(e);
        }
        return lines;
    }

private:
    static constexpr qint64 kDay = 24 * 3600 * 1000LL;

    qint64 uniform(qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi - 1)(m_rng); }
    double normal(double mean, double sd) { return std::normal_distribution<double>(mean, sd)(m_rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_rng); }

    void pulse(int alarm, qint64 at, double lengthMs)
    {
        m_events.push_back({at, alarm, true});
        m_events.push_back({at + std::max<qint64>(1000, qint64(lengthMs)), alarm, false});
    }

    // Every item at its own rate (the k-th most frequent at 1/k of the first's), busier
    // from 7:00 to 22:00 (by the start's clock); active for some tens of seconds, now
    // and then for under ten.
    void background()
    {
        double weights = 0;
        for (int k = 1; k < kAlarmCount; ++k)
            weights += 1.0 / k;
        for (int a = 0; a < kLink; ++a) {
            if (ownPattern(a))
                continue;
            const double perDay = m_perDay * 0.8 * (1.0 / (a + 1)) / weights;
            std::exponential_distribution<double> gap(perDay / double(kDay));
            for (double t = double(m_start) + gap(m_rng); t < double(m_end); t += gap(m_rng)) {
                const qint64 inDay = (qint64(t) - m_start) % kDay;
                if ((inDay < 7 * 3600'000 || inDay > 22 * 3600'000) && chance(0.6))
                    continue;
                const double length
                        = chance(0.05) ? double(uniform(1000, 9000)) : std::exp(normal(std::log(20'000.0), 1.0));
                pulse(a, qint64(t), length);
            }
        }
    }

    void chatter(qint64 day)
    {
        for (int alarm : kChatterers) {
            for (int burst = int(uniform(3, 12)); burst > 0; --burst) {
                qint64 t = day + uniform(0, kDay);
                for (int n = int(uniform(3, 9)); n > 0; --n) {
                    pulse(alarm, t, double(uniform(2000, 8000)));
                    t += uniform(9000, 25'000);
                }
            }
        }
    }

    void flood(qint64 at)
    {
        const qint64 length = uniform(3 * 60'000, 12 * 60'000);
        for (int n = int(uniform(8, 14)); n > 0; --n) {
            const int alarm = int(uniform(0, kLink));
            if (ownPattern(alarm))
                continue;
            for (int k = int(uniform(2, 10)); k > 0; --k)
                pulse(alarm, at + uniform(0, length), double(uniform(5000, 60'000)));
        }
    }

    std::mt19937_64 m_rng;
    qint64 m_start, m_end;
    double m_perDay;
    std::vector<Event> m_events;
};

// The log's own stamp, "hh:mm:ss mm/dd/yyyy", in local time.
void stamp(qint64 ms, char out[80])
{
    const time_t s = time_t(ms / 1000);
    tm local{};
    localtime_r(&s, &local);
    std::snprintf(out, 80, "%02d:%02d:%02d %02d/%02d/%04d", local.tm_hour, local.tm_min, local.tm_sec, local.tm_mon + 1,
                  local.tm_mday, local.tm_year + 1900);
}

QByteArray lineOf(const Event &e)
{
    const Alarm &a = kAlarms[e.alarm];
    char when[80];
    stamp(e.tMs, when);
    return QByteArray(e.raise ? a.kind : "CLEAR") + ' ' + a.item + ' ' + a.text + when;
}

bool writeHistory(const QString &path, const std::vector<Event> &lines)
{
    QFile::remove(path);
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL;"
                 "CREATE TABLE alarm_lines(seq INTEGER PRIMARY KEY, t_ms INTEGER NOT NULL, kind TEXT NOT NULL,"
                 " item TEXT NOT NULL, text TEXT NOT NULL);"
                 "CREATE VIEW alarms(time_utc, t_ms, kind, item, text) AS SELECT"
                 " strftime('%Y-%m-%dT%H:%M:%fZ', t_ms/1000.0, 'unixepoch'), t_ms, kind, item, text FROM alarm_lines;"
                 "BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO alarm_lines(t_ms, kind, item, text) VALUES (?1, ?2, ?3, ?4)", -1, &insert,
                       nullptr);
    for (const Event &e : lines) {
        const QByteArray text = lineOf(e);
        sqlite3_bind_int64(insert, 1, e.tMs);
        sqlite3_bind_text(insert, 2, e.raise ? kAlarms[e.alarm].kind : "CLEAR", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, kAlarms[e.alarm].item, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool ok = sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the alarm journal of a busy car."));
    parser.addHelpOption();
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("The alarm log to write."),
                                 QStringLiteral("file"));
    const QCommandLineOption history(QStringLiteral("history"),
                                     QStringLiteral("Also write the lines into this SQLite file's alarm table."),
                                     QStringLiteral("file"));
    const QCommandLineOption days(QStringLiteral("days"), QStringLiteral("Days (default 365)."), QStringLiteral("N"),
                                  QStringLiteral("365"));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("First day, local (default 2026-01-01)."),
                                   QStringLiteral("date"), QStringLiteral("2026-01-01"));
    const QCommandLineOption rate(QStringLiteral("per-day"),
                                  QStringLiteral("Background activations a day (default 5300)."), QStringLiteral("N"),
                                  QStringLiteral("5300"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed (default 1)."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    parser.addOptions({log, history, days, start, rate, seed});
    parser.process(app);
    if (!parser.isSet(log)) {
        std::fputs("--log is needed\n", stderr);
        return 2;
    }
    const QDate first = QDate::fromString(parser.value(start), Qt::ISODate);
    if (!first.isValid()) {
        std::fputs("--start wants yyyy-mm-dd\n", stderr);
        return 2;
    }
    Generator generator(parser.value(seed).toULongLong(), first.startOfDay().toMSecsSinceEpoch(),
                        parser.value(days).toInt(), parser.value(rate).toDouble());
    const std::vector<Event> lines = generator.run();

    QFile out(parser.value(log));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(out.fileName()), qPrintable(out.errorString()));
        return 1;
    }
    QByteArray buffer;
    for (const Event &e : lines) {
        buffer += lineOf(e) + "\r\n";
        if (buffer.size() > (1 << 20)) {
            out.write(buffer);
            buffer.clear();
        }
    }
    out.write(buffer);
    out.close();
    if (parser.isSet(history) && !writeHistory(parser.value(history), lines)) {
        std::fprintf(stderr, "%s: cannot write\n", qPrintable(parser.value(history)));
        return 1;
    }
    std::printf("%zu lines\n", lines.size());
    return 0;
}

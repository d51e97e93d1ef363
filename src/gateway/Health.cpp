#include "Health.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <vector>

namespace corvane::gateway {

namespace {
constexpr qint64 kMinuteMs = 60'000;
constexpr int kLeastWindowMs = 1000;
} // namespace

Health::Health(const ItemMap &map, int periodMs)
    : m_rows(map.rows.size())
    , m_periodMs(periodMs)
{
    for (const MapRow &row : map.rows)
        m_items << row.item;
}

void Health::take(const Reading &r, qint64 nowMs)
{
    RowState &row = m_rows[r.row];
    switch (r.kind) {
    case Reading::Value:
        row = {nowMs, {}, false};
        break;
    case Reading::BadValue: // the PLC answered: it is live, the value is not
        row = {nowMs, r.text, false};
        break;
    case Reading::Refused:
        row.problem = r.text;
        row.refused = true;
        break;
    case Reading::Failed:
        row.problem = r.text;
        row.refused = false;
        break;
    }
}

void Health::forget(qint64 nowMs)
{
    while (!m_scanMicros.empty() && m_scanMicros.front().first < nowMs - kMinuteMs)
        m_scanMicros.pop_front();
}

void Health::scanned(const ScanResult &result, qint64 nowMs)
{
    for (const Reading &r : result.readings)
        take(r, nowMs);
    for (const QString &e : result.errors)
        ++m_errors[e];
    ++m_scans;
    m_lastRequests = result.requests;
    m_scanMicros.emplace_back(nowMs, result.micros);
    forget(nowMs);
}

void Health::read(const Reading &reading, qint64 nowMs)
{
    if (reading.kind == Reading::Value || reading.kind == Reading::BadValue)
        take(reading, nowMs);
}

void Health::transportError()
{
    ++m_errors[QStringLiteral("transport")];
}

int Health::liveWindowMs(qint64 nowMs) const
{
    qint64 longestMs = 0;
    for (const auto &[at, micros] : m_scanMicros) {
        if (at >= nowMs - kMinuteMs)
            longestMs = std::max(longestMs, (micros + 999) / 1000);
    }
    return int(std::max<qint64>(3 * std::max<qint64>(m_periodMs, longestMs), kLeastWindowMs));
}

qint64 Health::staleAt(qint64 nowMs) const
{
    qint64 oldest = nowMs;
    for (const RowState &row : m_rows) {
        if (row.refused)
            continue;
        if (row.lastReadMs < 0)
            return nowMs;
        oldest = std::min(oldest, row.lastReadMs);
    }
    return oldest + liveWindowMs(nowMs);
}

QString Health::staleReason(qint64 nowMs) const
{
    const int window = liveWindowMs(nowMs);
    const auto why = [](const RowState &row) {
        return row.problem.isEmpty() ? QString() : QStringLiteral(": ") + row.problem;
    };
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const RowState &row = m_rows[i];
        if (row.refused)
            continue;
        if (row.lastReadMs < 0)
            return QStringLiteral("%1 not read yet%2").arg(m_items[i], why(row));
        if (nowMs - row.lastReadMs > window)
            return QStringLiteral("%1 not read for %2 ms%3").arg(m_items[i]).arg(nowMs - row.lastReadMs).arg(why(row));
    }
    return {};
}

QList<Health::RowProblem> Health::failingRows() const
{
    QList<RowProblem> out;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].problem.isEmpty())
            out.append({m_items[i], m_rows[i].problem});
    }
    return out;
}

QJsonObject Health::json(qint64 nowMs) const
{
    std::vector<double> ms;
    for (const auto &[at, micros] : m_scanMicros) {
        if (at >= nowMs - kMinuteMs)
            ms.push_back(double(micros) / 1000.0);
    }
    QJsonObject scanMs;
    if (!ms.empty()) {
        const double last = ms.back();
        std::sort(ms.begin(), ms.end());
        const auto round = [](double v) { return std::round(v * 1000) / 1000; };
        scanMs = {{QStringLiteral("last"), round(last)},
                  {QStringLiteral("median"), round(ms[(ms.size() - 1) / 2])},
                  {QStringLiteral("max"), round(ms.back())}};
    }
    QJsonObject errors;
    for (auto it = m_errors.cbegin(); it != m_errors.cend(); ++it)
        errors.insert(it.key(), it.value());
    QJsonArray unreadable;
    for (const RowProblem &p : failingRows())
        unreadable.append(QJsonObject{{QStringLiteral("item"), p.item}, {QStringLiteral("reason"), p.reason}});
    return {{QStringLiteral("scan_ms"), scanMs},
            {QStringLiteral("requests_per_scan"), m_lastRequests},
            {QStringLiteral("scans"), m_scans},
            {QStringLiteral("live_window_ms"), liveWindowMs(nowMs)},
            {QStringLiteral("read_errors"), errors},
            {QStringLiteral("unreadable"), unreadable},
            {QStringLiteral("writes"), QJsonObject{{QStringLiteral("done"), m_writesDone},
                                                   {QStringLiteral("refused"), m_writesRefused},
                                                   {QStringLiteral("failed"), m_writesFailed}}}};
}

} // namespace corvane::gateway

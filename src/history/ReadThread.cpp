#include "ReadThread.h"

#include <QFile>
#include <sqlite3.h>

namespace corvane::history {

sqlite3 *openHistoryReadOnly(const QString &path, QString *error)
{
    const auto fail = [&](sqlite3 *db, const QString &why) -> sqlite3 * {
        sqlite3_close_v2(db);
        if (error)
            *error = why;
        return nullptr;
    };
    if (!QFile::exists(path))
        return fail(nullptr, QStringLiteral("no history file %1").arg(path));
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return fail(db, QStringLiteral("%1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db))));
    sqlite3_busy_timeout(db, 1000);
    if (sqlite3_exec(db, "SELECT 1 FROM items LIMIT 1; SELECT 1 FROM samples LIMIT 1", nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return fail(db, QStringLiteral("%1 is not a value history").arg(path));
    if (error)
        error->clear();
    return db;
}

ReadThread::ReadThread(QString path)
    : m_path(std::move(path))
{
    m_thread = std::thread([this] {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || !m_jobs.empty(); });
            if (m_jobs.empty())
                break;
            auto job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job(connection());
            lock.lock();
            ++m_done;
            m_answered.notify_all();
        }
    });
}

ReadThread::~ReadThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    sqlite3_close_v2(m_db);
}

sqlite3 *ReadThread::connection()
{
    if (m_db)
        return m_db;
    QString error;
    m_db = openHistoryReadOnly(m_path, &error);
    std::lock_guard lock(m_mutex);
    m_error = error;
    return m_db;
}

void ReadThread::post(std::function<void(sqlite3 *)> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        ++m_posted;
    }
    m_wake.notify_all();
}

void ReadThread::dropPending()
{
    std::lock_guard lock(m_mutex);
    m_done += m_jobs.size();
    m_jobs.clear();
    m_answered.notify_all();
}

void ReadThread::wait()
{
    std::unique_lock lock(m_mutex);
    const quint64 ticket = m_posted;
    m_answered.wait(lock, [&] { return m_done >= ticket; });
}

QString ReadThread::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

} // namespace corvane::history

#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct sqlite3;

namespace corvane::history {

// A history file opened read-only, never created: the writer makes the file, a reader
// only looks. nullptr, with the reason in `error`, when it is missing or no history.
sqlite3 *openHistoryReadOnly(const QString &path, QString *error = nullptr);

// One thread with one read-only connection to a history file, so that no question,
// however large, holds up the writer (WAL readers never block it). Jobs run in the
// order posted; each gets the connection, or nullptr while the file cannot be read:
// the next job tries again, for a station may make the file meanwhile.
class ReadThread
{
public:
    explicit ReadThread(QString path);
    ~ReadThread(); // runs the jobs posted already (dropPending() skips them), then stops
    ReadThread(const ReadThread &) = delete;
    ReadThread &operator=(const ReadThread &) = delete;

    void post(std::function<void(sqlite3 *)> job);
    // Forgets the jobs not started yet.
    void dropPending();
    // Until every job posted so far has run or been dropped.
    void wait();
    // Why the file could not be read at the last try; empty while it can. Any thread.
    QString error() const;
    const QString &path() const { return m_path; }

private:
    sqlite3 *connection();

    const QString m_path;
    sqlite3 *m_db = nullptr; // the thread's own
    mutable std::mutex m_mutex;
    std::condition_variable m_wake, m_answered;
    std::deque<std::function<void(sqlite3 *)>> m_jobs;
    quint64 m_posted = 0, m_done = 0;
    bool m_stop = false;
    QString m_error;
    std::thread m_thread;
};

} // namespace corvane::history

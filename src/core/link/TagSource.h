#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace corvane {

enum class LinkMode { None = 0, Automatic = 1, Manual = 2 };

// One item of the data server: application "DSData", topic "CVPlc", item "c27".
// The item text goes to the server exactly as written ("C442" is not "c442").
struct TagAddress
{
    QString application;
    QString topic;
    QString item;

    friend bool operator==(const TagAddress &, const TagAddress &) = default;
};

inline size_t qHash(const TagAddress &a, size_t seed = 0)
{
    return qHashMulti(seed, a.application, a.topic, a.item);
}

using LinkId = quint64;

// The six operations a screen needs of the data server. Every implementation keeps
// to these rules: nothing here blocks the UI thread or throws; a failed operation
// reports false (or no id) and leaves the control as it was; values reach onValue
// on the UI thread, posted, never inside the call that caused them.
class TagSource : public QObject
{
    Q_OBJECT
public:
    using ValueHandler = std::function<void(const QString &value)>;

    using QObject::QObject;

    // Open automatic: the current value arrives at once, then every change.
    // Open manual: the conversation is open, no value flows by itself.
    virtual std::optional<LinkId> open(const TagAddress &address, LinkMode mode, ValueHandler onValue) = 0;
    // Longest wait for any exchange on the link, in tenths of a second.
    virtual bool setTimeout(LinkId id, int tenths) = 0;
    // Ends the link; nothing more is delivered for it, also what was already posted.
    virtual void close(LinkId id) = 0;
    // Sends the value to the server. False when it certainly did not go.
    virtual bool poke(LinkId id, const QString &value) = 0;

    // Whether the data server is reachable and serving.
    virtual bool isLinkUp() const = 0;

    using ItemHandler = std::function<void(const QString &item, const QString &value)>;
    // For a recorder: every item of one application and topic, whether or not a link
    // is open on it. Each current value, then every change while the link is up, and
    // all of them again when it comes back, delivered as values are. False where the
    // source cannot; then only links see values.
    virtual bool watchAllItems(const QString &application, const QString &topic, ItemHandler onValue)
    {
        Q_UNUSED(application);
        Q_UNUSED(topic);
        Q_UNUSED(onValue);
        return false;
    }

Q_SIGNALS:
    void linkStateChanged(bool up);
    // A poke that had gone out failed after all (not acknowledged in time, or its
    // connection was lost with it).
    void pokeFailed(const TagAddress &address, const QString &value);
};

} // namespace corvane

#pragma once

#include "core/link/TagSource.h"

#include <QHash>
#include <QList>
#include <QString>
#include <map>

namespace corvane {

class Scheduler;

// The data server inside the station's own process: the simulated car and every test
// run on it. It holds the item table, serves links as the real server does, and
// records every operation with its time so tests can check order and timing exactly.
class InProcessServer final : public TagSource
{
    Q_OBJECT
public:
    struct Operation
    {
        enum Kind { Open, Timeout, Close, Poke };
        qint64 timeMs = 0;
        Kind kind = Open;
        QString item;
        LinkMode mode = LinkMode::None; // Open
        int timeout = 0;                // Timeout, tenths of a second
        QString value;                  // Poke
        bool ok = true;
    };

    explicit InProcessServer(Scheduler &scheduler, QObject *parent = nullptr);
    ~InProcessServer() override;

    std::optional<LinkId> open(const TagAddress &address, LinkMode mode, ValueHandler onValue) override;
    bool setTimeout(LinkId id, int tenths) override;
    void close(LinkId id) override;
    bool poke(LinkId id, const QString &value) override;
    bool isLinkUp() const override { return m_present; }
    bool watchAllItems(const QString &application, const QString &topic, ItemHandler onValue) override;

    // The server's side. Items live under DSData|CVPlc unless an address is given.
    void setValue(const QString &item, const QString &value);
    void setValue(const TagAddress &address, const QString &value);
    QString value(const QString &item) const;
    bool hasValue(const QString &item) const;

    // Absent: every open and poke fails and nothing is delivered (values freeze).
    // Back: the links that were open get the current values again.
    void setPresent(bool present);
    bool isPresent() const { return m_present; }

    const QList<Operation> &operations() const { return m_ops; }
    // The log is for tests; a long run (the demo) turns it off, or it grows with every
    // screen load.
    void setRecording(bool on) { m_recording = on; }
    void clearOperations() { m_ops.clear(); }
    // The pokes of one item, oldest first, as "value@ms".
    QStringList pokes(const QString &item) const;
    int openLinkCount() const { return int(m_links.size()); }

Q_SIGNALS:
    // A station wrote a value (after the table took it).
    void poked(const QString &item, const QString &value);

private:
    struct Link
    {
        TagAddress address;
        LinkMode mode;
        ValueHandler onValue;
    };
    void deliverLater(LinkId id, const QString &value);
    void deliverItemsLater(size_t firstWatch);
    void record(Operation op);
    static Operation makeOp(Operation::Kind kind, const QString &item);
    static TagAddress plcAddress(const QString &item);

    Scheduler &m_scheduler;
    bool m_present = true;
    bool m_recording = true;
    LinkId m_nextId = 1;
    std::map<LinkId, Link> m_links;
    struct Watch
    {
        QString application, topic;
        ItemHandler onValue;
    };
    std::vector<Watch> m_watches;
    QHash<TagAddress, QString> m_table;
    QList<Operation> m_ops;
};

} // namespace corvane

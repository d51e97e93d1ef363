#pragma once

#include "core/link/TagSource.h"

#include <QObject>
#include <QString>
#include <optional>

namespace corvane {

inline constexpr int kLinkTimeoutTenths = 50;

// One item of the data server as a screen holds it: the binding (item, mode, time-out),
// the value as text, the value read as a number, a change signal and the write back.
// Named after the control it stands for (lblC27). A view (a label, a text box) shows it
// where the screen shows the value; an invisible link needs no widget at all.
class Link : public QObject
{
    Q_OBJECT
public:
    Link(TagSource &source, const QString &name, const QString &item, const QString &design, LinkMode loadMode,
         QObject *parent = nullptr);
    ~Link() override;

    QString name() const { return objectName(); }
    const TagAddress &address() const { return m_address; }
    const QString &item() const { return m_address.item; }
    LinkMode linkMode() const { return m_mode; }
    // The mode the screen's load sets (its link table's mode column).
    LinkMode loadMode() const { return m_loadMode; }
    bool isLinkOpen() const { return m_id.has_value(); }

    // LinkMode := mode. Returns false when the step failed; the screen goes on.
    bool setLinkMode(LinkMode mode);
    bool setLinkTimeout(int tenths);
    int linkTimeout() const { return m_timeout; }

    // The value exactly as delivered or written (a view may show it shortened).
    const QString &value() const { return m_value; }
    // Read once per value, not on every tick that tests it.
    std::optional<double> number() const { return m_number; }
    bool reads(double expected) const { return m_number && *m_number == expected; }

    // A write: the value becomes text, then one poke. The text stays if the poke fails.
    bool write(const QString &text);
    // Sets the value without a poke and without a change notification.
    void setValue(const QString &text);
    bool poke();

Q_SIGNALS:
    // The value changed, by any means: what views follow.
    void valueSet(const QString &value);
    // A delivery changed the value (the control's Change event).
    void changed();

private:
    void deliver(const QString &value);
    void followLinkState(bool follow);

    TagSource &m_source;
    TagAddress m_address;
    LinkMode m_loadMode;
    LinkMode m_mode = LinkMode::None;
    int m_timeout = -1;
    std::optional<LinkId> m_id;
    QString m_value;
    std::optional<double> m_number;
    QMetaObject::Connection m_linkState;
};

// Text a view can show for a server value: control characters replaced, and a value
// too long for any label shortened with an ellipsis. The value itself is kept.
QString displayText(const QString &value);

} // namespace corvane

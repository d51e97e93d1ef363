#pragma once

#include "core/link/TagSource.h"
#include "core/link/Value.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>

namespace corvane {

inline constexpr int kLinkTimeoutTenths = 50;

// What a link label and a link text box share: the binding to one item, its mode,
// the value text, reading it as a number, and writing it back with a poke.
class LinkControl
{
public:
    LinkControl(TagSource &source, const QString &item, LinkMode loadMode);
    virtual ~LinkControl();
    LinkControl(const LinkControl &) = delete;
    LinkControl &operator=(const LinkControl &) = delete;

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

    // The value exactly as delivered or written (the display may be shortened).
    const QString &value() const { return m_value; }
    // Read once per value, not on every tick that tests it.
    std::optional<double> number() const { return m_number; }
    bool reads(double expected) const { return m_number && *m_number == expected; }

    // A write: the value becomes text, then one poke. The text stays if the poke fails.
    bool write(const QString &text);
    // Sets the value without a poke and without a change notification.
    void setValue(const QString &text);
    bool poke();

protected:
    virtual void showValue(const QString &display) = 0;
    virtual void emitChanged() = 0;

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

// An invisible (or gauge) label bound to one item: its caption is the item's value.
class LinkLabel
    : public QLabel
    , public LinkControl
{
    Q_OBJECT
public:
    LinkLabel(TagSource &source, const QString &name, const QString &item, const QString &designCaption,
              LinkMode loadMode, QWidget *parent, bool visible = false);

Q_SIGNALS:
    // A delivery changed the caption (the control's Change event).
    void changed();

protected:
    void showValue(const QString &display) override;
    void emitChanged() override { Q_EMIT changed(); }
};

// A text box bound to one item; the write links of the blower speed screens.
class LinkTextBox
    : public QLineEdit
    , public LinkControl
{
    Q_OBJECT
public:
    LinkTextBox(TagSource &source, const QString &name, const QString &item, const QString &designText,
                LinkMode loadMode, QWidget *parent, bool visible = false);

Q_SIGNALS:
    void changed();

protected:
    void showValue(const QString &display) override;
    void emitChanged() override { Q_EMIT changed(); }
};

// Text a label can show for a server value: control characters replaced, and a
// value too long for any label shortened with an ellipsis. The value itself is kept.
QString displayText(const QString &value);

// Load: every link's mode in list order, then every time-out in the same order;
// each step's failure is ignored. No time-out is set when timeoutTenths is empty.
void openLinks(const QList<LinkControl *> &links, std::optional<int> timeoutTenths = kLinkTimeoutTenths);
// Unload: mode none on every link, in list order.
void closeLinks(const QList<LinkControl *> &links);

} // namespace corvane

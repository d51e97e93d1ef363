#include "core/link/LinkControl.h"

namespace corvane {

namespace {
const QString kApplication = QStringLiteral("DSData");
const QString kTopic = QStringLiteral("CVPlc");
constexpr qsizetype kDisplayMax = 256;
// The data server's own item telling whether its link to the car's PLC is active.
const QString kStatusItem = QStringLiteral("Status");
} // namespace

QString displayText(const QString &value)
{
    qsizetype keep = value.size() > kDisplayMax ? kDisplayMax - 1 : value.size();
    if (keep < value.size() && keep > 0 && value.at(keep - 1).isHighSurrogate() && value.at(keep).isLowSurrogate())
        --keep; // never cut a character in half
    QString out = keep < value.size() ? value.left(keep) + QChar(0x2026) : value;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        const char16_t u = c.unicode();
        // A well-formed pair is one character; only a lone half is broken text.
        if (c.isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || c.isSurrogate() || u == 0x2028 || u == 0x2029)
            out[i] = QChar(0xFFFD);
    }
    return out;
}

LinkControl::LinkControl(TagSource &source, const QString &item, LinkMode loadMode)
    : m_source(source)
    , m_address{kApplication, kTopic, item}
    , m_loadMode(loadMode)
{
}

LinkControl::~LinkControl()
{
    QObject::disconnect(m_linkState);
    // Destroying the window ends every link of its controls.
    if (m_id)
        m_source.close(*m_id);
}

bool LinkControl::setLinkMode(LinkMode mode)
{
    followLinkState(false);
    if (m_id) {
        m_source.close(*m_id);
        m_id.reset();
    }
    m_mode = LinkMode::None;
    if (mode == LinkMode::None)
        return true;
    const bool isStatus = mode == LinkMode::Automatic && m_address.item == kStatusItem;
    if (isStatus && !m_source.isLinkUp() && m_value != QLatin1String("0"))
        setValue(QStringLiteral("0")); // opening: no Change event, like a design caption
    const auto id = m_source.open(m_address, mode, [this](const QString &v) { deliver(v); });
    if (!id)
        return false;
    m_id = id;
    m_mode = mode;
    if (m_timeout >= 0)
        m_source.setTimeout(*m_id, m_timeout);
    followLinkState(isStatus);
    return true;
}

// With no link to the data server, nobody vouches for the car's link either: an
// automatic "Status" link reads "0" while the data server's link is down, and the
// server's own value comes back with the link.
void LinkControl::followLinkState(bool follow)
{
    QObject::disconnect(m_linkState);
    if (!follow)
        return;
    m_linkState = QObject::connect(&m_source, &TagSource::linkStateChanged, [this](bool up) {
        if (!up)
            deliver(QStringLiteral("0"));
    });
}

bool LinkControl::setLinkTimeout(int tenths)
{
    m_timeout = tenths;
    return m_id && m_source.setTimeout(*m_id, tenths);
}

void LinkControl::setValue(const QString &text)
{
    m_value = text;
    m_number = readValue(m_value);
    showValue(displayText(text));
}

bool LinkControl::poke()
{
    return m_id && m_source.poke(*m_id, m_value);
}

bool LinkControl::write(const QString &text)
{
    setValue(text);
    return poke();
}

void LinkControl::deliver(const QString &value)
{
    if (value == m_value)
        return;
    setValue(value);
    emitChanged();
}

LinkLabel::LinkLabel(TagSource &source, const QString &name, const QString &item, const QString &designCaption,
                     LinkMode loadMode, QWidget *parent, bool visible)
    : QLabel(parent)
    , LinkControl(source, item, loadMode)
{
    setObjectName(name);
    setTextFormat(Qt::PlainText); // a value from the server is never markup
    setValue(designCaption);
    if (!visible)
        QLabel::setVisible(false);
}

void LinkLabel::showValue(const QString &display)
{
    if (text() != display)
        setText(display);
}

LinkTextBox::LinkTextBox(TagSource &source, const QString &name, const QString &item, const QString &designText,
                         LinkMode loadMode, QWidget *parent, bool visible)
    : QLineEdit(parent)
    , LinkControl(source, item, loadMode)
{
    setObjectName(name);
    setValue(designText);
    if (!visible)
        QLineEdit::setVisible(false);
}

void LinkTextBox::showValue(const QString &display)
{
    if (text() != display)
        setText(display);
}

void openLinks(const QList<LinkControl *> &links, std::optional<int> timeoutTenths)
{
    for (LinkControl *link : links)
        link->setLinkMode(link->loadMode());
    if (timeoutTenths) {
        for (LinkControl *link : links)
            link->setLinkTimeout(*timeoutTenths);
    }
}

void closeLinks(const QList<LinkControl *> &links)
{
    for (LinkControl *link : links)
        link->setLinkMode(LinkMode::None);
}

} // namespace corvane

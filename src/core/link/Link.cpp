#include "core/link/Link.h"

#include "core/link/Value.h"

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

Link::Link(TagSource &source, const QString &name, const QString &item, const QString &design, LinkMode loadMode,
           QObject *parent)
    : QObject(parent)
    , m_source(source)
    , m_address{kApplication, kTopic, item}
    , m_loadMode(loadMode)
{
    setObjectName(name);
    setValue(design);
}

Link::~Link()
{
    QObject::disconnect(m_linkState);
    if (m_id)
        m_source.close(*m_id);
}

bool Link::setLinkMode(LinkMode mode)
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
void Link::followLinkState(bool follow)
{
    QObject::disconnect(m_linkState);
    if (!follow)
        return;
    m_linkState = QObject::connect(&m_source, &TagSource::linkStateChanged, [this](bool up) {
        if (!up)
            deliver(QStringLiteral("0"));
    });
}

bool Link::setLinkTimeout(int tenths)
{
    m_timeout = tenths;
    return m_id && m_source.setTimeout(*m_id, tenths);
}

void Link::setValue(const QString &text)
{
    m_value = text;
    m_number = readValue(m_value);
    Q_EMIT valueSet(m_value);
}

bool Link::poke()
{
    return m_id && m_source.poke(*m_id, m_value);
}

bool Link::write(const QString &text)
{
    setValue(text);
    return poke();
}

void Link::deliver(const QString &value)
{
    if (value == m_value)
        return;
    setValue(value);
    Q_EMIT changed();
}

} // namespace corvane

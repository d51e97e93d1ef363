#include "MqttMessage.h"

#include <algorithm>

namespace corvane {

ReceivedMessage receivedMessage(const char *topic, const void *payload, int payloadLength, qsizetype maxBytes)
{
    const qsizetype length = payload ? std::clamp<qsizetype>(payloadLength, 0, std::max<qsizetype>(maxBytes, 0)) : 0;
    return {QString::fromUtf8(topic), QByteArray(static_cast<const char *>(payload), length)};
}

QString payloadValue(const QByteArray &payload)
{
    return QString::fromUtf8(payload);
}

bool saysOnline(const QByteArray &payload)
{
    return payload == QByteArrayLiteral("online");
}

} // namespace corvane

#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

// A message as the network thread hands it on: the topic as text, the payload
// copied with its length (NULs included) and cut to maxBytes.
struct ReceivedMessage
{
    QString topic;
    QByteArray payload;
};
ReceivedMessage receivedMessage(const char *topic, const void *payload, int payloadLength, qsizetype maxBytes);

// An item's value as the data server sent it: the payload read as UTF-8, an invalid
// sequence read as U+FFFD. Nothing else is changed (a label cleans what it shows).
QString payloadValue(const QByteArray &payload);

// The data server's $state: only "online", exactly, says it is there.
bool saysOnline(const QByteArray &payload);

} // namespace corvane

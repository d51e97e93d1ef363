// A message from the broker, topic and payload as arbitrary bytes (NULs, invalid
// UTF-8, any length): cut to the payload limit, read as the item's value, shown by
// a label as one bounded line without control characters, and only a plain number
// ever reads as one.
#include "FuzzCheck.h"

#include "core/link/Link.h"
#include "core/link/Value.h"
#include "transport/MqttMessage.h"

#include <string>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // Byte 0: topic length; byte 1: payload limit (0..255, 255: none).
    const std::size_t topicLength = std::min<std::size_t>(data[0], size - 2);
    const qsizetype limit = data[1] == 255 ? (1 << 20) : data[1];
    // The broker's topic is a C string: it ends at the first NUL.
    const std::string topic(reinterpret_cast<const char *>(data + 2), topicLength);
    const std::uint8_t *payload = data + 2 + topicLength;
    const int payloadLength = int(size - 2 - topicLength);

    const ReceivedMessage m = receivedMessage(topic.c_str(), payload, payloadLength, limit);
    FUZZ_CHECK(m.payload.size() == std::min<qsizetype>(payloadLength, limit));
    FUZZ_CHECK(std::equal(m.payload.cbegin(), m.payload.cend(), reinterpret_cast<const char *>(payload)));
    FUZZ_CHECK(m.topic.size() <= qsizetype(topic.size()));
    FUZZ_CHECK(!m.topic.contains(QChar(0)));

    const QString value = payloadValue(m.payload);
    FUZZ_CHECK(value.size() <= m.payload.size());
    FUZZ_CHECK(payloadValue(value.toUtf8()) == value); // no broken surrogate survives the reading
    FUZZ_CHECK(saysOnline(m.payload) == (m.payload == "online"));

    // What a label shows: bounded, one line, nothing that steers a terminal or a layout.
    const QString shown = displayText(value);
    FUZZ_CHECK(shown.size() <= 256);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate()) {
            ++i; // a whole character
            continue;
        }
        FUZZ_CHECK(u >= 0x20 && u != 0x7f && !(u >= 0x80 && u < 0xa0) && !c.isSurrogate() && u != 0x2028
                   && u != 0x2029);
    }
    if (value.size() <= 256)
        FUZZ_CHECK(shown.size() == value.size());

    // A number only from plain ASCII: NULs, line ends and replaced bytes make none.
    if (readValue(value)) {
        for (char b : m.payload)
            FUZZ_CHECK(b == ' ' || b == '\t' || b == '+' || b == '-' || b == '.' || b == 'e' || b == 'E'
                       || (b >= '0' && b <= '9'));
    }
    return 0;
}

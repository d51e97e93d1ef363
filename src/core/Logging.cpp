#include "core/Logging.h"

namespace corvane {
Q_LOGGING_CATEGORY(lcLink, "corvane.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAlarm, "corvane.alarm", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHistory, "corvane.history", QtInfoMsg)
Q_LOGGING_CATEGORY(lcGateway, "corvane.gateway", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMqtt, "corvane.mqtt", QtInfoMsg)
} // namespace corvane

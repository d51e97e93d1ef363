#pragma once

#include <QLoggingCategory>

// One category per area, so QT_LOGGING_RULES can quiet or open each on its own
// ("corvane.mqtt.debug=true", "corvane.alarm.info=false").
namespace corvane {
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcAlarm)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
Q_DECLARE_LOGGING_CATEGORY(lcGateway)
Q_DECLARE_LOGGING_CATEGORY(lcMqtt)
} // namespace corvane

#pragma once

#include <QString>
#include <string>

#include "MqttConfig.h"

namespace nimbary {

// main.ini's [Mqtt] section into `out`; the reason, in the current
// language, when the settings cannot be used (publishing then stays off).
std::string ReadMqttSettings(const QString& dataDir, MqttConfig& out);

}  // namespace nimbary

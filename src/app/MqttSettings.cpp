#include "MqttSettings.h"

#include "DataFolder.h"
#include "IniFile.h"

namespace nimbary {

std::string ReadMqttSettings(const QString& dataDir, MqttConfig& out) {
    const IniFile ini(IniPath(dataDir));
    std::map<std::string, std::string> keys;
    for (const char* key : kMqttKeys)
        if (ini.Contains("Mqtt", key)) keys[key] = ini.Read("Mqtt", key, 4096).toStdString();
    return LoadMqttConfig(keys, out);
}

}  // namespace nimbary

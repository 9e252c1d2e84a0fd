#pragma once

#include <map>
#include <string>

namespace nimbary {

// Where and how to publish: main.ini's [Mqtt] section, or nimbary-cli's
// --mqtt options. Without a broker, nothing is published.
struct MqttConfig {
    std::string broker;  // as given: mqtt://host:1883 or mqtts://host:8883
    std::string host;
    int port = 0;
    bool tls = false;
    std::string topic = "nimbary";
    std::string user;
    std::string password;                     // read from PasswordFile; never shown anywhere
    std::string caFile;                       // empty with mqtts: the system's certificates
    std::string discovery = "homeassistant";  // empty: no Home Assistant discovery
    int stateInterval = 10;                   // seconds; the state is published at most this often

    bool Enabled() const { return !host.empty(); }
    // The broker as the bookmark names it: scheme, host and port.
    std::string BrokerKey() const;
};

// The keys Broker, Topic, User, PasswordFile, CaFile, Discovery and
// StateInterval (any letter case) into `out`; a key left out keeps its
// default, and no Broker (or an empty one) leaves publishing off. Reads
// the password file and checks that the CA file can be read. Returns the
// reason in the current language when the settings cannot be used, else
// the empty text.
std::string LoadMqttConfig(const std::map<std::string, std::string>& keys, MqttConfig& out);

// The key names, for the settings readers.
extern const char* const kMqttKeys[7];

}  // namespace nimbary

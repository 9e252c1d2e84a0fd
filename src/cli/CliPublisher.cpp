#include "CliPublisher.h"

#include <map>

#include "Command.h"
#include "MqttPayload.h"
#include "StringTable.h"

namespace nimbary::cli {

bool CliPublisher::TakeOptions(ArgList& args, std::string& error) {
    static const std::pair<const char*, const char*> kOptions[] = {
        {"--mqtt", "Broker"},
        {"--mqtt-user", "User"},
        {"--mqtt-password-file", "PasswordFile"},
        {"--mqtt-ca-file", "CaFile"},
        {"--mqtt-topic", "Topic"},
        {"--mqtt-discovery", "Discovery"},
        {"--mqtt-state-interval", "StateInterval"}};
    std::map<std::string, std::string> keys;
    std::string firstGiven;
    for (const auto& [option, key] : kOptions) {
        std::string value;
        bool given = false;
        if (!args.TakeValue(option, value, given)) {
            error = args.Error();
            return false;
        }
        if (!given) continue;
        keys[key] = value;
        if (firstGiven.empty()) firstGiven = option;
    }
    if (args.TakeFlag("--mqtt-no-discovery")) keys["Discovery"] = "";
    if (keys.count("Broker") == 0 && !keys.empty()) {
        error = firstGiven.empty() ? "--mqtt-no-discovery" : firstGiven;
        error += " needs --mqtt";
        return false;
    }
    error = LoadMqttConfig(keys, config_);
    return error.empty();
}

void CliPublisher::Start(const std::string& databasePath) {
    if (!Enabled()) return;
    publisher_ = std::make_unique<MqttPublisher>(config_, databasePath);
    publisher_->onNote = [](const std::string& text) { PrintError(text); };
    publisher_->Start();
}

void CliPublisher::Poll(StationSession& station) {
    if (!publisher_ || !station.Connected()) return;
    const auto now = std::chrono::steady_clock::now();
    if (devId_ && now - lastRead_ < std::chrono::seconds(config_.stateInterval)) return;
    lastRead_ = now;
    StationData& data = station.Data();
    if (devId_ == 0) {
        StationInfo info;
        if (!data.ReadDeviceInfo(info)) return;
        devId_ = info.DevID;
        publisher_->SetStation(devId_);
    }
    if (!data.ReadSettings() || !data.ReadCurrent()) return;
    publisher_->PublishState(devId_, data.Current, data.PresenceCopy(),
                             ShownUnits(data.SettingsCopy()));
}

void CliPublisher::PassStored() {
    if (publisher_) publisher_->RecordsStored();
}

void CliPublisher::Finish(bool follow) {
    if (!publisher_) return;
    if (!follow && !publisher_->Drain(std::chrono::seconds(30))) PrintError(text::Load(2183));
    publisher_->Stop();
}

}  // namespace nimbary::cli

#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "ArgList.h"
#include "MqttPublisher.h"
#include "StationSession.h"

namespace nimbary::cli {

// download's --mqtt options and the publisher they start: the station's
// readings and every record the passes store go to the broker.
class CliPublisher {
public:
    // Takes the --mqtt options out of `args`; false with the reason when
    // they are malformed or a file they name cannot be read.
    bool TakeOptions(ArgList& args, std::string& error);
    bool Enabled() const { return config_.Enabled(); }

    // Starts publishing into the broker from `databasePath`.
    void Start(const std::string& databasePath);
    // Reads the station's current reading when the state is due, and hands
    // it over; between passes of --follow as well.
    void Poll(StationSession& station);
    // After a pass: what it stored goes out.
    void PassStored();
    // At the end: without --follow, waits a while for the broker to take
    // what was stored (what it did not take goes out with the next run).
    void Finish(bool follow);

private:
    MqttConfig config_;
    std::unique_ptr<MqttPublisher> publisher_;
    uint32_t devId_ = 0;
    std::chrono::steady_clock::time_point lastRead_{};
};

}  // namespace nimbary::cli

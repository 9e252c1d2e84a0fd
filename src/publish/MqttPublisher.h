#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "HistoryRecord.h"
#include "MqttConfig.h"
#include "StationData.h"
#include "Units.h"

namespace nimbary {

// Publishes one process's station to an MQTT broker on a thread of its own:
// the live reading (retained state, at most once per StateInterval),
// every record stored in the database (QoS 1, in time order, resumed after
// an outage or a restart from the bookmark that only the broker's PUBACK
// moves), the station's online/offline status with "offline" as the last
// will, and Home Assistant's discovery configs.
//
// Nothing here blocks its callers: the poll thread and the history thread
// hand over what is new and return, whether the broker answers or not.
class MqttPublisher {
public:
    // `databasePath` is Nimbary.db; empty publishes no records.
    MqttPublisher(MqttConfig config, std::string databasePath);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Set before Start. Called on the publisher's thread: a broker that
    // cannot be reached or refuses (once per outage), and that it is back.
    std::function<void(const std::string& text)> onNote;

    void Start();
    // Says "offline" for the station, waits a moment for the broker to take
    // it and the last acknowledgements, keeps the bookmark, and lets go.
    void Stop();

    // The current reading of station `devId` (poll thread).
    void PublishState(uint32_t devId, const HistoryRecord& current, const PresenceBlock& presence,
                      const UnitSet& displayUnits);
    // The station this process is attached to; the connection waits for it,
    // since its status topic carries the last will.
    void SetStation(uint32_t devId);
    // The station went away: its status turns "offline".
    void StationGone();
    // New records were stored (history thread).
    void RecordsStored();

    // Waits until every stored record is acknowledged (true), or until an
    // attempt to reach the broker failed or `limit` passed (false).
    bool Drain(std::chrono::milliseconds limit);

    struct Stats {
        bool connected = false;
        int sessions = 0;          // connections the broker accepted
        int failedAttempts = 0;    // attempts that did not get that far
        int64_t recordsAcked = 0;  // records the broker acknowledged
        int64_t statesPublished = 0;
    };
    Stats Counters() const;

    const MqttConfig& Config() const { return config_; }

private:
    struct Worker;
    void Wake();

    MqttConfig config_;
    std::string databasePath_;

    // Handed over by the callers, taken by the worker.
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stop_ = false;
    uint32_t station_ = 0;
    bool stationGone_ = false;
    bool haveReading_ = false;
    HistoryRecord reading_;
    PresenceBlock presence_;
    UnitSet units_;
    bool recordsStored_ = false;
    bool draining_ = false;
    bool drained_ = false;
    bool drainFailed_ = false;
    Stats stats_;

    std::thread thread_;
};

}  // namespace nimbary

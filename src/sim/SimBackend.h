#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FaultInjector.h"
#include "HidBackend.h"
#include "SimStation.h"

// The simulated station behind the HID seam: it enumerates like the real
// station, opens into a device that takes output reports and queues input
// reports, can be plugged and unplugged with the same notices the udev
// watcher raises, and sits beside decoy devices.
namespace nimbary::sim {

enum class DecoyKind {
    WrongVersion,  // station vendor and product, version 0x0101; opens, never answers
    Unopenable,    // the station's full identity, but held by someone else
    OtherProduct,  // some unrelated HID device
};

class SimChaos;

class SimBackend : public HidBackend, public DeviceNoticeSource {
public:
    static constexpr const char* kStationPath = "sim:station";
    static constexpr uint16_t kVendor = 0x1130;
    static constexpr uint16_t kProduct = 0x0829;
    static constexpr uint16_t kVersion = 0x0100;

    // The station starts plugged in.
    explicit SimBackend(std::shared_ptr<SimStation> station);
    ~SimBackend() override;
    SimBackend(const SimBackend&) = delete;
    SimBackend& operator=(const SimBackend&) = delete;

    std::vector<HidDeviceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

    SimStation& Station();
    std::shared_ptr<SimStation> StationPtr();
    FaultInjector& Faults();

    // Arrival and removal notices go to `notices`, replacing earlier ones.
    // They are delivered in order on a thread of the backend's own, or
    // handed to the poster when one is set (to move them into the GUI
    // thread). Never called from inside Write or Read.
    bool Watch(DeviceNotices notices) override;
    void SetNoticePoster(std::function<void(std::function<void()>)> poster);
    // Returns once every notice raised so far has been delivered.
    void WaitForNotices();

    void Plug(const std::string& path = kStationPath);
    void Unplug(const std::string& path = kStationPath);
    bool Plugged(const std::string& path = kStationPath) const;
    // Adds a decoy device (plugged) and returns its path.
    std::string AddDecoy(DecoyKind kind, bool beforeStation = true);

    // Handles to the station that are open and still connected.
    int OpenStationHandles() const;

    // A chaos schedule that lives, and is stopped, with the backend.
    void SetChaos(std::unique_ptr<SimChaos> chaos);

    struct Core;

private:
    std::shared_ptr<Core> core_;
    std::unique_ptr<SimChaos> chaos_;
};

}  // namespace nimbary::sim

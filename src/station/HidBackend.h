#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The thin platform seam under the transport: enumerate HID devices, open one,
// write one output report, read one input report with a time-out. Everything
// with logic lives above it so the simulated backend exercises all of it.
namespace nimbary {

constexpr int kReportSize = 64;        // frame bytes in one report
constexpr int kOutputReportSize = 65;  // report ID 0 + 64 frame bytes

struct HidDeviceInfo {
    std::string path;  // stands in for the Windows device handle in notices
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint16_t release = 0;  // the HID version number
    // The node whose lock says which process has the device, for one that
    // other processes can open too (a hidraw node); empty for a device that
    // is this process's own (simulated, replayed).
    std::string lockPath = {};
};

enum class HidStatus { Ok, Timeout, Error };

class HidDevice {
public:
    virtual ~HidDevice() = default;
    // Writes one 65-byte output report (byte 0 is the report ID 0).
    virtual HidStatus Write(const uint8_t (&report)[kOutputReportSize], int timeoutMs) = 0;
    // Reads one input report's 64 data bytes (the report ID is not part of
    // them). timeoutMs 0 returns at once with Timeout when nothing is queued.
    virtual HidStatus Read(uint8_t (&data)[kReportSize], int timeoutMs) = 0;
    // Throws away the input reports already queued. Bounded, so a device
    // that keeps sending cannot hold the caller here.
    virtual void DiscardInput() {
        uint8_t scratch[kReportSize];
        for (int i = 0; i < kMaxDiscardedReports && Read(scratch, 0) == HidStatus::Ok; ++i) {
        }
    }
    // hidraw queues at most 64 reports per reader; anything beyond this is a
    // device that never stops talking.
    static constexpr int kMaxDiscardedReports = 256;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidDeviceInfo> Enumerate() = 0;
    // nullptr when the device cannot be opened (gone, or held by someone else).
    virtual std::unique_ptr<HidDevice> Open(const std::string& path) = 0;
};

// Device arrival and removal notices, delivered on the GUI thread. The udev
// watcher and the simulated backend both raise them.
struct DeviceNotices {
    std::function<void(const std::string& path)> arrived;
    std::function<void(const std::string& path)> removed;
};

// Whatever raises those notices (the udev watcher, the simulated station).
class DeviceNoticeSource {
public:
    virtual ~DeviceNoticeSource() = default;
    // Starts delivering notices to `notices`, replacing earlier callbacks.
    // False when notices cannot be had (the caller then only finds a station
    // present at start-up).
    virtual bool Watch(DeviceNotices notices) = 0;
};

}  // namespace nimbary

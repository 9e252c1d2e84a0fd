#pragma once

#include <deque>
#include <memory>
#include <mutex>

#include "CaptureFile.h"
#include "HidBackend.h"

namespace nimbary {

// A station that answers from a capture file. A request matches the first
// unused recorded request with the same frame bytes (a set-clock request by
// its command code alone, since its bytes carry the time); the input reports
// recorded after it become the reply. A request with no match gets no reply.
class ReplayBackend : public HidBackend {
public:
    static std::unique_ptr<ReplayBackend> Load(const std::string& path, std::string& error);
    explicit ReplayBackend(std::vector<CaptureLine> lines);

    std::vector<HidDeviceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

    // How many recorded requests have been answered so far.
    int Matched() const;

    // Shared with the open device.
    struct Script {
        std::mutex mutex;
        std::vector<CaptureLine> lines;
        std::vector<bool> used;
        std::deque<std::vector<uint8_t>> pending;  // input reports of the current reply
        int matched = 0;
    };

private:
    std::shared_ptr<Script> script_;
};

}  // namespace nimbary

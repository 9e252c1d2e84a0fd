#include "ReplayBackend.h"

#include <algorithm>
#include <cstring>

namespace nimbary {

namespace {

constexpr uint8_t kSetClock = 0x83;
const char* const kReplayPath = "replay:station";

bool Matches(const CaptureLine& line, const uint8_t* frame, size_t n) {
    if (line.kind != CaptureLine::Out) return false;
    if (n >= 2 && frame[1] == kSetClock)
        return line.bytes.size() >= 2 && line.bytes[1] == kSetClock;
    return line.bytes.size() == n && std::equal(line.bytes.begin(), line.bytes.end(), frame);
}

class ReplayDevice : public HidDevice {
public:
    explicit ReplayDevice(std::shared_ptr<ReplayBackend::Script> s) : s_(std::move(s)) {}

    HidStatus Write(const uint8_t (&report)[kOutputReportSize], int) override {
        const uint8_t* frame = report + 1;
        size_t n = std::clamp<size_t>(frame[0], 1, kReportSize);
        std::lock_guard<std::mutex> lock(s_->mutex);
        auto& lines = s_->lines;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (s_->used[i] || !Matches(lines[i], frame, n)) continue;
            s_->used[i] = true;
            ++s_->matched;
            for (size_t j = i + 1; j < lines.size() && lines[j].kind == CaptureLine::In; ++j) {
                std::vector<uint8_t> r(kReportSize, 0);  // short lines are padded with zeros
                std::copy(lines[j].bytes.begin(), lines[j].bytes.end(), r.begin());
                s_->pending.push_back(std::move(r));
            }
            break;
        }
        return HidStatus::Ok;
    }

    // Nothing recorded means nothing will come: report the time-out at once
    // rather than sit through it.
    HidStatus Read(uint8_t (&data)[kReportSize], int) override {
        std::lock_guard<std::mutex> lock(s_->mutex);
        if (s_->pending.empty()) return HidStatus::Timeout;
        std::memcpy(data, s_->pending.front().data(), kReportSize);
        s_->pending.pop_front();
        return HidStatus::Ok;
    }

private:
    std::shared_ptr<ReplayBackend::Script> s_;
};

}  // namespace

std::unique_ptr<ReplayBackend> ReplayBackend::Load(const std::string& path, std::string& error) {
    std::vector<CaptureLine> lines;
    if (!LoadCapture(path, lines, error)) return nullptr;
    return std::make_unique<ReplayBackend>(std::move(lines));
}

ReplayBackend::ReplayBackend(std::vector<CaptureLine> lines) : script_(std::make_shared<Script>()) {
    script_->used.assign(lines.size(), false);
    script_->lines = std::move(lines);
}

std::vector<HidDeviceInfo> ReplayBackend::Enumerate() {
    return {HidDeviceInfo{kReplayPath, 0x1130, 0x0829, 0x0100}};
}

std::unique_ptr<HidDevice> ReplayBackend::Open(const std::string& path) {
    if (path != kReplayPath) return nullptr;
    return std::make_unique<ReplayDevice>(script_);
}

int ReplayBackend::Matched() const {
    std::lock_guard<std::mutex> lock(script_->mutex);
    return script_->matched;
}

}  // namespace nimbary

#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "HidBackend.h"
#include "SimBackend.h"
#include "SimStation.h"
#include "StationTime.h"

namespace nimbary::sim::test {

// 2024-03-05 12:00:00 on the station's clock.
inline uint32_t NoonMarch5() {
    uint32_t t = 0;
    FromCalendar(2024, 3, 5, 12, 0, 0, t);
    return t;
}

// A station on a frozen clock at a fixed time, so every answer is repeatable.
inline SimConfig FrozenConfig(uint32_t days = 0, uint64_t seed = 7) {
    SimConfig c;
    c.seed = seed;
    c.devId = 0x1A2B3C4D;
    c.startTime = NoonMarch5();
    c.frozen = true;
    c.historyDays = days;
    return c;
}

// A request frame with its length byte and checksum, in an output report.
inline void MakeReport(const std::vector<uint8_t>& body, uint8_t (&report)[kOutputReportSize]) {
    for (uint8_t& b : report) b = 0;
    const uint8_t len = static_cast<uint8_t>(body.size() + 2);
    report[1] = len;
    unsigned sum = len;
    int i = 2;
    for (uint8_t b : body) {
        report[i++] = b;
        sum += b;
    }
    report[i] = static_cast<uint8_t>(sum & 0xFF);
}

inline HidStatus Send(HidDevice& dev, const std::vector<uint8_t>& body) {
    uint8_t report[kOutputReportSize];
    MakeReport(body, report);
    return dev.Write(report, 50);
}

// Reads a reply of one or two reports; nullopt when a report does not come.
inline std::optional<std::vector<uint8_t>> ReadReply(HidDevice& dev, int timeoutMs = 200) {
    uint8_t r[kReportSize];
    if (dev.Read(r, timeoutMs) != HidStatus::Ok) return std::nullopt;
    std::vector<uint8_t> out(r, r + kReportSize);
    if (r[0] > 64) {
        if (dev.Read(r, timeoutMs) != HidStatus::Ok) return std::nullopt;
        out.insert(out.end(), r, r + kReportSize);
    }
    return out;
}

inline std::optional<std::vector<uint8_t>> Ask(HidDevice& dev, const std::vector<uint8_t>& body,
                                               int timeoutMs = 200) {
    if (Send(dev, body) != HidStatus::Ok) return std::nullopt;
    return ReadReply(dev, timeoutMs);
}

inline bool ChecksumOk(const std::vector<uint8_t>& f) {
    const size_t len = f[0];
    if (len < 2 || len > f.size()) return false;
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < len; ++i) sum += f[i];
    return (sum & 0xFF) == f[len - 1];
}

inline uint16_t Le16(const std::vector<uint8_t>& f, size_t at) {
    return static_cast<uint16_t>(f[at] | (f[at + 1] << 8));
}
inline uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
    return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}
// First and second 12-bit code of the three-byte group at `at`.
inline uint16_t First12(const std::vector<uint8_t>& f, size_t at) {
    return static_cast<uint16_t>(f[at] | ((f[at + 1] & 0x0F) << 8));
}
inline uint16_t Second12(const std::vector<uint8_t>& f, size_t at) {
    return static_cast<uint16_t>((f[at + 1] >> 4) | (f[at + 2] << 4));
}

struct Rig {
    std::shared_ptr<SimStation> station;
    std::unique_ptr<SimBackend> backend;
    std::unique_ptr<HidDevice> dev;

    explicit Rig(const SimConfig& c = FrozenConfig())
        : station(std::make_shared<SimStation>(c)),
          backend(std::make_unique<SimBackend>(station)),
          dev(backend->Open(SimBackend::kStationPath)) {}
};

}  // namespace nimbary::sim::test

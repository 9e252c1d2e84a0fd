#pragma once

#include <cstdint>
#include <vector>

// Plausible weather as a pure function of the seed and the station time, so
// the same seed gives the same readings whatever the order or pace of the
// questions: a daily temperature swing on a slow drift, humidity moving
// against temperature, slowly wandering pressure, wind with gusts and a
// wandering direction, and showers that fill the rain gauge.
namespace nimbary::sim {

constexpr int kSimChannels = 8;

// Readings in whole tenths (°F, hPa, m/s, mm) or whole units (%, degrees).
struct WeatherSample {
    int32_t inTemp = 0;
    int32_t inHumi = 0;
    int32_t chTemp[kSimChannels] = {};
    int32_t chHumi[kSimChannels] = {};
    int32_t absBaro = 0;
    int32_t wind = 0;
    int32_t gust = 0;
    int32_t windDir = 0;
    uint32_t rainTotal = 0;  // gauge count since the rain origin
};

class WeatherModel {
public:
    // Rain is counted from `rainOrigin` (station seconds) on.
    WeatherModel(uint64_t seed, uint32_t rainOrigin);

    WeatherSample At(uint32_t t);
    // Gauge total in tenths of mm at t; 0 at or before the origin.
    uint32_t RainTotal(uint32_t t);
    // Rain in tenths of mm that falls in the slot holding t.
    uint32_t SlotRain(uint32_t t) const;
    bool Raining(uint32_t t) const { return SlotRain(t) > 0; }

    uint64_t Seed() const { return seed_; }
    uint32_t RainOrigin() const { return rainOrigin_; }

    static constexpr uint32_t kRainSlot = 900;  // seconds per shower slot

private:
    double Hash01(uint64_t stream, int64_t index) const;
    double Noise(uint64_t stream, double t, double period) const;
    double Wetness(uint32_t t) const;
    uint32_t RainOfSlot(int64_t slot) const;

    uint64_t seed_;
    uint32_t rainOrigin_;
    // totals_[i]: gauge total at the start of slot originSlot + i.
    std::vector<uint32_t> totals_;
};

}  // namespace nimbary::sim

#include "WeatherModel.h"

#include <algorithm>
#include <cmath>

namespace nimbary::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Past this many slots (20 years) the gauge stops counting; keeps the
// running-total cache bounded whatever the clock does.
constexpr int64_t kMaxRainSlots = 20LL * 366 * 96;

uint64_t SplitMix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

enum Stream : uint64_t {
    S_AMP = 1,
    S_DRIFT,
    S_DRIFT2,
    S_HUMI,
    S_IN_T,
    S_IN_H,
    S_BARO,
    S_BARO2,
    S_WIND,
    S_WIND2,
    S_GUST,
    S_DIR,
    S_DIR2,
    S_SPELL,
    S_SLOT,
    S_AMOUNT,
    S_CHANNEL = 100
};

int32_t Tenths(double v) {
    return static_cast<int32_t>(std::lround(v * 10.0));
}

}  // namespace

WeatherModel::WeatherModel(uint64_t seed, uint32_t rainOrigin)
    : seed_(seed), rainOrigin_(rainOrigin) {}

double WeatherModel::Hash01(uint64_t stream, int64_t index) const {
    uint64_t h =
        SplitMix(seed_ ^ SplitMix(stream * 0x100000001B3ULL + static_cast<uint64_t>(index)));
    return static_cast<double>(h >> 11) / 9007199254740992.0;  // [0, 1)
}

// Smooth value noise in [-1, 1] with features about `period` seconds apart.
double WeatherModel::Noise(uint64_t stream, double t, double period) const {
    const double x = t / period;
    const double i = std::floor(x);
    const double f = x - i;
    const double a = Hash01(stream, static_cast<int64_t>(i)) * 2.0 - 1.0;
    const double b = Hash01(stream, static_cast<int64_t>(i) + 1) * 2.0 - 1.0;
    const double s = f * f * (3.0 - 2.0 * f);
    return a + (b - a) * s;
}

// Above 0 during a wet spell (0..1).
double WeatherModel::Wetness(uint32_t t) const {
    return std::max(0.0, Noise(S_SPELL, t, 1.5 * 86400.0) - 0.15) / 0.85;
}

uint32_t WeatherModel::RainOfSlot(int64_t slot) const {
    const double wet = Wetness(static_cast<uint32_t>(slot * kRainSlot));
    if (wet <= 0.0) return 0;
    if (Hash01(S_SLOT, slot) >= 0.25 + 0.6 * wet) return 0;
    const double u = Hash01(S_AMOUNT, slot);
    return 1 + static_cast<uint32_t>(u * u * 20.0 * (0.3 + wet));
}

uint32_t WeatherModel::SlotRain(uint32_t t) const {
    return RainOfSlot(t / kRainSlot);
}

uint32_t WeatherModel::RainTotal(uint32_t t) {
    if (t <= rainOrigin_) return 0;
    const int64_t originSlot = rainOrigin_ / kRainSlot;
    int64_t slot = t / kRainSlot;
    uint32_t into = t % kRainSlot;
    int64_t idx = slot - originSlot;
    if (idx >= kMaxRainSlots) {
        idx = kMaxRainSlots;
        into = 0;
    }
    if (totals_.empty()) totals_.push_back(0);
    while (static_cast<int64_t>(totals_.size()) <= idx) {
        const int64_t s = originSlot + static_cast<int64_t>(totals_.size()) - 1;
        uint32_t fall = RainOfSlot(s);
        // The origin's own slot only counts the part after the origin.
        if (s == originSlot) fall = fall * (kRainSlot - rainOrigin_ % kRainSlot) / kRainSlot;
        totals_.push_back(totals_.back() + fall);
    }
    uint32_t total = totals_[static_cast<size_t>(idx)];
    if (into > 0 && idx < kMaxRainSlots) {
        uint32_t fall = RainOfSlot(slot);
        uint32_t from = slot == originSlot ? rainOrigin_ % kRainSlot : 0;
        total += fall * (into - from) / kRainSlot;
    }
    return total;
}

WeatherSample WeatherModel::At(uint32_t t) {
    WeatherSample s;
    const double day = t / 86400.0;
    const double hour = (t % 86400) / 3600.0;
    const double wet = Wetness(t);

    // Outdoor temperature in °F: season, daily swing peaking mid-afternoon,
    // a drift over days, a little cooler when wet.
    const double season =
        52.0 + 20.0 * std::sin(2.0 * kPi * (std::fmod(day, 365.2425) - 105.0) / 365.2425);
    const double amplitude = 9.0 + 3.0 * Noise(S_AMP, t, 2.0 * 86400.0) - 4.0 * wet;
    const double swing = amplitude * std::cos(2.0 * kPi * (hour - 15.0) / 24.0);
    const double drift =
        8.0 * Noise(S_DRIFT, t, 3.0 * 86400.0) + 2.0 * Noise(S_DRIFT2, t, 5.0 * 3600.0);
    const double outT = season + swing + drift - 4.0 * wet;
    // Humidity falls as the day warms and rises in the rain.
    const double outH = 68.0 - 2.2 * swing + 10.0 * Noise(S_HUMI, t, 86400.0) + 22.0 * wet;

    const double inT = 70.0 + 1.5 * Noise(S_IN_T, t, 10.0 * 3600.0) + 0.12 * swing + 0.05 * drift;
    const double inH = 45.0 + 6.0 * Noise(S_IN_H, t, 86400.0) + 0.15 * (outH - 65.0);
    s.inTemp = Tenths(inT);
    s.inHumi = static_cast<int32_t>(std::clamp(std::lround(inH), 20L, 85L));

    s.chTemp[0] = Tenths(outT);
    s.chHumi[0] = static_cast<int32_t>(std::clamp(std::lround(outH), 12L, 99L));
    for (int k = 1; k < kSimChannels; ++k) {
        // Further sensors: sheltered spots that follow the outdoor air.
        const double offset = 3.0 * k - 10.0;
        const double n = Noise(S_CHANNEL + k, t, 6.0 * 3600.0);
        s.chTemp[k] = Tenths(outT * 0.7 + inT * 0.3 + offset + 2.0 * n);
        s.chHumi[k] =
            static_cast<int32_t>(std::clamp(std::lround(outH - 2.0 * k + 5.0 * n), 10L, 99L));
    }

    const double baro = 1005.0 + 11.0 * Noise(S_BARO, t, 4.0 * 86400.0) +
                        4.0 * Noise(S_BARO2, t, 20.0 * 3600.0) +
                        0.6 * std::cos(2.0 * kPi * (hour - 10.0) / 12.0) - 5.0 * wet;
    s.absBaro = Tenths(baro);

    const double daytime = std::max(0.0, std::sin(2.0 * kPi * (hour - 7.0) / 24.0));
    const double wind =
        std::max(0.0, 2.5 + 2.5 * Noise(S_WIND, t, 9.0 * 3600.0) +
                          1.2 * Noise(S_WIND2, t, 50.0 * 60.0) + 1.5 * daytime + 4.0 * wet);
    const double gustFactor = 1.25 + 0.45 * std::fabs(Noise(S_GUST, t, 7.0 * 60.0));
    const double gust = wind > 0.2 ? wind * gustFactor + 0.4 : wind;
    s.wind = std::min(Tenths(wind), 500);
    s.gust = std::min(Tenths(gust), 500);

    double dir =
        225.0 + 150.0 * Noise(S_DIR, t, 1.5 * 86400.0) + 35.0 * Noise(S_DIR2, t, 40.0 * 60.0);
    dir = std::fmod(dir, 360.0);
    if (dir < 0) dir += 360.0;
    s.windDir = static_cast<int32_t>(dir) % 360;

    s.rainTotal = RainTotal(t);
    return s;
}

}  // namespace nimbary::sim

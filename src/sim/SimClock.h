#pragma once

#include <chrono>
#include <cstdint>

// The station's own clock: station seconds that run at a chosen speed
// against the machine's steady clock, can be frozen, set, and advanced by
// hand. Not locked: the station that owns it serialises the calls.
namespace nimbary::sim {

class SimClock {
public:
    // Starts at `stationSeconds`, running at real speed.
    explicit SimClock(double stationSeconds = 0.0);

    double Now() const;               // station seconds with the fraction
    uint32_t Seconds() const;         // whole station seconds
    void Set(double stationSeconds);  // keeps speed and frozen state
    void Advance(double seconds);
    void SetSpeed(double factor);  // > 0
    double Speed() const { return speed_; }
    void Freeze(bool frozen);
    bool Frozen() const { return frozen_; }

private:
    using Steady = std::chrono::steady_clock;
    double Elapsed() const;

    double base_;
    Steady::time_point since_;
    double speed_ = 1.0;
    bool frozen_ = false;
};

}  // namespace nimbary::sim

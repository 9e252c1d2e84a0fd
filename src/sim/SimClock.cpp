#include "SimClock.h"

#include <cmath>

namespace nimbary::sim {

namespace {
constexpr double kMaxStationSeconds = 4294967295.0;

double Clamp(double s) {
    if (!(s > 0.0)) return 0.0;
    return s > kMaxStationSeconds ? kMaxStationSeconds : s;
}
}  // namespace

SimClock::SimClock(double stationSeconds) : base_(Clamp(stationSeconds)), since_(Steady::now()) {}

double SimClock::Elapsed() const {
    if (frozen_) return 0.0;
    return std::chrono::duration<double>(Steady::now() - since_).count() * speed_;
}

double SimClock::Now() const {
    return Clamp(base_ + Elapsed());
}

uint32_t SimClock::Seconds() const {
    return static_cast<uint32_t>(std::floor(Now()));
}

void SimClock::Set(double stationSeconds) {
    base_ = Clamp(stationSeconds);
    since_ = Steady::now();
}

void SimClock::Advance(double seconds) {
    Set(Now() + seconds);
}

void SimClock::SetSpeed(double factor) {
    if (!(factor > 0.0)) return;
    Set(Now());
    speed_ = factor;
}

void SimClock::Freeze(bool frozen) {
    Set(Now());
    frozen_ = frozen;
}

}  // namespace nimbary::sim

#pragma once

#include <cstdint>

namespace nimbary {

// The station's clock judged by its newest history record. The protocol
// cannot read the clock itself, but the station stamps every record with it:
// while the clock is right, the newest record lies less than one record
// interval before the computer's time. Much further off, the station's clock
// has drifted, an hourly clock setting did not take, or the station stopped
// recording.
struct ClockCheck {
    bool Known = false;     // a newest record and its interval were there to judge by
    uint32_t Newest = 0;    // station seconds of the newest record
    uint32_t Interval = 0;  // its record interval, seconds
    int64_t Behind = 0;     // the computer's time minus the newest record's; negative: ahead

    static ClockCheck Of(uint32_t newest, uint32_t interval, uint32_t now);
    // More than two record intervals either way.
    bool Off() const;
};

// The computer's local time in station seconds (the station's clock is set
// from it); 0 when it lies outside the station's range.
uint32_t LocalNowStationTime();

}  // namespace nimbary

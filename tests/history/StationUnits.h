#pragma once

#include "Protocol.h"
#include "SimStation.h"
#include "Units.h"

namespace nimbary::testing {

// Sets the simulated station's display units, its other settings kept.
inline void SetStationUnits(sim::SimStation& station, const UnitSet& units) {
    sim::SettingsBytes bytes = station.Settings();
    static_assert(sim::kSettingsSize == kSettingsBlockSize);
    StationSettings s;
    DecodeSettingsBlock(bytes.data(), s);
    s.TempUnit = units.TempUnit;
    s.BaroUnit = units.BaroUnit;
    s.WindUnit = units.WindUnit;
    s.RainUnit = units.RainUnit;
    EncodeSettingsBlock(s, bytes.data());
    station.SetSettings(bytes);
}

}  // namespace nimbary::testing

#include "PollStep.h"

namespace nimbary {

namespace {

bool SameUnits(const UnitSet& a, const UnitSet& b) {
    return a.TempUnit == b.TempUnit && a.BaroUnit == b.BaroUnit && a.WindUnit == b.WindUnit &&
           a.RainUnit == b.RainUnit;
}

}  // namespace

PollStep::Changes PollStep::Compare(const PresenceBlock& presence, const UnitSet& units,
                                    bool stationAsks) {
    Changes c;
    c.presence = presence;
    c.units = units;
    c.presenceChanged = presence != presence_;
    c.unitsChanged = !SameUnits(units, units_);
    if (c.presenceChanged || stationAsks) seriesDue_ = true;
    c.readSeries = seriesDue_;
    return c;
}

PollStep::Redraw PollStep::Apply(const Changes& c, LiveDisplay& display,
                                 const StationData& station) {
    if (c.unitsChanged) {
        units_ = c.units;
        display.SetUnits(units_);
    }
    if (c.presenceChanged) {
        presence_ = c.presence;
        display.SetPresence(presence_);
    }
    if (c.unitsChanged || c.presenceChanged) display.UpdateAxisLimits();
    const bool rain = (presence_.Flags & QF_RAIN) != 0;
    const bool relayout = rain != rain_;
    if (relayout) {
        rain_ = rain;
        display.RelayoutForRain(rain);
    }
    display.UpdateTexts(station);
    if (relayout || c.readSeries || c.unitsChanged || c.presenceChanged) {
        display.LoadSeries(station);
        return relayout ? Redraw::Relayout : Redraw::Full;
    }
    display.UpdateCurrentPoints(station);
    return Redraw::Changed;
}

void PollStep::ShowUnits(LiveDisplay& display, const UnitSet& units) {
    units_ = units;
    display.SetUnits(units);
    display.UpdateAxisLimits();
}

void PollStep::Forget(LiveDisplay& display) {
    presence_ = PresenceBlock();
    rain_ = false;
    display.SetPresence(presence_);
    display.RelayoutForRain(false);
    display.ApplyPresence();
}

}  // namespace nimbary

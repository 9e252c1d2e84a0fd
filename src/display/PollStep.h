#pragma once

#include <atomic>

#include "LiveDisplay.h"

namespace nimbary {

// The decisions of one poll step, for the program's view and the plug-in
// alike: what changed since the display last applied the station's presence
// bytes and units, whether the graph series must be read, and how much to
// redraw. Changes are taken against what was applied, not against what the
// same step found before reading, so a change read by a step that then
// fails is still a change for the next one.
class PollStep {
public:
    struct Changes {
        PresenceBlock presence;
        UnitSet units;
        bool presenceChanged = false, unitsChanged = false;
        bool readSeries = false;  // every series is read before Apply
    };
    enum class Redraw { Relayout, Full, Changed };

    // After the settings and the current reading were read; `stationAsks` is
    // the station's graph refresh request. Until SeriesRead, every step reads
    // the series.
    Changes Compare(const PresenceBlock& presence, const UnitSet& units, bool stationAsks);
    void SeriesRead() { seriesDue_ = false; }
    // A station has come: the next step reads every series.
    void RequestSeries() { seriesDue_ = true; }

    // Applies a step's changes to the display and refreshes its texts and
    // series. Relayout: the rain pair came or went, the whole display is
    // drawn afresh. Full: every item is drawn. Changed: what changed is drawn.
    Redraw Apply(const Changes& c, LiveDisplay& display, const StationData& station);

    // Units shown outside a poll step (at the start, or chosen by a host).
    void ShowUnits(LiveDisplay& display, const UnitSet& units);
    // The station went: no presence, no rain pair; the next step starts afresh.
    void Forget(LiveDisplay& display);

private:
    PresenceBlock presence_;
    UnitSet units_;
    bool rain_ = false;
    std::atomic<bool> seriesDue_{true};
};

}  // namespace nimbary

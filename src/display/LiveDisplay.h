#pragma once

#include <array>
#include <string>
#include <vector>

#include "MiniGraph.h"
#include "StationData.h"
#include "ValuePanel.h"

class QPainter;

namespace nimbary {

class TextSource;

// The five panel/graph pairs, in drawing order.
enum class Pair { Temperature = 0, Humidity = 1, Wind = 2, Pressure = 3, Rain = 4 };
constexpr int kPairCount = 5;

// Size of the area the pairs are laid out in.
constexpr int kDisplayWidth = 1170;
constexpr int kDisplayHeight = 690;

// Where the plug-in's display differs from the program's: the panels' style
// and the names of the remote channels.
struct DisplayVariant {
    PanelStyle panel;
    // Channels 1-8: series names in the temperature and humidity graphs, and
    // the labels of their panel rows.
    std::array<std::string, kChannels> channelSeries = {"OUT", "CH2", "CH3", "CH4",
                                                        "CH5", "CH6", "CH7", "CH8"};
    std::array<std::string, kChannels> channelRows = channelSeries;
};

// The live display: five value panels with a 72-hour graph each, filled from
// the station image. The owner decides when each operation runs and hands in
// the presence bytes and units it has last applied (its copies), so the
// display never reads the station's fields while they are being replaced.
class LiveDisplay {
public:
    explicit LiveDisplay(TextSource& texts, const DisplayVariant& variant = DisplayVariant());

    // The presence bytes the display follows; all zero at start.
    void SetPresence(const PresenceBlock& presence) { presence_ = presence; }
    const PresenceBlock& Presence() const { return presence_; }
    // The display units for the texts, the graph values and the axis limits.
    void SetUnits(const UnitSet& units) { units_ = units; }
    const UnitSet& DisplayUnits() const { return units_; }

    // Places every pair for the current rain layout, initialises the graphs
    // and panel rows, sets the axis limits and loads the texts.
    void LayoutPanels();
    // Re-places the wind and pressure pairs for the rain pair being shown or not.
    void RelayoutForRain(bool rain);
    bool RainLaidOut() const { return rain_; }
    // Graph limits and label decimals from the display units.
    void UpdateAxisLimits();
    // Panel rows and graph series visible by the presence bytes.
    void ApplyPresence();
    // Panel row visibility from the presence bytes and every value text from
    // the current reading.
    void UpdateTexts(const StationData& station);
    // Point 0 of every graph from the current reading.
    void UpdateCurrentPoints(const StationData& station);
    // Present flags, point 0 and the 40 series points of every graph.
    void LoadSeries(const StationData& station);
    // Captions, row labels and series names in the current language.
    void ReloadTexts();
    // The string ids ReloadTexts loads.
    static std::vector<int> TextIds();

    // Panels, then graphs, then the rain pair when it is laid out. Without
    // `full` only what changed is drawn. Returns how many items were drawn.
    int DrawAll(QPainter& target, bool full);

    bool HitLegend(int x, int y) const;
    // Asks the graphs in pair order; returns the one that toggled a series,
    // which the caller redraws in full, or nullptr.
    MiniGraph* ToggleAt(int x, int y);

    ValuePanel& Panel(Pair p) { return panels_[size_t(p)]; }
    const ValuePanel& Panel(Pair p) const { return panels_[size_t(p)]; }
    MiniGraph& Graph(Pair p) { return graphs_[size_t(p)]; }
    const MiniGraph& Graph(Pair p) const { return graphs_[size_t(p)]; }

    // Hour of a graph point: 0 is now, points 1-24 hourly, then every 3 hours.
    static int PointHour(int point);

private:
    void PlaceWindAndPressure();
    void ApplyPanelPresence();
    void ApplyGraphPresence();
    void SetCurrentPoints(const HistoryRecord& c);

    TextSource& texts_;
    const DisplayVariant variant_;
    std::array<ValuePanel, kPairCount> panels_;
    std::array<MiniGraph, kPairCount> graphs_;
    PresenceBlock presence_;
    UnitSet units_;
    bool rain_ = false;
};

}  // namespace nimbary

#include "LiveDisplay.h"

#include <string>

#include "DisplayColors.h"
#include "Format.h"
#include "TextSource.h"

namespace nimbary {

namespace {

constexpr int kPoints = 41;  // now plus the station's 40 series points
constexpr int kFull = FMT_VALUE | FMT_UNIT;
constexpr int kTempRows = 1 + kChannels;

// String ids.
constexpr int kIdPressure = 2000, kIdAbsolute = 2001, kIdRelative = 2002;
constexpr int kIdHour = 2010, kIdDay = 2011, kIdWeek = 2012, kIdMonth = 2013, kIdTotal = 2014;
constexpr int kIdRainfall = 2023, kIdTemperature = 2034, kIdHumidity = 2035;
constexpr int kIdWind = 2049, kIdGust = 2050, kIdWindDirection = 2051;

// Rain panel rows that have a label (and show with rain); the rest never show.
constexpr int kRainLabel[kRainKinds] = {0, 0, kIdHour, kIdDay, 0, kIdWeek, kIdMonth, kIdTotal};

int PairHeight(bool rain) {
    return rain ? 180 : 310;
}

bool Bit(uint8_t byte, int bit) {
    return (byte >> bit) & 1;
}

std::vector<QColor> SeriesColours() {
    return std::vector<QColor>(colors::kSeries.begin(), colors::kSeries.end());
}

}  // namespace

LiveDisplay::LiveDisplay(TextSource& texts, const DisplayVariant& variant)
    : texts_(texts),
      variant_(variant),
      panels_{ValuePanel(variant.panel), ValuePanel(variant.panel), ValuePanel(variant.panel),
              ValuePanel(variant.panel), ValuePanel(variant.panel)} {
    for (MiniGraph& g : graphs_) g.SetXRange(0, 72);
}

int LiveDisplay::PointHour(int point) {
    return point <= 24 ? point : 24 + 3 * (point - 24);
}

void LiveDisplay::PlaceWindAndPressure() {
    const int h = PairHeight(rain_);
    const int yDivisions = rain_ ? 5 : 10;
    Panel(Pair::Wind).Place(589, 8, h);
    Graph(Pair::Wind).Place(708, 8, 435, h);
    Graph(Pair::Wind).SetDivisions(9, yDivisions);
    Panel(Pair::Pressure).Place(589, h + 18, h);
    Graph(Pair::Pressure).Place(708, h + 18, 435, h);
    Graph(Pair::Pressure).SetDivisions(9, yDivisions);
}

void LiveDisplay::LayoutPanels() {
    Panel(Pair::Temperature).Place(8, 8, 310);
    Graph(Pair::Temperature).Place(127, 8, 452, 310);
    Graph(Pair::Temperature).SetDivisions(9, 10);
    Panel(Pair::Humidity).Place(8, 328, 310);
    Graph(Pair::Humidity).Place(127, 328, 452, 310);
    Graph(Pair::Humidity).SetDivisions(9, 10);
    PlaceWindAndPressure();
    Panel(Pair::Rain).Place(589, 388, 250);
    Graph(Pair::Rain).Place(708, 388, 435, 250);
    Graph(Pair::Rain).SetDivisions(9, 8);

    const std::vector<QColor> colours = SeriesColours();
    const int seriesCounts[kPairCount] = {kTempRows, kTempRows, 2, 1, 1};
    const int rowCounts[kPairCount] = {kTempRows, kTempRows, 3, 2, kRainKinds};
    for (int i = 0; i < kPairCount; ++i) {
        graphs_[i].Init(seriesCounts[i], kPoints, colours);
        panels_[i].SetRowCount(rowCounts[i]);
    }
    for (MiniGraph& g : graphs_)
        for (int p = 0; p < g.PointCount(); ++p) g.SetPoint(p, PointHour(p), nullptr, 0);
    Graph(Pair::Temperature).SetDecimals(1);
    Graph(Pair::Humidity).SetDecimals(0);
    UpdateAxisLimits();
    // Init and SetRowCount dropped the names and labels.
    ReloadTexts();
}

void LiveDisplay::RelayoutForRain(bool rain) {
    rain_ = rain;
    PlaceWindAndPressure();
}

void LiveDisplay::UpdateAxisLimits() {
    MiniGraph& temp = Graph(Pair::Temperature);
    if (units_.Celsius())
        temp.SetLimits(162.78, -62.22);
    else
        temp.SetLimits(325.0, -80.0);

    Graph(Pair::Humidity).SetLimits(99, 10);

    MiniGraph& wind = Graph(Pair::Wind);
    wind.SetLimits(ConvertWind(50.0, units_), ConvertWind(0.0, units_));
    wind.SetDecimals(units_.Wind() == WIND_BFT ? 0 : 1);

    MiniGraph& baro = Graph(Pair::Pressure);
    switch (units_.Baro()) {
        case BARO_INHG:
            baro.SetLimits(32.48, 8.859);
            break;
        case BARO_MMHG:
            baro.SetLimits(825.07, 225.02);
            break;
        default:
            baro.SetLimits(1100.0, 300.0);
            break;
    }
    baro.SetDecimals(units_.Baro() == BARO_INHG ? 2 : 1);

    MiniGraph& rain = Graph(Pair::Rain);
    if (units_.Rain() == RAIN_IN) {
        rain.SetLimits(39.366, 0);
        rain.SetDecimals(2);
    } else {
        rain.SetLimits(999.9, 0);
        rain.SetDecimals(1);
    }
}

void LiveDisplay::ApplyPanelPresence() {
    const PresenceBlock& pr = presence_;
    ValuePanel& temp = Panel(Pair::Temperature);
    ValuePanel& humi = Panel(Pair::Humidity);
    temp.SetVisible(0, Bit(pr.Flags, 0));
    humi.SetVisible(0, Bit(pr.Flags, 1));
    for (int k = 1; k <= kChannels; ++k) {
        temp.SetVisible(k, Bit(pr.TempMask, k - 1));
        humi.SetVisible(k, Bit(pr.HumiMask, k - 1));
    }
    ValuePanel& wind = Panel(Pair::Wind);
    for (int r = 0; r < 3; ++r) wind.SetVisible(r, Bit(pr.Flags, 2 + r));
    ValuePanel& baro = Panel(Pair::Pressure);
    baro.SetVisible(0, Bit(pr.Flags, 5));
    baro.SetVisible(1, Bit(pr.Flags, 5));
    ValuePanel& rain = Panel(Pair::Rain);
    for (int r = 0; r < kRainKinds; ++r) rain.SetVisible(r, kRainLabel[r] != 0 && Bit(pr.Flags, 6));
}

void LiveDisplay::ApplyGraphPresence() {
    const PresenceBlock& pr = presence_;
    bool temp[kTempRows], humi[kTempRows];
    temp[0] = Bit(pr.Flags, 0);
    humi[0] = Bit(pr.Flags, 1);
    for (int k = 1; k <= kChannels; ++k) {
        temp[k] = Bit(pr.TempMask, k - 1);
        humi[k] = Bit(pr.HumiMask, k - 1);
    }
    Graph(Pair::Temperature).SetPresent(temp, kTempRows);
    Graph(Pair::Humidity).SetPresent(humi, kTempRows);
    Graph(Pair::Wind).SetPresent({Bit(pr.Flags, 2), Bit(pr.Flags, 3)});
    Graph(Pair::Pressure).SetPresent({Bit(pr.Flags, 5)});
    Graph(Pair::Rain).SetPresent({Bit(pr.Flags, 6)});
}

void LiveDisplay::ApplyPresence() {
    ApplyPanelPresence();
    ApplyGraphPresence();
}

void LiveDisplay::UpdateTexts(const StationData& station) {
    ApplyPanelPresence();
    const HistoryRecord& c = station.Current;
    const UnitSet& u = units_;
    ValuePanel& temp = Panel(Pair::Temperature);
    ValuePanel& humi = Panel(Pair::Humidity);
    temp.SetValue(0, FormatTemp(c.InTemp, kFull, u));
    humi.SetValue(0, FormatHumi(c.InHumi, kFull, u));
    for (int k = 0; k < kChannels; ++k) {
        temp.SetValue(k + 1, FormatTemp(c.ChTemp[k], kFull, u));
        humi.SetValue(k + 1, FormatHumi(c.ChHumi[k], kFull, u));
    }
    ValuePanel& wind = Panel(Pair::Wind);
    wind.SetValue(0, FormatWind(c.Wind, kFull, u));
    wind.SetValue(1, FormatWind(c.Gust, kFull, u));
    wind.SetValue(2, FormatWindDir(c.WindDir));
    ValuePanel& baro = Panel(Pair::Pressure);
    baro.SetValue(0, FormatBaro(c.AbsBaro, kFull, u));
    baro.SetValue(1, FormatBaro(c.RelBaro, kFull, u));
    ValuePanel& rain = Panel(Pair::Rain);
    for (int r = 0; r < kRainKinds; ++r) rain.SetValue(r, FormatRain(c.Rain[r], kFull, u));
}

void LiveDisplay::SetCurrentPoints(const HistoryRecord& c) {
    const UnitSet& u = units_;
    double temp[kTempRows], humi[kTempRows];
    temp[0] = ConvertTemp(c.InTemp, u);
    humi[0] = c.InHumi;
    for (int k = 0; k < kChannels; ++k) {
        temp[k + 1] = ConvertTemp(c.ChTemp[k], u);
        humi[k + 1] = c.ChHumi[k];
    }
    Graph(Pair::Temperature).SetCurrent(temp, kTempRows);
    Graph(Pair::Humidity).SetCurrent(humi, kTempRows);
    Graph(Pair::Wind).SetCurrent({ConvertWind(c.Wind, u), ConvertWind(c.Gust, u)});
    Graph(Pair::Pressure).SetCurrent({ConvertBaro(c.RelBaro, u)});
    Graph(Pair::Rain).SetCurrent({ConvertRain(c.Rain[RAIN_HOUR], u)});
}

void LiveDisplay::UpdateCurrentPoints(const StationData& station) {
    SetCurrentPoints(station.Current);
}

void LiveDisplay::LoadSeries(const StationData& station) {
    ApplyGraphPresence();
    SetCurrentPoints(station.Current);
    const GraphSeries& g = station.Graph;
    const UnitSet& u = units_;
    for (int i = 0; i < kGraphPoints; ++i) {
        const int point = i + 1;
        const int hour = PointHour(point);
        double temp[kTempRows], humi[kTempRows];
        temp[0] = ConvertTemp(g.InTemp[i], u);
        humi[0] = g.InHumi[i];
        for (int k = 0; k < kChannels; ++k) {
            temp[k + 1] = ConvertTemp(g.ChTemp[k][i], u);
            humi[k + 1] = g.ChHumi[k][i];
        }
        Graph(Pair::Temperature).SetPoint(point, hour, temp, kTempRows);
        Graph(Pair::Humidity).SetPoint(point, hour, humi, kTempRows);
        Graph(Pair::Wind)
            .SetPoint(point, hour, {ConvertWind(g.Wind[i], u), ConvertWind(g.Gust[i], u)});
        Graph(Pair::Pressure).SetPoint(point, hour, {ConvertBaro(g.Baro[i], u)});
        Graph(Pair::Rain).SetPoint(point, hour, {ConvertRain(g.Rain[i], u)});
    }
}

void LiveDisplay::ReloadTexts() {
    std::vector<std::string> channelNames{"IN"};
    channelNames.insert(channelNames.end(), variant_.channelSeries.begin(),
                        variant_.channelSeries.end());
    Graph(Pair::Temperature).SetNames(channelNames);
    Graph(Pair::Humidity).SetNames(channelNames);
    Graph(Pair::Wind).SetNamesFromStrings({kIdWind, kIdGust}, texts_);
    Graph(Pair::Pressure).SetNamesFromStrings({kIdRelative}, texts_);
    Graph(Pair::Rain).SetNamesFromStrings({kIdHour}, texts_);

    Panel(Pair::Temperature).SetCaption(kIdTemperature, texts_);
    Panel(Pair::Humidity).SetCaption(kIdHumidity, texts_);
    Panel(Pair::Wind).SetCaption(kIdWind, texts_);
    Panel(Pair::Pressure).SetCaption(kIdPressure, texts_);
    Panel(Pair::Rain).SetCaption(kIdRainfall, texts_);

    for (Pair p : {Pair::Temperature, Pair::Humidity}) {
        ValuePanel& panel = Panel(p);
        panel.SetLabel(0, "IN:");
        for (int k = 1; k <= kChannels; ++k) panel.SetLabel(k, variant_.channelRows[k - 1]);
    }
    const int windLabels[] = {kIdWind, kIdGust, kIdWindDirection};
    for (int r = 0; r < 3; ++r) Panel(Pair::Wind).SetLabel(r, texts_.Load(windLabels[r]));
    Panel(Pair::Pressure).SetLabel(0, texts_.Load(kIdAbsolute));
    Panel(Pair::Pressure).SetLabel(1, texts_.Load(kIdRelative));
    for (int r = 0; r < kRainKinds; ++r)
        Panel(Pair::Rain).SetLabel(r, kRainLabel[r] ? texts_.Load(kRainLabel[r]) : std::string());
}

std::vector<int> LiveDisplay::TextIds() {
    return {kIdPressure, kIdAbsolute, kIdRelative, kIdHour,         kIdDay,
            kIdWeek,     kIdMonth,    kIdTotal,    kIdRainfall,     kIdTemperature,
            kIdHumidity, kIdWind,     kIdGust,     kIdWindDirection};
}

int LiveDisplay::DrawAll(QPainter& target, bool full) {
    int drawn = 0;
    const Pair order[] = {Pair::Temperature, Pair::Humidity, Pair::Wind, Pair::Pressure};
    for (Pair p : order) drawn += Panel(p).Draw(target, full);
    for (Pair p : order) drawn += Graph(p).Draw(target, full);
    if (rain_) {
        drawn += Panel(Pair::Rain).Draw(target, full);
        drawn += Graph(Pair::Rain).Draw(target, full);
    }
    return drawn;
}

bool LiveDisplay::HitLegend(int x, int y) const {
    for (int i = 0; i < kPairCount; ++i) {
        if (Pair(i) == Pair::Rain && !rain_) continue;
        if (graphs_[i].HitLegend(x, y)) return true;
    }
    return false;
}

MiniGraph* LiveDisplay::ToggleAt(int x, int y) {
    for (int i = 0; i < kPairCount; ++i) {
        // The rain graph is off screen while its pair is not laid out.
        if (Pair(i) == Pair::Rain && !rain_) continue;
        if (graphs_[i].ToggleAt(x, y)) return &graphs_[i];
    }
    return nullptr;
}

}  // namespace nimbary

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFontMetrics>
#include <QPainter>
#include <cstdio>
#include <map>

#include "DisplayColors.h"
#include "LiveDisplay.h"
#include "PixelHelpers.h"
#include "RenderDisplay.h"
#include "SampleStation.h"
#include "StringTable.h"
#include "TextSource.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

// Answers "#<id>" and remembers what was asked, as a host's table would.
class FakeTexts : public TextSource {
public:
    std::string Load(int id) override {
        ++asked[id];
        return "#" + std::to_string(id);
    }
    std::map<int, int> asked;
};

struct Fixture {
    explicit Fixture(bool rain, UnitSet u = UnitSet()) : display(texts) {
        FillSampleStation(station, rain);
        display.SetPresence(station.Presence);
        display.SetUnits(u);
        display.RelayoutForRain(rain);
        display.LayoutPanels();
        display.UpdateTexts(station);
        display.LoadSeries(station);
        canvas.fill(colors::kBackground);
    }
    int Draw(bool full) {
        QPainter p(&canvas);
        return display.DrawAll(p, full);
    }
    FakeTexts texts;
    StationData station;
    LiveDisplay display;
    QImage canvas{kDisplayWidth, kDisplayHeight, QImage::Format_RGB32};
};

UnitSet Units(int temp, int baro, int wind, int rain) {
    UnitSet u;
    u.TempUnit = temp;
    u.BaroUnit = baro;
    u.WindUnit = wind;
    u.RainUnit = rain;
    return u;
}

QRect Area(const ValuePanel& p) {
    return QRect(p.X(), p.Y(), p.Width(), p.Height());
}
QRect Area(const MiniGraph& g) {
    return QRect(g.X(), g.Y(), g.Width(), g.Height());
}

}  // namespace

TEST(LiveDisplay, PairsWithAndWithoutRain) {
    for (bool rain : {false, true}) {
        Fixture f(rain);
        const int h = rain ? 180 : 310;
        LiveDisplay& d = f.display;
        EXPECT_EQ(Area(d.Panel(Pair::Temperature)), QRect(8, 8, 120, 310));
        EXPECT_EQ(Area(d.Graph(Pair::Temperature)), QRect(127, 8, 452, 310));
        EXPECT_EQ(Area(d.Panel(Pair::Humidity)), QRect(8, 328, 120, 310));
        EXPECT_EQ(Area(d.Graph(Pair::Humidity)), QRect(127, 328, 452, 310));
        EXPECT_EQ(Area(d.Panel(Pair::Wind)), QRect(589, 8, 120, h));
        EXPECT_EQ(Area(d.Graph(Pair::Wind)), QRect(708, 8, 435, h));
        EXPECT_EQ(Area(d.Panel(Pair::Pressure)), QRect(589, h + 18, 120, h));
        EXPECT_EQ(Area(d.Graph(Pair::Pressure)), QRect(708, h + 18, 435, h));
        EXPECT_EQ(Area(d.Panel(Pair::Rain)), QRect(589, 388, 120, 250));
        EXPECT_EQ(Area(d.Graph(Pair::Rain)), QRect(708, 388, 435, 250));
        EXPECT_EQ(d.Graph(Pair::Wind).YDivisions(), rain ? 5 : 10);
        EXPECT_EQ(d.Graph(Pair::Pressure).YDivisions(), rain ? 5 : 10);
        EXPECT_EQ(d.Graph(Pair::Rain).YDivisions(), 8);
        for (Pair p : {Pair::Temperature, Pair::Wind, Pair::Rain}) {
            EXPECT_EQ(d.Graph(p).XDivisions(), 9);
            EXPECT_EQ(d.Graph(p).PointCount(), 41);
        }

        EXPECT_EQ(f.Draw(true), rain ? 10 : 8);
        const QImage& c = f.canvas;
        // Top edge of the pressure panel at y = 198 only with rain; the rain
        // panel's top edge at y = 388 likewise.
        EXPECT_EQ(Is(c, 649, 198, colors::kBorder), rain);
        EXPECT_EQ(Is(c, 649, 388, colors::kBorder), rain);
        EXPECT_EQ(Is(c, 900, 388, colors::kBorder), rain);
        EXPECT_TRUE(Is(c, 649, rain ? 198 + 179 : 328 + 309, colors::kBorder));
        EXPECT_TRUE(Is(c, 1160, 680, colors::kBackground));
    }
}

TEST(LiveDisplay, TextsFollowPresenceAndUnits) {
    Fixture f(true);
    LiveDisplay& d = f.display;
    const ValuePanel& temp = d.Panel(Pair::Temperature);
    EXPECT_EQ(temp.Caption(), "#2034");
    EXPECT_EQ(temp.Label(0), "IN:");
    EXPECT_EQ(temp.Label(1), "OUT");
    EXPECT_EQ(temp.Value(0), "22.0 °C");
    EXPECT_EQ(temp.Value(1), "14.0 °C");
    EXPECT_EQ(temp.Value(2), "");  // channel 2 absent
    EXPECT_TRUE(temp.Visible(0) && temp.Visible(1));
    EXPECT_FALSE(temp.Visible(2));
    EXPECT_EQ(d.Panel(Pair::Humidity).Value(1), "68 %");
    EXPECT_EQ(d.Panel(Pair::Wind).Label(2), "#2051");
    EXPECT_EQ(d.Panel(Pair::Wind).Value(2), "SW");
    EXPECT_EQ(d.Panel(Pair::Pressure).Value(1), "1013.2 hpa");
    const ValuePanel& rain = d.Panel(Pair::Rain);
    const bool rainShown[] = {false, false, true, true, false, true, true, true};
    for (int r = 0; r < 8; ++r) EXPECT_EQ(rain.Visible(r), rainShown[r]) << r;
    EXPECT_EQ(rain.Label(2), "#2010");
    EXPECT_EQ(rain.Label(7), "#2014");
    EXPECT_EQ(rain.Value(7), "512.3 mm");
    EXPECT_EQ(d.Graph(Pair::Wind).Name(1), "#2050");
    EXPECT_EQ(d.Graph(Pair::Rain).Name(0), "#2010");
    EXPECT_EQ(d.Graph(Pair::Temperature).Name(8), "CH8");

    // Only the direction present, and out of range: its row alone, "--".
    PresenceBlock only;
    only.Flags = QF_WIND_DIR;
    f.station.Current.WindDir = 360;
    d.SetPresence(only);
    d.UpdateTexts(f.station);
    const ValuePanel& wind = d.Panel(Pair::Wind);
    EXPECT_FALSE(wind.Visible(0) || wind.Visible(1));
    EXPECT_TRUE(wind.Visible(2));
    EXPECT_EQ(wind.Value(2), "--");

    // The empty state of an unplugged station hides every row and series.
    d.SetPresence(PresenceBlock());
    d.ApplyPresence();
    for (int i = 0; i < kPairCount; ++i) {
        const Pair p = Pair(i);
        for (int r = 0; r < d.Panel(p).RowCount(); ++r) EXPECT_FALSE(d.Panel(p).Visible(r));
        for (int s = 0; s < d.Graph(p).SeriesCount(); ++s) EXPECT_FALSE(d.Graph(p).Present(s));
    }
}

TEST(LiveDisplay, SeriesPointsAndConversions) {
    Fixture f(true, Units(0, 1, 1, 1));  // °C, inHg, km/h, inches
    const LiveDisplay& d = f.display;
    const GraphSeries& g = f.station.Graph;
    const MiniGraph& temp = d.Graph(Pair::Temperature);
    const int hours[] = {0, 1, 2, 24, 25, 26, 40};
    const int expectX[] = {0, 1, 2, 24, 27, 30, 72};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(temp.PointX(hours[i]), expectX[i]);

    EXPECT_DOUBLE_EQ(temp.Value(0, 0), (71.6 - 32) / 1.8);
    EXPECT_DOUBLE_EQ(temp.Value(1, 3), (g.ChTemp[0][2] - 32) / 1.8);
    EXPECT_EQ(temp.Value(2, 3), VAL_ABSENT);  // sentinels pass unchanged
    EXPECT_DOUBLE_EQ(d.Graph(Pair::Humidity).Value(1, 0), 68.0);
    EXPECT_DOUBLE_EQ(d.Graph(Pair::Wind).Value(1, 0), 5.8 * 3.6);
    EXPECT_DOUBLE_EQ(d.Graph(Pair::Pressure).Value(0, 0), 1013.2 / 33.8638866667);  // relative
    EXPECT_EQ(d.Graph(Pair::Pressure).Value(0, 10), VAL_INVALID);
    EXPECT_DOUBLE_EQ(d.Graph(Pair::Rain).Value(0, 0), 1.2 / 25.4);  // rain of the last hour
    EXPECT_DOUBLE_EQ(d.Graph(Pair::Rain).Value(0, 2), g.Rain[1] / 25.4);

    const bool tempPresent[] = {true, true, false, false, false, false, false, false, false};
    for (int s = 0; s < 9; ++s) EXPECT_EQ(temp.Present(s), tempPresent[s]) << s;
    EXPECT_TRUE(d.Graph(Pair::Wind).Present(1));
    EXPECT_TRUE(d.Graph(Pair::Rain).Present(0));
}

TEST(LiveDisplay, AxisLimitsFollowTheUnits) {
    struct Case {
        UnitSet units;
        Pair pair;
        double upper, lower;
        int decimals;
    };
    const Case cases[] = {
        {Units(1, 0, 0, 0), Pair::Temperature, 325.0, -80.0, 1},
        {Units(0, 0, 0, 0), Pair::Temperature, 162.78, -62.22, 1},
        {Units(0, 0, 0, 0), Pair::Humidity, 99, 10, 0},
        {Units(0, 0, 0, 0), Pair::Wind, 50.0, 0.0, 1},
        {Units(0, 0, 1, 0), Pair::Wind, 180.0, 0.0, 1},
        {Units(0, 0, 4, 0), Pair::Wind, 12, 0, 0},
        {Units(0, 0, 0, 0), Pair::Pressure, 1100.0, 300.0, 1},
        {Units(0, 1, 0, 0), Pair::Pressure, 32.48, 8.859, 2},
        {Units(0, 2, 0, 0), Pair::Pressure, 825.07, 225.02, 1},
        {Units(0, 0, 0, 0), Pair::Rain, 999.9, 0, 1},
        {Units(0, 0, 0, 1), Pair::Rain, 39.366, 0, 2},
    };
    FakeTexts texts;
    LiveDisplay d(texts);
    d.LayoutPanels();
    for (const Case& c : cases) {
        d.SetUnits(c.units);
        d.UpdateAxisLimits();
        const MiniGraph& g = d.Graph(c.pair);
        EXPECT_DOUBLE_EQ(g.UpperLimit(), c.upper) << int(c.pair);
        EXPECT_DOUBLE_EQ(g.LowerLimit(), c.lower) << int(c.pair);
        EXPECT_EQ(g.Decimals(), c.decimals) << int(c.pair);
    }
}

TEST(LiveDisplay, DirtyDrawTouchesOnlyWhatChanged) {
    Fixture f(true);
    EXPECT_EQ(f.Draw(true), 10);
    EXPECT_EQ(f.Draw(false), 0);  // nothing changed since

    const QImage before = f.canvas.copy();
    f.station.Current.InTemp = 75.2;  // 22.0 °C -> 24.0 °C
    f.display.UpdateTexts(f.station);
    f.display.UpdateCurrentPoints(f.station);
    EXPECT_EQ(f.Draw(false), 2);

    const LiveDisplay& d = f.display;
    const QRect changed[] = {Area(d.Panel(Pair::Temperature)), Area(d.Graph(Pair::Temperature))};
    int differInside = 0, differOutside = 0;
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x) {
            if (before.pixel(x, y) == f.canvas.pixel(x, y)) continue;
            const bool inside = changed[0].contains(x, y) || changed[1].contains(x, y);
            (inside ? differInside : differOutside)++;
        }
    EXPECT_GT(differInside, 0);
    EXPECT_EQ(differOutside, 0);
}

TEST(LiveDisplay, LegendClicksGoToTheGraphUnderTheMouse) {
    Fixture f(false);
    f.Draw(true);
    LiveDisplay& d = f.display;
    const MiniGraph& hum = d.Graph(Pair::Humidity);
    const Box out = hum.LegendBox(1);
    const int x = hum.X() + out.left + 2, y = hum.Y() + out.top + 2;
    EXPECT_TRUE(d.HitLegend(x, y));
    EXPECT_EQ(d.ToggleAt(x, y), &d.Graph(Pair::Humidity));
    EXPECT_FALSE(hum.Shown(1));
    EXPECT_TRUE(d.Graph(Pair::Temperature).Shown(1));
    EXPECT_FALSE(d.HitLegend(300, 200));
    EXPECT_EQ(d.ToggleAt(300, 200), nullptr);
}

TEST(LiveDisplay, ChineseTextsFromTheStringTable) {
    text::SetLanguage(text::Language::Chinese);
    StringTableSource texts;
    LiveDisplay d(texts);
    d.LayoutPanels();
    EXPECT_EQ(d.Panel(Pair::Temperature).Caption(), QString::fromUtf8("温度"));
    EXPECT_EQ(d.Panel(Pair::Rain).Label(7), QString::fromUtf8("总共"));
    EXPECT_EQ(d.Graph(Pair::Wind).Name(1), QString::fromUtf8("阵风"));
    text::SetLanguage(text::Language::English);
    d.ReloadTexts();
    EXPECT_EQ(d.Panel(Pair::Temperature).Caption(), "Temperature");
}

namespace {

// Why a panel's visible rows do not all lie inside it, or empty. Inside means
// below the caption line and within the border, with room for each text.
std::string RowsOutside(const ValuePanel& panel) {
    const QFontMetrics fm(panel.Font());
    const int cell = fm.height(), w = panel.Width(), h = panel.Height();
    const PanelLayout layout = panel.RowLayout();
    std::string why;
    int i = 0;
    for (int r = 0; r < panel.RowCount(); ++r) {
        if (!panel.Visible(r)) continue;
        const PanelRowPlace& place = layout.rows[i++];
        const int lw = fm.horizontalAdvance(panel.Label(r));
        const int vw = fm.horizontalAdvance(panel.Value(r));
        auto inside = [&](const Box& b) {
            return b.left >= 1 && b.right <= w - 1 && b.top >= kPanelBodyTop &&
                   b.top + cell <= h - 1;
        };
        bool fits;
        if (layout.twoLine)
            fits = inside(place.label) && inside(place.value) && place.label.Width() >= lw &&
                   place.value.Width() >= vw && place.label.Height() >= cell &&
                   place.value.Height() >= cell && place.value.top >= place.label.top + cell;
        else
            fits = inside(place.label) && place.label.Width() > lw + vw;
        if (!fits)
            why += " row " + std::to_string(r) + " \"" + panel.Label(r).toStdString() + "\" \"" +
                   panel.Value(r).toStdString() + "\"";
    }
    return why;
}

}  // namespace

// The longest text each quantity can take, in every unit and both languages,
// leaves every row of every panel inside its panel: label and value, the rain
// total of five digits included.
TEST(LiveDisplay, EveryRowFitsItsPanelForTheLongestTexts) {
    struct Extremes {
        const char* name;
        double temp, wind, baro, rainShort, rainLong;
        int32_t humi, dir;
    };
    const Extremes extremes[] = {
        {"highest readings", 164.1, 204.1, 3276.1, 6553.5, 104857.5, 121, 200},
        {"a four-digit rain total", 72.5, 12.3, 1013.2, 1.2, 1234.5, 55, 90},
        {"lowest readings", -40.0, 0.0, 0.0, 0.0, 0.0, 0, 0},
        {"sentinels", VAL_HIGH, VAL_INVALID, VAL_LOW, VAL_INVALID, VAL_INVALID, VAL_INVALID, 360},
    };
    StringTableSource texts;
    for (text::Language language : {text::Language::English, text::Language::Chinese}) {
        text::SetLanguage(language);
        for (bool rain : {true, false}) {
            StationData station;
            FillSampleStation(station, rain);
            LiveDisplay d(texts);
            d.SetPresence(station.Presence);
            d.RelayoutForRain(rain);
            d.LayoutPanels();
            for (const Extremes& e : extremes) {
                HistoryRecord& c = station.Current;
                c.InTemp = c.ChTemp[0] = e.temp;
                c.InHumi = c.ChHumi[0] = e.humi;
                c.Wind = c.Gust = e.wind;
                c.WindDir = e.dir;
                c.AbsBaro = c.RelBaro = e.baro;
                c.Rain[RAIN_HOUR] = c.Rain[RAIN_DAY] = e.rainShort;
                c.Rain[RAIN_WEEK] = c.Rain[RAIN_MONTH] = c.Rain[RAIN_TOTAL] = e.rainLong;
                for (int temp = 0; temp < 2; ++temp)
                    for (int baro = 0; baro < 3; ++baro)
                        for (int wind = 0; wind < 5; ++wind)
                            for (int rainUnit = 0; rainUnit < 2; ++rainUnit) {
                                d.SetUnits(Units(temp, baro, wind, rainUnit));
                                d.UpdateTexts(station);
                                for (int p = 0; p < (rain ? kPairCount : kPairCount - 1); ++p) {
                                    const std::string why = RowsOutside(d.Panel(Pair(p)));
                                    EXPECT_EQ(why, "")
                                        << e.name << ", panel " << p << ", units " << temp << baro
                                        << wind << rainUnit
                                        << (language == text::Language::Chinese ? ", Chinese" : "");
                                }
                            }
            }
        }
    }
    text::SetLanguage(text::Language::English);

    // And the text is drawn there: the rain total's row holds its ink.
    StationData station;
    FillSampleStation(station, true);
    station.Current.Rain[RAIN_TOTAL] = 1234.5;
    LiveDisplay d(texts);
    d.SetPresence(station.Presence);
    d.RelayoutForRain(true);
    d.LayoutPanels();
    d.UpdateTexts(station);
    QImage canvas(kDisplayWidth, kDisplayHeight, QImage::Format_RGB32);
    QPainter painter(&canvas);
    d.DrawAll(painter, true);
    const ValuePanel& rainPanel = d.Panel(Pair::Rain);
    const Box total = rainPanel.RowLayout().rows.back().value;
    ASSERT_LE(total.bottom, rainPanel.Height() - 1);
    EXPECT_GT(CountDark(rainPanel.Surface(), total.ToQRect()), 20);
}

TEST(RenderDisplay, WholeViewOfOneStationState) {
    StationData station;
    FillSampleStation(station, true);
    FakeTexts texts;
    const QImage im = RenderDisplay(station, UnitSet(), texts);
    ASSERT_EQ(im.size(), QSize(1170, 690));
    EXPECT_TRUE(Is(im, 1160, 680, colors::kBackground));
    EXPECT_TRUE(Is(im, 649, 388, colors::kBorder));
    EXPECT_TRUE(Is(im, 8 + 60, 8 + 35, colors::kBorder));  // temperature caption line

    // A name of this run's own: another user's or run's file may lie in the
    // shared temporary folder.
    const std::string path =
        ::testing::TempDir() + "display-render-" + std::to_string(getpid()) + ".png";
    ASSERT_EQ(RenderDisplayToPng(station, UnitSet(), texts, path), 1);
    EXPECT_EQ(QImage(QString::fromStdString(path)).size(), QSize(1170, 690));
    std::remove(path.c_str());
    EXPECT_EQ(RenderDisplayToPng(station, UnitSet(), texts, "/nonexistent-dir/x.png"), 0);
}

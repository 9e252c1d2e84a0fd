#include "BrowserFixture.h"
#include "ChartData.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x00C0FFEE;

class ChartDataTest : public BrowserFixture {
protected:
    // Stores records that hold `set(record, i)` for i = 0..n-1, a minute
    // apart, and loads them into a table.
    template <class Set>
    HistoryTable Table(int n, Set set) {
        std::vector<HistoryRecord> recs;
        for (int i = 0; i < n; ++i) {
            HistoryRecord r = Empty(kDev, At(2024, 6, 1) + 60 * i);
            set(r, i);
            recs.push_back(r);
        }
        EXPECT_EQ(SaveAll(db, kDev, recs), 0);
        return LoadTable(kDev);
    }
};

}  // namespace

// Every series holds exactly the rows' values below VAL_INVALID, in order,
// converted to the display unit.
TEST_F(ChartDataTest, SeriesHoldTheWalksPointsWithoutSentinels) {
    const double temps[] = {VAL_INVALID, 50.0,    59.0, 8388606,    VAL_HIGH,
                            68.0,        VAL_LOW, 86.0, VAL_ABSENT, VAL_INVALID};
    HistoryTable t = Table(10, [&](HistoryRecord& r, int i) {
        r.InTemp = temps[i];
        r.ChTemp[0] = i < 5 ? 32.0 : VAL_ABSENT;
    });
    ChartData d = ChartData::Build(t, Graph::Temperature, UnitSet{});
    const ChartSeries& in = d.series[0];
    ASSERT_EQ(in.Count(), 4);
    EXPECT_EQ(in.x.front(), t.RecTime(1));
    EXPECT_EQ(in.x.back(), t.RecTime(7));
    EXPECT_EQ(in.y, (std::vector<double>{10.0, 15.0, 20.0, 30.0}));
    ASSERT_EQ(d.series[1].Count(), 5);
    EXPECT_EQ(d.series[1].y.back(), 0.0);
    EXPECT_EQ(d.series[1].x.back(), t.RecTime(4));
    for (int i = 2; i < kChartSeries; ++i) EXPECT_EQ(d.series[i].Count(), 0) << i;
    // 0 to 30 padded by 6.
    EXPECT_TRUE(d.hasPoints);
    EXPECT_DOUBLE_EQ(d.max, 36.0);
    EXPECT_DOUBLE_EQ(d.min, -6.0);

    ChartData f = ChartData::Build(t, Graph::Temperature, MakeUnits(1, 0, 0, 0));
    EXPECT_EQ(f.series[0].y, (std::vector<double>{50.0, 59.0, 68.0, 86.0}));
}

TEST_F(ChartDataTest, RangeRules) {
    struct Case {
        const char* name;
        Graph graph;
        UnitSet units;
        std::vector<double> values;  // stored in the group's first column
        double max, min;
    };
    const std::vector<double> none = {VAL_INVALID};
    const Case cases[] = {
        {"no temperature", Graph::Temperature, MakeUnits(0, 0, 0, 0), none, 50, 20},
        {"no temperature, °F", Graph::Temperature, MakeUnits(1, 0, 0, 0), none, 50, 20},
        {"no humidity", Graph::Humidity, UnitSet{}, none, 50, 20},
        {"no pressure, hPa", Graph::Pressure, MakeUnits(0, 0, 0, 0), none, 1050, 1000},
        {"no pressure, inHg", Graph::Pressure, MakeUnits(0, 1, 0, 0), none, 31.006482224986772,
         29.529983071415973},
        {"no pressure, mmHg", Graph::Pressure, MakeUnits(0, 2, 0, 0), none, 787.5646393677762,
         750.061561302644},
        {"no wind", Graph::Wind, UnitSet{}, none, 20, 0},
        {"no rain", Graph::Rainfall, UnitSet{}, none, 20, 0},
        {"wind all zero", Graph::Wind, UnitSet{}, {0.0, 0.0, 0.0}, 10, 0},
        {"wind all zero, bft", Graph::Wind, MakeUnits(0, 0, 4, 0), {0.1, 0.2}, 10, 0},
        {"rain all zero", Graph::Rainfall, UnitSet{}, {0.0, 0.0}, 10, 0},
        {"humidity pad cut to whole", Graph::Humidity, UnitSet{}, {40, 53}, 55, 38},
        {"humidity pad under one", Graph::Humidity, UnitSet{}, {40, 44}, 44, 40},
        {"wind in km/h", Graph::Wind, MakeUnits(0, 0, 1, 0), {0.0, 10.0}, 43.2, -7.2},
        {"rain in inches", Graph::Rainfall, MakeUnits(0, 0, 0, 1), {25.4, 50.8}, 2.2, 0.8},
        {"pressure in hPa", Graph::Pressure, UnitSet{}, {1000.0, 1010.0}, 1012.0, 998.0},
        {"one value", Graph::Pressure, UnitSet{}, {1013.0, VAL_HIGH}, 1014.0, 1012.0},
    };
    const int firstColumn[] = {2, 3, 39, 36, 41};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db.DeleteDevice(kDev);
        const int m = ColumnSpec(firstColumn[static_cast<int>(c.graph)]).measurement;
        HistoryTable t = Table(static_cast<int>(c.values.size()), [&](HistoryRecord& r, int i) {
            int k = 0;
            ForEachMeasurement(r, [&](auto& v) {
                if (k++ == m) v = static_cast<std::decay_t<decltype(v)>>(c.values[i]);
            });
        });
        const ChartData d = ChartData::Build(t, c.graph, c.units);
        EXPECT_NEAR(d.max, c.max, 1e-9);
        EXPECT_NEAR(d.min, c.min, 1e-9);
        if (c.values == none) {
            EXPECT_FALSE(d.hasPoints);
            EXPECT_EQ(d.max, c.max);  // the exact numbers, not near them
            EXPECT_EQ(d.min, c.min);
        }
    }
}

TEST_F(ChartDataTest, TitlesFollowTheHeaderRule) {
    HistoryTable t(RecordTimeText, UnitSet{});
    const UnitSet u = MakeUnits(1, 1, 3, 1);
    const ChartData temp = ChartData::Build(t, Graph::Temperature, u);
    EXPECT_EQ(temp.series[0].title, "In Temp.(°F)");
    EXPECT_EQ(temp.series[8].title, "Out Temp.(°F)");
    const ChartData baro = ChartData::Build(t, Graph::Pressure, u);
    EXPECT_EQ(baro.series[0].title, "Absolute Pressure(inHg)");
    EXPECT_EQ(baro.series[1].title, "Relative Pressure(inHg)");
    EXPECT_EQ(baro.series[2].title, "");
    // Every rain kind is charted, titled like its column.
    const ChartData rain = ChartData::Build(t, Graph::Rainfall, u);
    const char* rainTitles[] = {"Rain Event(in)", "Rain Rate(in)/h", "Rain Hour(in)",
                                "Rain Day(in)",   "Rain 24Hour(in)", "Rain Week(in)",
                                "Rain Month(in)", "Rain Total(in)",  ""};
    for (int i = 0; i < kChartSeries; ++i) EXPECT_EQ(rain.series[i].title, rainTitles[i]) << i;
}

// The graph list: Temperature always, each other group when its columns
// have data (rain by its total alone).
TEST_F(ChartDataTest, GraphChoicesFollowTheDataCounters) {
    struct Case {
        const char* name;
        void (*set)(HistoryRecord&);
        std::vector<Graph> graphs;
    };
    using G = Graph;
    const Case cases[] = {
        {"nothing", [](HistoryRecord&) {}, {G::Temperature}},
        {"channel humidity",
         [](HistoryRecord& r) { r.ChHumi[0] = 50; },
         {G::Temperature, G::Humidity}},
        {"no humidity",
         [](HistoryRecord& r) {
             r.InTemp = 70;
             r.RelBaro = 1000;
             r.Gust = 3;
             r.Rain[RAIN_TOTAL] = 1;
         },
         {G::Temperature, G::Pressure, G::Wind, G::Rainfall}},
        {"rain without total", [](HistoryRecord& r) { r.Rain[RAIN_DAY] = 1; }, {G::Temperature}},
        {"humidity low",
         [](HistoryRecord& r) { r.InHumi = VAL_LOW; },
         {G::Temperature, G::Humidity}},
    };
    uint32_t dev = 1;
    for (const Case& c : cases) {
        HistoryRecord r = Empty(dev, At(2024, 1, 1));
        c.set(r);
        ASSERT_EQ(SaveAll(db, dev, {r}), 0);
        EXPECT_EQ(GraphChoices(LoadTable(dev)), c.graphs) << c.name;
        ++dev;
    }
    EXPECT_EQ(GraphStringId(Graph::Rainfall), 2023);
    EXPECT_EQ(GraphStringId(Graph::Pressure), 2000);
}

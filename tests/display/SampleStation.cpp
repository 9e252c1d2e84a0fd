#include "SampleStation.h"

#include <cmath>

namespace nimbary {

void FillSampleStation(StationData& station, bool rain) {
    HistoryRecord& c = station.Current;
    c.ResetMeasurements();
    c.InTemp = 71.6;
    c.InHumi = 45;
    c.ChTemp[0] = 57.2;
    c.ChHumi[0] = 68;
    c.AbsBaro = 1008.3;
    c.RelBaro = 1013.2;
    c.Wind = 3.4;
    c.Gust = 5.8;
    c.WindDir = 225;
    if (rain) {
        c.Rain[RAIN_EVENT] = 6.4;
        c.Rain[RAIN_RATE] = 1.2;
        c.Rain[RAIN_HOUR] = 1.2;
        c.Rain[RAIN_DAY] = 6.4;
        c.Rain[RAIN_24HOUR] = 7.0;
        c.Rain[RAIN_WEEK] = 18.0;
        c.Rain[RAIN_MONTH] = 42.6;
        c.Rain[RAIN_TOTAL] = 512.3;
    }

    PresenceBlock& p = station.Presence;
    p.TempMask = 0x01;
    p.HumiMask = 0x01;
    p.Flags = QF_IN_TEMP | QF_IN_HUMI | QF_WIND | QF_GUST | QF_WIND_DIR | QF_PRESSURE |
              (rain ? QF_RAIN : 0);

    GraphSeries& g = station.Graph;
    g.Clear();
    for (int i = 0; i < kGraphPoints; ++i) {
        const int hour = i < 24 ? i + 1 : 24 + 3 * (i - 23);
        const double day = std::sin(hour * 2 * M_PI / 24);
        g.InTemp[i] = std::round((71.0 + 1.5 * day) * 10) / 10;
        g.InHumi[i] = int(45 + 3 * day);
        g.ChTemp[0][i] = std::round((55.0 + 9 * day) * 10) / 10;
        g.ChHumi[0][i] = int(70 - 15 * day);
        g.Baro[i] = std::round((1013.0 - 0.08 * hour + 1.5 * day) * 10) / 10;
        g.Wind[i] = std::round((3.0 + 2.0 * std::fabs(day)) * 10) / 10;
        g.Gust[i] = std::round((5.0 + 3.5 * std::fabs(day)) * 10) / 10;
        if (rain) g.Rain[i] = 0.0;
    }
    g.Baro[9] = VAL_INVALID;  // one missed reading
    if (rain) {
        // A shower in the last few hours and one two days ago, mm per hour.
        const double recent[] = {1.2, 2.6, 0.8, 0.2};
        for (int i = 0; i < 4; ++i) g.Rain[i] = recent[i];
        g.Rain[32] = 0.6;
        g.Rain[33] = 3.4;
        g.Rain[34] = 1.0;
    }
}

}  // namespace nimbary

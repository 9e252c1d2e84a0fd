#pragma once

#include "CalendarTime.h"
#include "HistoryRecord.h"

namespace nimbary::bench {

// Record `i` of station 0x12345678, five minutes after record i - 1, with the
// default sensors' values.
inline HistoryRecord SampleRecord(int i) {
    HistoryRecord r;
    r.DevID = 0x12345678;
    r.RecTime = StationTimeToOleDate(760000000u + 300u * i);
    r.InTemp = 70.1;
    r.InHumi = 40;
    r.ChTemp[0] = 50.2 + i % 10;
    r.ChHumi[0] = 60;
    r.ChDewPoint[0] = 37.0;
    r.ChFeelLike[0] = 48.5;
    r.AbsBaro = 1011.2;
    r.RelBaro = 1019.7;
    r.Wind = 2.5;
    r.Gust = 4.1;
    r.WindDir = 270;
    for (int k = 2; k < 8; ++k) r.Rain[k] = 1.5 * k;
    return r;
}

}  // namespace nimbary::bench

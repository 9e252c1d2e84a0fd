#pragma once

// Canonical byte forms of the station's decoded structures, for comparing
// two decodes field by field.
#include "FuzzSupport.h"
#include "HistoryRecord.h"
#include "StationData.h"

namespace nimbary::fuzz {

inline std::string CanonOf(const StationInfo& i) {
    return (Canon() << i.Type << i.Blocks << i.DataSize << i.DevID).str();
}

inline std::string CanonOf(const MemoryStatus& s) {
    return (Canon() << s.FirstBlock << s.CurrentBlock << s.DataSize).str();
}

inline std::string CanonOf(const PresenceBlock& p) {
    return (Canon() << p.TempMask << p.HumiMask << p.Flags << p.Status1 << p.Status2).str();
}

inline std::string CanonOf(const HistoryRecord& r) {
    Canon c;
    c << r.DevID << r.RecTime;
    ForEachMeasurement(r, [&c](const auto& v) { c << v; });
    return c.str();
}

inline std::string CanonOf(const MaxMinRecord& m) {
    return (Canon() << m.InTempMax << m.InTempMin << m.InHumiMax << m.InHumiMin << m.ChTempMax
                    << m.ChTempMin << m.ChHumiMax << m.ChHumiMin << m.ChDewPointMax
                    << m.ChDewPointMin << m.ChFeelLikeMax << m.ChFeelLikeMin << m.AbsBaroMax
                    << m.AbsBaroMin << m.RelBaroMax << m.RelBaroMin << m.WindMax << m.GustMax
                    << m.RainMax)
        .str();
}

inline std::string CanonOf(const AlarmRecord& a) {
    return (Canon() << a.TimeMinute << a.TimeHour << a.InTempHigh << a.InTempLow << a.InHumiHigh
                    << a.InHumiLow << a.OutTempHigh << a.OutTempLow << a.OutHumiHigh
                    << a.OutHumiLow << a.DewPointHigh << a.DewPointLow << a.FeelsLikeHigh
                    << a.FeelsLikeLow << a.AbsBaroHigh << a.AbsBaroLow << a.RelBaroHigh
                    << a.RelBaroLow << a.WindHigh << a.GustHigh << a.RainHourHigh
                    << a.RainDayHigh)
        .str();
}

// The settings block's fields only (not the capability byte's).
inline std::string CanonOfBlock(const StationSettings& s) {
    return (Canon() << s.AlarmEnable << s.TempUnit << s.BaroUnit << s.RainUnit << s.WindUnit
                    << s.TimeDisplay << s.TimeFormat << s.DateFormat << s.GraphQuantity
                    << s.GraphSpan << s.ChannelCircle << s.PressureDisplay << s.RainDisplay
                    << s.ColorBy << s.BacklightAuto << s.TimeRadio << s.DaylightSaving
                    << s.TimeAlarmEnable << s.MaxMinMode << s.Buzzer << s.ColorInLower
                    << s.ColorInUpper << s.ColorOutLower << s.ColorOutUpper << s.UserColor
                    << s.Brightness << s.TimeZone << s.RecordInterval << s.ForecastWeather
                    << s.ForecastStorm)
        .str();
}

inline std::string CanonOf(const StationSettings& s) {
    return (Canon() << s.Capability << s.Region << s.HasTimeOptions << s.HasForecast
                    << s.GraphRefresh)
               .str() +
           CanonOfBlock(s);
}

inline std::string CanonOf(const GraphSeries& g) {
    return (Canon() << g.InTemp << g.InHumi << g.ChTemp << g.ChHumi << g.Baro << g.Wind << g.Gust
                    << g.Rain)
        .str();
}

}  // namespace nimbary::fuzz

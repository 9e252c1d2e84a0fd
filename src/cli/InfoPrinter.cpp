#include "InfoPrinter.h"

#include <cinttypes>

#include "BlockEntry.h"
#include "ClockCheck.h"
#include "HistoryNotices.h"
#include "TimeArg.h"

namespace nimbary::cli {

namespace {

class Printer {
public:
    explicit Printer(std::FILE* out) : out_(out) {}

    void Int(const std::string& name, long long v) {
        std::fprintf(out_, "%s=%lld\n", name.c_str(), v);
    }
    // Up to ten significant digits; sentinels come out as their whole numbers.
    void Real(const std::string& name, double v) {
        std::fprintf(out_, "%s=%.10g\n", name.c_str(), v);
    }
    template <class T>
    void Channels(const std::string& prefix, const char* what, const T (&values)[kChannels]) {
        for (int k = 0; k < kChannels; ++k)
            Value(prefix + "Ch" + std::to_string(k + 1) + what, values[k]);
    }
    void Value(const std::string& name, double v) { Real(name, v); }
    void Value(const std::string& name, int32_t v) { Int(name, v); }

private:
    std::FILE* out_;
};

void PrintCurrent(Printer& p, const HistoryRecord& r, const PresenceBlock& pb) {
    // Named like the Record columns, which follow DevID and RecTime.
    const std::vector<std::string>& names = RecordColumnNames();
    size_t column = 2;
    ForEachMeasurement(r, [&](auto v) { p.Value(names[column++], v); });
    p.Int("TempMask", pb.TempMask);
    p.Int("HumiMask", pb.HumiMask);
    p.Int("QuantityFlags", pb.Flags);
    p.Int("Status1", pb.Status1);
    p.Int("Status2", pb.Status2);
}

void PrintSettings(Printer& p, const StationSettings& s) {
    p.Int("Capability", s.Capability);
    p.Int("Region", s.Region);
    p.Int("HasTimeOptions", s.HasTimeOptions);
    p.Int("HasForecast", s.HasForecast);
    p.Int("GraphRefresh", s.GraphRefresh);
    for (int i = 0; i < 3; ++i) p.Int("AlarmEnable" + std::to_string(i + 1), s.AlarmEnable[i]);
    p.Int("TempUnit", s.TempUnit);
    p.Int("BaroUnit", s.BaroUnit);
    p.Int("RainUnit", s.RainUnit);
    p.Int("WindUnit", s.WindUnit);
    p.Int("TimeDisplay", s.TimeDisplay);
    p.Int("TimeFormat", s.TimeFormat);
    p.Int("DateFormat", s.DateFormat);
    p.Int("GraphQuantity", s.GraphQuantity);
    p.Int("GraphSpan", s.GraphSpan);
    p.Int("ChannelCircle", s.ChannelCircle);
    p.Int("PressureDisplay", s.PressureDisplay);
    p.Int("RainDisplay", s.RainDisplay);
    p.Int("ColorBy", s.ColorBy);
    p.Int("BacklightAuto", s.BacklightAuto);
    p.Int("TimeRadio", s.TimeRadio);
    p.Int("DaylightSaving", s.DaylightSaving);
    p.Int("TimeAlarmEnable", s.TimeAlarmEnable);
    p.Int("MaxMinMode", s.MaxMinMode);
    p.Int("Buzzer", s.Buzzer);
    p.Real("ColorInLower", s.ColorInLower);
    p.Real("ColorInUpper", s.ColorInUpper);
    p.Real("ColorOutLower", s.ColorOutLower);
    p.Real("ColorOutUpper", s.ColorOutUpper);
    p.Int("UserColor", s.UserColor);
    p.Int("Brightness", s.Brightness);
    p.Int("TimeZone", s.TimeZone);
    p.Int("RecordInterval", s.RecordInterval);
    p.Int("ForecastWeather", s.ForecastWeather);
    p.Int("ForecastStorm", s.ForecastStorm);
}

void PrintAlarms(Printer& p, const AlarmRecord& a) {
    p.Int("Alarm.TimeMinute", a.TimeMinute);
    p.Int("Alarm.TimeHour", a.TimeHour);
    p.Real("Alarm.InTempHigh", a.InTempHigh);
    p.Real("Alarm.InTempLow", a.InTempLow);
    p.Int("Alarm.InHumiHigh", a.InHumiHigh);
    p.Int("Alarm.InHumiLow", a.InHumiLow);
    p.Real("Alarm.OutTempHigh", a.OutTempHigh);
    p.Real("Alarm.OutTempLow", a.OutTempLow);
    p.Int("Alarm.OutHumiHigh", a.OutHumiHigh);
    p.Int("Alarm.OutHumiLow", a.OutHumiLow);
    p.Real("Alarm.DewPointHigh", a.DewPointHigh);
    p.Real("Alarm.DewPointLow", a.DewPointLow);
    p.Real("Alarm.FeelsLikeHigh", a.FeelsLikeHigh);
    p.Real("Alarm.FeelsLikeLow", a.FeelsLikeLow);
    p.Real("Alarm.AbsBaroHigh", a.AbsBaroHigh);
    p.Real("Alarm.AbsBaroLow", a.AbsBaroLow);
    p.Real("Alarm.RelBaroHigh", a.RelBaroHigh);
    p.Real("Alarm.RelBaroLow", a.RelBaroLow);
    p.Real("Alarm.WindHigh", a.WindHigh);
    p.Real("Alarm.GustHigh", a.GustHigh);
    p.Real("Alarm.RainHourHigh", a.RainHourHigh);
    p.Real("Alarm.RainDayHigh", a.RainDayHigh);
}

void PrintMaxMin(Printer& p, const MaxMinRecord& m) {
    p.Real("Max.InTemp", m.InTempMax);
    p.Real("Min.InTemp", m.InTempMin);
    p.Int("Max.InHumi", m.InHumiMax);
    p.Int("Min.InHumi", m.InHumiMin);
    p.Channels("Max.", "Temp", m.ChTempMax);
    p.Channels("Min.", "Temp", m.ChTempMin);
    p.Channels("Max.", "Humi", m.ChHumiMax);
    p.Channels("Min.", "Humi", m.ChHumiMin);
    p.Channels("Max.", "DewPoint", m.ChDewPointMax);
    p.Channels("Min.", "DewPoint", m.ChDewPointMin);
    p.Channels("Max.", "FeelLike", m.ChFeelLikeMax);
    p.Channels("Min.", "FeelLike", m.ChFeelLikeMin);
    p.Real("Max.AbsBaro", m.AbsBaroMax);
    p.Real("Min.AbsBaro", m.AbsBaroMin);
    p.Real("Max.RelBaro", m.RelBaroMax);
    p.Real("Min.RelBaro", m.RelBaroMin);
    p.Real("Max.Wind", m.WindMax);
    p.Real("Max.Gust", m.GustMax);
    for (int k = 0; k < kRainKinds; ++k) p.Real("Max.Rain" + std::to_string(k + 1), m.RainMax[k]);
}

}  // namespace

std::vector<std::string> PrintStationInfo(StationData& station, std::FILE* out,
                                          StationInfo* infoOut) {
    Printer p(out);
    std::vector<std::string> failed;
    auto failedOp = [&](const char* op) {
        failed.push_back(op);
        std::fprintf(out, "# %s failed\n", op);
    };

    StationInfo info;
    if (station.ReadDeviceInfo(info)) {
        p.Int("DevID", info.DevID);
        p.Int("Type", info.Type);
        p.Int("Blocks", info.Blocks);
        p.Int("DataSize", info.DataSize);
        if (infoOut) *infoOut = info;
    } else {
        failedOp("ReadDeviceInfo");
    }
    if (station.ReadSettings())
        PrintSettings(p, station.Settings);
    else
        failedOp("ReadSettings");
    // Max/min decoding follows the presence of the last current reading, so
    // the current reading comes first.
    if (station.ReadCurrent())
        PrintCurrent(p, station.Current, station.Presence);
    else
        failedOp("ReadCurrent");
    if (station.ReadAlarms())
        PrintAlarms(p, station.Alarms);
    else
        failedOp("ReadAlarms");
    if (station.ReadMaxMin())
        PrintMaxMin(p, station.MaxMin);
    else
        failedOp("ReadMaxMin");

    const UnitSet& u = station.units ? *station.units : Units();
    p.Int("Units.TempUnit", u.TempUnit);
    p.Int("Units.BaroUnit", u.BaroUnit);
    p.Int("Units.WindUnit", u.WindUnit);
    p.Int("Units.RainUnit", u.RainUnit);
    p.Int("Units.LightUnit", u.LightUnit);
    return failed;
}

void PrintClockCheck(HistorySource& station, uint32_t now, bool memory, std::FILE* out) {
    Printer p(out);
    MemoryStatus status;
    if (!station.ReadMemoryStatus(status)) {
        std::fprintf(out, "# ReadMemoryStatus failed: no clock check\n");
        return;
    }
    if (memory) {
        p.Int("History.FirstBlock", status.FirstBlock);
        p.Int("History.CurrentBlock", status.CurrentBlock);
        p.Int("History.UsedSize", status.DataSize);
    }
    // The newest record is the last of the block being written.
    std::vector<uint8_t> data;
    BlockEntry entry;
    if (status.FirstBlock == 0 || status.CurrentBlock == 0) {
        std::fprintf(out, "# no history record: no clock check\n");
        return;
    }
    if (!station.ReadMemory(1, static_cast<uint16_t>((status.CurrentBlock - 1) * kBlockEntrySize),
                            kBlockEntrySize, data) ||
        !BlockEntry::Parse(data.data(), data.size(), entry)) {
        std::fprintf(out, "# ReadMemory failed: no clock check\n");
        return;
    }
    if (entry.Count == 0 || entry.Interval == 0) {
        std::fprintf(out, "# no history record: no clock check\n");
        return;
    }
    const uint32_t newest = entry.RecordTime(entry.Count);
    std::fprintf(out, "Clock.NewestRecord=%s\n", TimeArg::Format(newest).c_str());
    p.Int("Clock.RecordInterval", entry.Interval);
    const ClockCheck check = ClockCheck::Of(newest, entry.Interval, now);
    if (check.Off()) std::fprintf(out, "# %s\n", ClockText(check).c_str());
}

bool PrintStoredHistory(HistoryDb& db, uint32_t devId, std::FILE* out) {
    Printer p(out);
    std::fprintf(out, "# Database %s\n", db.Path().c_str());
    if (db.ReadDevice(devId) != 0) return false;
    if (db.DeviceFound()) {
        const DeviceInfo& d = db.Info();
        p.Int("Device.FirstBlock", d.FirstBlock);
        p.Int("Device.CurrBlock", d.CurrBlock);
        p.Int("Device.CurrRecord", d.CurrRecord);
        std::fprintf(out, "Device.TickTime=%s\n", TimeArg::Format(d.TickTime).c_str());
        std::fprintf(out, "Device.RecTime=%s\n", TimeArg::Format(d.RecTime).c_str());
        if (db.SelectRecords(devId, 0.0, 1e9) != 0) return false;
        p.Int("Device.Records", db.SelectionCount());
        db.CloseSelection();
    } else {
        std::fprintf(out, "# the station has no row in the database\n");
    }
    std::vector<HistoryGap> gaps;
    if (db.ReadGaps(devId, gaps) != 0) return false;
    std::fprintf(out, "# Gaps\n");
    p.Int("Gaps", static_cast<long long>(gaps.size()));
    for (size_t i = 0; i < gaps.size(); ++i) {
        const std::string n = "Gap" + std::to_string(i + 1);
        std::fprintf(out, "%s.From=%s\n", n.c_str(), TimeArg::Format(gaps[i].From).c_str());
        std::fprintf(out, "%s.To=%s\n", n.c_str(), TimeArg::Format(gaps[i].To).c_str());
        p.Int(n + ".Seconds", gaps[i].Seconds());
    }
    return true;
}

}  // namespace nimbary::cli

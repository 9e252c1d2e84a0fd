#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "HistoryRecord.h"
#include "Units.h"

namespace nimbary {

class CUsb;

// QuantityFlags bits.
enum QuantityFlag : uint8_t {
    QF_IN_TEMP = 1 << 0,
    QF_IN_HUMI = 1 << 1,
    QF_WIND = 1 << 2,
    QF_GUST = 1 << 3,
    QF_WIND_DIR = 1 << 4,
    QF_PRESSURE = 1 << 5,
    QF_RAIN = 1 << 6,
};

struct PresenceBlock {
    uint8_t TempMask = 0;  // bit n = channel n+1 temperature
    uint8_t HumiMask = 0;  // bit n = channel n+1 humidity
    uint8_t Flags = 0;     // QuantityFlags
    uint8_t Status1 = 0;   // kept for change detection only
    uint8_t Status2 = 0;
    bool operator==(const PresenceBlock& o) const {
        return TempMask == o.TempMask && HumiMask == o.HumiMask && Flags == o.Flags &&
               Status1 == o.Status1 && Status2 == o.Status2;
    }
    bool operator!=(const PresenceBlock& o) const { return !(*this == o); }
};

// The decoded settings block plus the capability byte fields.
struct StationSettings {
    // Capability byte (never written back).
    uint8_t Capability = 0;
    int32_t Region = 0;           // bits 0-3; daylight saving offered only for 2
    bool HasTimeOptions = false;  // bit 5: time zone, time radio, daylight saving
    bool HasForecast = false;     // bit 6: Weather and Storm values
    bool GraphRefresh = false;    // bit 7: the station asks for all graph series again

    uint8_t AlarmEnable[3] = {0, 0, 0};  // S0..S2 as read; S2 bits 4-7 carried back unchanged
    int32_t TempUnit = 0;                // 0 °C, 1 °F
    int32_t BaroUnit = 0;                // 0 hPa, 1 inHg, 2 mmHg
    int32_t RainUnit = 0;                // 0 mm, 1 in
    int32_t WindUnit = 0;                // 0 m/s, 1 km/h, 2 mph, 3 knots, 4 bft
    int32_t TimeDisplay = 0;             // 0 time, 1 time and week day, 2 date
    int32_t TimeFormat = 0;              // 0 "24H", 1 "12H"
    int32_t DateFormat = 0;              // 1 "MM-DD", 0 "DD-MM"
    int32_t GraphQuantity = 0;           // 0..6
    int32_t GraphSpan = 0;               // 0 "72H", 1 "24H"
    int32_t ChannelCircle = 0;           // 0 off, 1 auto
    int32_t PressureDisplay = 0;         // 0 relative, 1 absolute
    int32_t RainDisplay = 0;             // 0 hour .. 4 total
    int32_t ColorBy = 0;                 // 0 user colour, 1 indoor, 2 outdoor temperature
    int32_t BacklightAuto = 0;
    int32_t TimeRadio = 0;
    int32_t DaylightSaving = 0;
    int32_t TimeAlarmEnable = 0;
    int32_t MaxMinMode = 0;  // 0 history, 1 daily
    int32_t Buzzer = 0;
    double ColorInLower = VAL_ABSENT, ColorInUpper = VAL_ABSENT;    // °F
    double ColorOutLower = VAL_ABSENT, ColorOutUpper = VAL_ABSENT;  // °F
    int32_t UserColor = 0;                                          // 0..10 (shown 1..11)
    int32_t Brightness = 0;                                         // 0..7 (shown 1..8)
    int32_t TimeZone = 0;                                           // hours, -12..12
    int32_t RecordInterval = 0;                                     // seconds
    int32_t ForecastWeather = 0;                                    // 2..4
    int32_t ForecastStorm = 0;                                      // 3..9
};

struct AlarmRecord {
    int32_t TimeMinute = 0, TimeHour = 0;
    double InTempHigh = VAL_ABSENT, InTempLow = VAL_ABSENT;
    int32_t InHumiHigh = VAL_ABSENT, InHumiLow = VAL_ABSENT;
    double OutTempHigh = VAL_ABSENT, OutTempLow = VAL_ABSENT;
    int32_t OutHumiHigh = VAL_ABSENT, OutHumiLow = VAL_ABSENT;
    double DewPointHigh = VAL_ABSENT, DewPointLow = VAL_ABSENT;
    double FeelsLikeHigh = VAL_ABSENT, FeelsLikeLow = VAL_ABSENT;
    double AbsBaroHigh = VAL_ABSENT, AbsBaroLow = VAL_ABSENT;
    double RelBaroHigh = VAL_ABSENT, RelBaroLow = VAL_ABSENT;
    double WindHigh = VAL_ABSENT, GustHigh = VAL_ABSENT;
    double RainHourHigh = VAL_ABSENT, RainDayHigh = VAL_ABSENT;
};

struct MaxMinRecord {
    double InTempMax, InTempMin;
    int32_t InHumiMax, InHumiMin;
    double ChTempMax[kChannels], ChTempMin[kChannels];
    int32_t ChHumiMax[kChannels], ChHumiMin[kChannels];
    double ChDewPointMax[kChannels], ChDewPointMin[kChannels];
    double ChFeelLikeMax[kChannels], ChFeelLikeMin[kChannels];
    double AbsBaroMax, AbsBaroMin, RelBaroMax, RelBaroMin;
    double WindMax, GustMax;
    double RainMax[kRainKinds];  // of which Hour, Day, Week and Month are filled

    MaxMinRecord() { Clear(); }
    void Clear();  // every field VAL_ABSENT
};

constexpr int kGraphPoints = 40;

// The station's 72-hour series, 40 points each in reply order.
struct GraphSeries {
    double InTemp[kGraphPoints];
    int32_t InHumi[kGraphPoints];
    double ChTemp[kChannels][kGraphPoints];
    int32_t ChHumi[kChannels][kGraphPoints];
    double Baro[kGraphPoints];
    double Wind[kGraphPoints];
    double Gust[kGraphPoints];
    double Rain[kGraphPoints];

    GraphSeries() { Clear(); }
    void Clear();  // every point VAL_ABSENT
};

// Reply of the device-information command.
struct StationInfo {
    uint8_t Type = 0;       // kept, not interpreted
    uint8_t Blocks = 0;     // N, number of history blocks
    uint16_t DataSize = 0;  // M, the data area's size; addresses wrap here
    uint32_t DevID = 0;
};

// Reply of memory area 0.
struct MemoryStatus {
    uint8_t FirstBlock = 0;  // 0: the memory holds no history
    uint8_t CurrentBlock = 0;
    uint16_t DataSize = 0;
};

}  // namespace nimbary

namespace nimbary {

// The decoded station image and the command operations that fill it. Every
// operation runs one transaction through the transport and returns 1 on
// success, 0 on failure; a failed operation leaves the image as it was
// (ReadMaxMin's VAL_ABSENT pre-fill excepted).
//
// Threads: the poll thread reads the settings and the current reading into
// the image while the GUI thread's dialogs read and replace the settings and
// read the presence block. Settings, Current and Presence are therefore
// stored whole under the image's lock by the operations, and another thread
// copies them with SettingsCopy / PresenceCopy and replaces the settings
// with KeepSettings. The thread that alone writes a field may read it as is.
class StationData {
public:
    // `units` is where ReadSettings copies the unit codes; nullptr means the
    // program-wide Units() at the time of the call.
    explicit StationData(CUsb* usb = nullptr, UnitSet* units = nullptr);

    CUsb* usb = nullptr;
    UnitSet* units = nullptr;

    HistoryRecord Current;  // DevID and RecTime unused
    PresenceBlock Presence;
    StationSettings Settings;
    AlarmRecord Alarms;
    MaxMinRecord MaxMin;
    GraphSeries Graph;

    // The program shows channel 1 only; the plug-in keeps all eight channels.
    bool KeepAllChannels = false;

    StationSettings SettingsCopy() const;
    PresenceBlock PresenceCopy() const;
    void KeepSettings(const StationSettings& s);

    int ReadDeviceInfo(StationInfo& out);
    // Areas 0 and 3 ignore address and count and hand over the reply's data
    // bytes (from reply byte 3 up to the checksum). Areas 1 and 2 hand over
    // exactly `count` bytes, 1 to 124; a shorter reply fails. `data` is left
    // as it was on failure.
    int ReadMemory(uint8_t area, uint16_t address, uint8_t count, std::vector<uint8_t>& data);
    int ReadMemoryStatus(MemoryStatus& out);
    int ReadPressureOffset(int16_t& tenthsHpa);
    // Sets the clock from a local time; milliseconds give the eighths of a second.
    int SetClock(int year, int month, int day, int hour, int minute, int second, int millis);
    int SetClockNow();  // from the local time, read once
    int ReadCurrent();
    int ReadMaxMin();
    int ReadAlarms();
    int WriteAlarms();
    int ClearRecords(uint8_t what);  // 0 history memory, 1 max/min values
    int ReadSettings();
    int WriteSettings();
    // Sends `s`, not `Settings`: a dialog's settings go out as the user chose
    // them even if a poll on another thread decodes into `Settings` meanwhile.
    int WriteSettings(const StationSettings& s);
    int ReadGraph(uint8_t type, uint8_t index);
    // Every series the presence block names, in the refresh order; stops at
    // the first failure.
    int ReadAllGraphs();

private:
    // A copy of the image gets a lock of its own.
    struct ImageMutex {
        std::mutex m;
        ImageMutex() = default;
        ImageMutex(const ImageMutex&) {}
        ImageMutex& operator=(const ImageMutex&) { return *this; }
    };
    mutable ImageMutex image_;
};

}  // namespace nimbary

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "HistoryMemory.h"
#include "SimClock.h"
#include "StationImage.h"
#include "WeatherModel.h"

// The simulated weather station: its state, its clock and recording, and
// its side of every command of the protocol, frame in, frame out.
namespace nimbary::sim {

class SimLog;

// Command codes as the station knows them.
enum StationCommand : uint8_t {
    CMD_INFO = 0x01,
    CMD_MEMORY = 0x02,
    CMD_SET_CLOCK = 0x83,
    CMD_CURRENT = 0x04,
    CMD_MAXMIN = 0x05,
    CMD_ALARMS = 0x06,
    CMD_WRITE_ALARMS = 0x86,
    CMD_CLEAR = 0x87,
    CMD_SETTINGS = 0x08,
    CMD_WRITE_SETTINGS = 0x88,
    CMD_GRAPH = 0x09,
};

// Presence bits the station reports (QuantityFlags).
enum SimQuantity : uint8_t {
    SQ_IN_TEMP = 1 << 0,
    SQ_IN_HUMI = 1 << 1,
    SQ_WIND = 1 << 2,
    SQ_GUST = 1 << 3,
    SQ_WIND_DIR = 1 << 4,
    SQ_PRESSURE = 1 << 5,
    SQ_RAIN = 1 << 6,
};

constexpr size_t kSettingsSize = 22;
constexpr size_t kAlarmSize = 33;
using SettingsBytes = std::array<uint8_t, kSettingsSize>;
using AlarmBytes = std::array<uint8_t, kAlarmSize>;

struct SimPresence {
    uint8_t tempMask = 0x01;  // bit k: channel k+1 temperature
    uint8_t humiMask = 0x01;
    uint8_t flags = 0x7F;  // SimQuantity bits
    uint8_t status1 = 0;
    uint8_t status2 = 0;
};

struct SimConfig {
    uint64_t seed = 1;
    uint32_t devId = 0;  // 0: derived from the seed
    uint8_t type = 0x01;
    MemoryLayout memory;
    uint8_t capability = 0x62;  // region 2, time options, forecast options
    SimPresence presence;
    int16_t pressureOffset = 85;  // tenths of hPa, relative = absolute + offset
    uint16_t interval = 300;      // record interval, seconds
    bool rainHeader = true;       // flag bit 7 (rain header) on every block that records rain
    double startTime = -1.0;      // station seconds; negative: the local time now
    double speed = 1.0;
    bool frozen = false;
    uint32_t historyDays = 0;         // history generated before the start time
    uint32_t rainOrigin = 0;          // gauge origin; 0: start of the first history day
    bool ignoreClockSet = false;      // acknowledge clock sets without applying them
    bool graphRefreshAlways = false;  // ask for the graph series in every settings reply
};

// One moment's readings as the station reports them, in whole tenths
// (°F, hPa, m/s, mm) or whole units; VAL_ABSENT for what is not fitted.
struct StationReading {
    int32_t inTemp, inHumi;
    int32_t chTemp[kSimChannels], chHumi[kSimChannels];
    int32_t chDewPoint[kSimChannels], chFeelLike[kSimChannels];
    int32_t absBaro, relBaro, wind, gust, windDir;
    int32_t rainHour, rainDay, rainWeek, rainMonth, rainTotal;
};

struct MaxMinValues {
    int32_t inTempMax, inTempMin, inHumiMax, inHumiMin;
    int32_t chTempMax[kSimChannels], chTempMin[kSimChannels];
    int32_t chHumiMax[kSimChannels], chHumiMin[kSimChannels];
    int32_t chDewMax[kSimChannels], chDewMin[kSimChannels];
    int32_t chFeelMax[kSimChannels], chFeelMin[kSimChannels];
    int32_t absMax, absMin, relMax, relMin, windMax, gustMax;
    int32_t rainHourMax, rainDayMax, rainWeekMax, rainMonthMax;
};

// A request that passed the envelope and per-command checks.
struct StationRequest {
    uint8_t code = 0;
    std::array<uint8_t, 64> frame{};
};

class SimStation {
public:
    // Empty when the configuration is usable, else why not.
    static std::string CheckConfig(const SimConfig& config);
    // Throws std::invalid_argument with CheckConfig's text on a bad configuration.
    explicit SimStation(const SimConfig& config);

    // The whole exchange: a request frame in, the reply frame out, or
    // nothing for a bad checksum, length or unknown command.
    std::optional<std::vector<uint8_t>> Handle(const uint8_t* frame, size_t size);
    // The two halves of Handle, for callers that interfere in between.
    static std::optional<StationRequest> Parse(const uint8_t* frame, size_t size);
    static size_t ReplyLength(const StationRequest& request);
    std::vector<uint8_t> Execute(const StationRequest& request);

    // Clock.
    uint32_t Now();
    void SetTime(double stationSeconds);
    void AdvanceClock(double seconds);  // records and samples along the way
    void FreezeClock(bool frozen);
    void SetClockSpeed(double factor);
    void SetIgnoreClockSet(bool ignore);
    void SetGraphRefreshAlways(bool always);

    // Recording into the history memory at the record interval.
    void SetRecording(bool on);
    bool Recording();
    uint16_t Interval();
    // Erases the memory and records `days` of history up to the clock's
    // present time.
    void GenerateHistory(uint32_t days);
    // Records on from the newest record for `seconds` of station time, then
    // stops recording; the clock ends there. For an image that is to grow.
    void RecordFor(uint32_t seconds);
    // The memory erased, as the clear command does; recording goes on.
    void ClearMemory();
    // Every record stored, overwritten or erased from now on goes to `log`.
    void SetLog(std::shared_ptr<SimLog> log);

    // State that the commands read and change.
    uint32_t DevId();
    uint8_t Type();
    SettingsBytes Settings();
    void SetSettings(const SettingsBytes& settings);
    AlarmBytes Alarms();
    void SetAlarms(const AlarmBytes& alarms);
    uint8_t Capability();  // without the graph refresh bit
    void SetCapability(uint8_t capability);
    int16_t PressureOffset();
    void SetPressureOffset(int16_t tenths);
    SimPresence Presence();
    void SetPresence(const SimPresence& presence);
    MaxMinValues MaxMin();
    HistoryMemory Memory();
    StationReading ReadingAt(uint32_t t);
    StationReading Current();
    // Graph series points (newest first: hours 1-24, then every 3 hours to 72)
    // at the present time, as raw values.
    std::vector<int32_t> GraphValues(uint8_t type, uint8_t index);

    StationImage Image();
    // Takes the image's identity, layout and memory; recording stops (a
    // loaded image is frozen) and presence and interval follow the newest
    // block. Empty when accepted, else why not.
    std::string LoadImage(const StationImage& image);

    static SettingsBytes DefaultSettings(uint16_t interval);
    static AlarmBytes DefaultAlarms();
    static bool ValidInterval(uint32_t seconds);

private:
    void CatchUp();
    void Sample(uint32_t t);
    void ClearLocked();
    void LogRecords(char what, const BlockEntry& e, uint32_t at);
    void ResetSampling();
    RecordFormat CurrentFormat() const;
    StationReading ReadingLocked(uint32_t t);
    void UpdateMaxMin(const StationReading& r, uint32_t t);
    void ResetMaxMin(const StationReading& r, uint32_t t);
    uint32_t GraphStep() const;
    std::vector<int32_t> GraphLocked(uint8_t type, uint8_t index, uint32_t now);

    std::vector<uint8_t> ReplyInfo();
    std::vector<uint8_t> ReplyMemory(const StationRequest& r);
    std::vector<uint8_t> ReplySetClock(const StationRequest& r);
    std::vector<uint8_t> ReplyCurrent();
    std::vector<uint8_t> ReplyMaxMin();
    std::vector<uint8_t> ReplyAlarms();
    std::vector<uint8_t> ReplyWriteAlarms(const StationRequest& r);
    std::vector<uint8_t> ReplyClear(const StationRequest& r);
    std::vector<uint8_t> ReplySettings();
    std::vector<uint8_t> ReplyWriteSettings(const StationRequest& r);
    std::vector<uint8_t> ReplyGraph(const StationRequest& r);

    std::mutex mutex_;
    SimConfig config_;
    SimClock clock_;
    WeatherModel weather_;
    HistoryMemory memory_;
    uint32_t devId_;
    SettingsBytes settings_;
    AlarmBytes alarms_;
    uint8_t capability_;
    int16_t pressureOffset_;
    SimPresence presence_;
    uint16_t interval_;
    bool recording_ = false;
    uint64_t nextSample_ = 0;  // wider than the clock, so it cannot wrap
    MaxMinValues maxMin_{};
    uint32_t maxMinDay_ = 0;
    uint32_t graphReadAt_ = 0;  // graph end time of the last series read
    std::shared_ptr<SimLog> log_;
};

}  // namespace nimbary::sim

#include "SimStation.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "Derived.h"
#include "SimChaos.h"
#include "SimWire.h"
#include "StationTime.h"
#include "Units.h"

namespace nimbary::sim {

namespace {

// More samples than this between two questions (a clock run far ahead) are
// skipped rather than replayed: it is more records than any data area holds.
constexpr uint32_t kMaxCatchUp = 40000;
constexpr int kGraphPoints = 40;

uint64_t AlignUp(uint64_t t, uint32_t step) {
    return (t + step - 1) / step * step;
}

int32_t Tenths(double v) {
    return static_cast<int32_t>(std::llround(v * 10.0));
}

bool IsValue(int32_t v) {
    return v < VAL_INVALID;
}

// Rain fields the station sends as plain counts: nothing fitted reads 0.
uint32_t RainCount(int32_t v) {
    return IsValue(v) && v > 0 ? static_cast<uint32_t>(v) : 0;
}

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::vector<uint8_t> StatusReply(uint8_t code, uint8_t status) {
    std::vector<uint8_t> f = NewFrame(4, code);
    f[2] = status;
    SealFrame(f);
    return f;
}

void MaxOf(int32_t& max, int32_t v) {
    if (IsValue(v) && (!IsValue(max) || v > max)) max = v;
}
void MinOf(int32_t& min, int32_t v) {
    if (IsValue(v) && (!IsValue(min) || v < min)) min = v;
}

}  // namespace

bool SimStation::ValidInterval(uint32_t s) {
    return s == 16 || s == 32 || s == 48 || (s % 60 == 0 && s >= 60 && s <= 240 * 60);
}

std::string SimStation::CheckConfig(const SimConfig& c) {
    std::string err = HistoryMemory::CheckLayout(c.memory);
    if (!err.empty()) return err;
    if (!ValidInterval(c.interval))
        return "the record interval must be 16, 32 or 48 seconds or 1 to 240 whole minutes, not " +
               std::to_string(c.interval) + " seconds";
    if (!(c.speed > 0.0) || !std::isfinite(c.speed)) return "the clock speed must be above 0";
    if (c.startTime > 4294967295.0) return "the start time is beyond the station's clock";
    if (c.historyDays > 3660) return "at most 3660 days of history can be generated";
    return {};
}

SettingsBytes SimStation::DefaultSettings(uint16_t interval) {
    SettingsBytes s{};
    s[3] = 0x02;   // °C, hPa (one-hot bit 1), mm
    s[4] = 0x01;   // m/s
    s[5] = 0x41;   // time only, 24H, DD-MM
    s[6] = 0x01;   // graph of the indoor temperature over 72H
    s[8] = 0x01;   // rain of the hour
    s[9] = 0x09;   // user colour, backlight auto
    s[10] = 0x01;  // buzzer on
    PutPair12(&s[11], Temp12(590), Temp12(770));
    PutPair12(&s[14], Temp12(320), Temp12(860));
    s[17] = 0x53;  // user colour 3, brightness 5
    s[18] = 0x01;  // UTC+1
    PutLe16(&s[19], interval);
    s[21] = 0x53;  // forecast weather 3, storm 5
    return s;
}

AlarmBytes SimStation::DefaultAlarms() {
    AlarmBytes a{};
    uint8_t* p = a.data() - 2;  // so that p[k] is frame byte A(k)
    p[2] = Bcd8(30);
    p[3] = Bcd8(7);
    PutPair12(&p[4], Temp12(800), Temp12(500));
    p[7] = Humi8(70);
    p[8] = Humi8(30);
    PutPair12(&p[9], Temp12(950), Temp12(320));
    p[12] = Humi8(90);
    p[13] = Humi8(20);
    PutPair12(&p[14], Temp12(700), Temp12(200));
    PutPair12(&p[17], Temp12(1000), Temp12(200));
    PutLe16(&p[20], Tenth16(10400));
    PutLe16(&p[22], Tenth16(9600));
    PutLe16(&p[24], Tenth16(10500));
    PutLe16(&p[26], Tenth16(9700));
    PutPair12(&p[28], Plain12(150), Plain12(250));
    PutLe16(&p[31], Tenth16(200));
    PutLe16(&p[33], Tenth16(500));
    return a;
}

namespace {
SimConfig Checked(const SimConfig& c) {
    std::string err = SimStation::CheckConfig(c);
    if (!err.empty()) throw std::invalid_argument(err);
    return c;
}
double StartOf(const SimConfig& c) {
    return c.startTime < 0 ? LocalNowStationSeconds() : c.startTime;
}
uint32_t OriginOf(const SimConfig& c) {
    if (c.rainOrigin != 0) return c.rainOrigin;
    const double first = StartOf(c) - c.historyDays * 86400.0;
    return first > 0 ? DayStart(static_cast<uint32_t>(first)) : 0;
}
}  // namespace

SimStation::SimStation(const SimConfig& config)
    : config_(Checked(config)),
      clock_(StartOf(config_)),
      weather_(config_.seed, OriginOf(config_)),
      memory_(config_.memory),
      devId_(config_.devId != 0 ? config_.devId
                                : static_cast<uint32_t>(Mix(config_.seed) & 0xFFFFFFFF) | 1u),
      settings_(DefaultSettings(config_.interval)),
      alarms_(DefaultAlarms()),
      capability_(config_.capability),
      pressureOffset_(config_.pressureOffset),
      presence_(config_.presence),
      interval_(config_.interval) {
    presence_.flags &= 0x7F;
    memory_.Erase();
    clock_.Freeze(true);
    if (config_.historyDays > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        const double now = clock_.Now();
        const double start = std::max(0.0, now - config_.historyDays * 86400.0);
        clock_.Set(start);
        recording_ = true;
        ResetSampling();
        ResetMaxMin(ReadingLocked(clock_.Seconds()), clock_.Seconds());
        clock_.Set(now);
        CatchUp();
    } else {
        recording_ = true;
        ResetSampling();
        ResetMaxMin(ReadingLocked(clock_.Seconds()), clock_.Seconds());
    }
    clock_.SetSpeed(config_.speed);
    clock_.Freeze(config_.frozen);
}

// ---------------------------------------------------------------- clock

void SimStation::ResetSampling() {
    const uint32_t now = clock_.Seconds();
    nextSample_ = AlignUp(now, interval_);
    uint32_t last = 0;
    if (memory_.LastRecordTime(last) && nextSample_ == last) nextSample_ += interval_;
}

void SimStation::CatchUp() {
    const uint32_t now = clock_.Seconds();
    if (now > nextSample_ && (now - nextSample_) / interval_ > kMaxCatchUp)
        nextSample_ = AlignUp(now - static_cast<uint64_t>(kMaxCatchUp) * interval_, interval_);
    while (nextSample_ <= now) {
        Sample(static_cast<uint32_t>(nextSample_));
        nextSample_ += interval_;
    }
}

void SimStation::Sample(uint32_t t) {
    const StationReading r = ReadingLocked(t);
    UpdateMaxMin(r, t);
    if (!recording_) return;
    const RecordFormat fmt = CurrentFormat();
    RecordValues v;
    v.inTemp = r.inTemp;
    v.inHumi = r.inHumi;
    for (int k = 0; k < kSimChannels; ++k) {
        v.chTemp[k] = r.chTemp[k];
        v.chHumi[k] = r.chHumi[k];
    }
    v.wind = r.wind;
    v.gust = r.gust;
    v.windDir = r.windDir;
    v.absBaro = r.absBaro;
    v.rainTotal = RainCount(r.rainTotal);
    std::vector<uint8_t> header;
    if (fmt.flags & RF_RAIN_HEADER)
        header = EncodeRainHeader(RainCount(r.rainHour), RainCount(r.rainDay),
                                  RainCount(r.rainWeek), RainCount(r.rainMonth));
    std::vector<BlockEntry> dropped;
    const bool stored = memory_.Append(fmt, t, EncodeRecord(fmt, v), header, log_ ? &dropped : nullptr);
    if (!log_) return;
    for (const BlockEntry& e : dropped) LogRecords('D', e, t);
    if (stored)
        log_->Line("R " + std::to_string(t) + " " + std::to_string(v.inTemp) + " " +
                   std::to_string(v.inHumi) + " " + std::to_string(v.chTemp[0]) + " " +
                   std::to_string(v.chHumi[0]) + " " + std::to_string(v.wind) + " " +
                   std::to_string(v.gust) + " " + std::to_string(v.windDir) + " " +
                   std::to_string(v.absBaro) + " " + std::to_string(v.rainTotal) + " " +
                   (memory_.Entry(memory_.CurrentBlock()).count == 1 ? "1" : "0"));
}

void SimStation::LogRecords(char what, const BlockEntry& e, uint32_t at) {
    for (uint32_t i = 0; i < e.count; ++i)
        log_->Line(std::string(1, what) + " " + std::to_string(e.time + i * e.interval) + " " +
                   std::to_string(at));
}

void SimStation::ClearLocked() {
    if (log_ && !memory_.Empty()) {
        const uint32_t now = clock_.Seconds();  // the clock runs on while the lines go out
        for (uint8_t b = memory_.FirstBlock();; b = memory_.NextBlock(b)) {
            LogRecords('C', memory_.Entry(b), now);
            if (b == memory_.CurrentBlock()) break;
        }
    }
    memory_.Erase();
}

void SimStation::ClearMemory() {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    ClearLocked();
}

void SimStation::SetLog(std::shared_ptr<SimLog> log) {
    // No catching up first: a record that fell due before is logged too.
    std::lock_guard<std::mutex> lock(mutex_);
    log_ = std::move(log);
}

void SimStation::RecordFor(uint32_t seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool frozen = clock_.Frozen();
    clock_.Freeze(true);
    uint32_t last = 0;
    if (memory_.LastRecordTime(last)) clock_.Set(last);
    recording_ = true;
    ResetSampling();
    clock_.Advance(seconds);
    CatchUp();
    recording_ = false;
    clock_.Freeze(frozen);
}

RecordFormat SimStation::CurrentFormat() const {
    RecordFormat fmt;
    fmt.tempMask = presence_.tempMask;
    fmt.humiMask = presence_.humiMask;
    fmt.flags = presence_.flags & 0x7F;
    if ((fmt.flags & RF_RAIN) && config_.rainHeader) fmt.flags |= RF_RAIN_HEADER;
    fmt.interval = interval_;
    return fmt;
}

uint32_t SimStation::Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    return clock_.Seconds();
}

void SimStation::SetTime(double stationSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_.Set(stationSeconds);
    ResetSampling();
}

void SimStation::AdvanceClock(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_.Advance(seconds);
    CatchUp();
}

void SimStation::FreezeClock(bool frozen) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    clock_.Freeze(frozen);
}

void SimStation::SetClockSpeed(double factor) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    clock_.SetSpeed(factor);
}

void SimStation::SetIgnoreClockSet(bool ignore) {
    std::lock_guard<std::mutex> lock(mutex_);
    config_.ignoreClockSet = ignore;
}

void SimStation::SetGraphRefreshAlways(bool always) {
    std::lock_guard<std::mutex> lock(mutex_);
    config_.graphRefreshAlways = always;
}

void SimStation::SetRecording(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    if (on && !recording_) ResetSampling();
    recording_ = on;
}

bool SimStation::Recording() {
    std::lock_guard<std::mutex> lock(mutex_);
    return recording_;
}

uint16_t SimStation::Interval() {
    std::lock_guard<std::mutex> lock(mutex_);
    return interval_;
}

void SimStation::GenerateHistory(uint32_t days) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool frozen = clock_.Frozen();
    clock_.Freeze(true);
    const double now = clock_.Now();
    const double start = std::max(0.0, now - days * 86400.0);
    memory_.Erase();
    clock_.Set(start);
    recording_ = true;
    ResetSampling();
    ResetMaxMin(ReadingLocked(clock_.Seconds()), clock_.Seconds());
    clock_.Set(now);
    CatchUp();
    clock_.Freeze(frozen);
}

// ---------------------------------------------------------------- readings

StationReading SimStation::ReadingLocked(uint32_t t) {
    const WeatherSample s = weather_.At(t);
    const uint8_t f = presence_.flags;
    StationReading r;
    r.inTemp = (f & SQ_IN_TEMP) ? s.inTemp : VAL_ABSENT;
    r.inHumi = (f & SQ_IN_HUMI) ? s.inHumi : VAL_ABSENT;
    r.wind = (f & SQ_WIND) ? s.wind : VAL_ABSENT;
    r.gust = (f & SQ_GUST) ? s.gust : VAL_ABSENT;
    r.windDir = (f & SQ_WIND_DIR) ? s.windDir : VAL_ABSENT;
    r.absBaro = (f & SQ_PRESSURE) ? s.absBaro : VAL_ABSENT;
    r.relBaro = (f & SQ_PRESSURE) ? s.absBaro + pressureOffset_ : VAL_ABSENT;
    const double windMs = IsValue(r.wind) ? r.wind / 10.0 : static_cast<double>(VAL_ABSENT);
    for (int k = 0; k < kSimChannels; ++k) {
        const bool hasT = presence_.tempMask & (1 << k);
        const bool hasH = presence_.humiMask & (1 << k);
        r.chTemp[k] = hasT ? s.chTemp[k] : VAL_ABSENT;
        r.chHumi[k] = hasH ? s.chHumi[k] : VAL_ABSENT;
        r.chDewPoint[k] = VAL_ABSENT;
        r.chFeelLike[k] = VAL_ABSENT;
        if (!hasT) continue;
        const double tf = r.chTemp[k] / 10.0;
        if (hasH) {
            r.chDewPoint[k] = Tenths(CalcDewPoint(tf, r.chHumi[k]));
            r.chFeelLike[k] = Tenths(CalcFeelsLike(tf, windMs, r.chHumi[k]));
        } else {
            r.chFeelLike[k] = Tenths(CalcWindChill(tf, windMs));
        }
    }
    if (f & SQ_RAIN) {
        const uint32_t total = s.rainTotal;
        r.rainTotal = static_cast<int32_t>(total);
        r.rainHour = static_cast<int32_t>(total - weather_.RainTotal(HourStart(t)));
        r.rainDay = static_cast<int32_t>(total - weather_.RainTotal(DayStart(t)));
        r.rainWeek = static_cast<int32_t>(total - weather_.RainTotal(WeekStart(t)));
        r.rainMonth = static_cast<int32_t>(total - weather_.RainTotal(MonthStart(t)));
    } else {
        r.rainTotal = r.rainHour = r.rainDay = r.rainWeek = r.rainMonth = VAL_ABSENT;
    }
    return r;
}

StationReading SimStation::ReadingAt(uint32_t t) {
    std::lock_guard<std::mutex> lock(mutex_);
    return ReadingLocked(t);
}

StationReading SimStation::Current() {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    return ReadingLocked(clock_.Seconds());
}

void SimStation::ResetMaxMin(const StationReading& r, uint32_t t) {
    MaxMinValues& m = maxMin_;
    m.inTempMax = m.inTempMin = r.inTemp;
    m.inHumiMax = m.inHumiMin = r.inHumi;
    for (int k = 0; k < kSimChannels; ++k) {
        m.chTempMax[k] = m.chTempMin[k] = r.chTemp[k];
        m.chHumiMax[k] = m.chHumiMin[k] = r.chHumi[k];
        m.chDewMax[k] = m.chDewMin[k] = r.chDewPoint[k];
        m.chFeelMax[k] = m.chFeelMin[k] = r.chFeelLike[k];
    }
    m.absMax = m.absMin = r.absBaro;
    m.relMax = m.relMin = r.relBaro;
    m.windMax = r.wind;
    m.gustMax = r.gust;
    m.rainHourMax = r.rainHour;
    m.rainDayMax = r.rainDay;
    m.rainWeekMax = r.rainWeek;
    m.rainMonthMax = r.rainMonth;
    maxMinDay_ = DayStart(t);
}

void SimStation::UpdateMaxMin(const StationReading& r, uint32_t t) {
    // Daily mode (settings byte 9 bit 7) starts afresh at midnight.
    if ((settings_[9] & 0x80) && DayStart(t) != maxMinDay_) {
        ResetMaxMin(r, t);
        return;
    }
    MaxMinValues& m = maxMin_;
    MaxOf(m.inTempMax, r.inTemp);
    MinOf(m.inTempMin, r.inTemp);
    MaxOf(m.inHumiMax, r.inHumi);
    MinOf(m.inHumiMin, r.inHumi);
    for (int k = 0; k < kSimChannels; ++k) {
        MaxOf(m.chTempMax[k], r.chTemp[k]);
        MinOf(m.chTempMin[k], r.chTemp[k]);
        MaxOf(m.chHumiMax[k], r.chHumi[k]);
        MinOf(m.chHumiMin[k], r.chHumi[k]);
        MaxOf(m.chDewMax[k], r.chDewPoint[k]);
        MinOf(m.chDewMin[k], r.chDewPoint[k]);
        MaxOf(m.chFeelMax[k], r.chFeelLike[k]);
        MinOf(m.chFeelMin[k], r.chFeelLike[k]);
    }
    MaxOf(m.absMax, r.absBaro);
    MinOf(m.absMin, r.absBaro);
    MaxOf(m.relMax, r.relBaro);
    MinOf(m.relMin, r.relBaro);
    MaxOf(m.windMax, r.wind);
    MaxOf(m.gustMax, r.gust);
    MaxOf(m.rainHourMax, r.rainHour);
    MaxOf(m.rainDayMax, r.rainDay);
    MaxOf(m.rainWeekMax, r.rainWeek);
    MaxOf(m.rainMonthMax, r.rainMonth);
}

MaxMinValues SimStation::MaxMin() {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    return maxMin_;
}

// A new graph point every hour. The 24H/72H span setting changes only the
// station's own screen; the series the station hands out always reach back
// 72 hours.
uint32_t SimStation::GraphStep() const {
    return 3600;
}

std::vector<int32_t> SimStation::GraphLocked(uint8_t type, uint8_t index, uint32_t now) {
    const uint32_t step = GraphStep();
    const uint32_t end = now - now % step;
    std::vector<int32_t> out(kGraphPoints, VAL_ABSENT);
    // Newest first: points 1-24 are the last 24 hours hour by hour, then
    // every third hour back to 72 hours.
    for (int k = 0; k < kGraphPoints; ++k) {
        const int i = k + 1;
        const uint32_t hoursBack = static_cast<uint32_t>(i <= 24 ? i : 24 + 3 * (i - 24));
        const uint32_t back = (hoursBack - 1) * step;
        if (end < back) continue;
        const uint32_t t = end - back;
        const StationReading r = ReadingLocked(t);
        int32_t v = VAL_ABSENT;
        switch (type) {
            case 1:
                v = r.inTemp;
                break;
            case 2:
                v = r.inHumi;
                break;
            case 3:
                v = r.chTemp[index & 7];
                break;
            case 4:
                v = r.chHumi[index & 7];
                break;
            case 5:
                v = (settings_[7] & 0x80) ? r.absBaro : r.relBaro;
                break;
            case 6:
                v = index == 0 ? r.wind : r.gust;
                break;
            case 8:
                if (IsValue(r.rainTotal) && t >= step)
                    v = static_cast<int32_t>(static_cast<uint32_t>(r.rainTotal) -
                                             weather_.RainTotal(t - step));
                break;
            default:
                break;
        }
        out[static_cast<size_t>(k)] = v;
    }
    return out;
}

std::vector<int32_t> SimStation::GraphValues(uint8_t type, uint8_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    return GraphLocked(type, index, clock_.Seconds());
}

// ---------------------------------------------------------------- state

uint32_t SimStation::DevId() {
    std::lock_guard<std::mutex> lock(mutex_);
    return devId_;
}
uint8_t SimStation::Type() {
    std::lock_guard<std::mutex> lock(mutex_);
    return config_.type;
}
SettingsBytes SimStation::Settings() {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}
void SimStation::SetSettings(const SettingsBytes& s) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    settings_ = s;
    const uint16_t iv = GetLe16(&settings_[19]);
    // An interval the station cannot record at is kept as written but not used.
    if (ValidInterval(iv) && iv != interval_) {
        interval_ = iv;
        ResetSampling();
    }
}
AlarmBytes SimStation::Alarms() {
    std::lock_guard<std::mutex> lock(mutex_);
    return alarms_;
}
void SimStation::SetAlarms(const AlarmBytes& a) {
    std::lock_guard<std::mutex> lock(mutex_);
    alarms_ = a;
}
uint8_t SimStation::Capability() {
    std::lock_guard<std::mutex> lock(mutex_);
    return capability_;
}
void SimStation::SetCapability(uint8_t c) {
    std::lock_guard<std::mutex> lock(mutex_);
    capability_ = c & 0x7F;
}
int16_t SimStation::PressureOffset() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pressureOffset_;
}
void SimStation::SetPressureOffset(int16_t tenths) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    pressureOffset_ = tenths;
}
SimPresence SimStation::Presence() {
    std::lock_guard<std::mutex> lock(mutex_);
    return presence_;
}
void SimStation::SetPresence(const SimPresence& p) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    presence_ = p;
    presence_.flags &= 0x7F;
}
HistoryMemory SimStation::Memory() {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    return memory_;
}

StationImage SimStation::Image() {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    StationImage img;
    img.table = memory_.Table();
    img.data = memory_.DumpData();
    img.devId = devId_;
    img.type = config_.type;
    img.blocks = memory_.Layout().blocks;
    img.dataSize = memory_.Layout().dataSize;
    img.firstBlock = memory_.FirstBlock();
    img.currentBlock = memory_.CurrentBlock();
    img.usedSize = memory_.UsedSize();
    img.pressureOffset = pressureOffset_;
    return img;
}

std::string SimStation::LoadImage(const StationImage& img) {
    std::lock_guard<std::mutex> lock(mutex_);
    MemoryLayout layout = config_.memory;
    layout.blocks = img.blocks;
    layout.dataSize = img.dataSize;
    std::string err = HistoryMemory::CheckLayout(layout);
    if (!err.empty()) return err;
    HistoryMemory mem(layout);
    err = mem.Restore(img.table, img.data, img.firstBlock, img.currentBlock, img.usedSize);
    if (!err.empty()) return err;

    CatchUp();
    memory_ = std::move(mem);
    config_.memory = layout;
    devId_ = img.devId;
    config_.type = img.type;
    pressureOffset_ = img.pressureOffset;
    recording_ = false;
    if (!memory_.Empty()) {
        // Live answers follow the sensors and interval of the newest block.
        const BlockEntry e = memory_.Entry(memory_.CurrentBlock());
        presence_.tempMask = e.tempMask;
        presence_.humiMask = e.humiMask;
        presence_.flags = e.flags & 0x7F;
        if (ValidInterval(e.interval)) {
            interval_ = e.interval;
            PutLe16(&settings_[19], interval_);
        }
    }
    ResetSampling();
    return {};
}

// ---------------------------------------------------------------- protocol

std::optional<StationRequest> SimStation::Parse(const uint8_t* frame, size_t size) {
    if (size < 3) return std::nullopt;
    const size_t len = frame[0];
    if (len < 3 || len > 64 || len > size) return std::nullopt;
    if (Checksum(frame, len - 1) != frame[len - 1]) return std::nullopt;
    StationRequest r;
    r.code = frame[1];
    std::copy(frame, frame + len, r.frame.begin());
    size_t want = 0;
    switch (r.code) {
        case CMD_INFO:
        case CMD_CURRENT:
        case CMD_MAXMIN:
        case CMD_ALARMS:
        case CMD_SETTINGS:
            want = 3;
            break;
        case CMD_MEMORY: {
            const uint8_t area = frame[2];
            if (area == 0 || area == 3) {
                want = 4;
            } else if (area == 1 || area == 2) {
                want = 7;
                if (len == 7 && frame[5] > 124) return std::nullopt;
            } else {
                return std::nullopt;
            }
            break;
        }
        case CMD_SET_CLOCK:
            want = 10;
            break;
        case CMD_WRITE_ALARMS:
            want = 3 + kAlarmSize;
            break;
        case CMD_CLEAR:
            want = 4;
            break;
        case CMD_WRITE_SETTINGS:
            want = 3 + kSettingsSize;
            break;
        case CMD_GRAPH: {
            want = 5;
            const uint8_t type = frame[2], index = len >= 5 ? frame[3] : 0xFF;
            const bool ok = ((type == 1 || type == 2 || type == 5 || type == 8) && index == 0) ||
                            ((type == 3 || type == 4) && index < 8) || (type == 6 && index < 2);
            if (!ok) return std::nullopt;
            break;
        }
        default:
            return std::nullopt;
    }
    if (len != want) return std::nullopt;
    return r;
}

size_t SimStation::ReplyLength(const StationRequest& r) {
    switch (r.code) {
        case CMD_INFO:
            return 11;
        case CMD_MEMORY: {
            const uint8_t area = r.frame[2];
            if (area == 0) return 8;
            if (area == 3) return 6;
            return 4u + r.frame[5];
        }
        case CMD_CURRENT:
            return 76;
        case CMD_MAXMIN:
            return 116;
        case CMD_ALARMS:
            return 3 + kAlarmSize;
        case CMD_SETTINGS:
            return 5 + kSettingsSize;
        case CMD_GRAPH: {
            const uint8_t type = r.frame[2];
            if (type == 2 || type == 4) return 5 + kGraphPoints;
            if (type == 5 || type == 8) return 5 + 2 * kGraphPoints;
            return 5 + 3 * kGraphPoints / 2;
        }
        default:
            return 4;  // status replies
    }
}

std::optional<std::vector<uint8_t>> SimStation::Handle(const uint8_t* frame, size_t size) {
    const std::optional<StationRequest> r = Parse(frame, size);
    if (!r) return std::nullopt;
    return Execute(*r);
}

std::vector<uint8_t> SimStation::Execute(const StationRequest& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp();
    switch (r.code) {
        case CMD_INFO:
            return ReplyInfo();
        case CMD_MEMORY:
            return ReplyMemory(r);
        case CMD_SET_CLOCK:
            return ReplySetClock(r);
        case CMD_CURRENT:
            return ReplyCurrent();
        case CMD_MAXMIN:
            return ReplyMaxMin();
        case CMD_ALARMS:
            return ReplyAlarms();
        case CMD_WRITE_ALARMS:
            return ReplyWriteAlarms(r);
        case CMD_CLEAR:
            return ReplyClear(r);
        case CMD_SETTINGS:
            return ReplySettings();
        case CMD_WRITE_SETTINGS:
            return ReplyWriteSettings(r);
        case CMD_GRAPH:
            return ReplyGraph(r);
        default:
            return StatusReply(r.code, 1);
    }
}

std::vector<uint8_t> SimStation::ReplyInfo() {
    std::vector<uint8_t> f = NewFrame(11, CMD_INFO);
    f[2] = config_.type;
    f[3] = memory_.Layout().blocks;
    PutLe16(&f[4], memory_.Layout().dataSize);
    PutLe32(&f[6], devId_);
    SealFrame(f);
    return f;
}

std::vector<uint8_t> SimStation::ReplyMemory(const StationRequest& r) {
    const uint8_t area = r.frame[2];
    std::vector<uint8_t> f;
    if (area == 0) {
        f = NewFrame(8, CMD_MEMORY);
        f[3] = memory_.FirstBlock();
        f[4] = memory_.CurrentBlock();
        PutLe16(&f[5], memory_.UsedSize());
    } else if (area == 3) {
        f = NewFrame(6, CMD_MEMORY);
        PutLe16(&f[3], static_cast<uint16_t>(pressureOffset_));
    } else {
        const uint16_t address = GetLe16(&r.frame[3]);
        const uint8_t count = r.frame[5];
        f = NewFrame(4u + count, CMD_MEMORY);
        if (area == 1)
            memory_.ReadTable(address, count, &f[3]);
        else
            memory_.ReadData(address, count, &f[3]);
    }
    f[2] = area;
    SealFrame(f);
    return f;
}

std::vector<uint8_t> SimStation::ReplySetClock(const StationRequest& r) {
    const uint8_t* p = r.frame.data();
    uint32_t t = 0;
    if (p[2] > 7 || !FromCalendar(2000 + p[8], p[7], p[6], p[5], p[4], p[3], t))
        return StatusReply(CMD_SET_CLOCK, 1);
    if (!config_.ignoreClockSet) {
        clock_.Set(t + p[2] / 8.0);
        ResetSampling();
    }
    return StatusReply(CMD_SET_CLOCK, 0);
}

std::vector<uint8_t> SimStation::ReplyCurrent() {
    const uint32_t now = clock_.Seconds();
    const StationReading r = ReadingLocked(now);
    UpdateMaxMin(r, now);
    std::vector<uint8_t> f = NewFrame(76, CMD_CURRENT);
    f[2] = presence_.tempMask;
    f[3] = presence_.humiMask;
    f[4] = presence_.flags;
    f[5] = presence_.status1;
    f[6] = presence_.status2;
    PutLow12(&f[7], Temp12(r.inTemp));
    f[9] = Humi8(r.inHumi);
    for (int j = 0; j < 4; ++j) {
        PutPair12(&f[10 + 3 * j], Temp12(r.chTemp[2 * j]), Temp12(r.chTemp[2 * j + 1]));
        PutPair12(&f[30 + 3 * j], Temp12(r.chDewPoint[2 * j]), Temp12(r.chDewPoint[2 * j + 1]));
        PutPair12(&f[42 + 3 * j], Temp12(r.chFeelLike[2 * j]), Temp12(r.chFeelLike[2 * j + 1]));
    }
    for (int k = 0; k < kSimChannels; ++k) f[22 + k] = Humi8(r.chHumi[k]);
    PutLe16(&f[54], Tenth16(r.absBaro));
    PutLe16(&f[56], Tenth16(r.relBaro));
    PutPair12(&f[58], Plain12(r.wind), Plain12(r.gust));
    PutLow12(&f[61], Dir12(r.windDir));
    PutLe16(&f[63], static_cast<uint16_t>(std::min<uint32_t>(RainCount(r.rainHour), 0xFFFF)));
    PutLe16(&f[65], static_cast<uint16_t>(std::min<uint32_t>(RainCount(r.rainDay), 0xFFFF)));
    PutTenth20Low(&f[67], Tenth20(RainCount(r.rainWeek)));
    PutTenth20High(&f[69], Tenth20(RainCount(r.rainMonth)));
    PutTenth20Low(&f[72], Tenth20(RainCount(r.rainTotal)));
    SealFrame(f);
    return f;
}

std::vector<uint8_t> SimStation::ReplyMaxMin() {
    const uint32_t now = clock_.Seconds();
    UpdateMaxMin(ReadingLocked(now), now);
    const MaxMinValues& m = maxMin_;
    std::vector<uint8_t> f = NewFrame(116, CMD_MAXMIN);
    PutPair12(&f[2], Temp12(m.inTempMax), Temp12(m.inTempMin));
    f[5] = Humi8(m.inHumiMax);
    f[6] = Humi8(m.inHumiMin);
    for (int k = 0; k < kSimChannels; ++k) {
        PutPair12(&f[7 + 3 * k], Temp12(m.chTempMax[k]), Temp12(m.chTempMin[k]));
        f[31 + 2 * k] = Humi8(m.chHumiMax[k]);
        f[32 + 2 * k] = Humi8(m.chHumiMin[k]);
        PutPair12(&f[47 + 3 * k], Temp12(m.chDewMax[k]), Temp12(m.chDewMin[k]));
        PutPair12(&f[71 + 3 * k], Temp12(m.chFeelMax[k]), Temp12(m.chFeelMin[k]));
    }
    PutLe16(&f[95], Tenth16(m.absMax));
    PutLe16(&f[97], Tenth16(m.absMin));
    PutLe16(&f[99], Tenth16(m.relMax));
    PutLe16(&f[101], Tenth16(m.relMin));
    PutPair12(&f[103], Plain12(m.windMax), Plain12(m.gustMax));
    PutLe16(&f[106], static_cast<uint16_t>(std::min<uint32_t>(RainCount(m.rainHourMax), 0xFFFF)));
    PutLe16(&f[108], static_cast<uint16_t>(std::min<uint32_t>(RainCount(m.rainDayMax), 0xFFFF)));
    PutTenth20Low(&f[110], Tenth20(RainCount(m.rainWeekMax)));
    PutTenth20High(&f[112], Tenth20(RainCount(m.rainMonthMax)));
    SealFrame(f);
    return f;
}

std::vector<uint8_t> SimStation::ReplyAlarms() {
    std::vector<uint8_t> f = NewFrame(3 + kAlarmSize, CMD_ALARMS);
    std::copy(alarms_.begin(), alarms_.end(), f.begin() + 2);
    SealFrame(f);
    return f;
}

std::vector<uint8_t> SimStation::ReplyWriteAlarms(const StationRequest& r) {
    std::copy(r.frame.begin() + 2, r.frame.begin() + 2 + kAlarmSize, alarms_.begin());
    return StatusReply(CMD_WRITE_ALARMS, 0);
}

std::vector<uint8_t> SimStation::ReplyClear(const StationRequest& r) {
    const uint32_t now = clock_.Seconds();
    switch (r.frame[2]) {
        case 0:
            // Recording goes on at its cadence; the next record opens block 1.
            ClearLocked();
            return StatusReply(CMD_CLEAR, 0);
        case 1:
            ResetMaxMin(ReadingLocked(now), now);
            return StatusReply(CMD_CLEAR, 0);
        default:
            return StatusReply(CMD_CLEAR, 1);
    }
}

std::vector<uint8_t> SimStation::ReplySettings() {
    std::vector<uint8_t> f = NewFrame(5 + kSettingsSize, CMD_SETTINGS);
    const uint32_t now = clock_.Seconds();
    const uint32_t graphEnd = now - now % GraphStep();
    // Bit 7 asks for the graphs while a new point has not been read yet.
    const bool ask = graphEnd != graphReadAt_ || config_.graphRefreshAlways;
    f[2] = static_cast<uint8_t>((capability_ & 0x7F) | (ask ? 0x80 : 0));
    f[3] = 0;
    std::copy(settings_.begin(), settings_.end(), f.begin() + 4);
    SealFrame(f);
    return f;
}

std::vector<uint8_t> SimStation::ReplyWriteSettings(const StationRequest& r) {
    std::copy(r.frame.begin() + 2, r.frame.begin() + 2 + kSettingsSize, settings_.begin());
    const uint16_t iv = GetLe16(&settings_[19]);
    if (ValidInterval(iv) && iv != interval_) {
        interval_ = iv;
        ResetSampling();
    }
    return StatusReply(CMD_WRITE_SETTINGS, 0);
}

std::vector<uint8_t> SimStation::ReplyGraph(const StationRequest& r) {
    const uint8_t type = r.frame[2], index = r.frame[3];
    const uint32_t now = clock_.Seconds();
    graphReadAt_ = now - now % GraphStep();
    const std::vector<int32_t> v = GraphLocked(type, index, now);
    std::vector<uint8_t> f = NewFrame(ReplyLength(r), CMD_GRAPH);
    f[2] = type;
    f[3] = index;
    uint8_t* d = &f[4];
    for (int k = 0; k < kGraphPoints; ++k) {
        const int32_t x = v[static_cast<size_t>(k)];
        switch (type) {
            case 1:
            case 3:
                if (k % 2 == 0) PutPair12(d + 3 * (k / 2), Temp12(x), Temp12(v[k + 1]));
                break;
            case 6:
                if (k % 2 == 0) PutPair12(d + 3 * (k / 2), Plain12(x), Plain12(v[k + 1]));
                break;
            case 2:
            case 4:
                d[k] = Humi8(x);
                break;
            case 5:
                PutLe16(d + 2 * k, Tenth16(x));
                break;
            case 8:
                PutLe16(d + 2 * k, IsValue(x) ? Tenth16(x) : 0);
                break;
            default:
                break;
        }
    }
    SealFrame(f);
    return f;
}

}  // namespace nimbary::sim

#include "Protocol.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "Encoding.h"

namespace nimbary {

namespace {

// Shortest replies that hold every field their decoder reads (the last field
// byte, then the checksum).
constexpr size_t kInfoLength = 11;
constexpr size_t kMemoryStatusLength = 8;
constexpr size_t kPressureOffsetLength = 6;
constexpr size_t kMemoryHeader = 3;  // length, code, area
constexpr size_t kCurrentLength = 76;
constexpr size_t kMaxMinLength = 116;
constexpr size_t kSettingsLength = 4 + kSettingsBlockSize + 1;
constexpr size_t kStatusLength = 4;
constexpr size_t kGraphHeader = 4;  // length, code, type, index

// A reader over a reply's fields: everything before the checksum.
ByteReader Fields(const Frame& f) {
    return ByteReader(f.data(), f[0] - 1u);
}

void Start(Frame& f, uint8_t length, uint8_t code) {
    f.fill(0);
    f[0] = length;
    f[1] = code;
}

void BuildSimple(Frame& f, uint8_t code) {
    Start(f, 3, code);
    SealRequest(f);
}

// One-hot fields: the read takes the lowest set bit among values 1..n-1 and
// does not look at the bit of value 0.
int32_t ReadOneHot(uint8_t byte, int firstBit, int n) {
    for (int v = 1; v < n; ++v)
        if (byte & (1u << (firstBit + v))) return v;
    return 0;
}

// Exactly one bit. A value outside the field's list is sent as 0 so it
// cannot set a bit that belongs to the next field.
uint8_t OneHot(int32_t value, int firstBit, int n) {
    if (value < 0 || value >= n) value = 0;
    return static_cast<uint8_t>(1u << (firstBit + value));
}

uint8_t BitIf(bool on, int bit) {
    return on ? static_cast<uint8_t>(1u << bit) : 0;
}

bool BitOf(uint32_t byte, int bit) {
    return (byte >> bit) & 1u;
}

void Temp12Pair(ByteReader& r, size_t offset, double& first, double& second) {
    uint32_t a, b;
    r.Pair12(offset, a, b);
    first = DecodeTemp12(a);
    second = DecodeTemp12(b);
}

void Plain12Pair(ByteReader& r, size_t offset, double& first, double& second) {
    uint32_t a, b;
    r.Pair12(offset, a, b);
    first = DecodePlain12(a);
    second = DecodePlain12(b);
}

void Temp12Run(ByteReader& r, size_t offset, double (&out)[kChannels]) {
    uint32_t codes[kChannels];
    r.Run12(offset, kChannels, codes);
    for (int k = 0; k < kChannels; ++k) out[k] = DecodeTemp12(codes[k]);
}

// The alarm fields from frame byte 2 on; the read reply and the write request
// share the layout.
void DecodeAlarmFields(ByteReader& r, AlarmRecord& a) {
    a.TimeMinute = DecodeBcd8(r.U8(2));
    a.TimeHour = DecodeBcd8(r.U8(3));
    Temp12Pair(r, 4, a.InTempHigh, a.InTempLow);
    a.InHumiHigh = DecodeHumi8(r.U8(7));
    a.InHumiLow = DecodeHumi8(r.U8(8));
    Temp12Pair(r, 9, a.OutTempHigh, a.OutTempLow);
    a.OutHumiHigh = DecodeHumi8(r.U8(12));
    a.OutHumiLow = DecodeHumi8(r.U8(13));
    Temp12Pair(r, 14, a.DewPointHigh, a.DewPointLow);
    Temp12Pair(r, 17, a.FeelsLikeHigh, a.FeelsLikeLow);
    a.AbsBaroHigh = DecodeTenth16(r.U16(20));
    a.AbsBaroLow = DecodeTenth16(r.U16(22));
    a.RelBaroHigh = DecodeTenth16(r.U16(24));
    a.RelBaroLow = DecodeTenth16(r.U16(26));
    Plain12Pair(r, 28, a.WindHigh, a.GustHigh);
    a.RainHourHigh = DecodeTenth16(r.U16(31));
    a.RainDayHigh = DecodeTenth16(r.U16(33));
}

void EncodeAlarmFields(const AlarmRecord& a, ByteWriter& w) {
    w.U8(2, EncodeBcd8(a.TimeMinute));
    w.U8(3, EncodeBcd8(a.TimeHour));
    w.Pair12(4, EncodeTemp12(a.InTempHigh), EncodeTemp12(a.InTempLow));
    w.U8(7, EncodeHumi8(a.InHumiHigh));
    w.U8(8, EncodeHumi8(a.InHumiLow));
    w.Pair12(9, EncodeTemp12(a.OutTempHigh), EncodeTemp12(a.OutTempLow));
    w.U8(12, EncodeHumi8(a.OutHumiHigh));
    w.U8(13, EncodeHumi8(a.OutHumiLow));
    w.Pair12(14, EncodeTemp12(a.DewPointHigh), EncodeTemp12(a.DewPointLow));
    w.Pair12(17, EncodeTemp12(a.FeelsLikeHigh), EncodeTemp12(a.FeelsLikeLow));
    w.U16(20, EncodeTenth16(a.AbsBaroHigh));
    w.U16(22, EncodeTenth16(a.AbsBaroLow));
    w.U16(24, EncodeTenth16(a.RelBaroHigh));
    w.U16(26, EncodeTenth16(a.RelBaroLow));
    w.Pair12(28, EncodePlain12(a.WindHigh), EncodePlain12(a.GustHigh));
    w.U16(31, EncodeTenth16(a.RainHourHigh));
    w.U16(33, EncodeTenth16(a.RainDayHigh));
}

// Data bytes of one graph series, 0 for a request the station does not serve.
size_t GraphDataSize(uint8_t type, uint8_t index) {
    switch (type) {
        case GRAPH_IN_TEMP:
            return index == 0 ? 60 : 0;
        case GRAPH_IN_HUMI:
            return index == 0 ? 40 : 0;
        case GRAPH_CH_TEMP:
            return index < kChannels ? 60 : 0;
        case GRAPH_CH_HUMI:
            return index < kChannels ? 40 : 0;
        case GRAPH_BARO:
        case GRAPH_RAIN:
            return index == 0 ? 80 : 0;
        case GRAPH_WIND:
            return index <= 1 ? 60 : 0;
        default:
            return 0;
    }
}

}  // namespace

// --- envelope ---

bool SealRequest(Frame& f) {
    const size_t length = f[0];
    if (length < 2 || length > kMaxRequestLength) return false;
    f[length - 1] = Checksum(f.data(), length - 1);
    return true;
}

bool ReplyValid(const Frame& f) {
    const size_t length = f[0];
    return length >= 2 && length <= kFrameSize && f[length - 1] == Checksum(f.data(), length - 1);
}

bool ReplyIs(const Frame& f, uint8_t code, size_t minLength) {
    return ReplyValid(f) && f[1] == code && f[0] >= minLength;
}

bool StatusOk(const Frame& f, uint8_t code) {
    return ReplyIs(f, code, kStatusLength) && f[2] == 0;
}

// --- device information and memory ---

void BuildReadInfo(Frame& f) {
    BuildSimple(f, CMD_READ_INFO);
}

bool DecodeDeviceInfo(const Frame& f, StationInfo& out) {
    if (!ReplyIs(f, CMD_READ_INFO, kInfoLength)) return false;
    ByteReader r = Fields(f);
    StationInfo info;
    info.Type = static_cast<uint8_t>(r.U8(2));
    info.Blocks = static_cast<uint8_t>(r.U8(3));
    info.DataSize = static_cast<uint16_t>(r.U16(4));
    info.DevID = r.U32(6);
    if (!r.ok()) return false;
    out = info;
    return true;
}

bool BuildReadMemory(Frame& f, uint8_t area, uint16_t address, uint8_t count) {
    if (area == AREA_STATUS || area == AREA_PRESSURE_OFFSET) {
        Start(f, 4, CMD_READ_MEMORY);
        f[2] = area;
        return SealRequest(f);
    }
    if (area != AREA_BLOCK_TABLE && area != AREA_DATA) return false;
    if (count == 0 || count > kMaxMemoryCount) return false;
    Start(f, 7, CMD_READ_MEMORY);
    f[2] = area;
    f[3] = static_cast<uint8_t>(address);
    f[4] = static_cast<uint8_t>(address >> 8);
    f[5] = count;
    return SealRequest(f);
}

bool MemoryEchoOk(const Frame& f, uint8_t area) {
    return ReplyIs(f, CMD_READ_MEMORY, kMemoryHeader + 1) && f[2] == area;
}

bool DecodeMemory(const Frame& f, uint8_t area, uint8_t count, std::vector<uint8_t>& data) {
    if (!MemoryEchoOk(f, area)) return false;
    const size_t available = f[0] - kMemoryHeader - 1;
    size_t n = available;
    if (area == AREA_BLOCK_TABLE || area == AREA_DATA) {
        if (count == 0 || count > kMaxMemoryCount || available < count) return false;
        n = count;
    }
    data.assign(f.begin() + kMemoryHeader, f.begin() + kMemoryHeader + n);
    return true;
}

bool DecodeMemoryStatus(const Frame& f, MemoryStatus& out) {
    if (!MemoryEchoOk(f, AREA_STATUS) || f[0] < kMemoryStatusLength) return false;
    ByteReader r = Fields(f);
    MemoryStatus status;
    status.FirstBlock = static_cast<uint8_t>(r.U8(3));
    status.CurrentBlock = static_cast<uint8_t>(r.U8(4));
    status.DataSize = static_cast<uint16_t>(r.U16(5));
    if (!r.ok()) return false;
    out = status;
    return true;
}

bool DecodePressureOffset(const Frame& f, int16_t& tenthsHpa) {
    if (!MemoryEchoOk(f, AREA_PRESSURE_OFFSET) || f[0] < kPressureOffsetLength) return false;
    ByteReader r = Fields(f);
    const int32_t offset = r.S16(3);
    if (!r.ok()) return false;
    tenthsHpa = static_cast<int16_t>(offset);
    return true;
}

// --- clock ---

void BuildSetClock(Frame& f, const ClockTime& t) {
    Start(f, 0x0A, CMD_SET_CLOCK);
    f[2] = static_cast<uint8_t>(std::min((std::max(t.millis, 0) + 62) / 125, 7));
    f[3] = static_cast<uint8_t>(t.second);
    f[4] = static_cast<uint8_t>(t.minute);
    f[5] = static_cast<uint8_t>(t.hour);
    f[6] = static_cast<uint8_t>(t.day);
    f[7] = static_cast<uint8_t>(t.month);
    f[8] = static_cast<uint8_t>(t.year - 2000);
    SealRequest(f);
}

ClockTime LocalClockNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto sinceEpoch = duration_cast<milliseconds>(now.time_since_epoch());
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    ClockTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.millis = static_cast<int>(sinceEpoch.count() % 1000);
    return t;
}

// --- current reading ---

void BuildReadCurrent(Frame& f) {
    BuildSimple(f, CMD_READ_CURRENT);
}

bool DecodeCurrent(const Frame& f, bool keepAllChannels, HistoryRecord& current,
                   PresenceBlock& presence) {
    if (!ReplyIs(f, CMD_READ_CURRENT, kCurrentLength)) return false;
    ByteReader r = Fields(f);

    PresenceBlock p;
    p.TempMask = static_cast<uint8_t>(r.U8(2));
    p.HumiMask = static_cast<uint8_t>(r.U8(3));
    p.Flags = static_cast<uint8_t>(r.U8(4));
    p.Status1 = static_cast<uint8_t>(r.U8(5));
    p.Status2 = static_cast<uint8_t>(r.U8(6));

    HistoryRecord c = current;  // rain Event, Rate and 24Hour are not in the reply
    c.InTemp = DecodeTemp12(r.Lone12(7));
    c.InHumi = DecodeHumi8(r.U8(9));
    Temp12Run(r, 10, c.ChTemp);
    for (int k = 0; k < kChannels; ++k) c.ChHumi[k] = DecodeHumi8(r.U8(22 + k));
    Temp12Run(r, 30, c.ChDewPoint);
    Temp12Run(r, 42, c.ChFeelLike);
    c.AbsBaro = DecodeTenth16(r.U16(54));
    c.RelBaro = DecodeTenth16(r.U16(56));
    Plain12Pair(r, 58, c.Wind, c.Gust);
    c.WindDir = DecodeDir12(r.Lone12(61));
    const bool rain = p.Flags & QF_RAIN;
    c.Rain[RAIN_HOUR] = rain ? DecodeTenth16Raw(r.U16(63)) : VAL_INVALID;
    c.Rain[RAIN_DAY] = rain ? DecodeTenth16Raw(r.U16(65)) : VAL_INVALID;
    c.Rain[RAIN_WEEK] = rain ? DecodeTenth20(r.Low20(67)) : VAL_INVALID;
    c.Rain[RAIN_MONTH] = rain ? DecodeTenth20(r.High20(69)) : VAL_INVALID;
    c.Rain[RAIN_TOTAL] = rain ? DecodeTenth20(r.Low20(72)) : VAL_INVALID;
    if (!r.ok()) return false;

    if (!keepAllChannels) {
        p.TempMask &= 1;
        p.HumiMask &= 1;
        for (int k = 1; k < kChannels; ++k) {
            c.ChTemp[k] = c.ChDewPoint[k] = c.ChFeelLike[k] = VAL_INVALID;
            c.ChHumi[k] = VAL_INVALID;
        }
    }
    current = c;
    presence = p;
    return true;
}

// --- max/min ---

void BuildReadMaxMin(Frame& f) {
    BuildSimple(f, CMD_READ_MAXMIN);
}

bool DecodeMaxMin(const Frame& f, const PresenceBlock& presence, MaxMinRecord& out) {
    if (!ReplyIs(f, CMD_READ_MAXMIN, kMaxMinLength)) return false;
    ByteReader r = Fields(f);
    MaxMinRecord m = out;
    const uint8_t flags = presence.Flags;

    // Fixed positions: a group that is not decoded still takes its bytes.
    if (flags & QF_IN_TEMP) Temp12Pair(r, 2, m.InTempMax, m.InTempMin);
    if (flags & QF_IN_HUMI) {
        m.InHumiMax = DecodeHumi8(r.U8(5));
        m.InHumiMin = DecodeHumi8(r.U8(6));
    }
    for (int k = 0; k < kChannels; ++k) {
        if (!BitOf(presence.TempMask, k)) continue;
        Temp12Pair(r, 7 + 3 * k, m.ChTempMax[k], m.ChTempMin[k]);
        m.ChHumiMax[k] = DecodeHumi8(r.U8(31 + 2 * k));
        m.ChHumiMin[k] = DecodeHumi8(r.U8(32 + 2 * k));
        Temp12Pair(r, 47 + 3 * k, m.ChDewPointMax[k], m.ChDewPointMin[k]);
        Temp12Pair(r, 71 + 3 * k, m.ChFeelLikeMax[k], m.ChFeelLikeMin[k]);
    }
    if (flags & QF_PRESSURE) {
        m.AbsBaroMax = DecodeTenth16(r.U16(95));
        m.AbsBaroMin = DecodeTenth16(r.U16(97));
        m.RelBaroMax = DecodeTenth16(r.U16(99));
        m.RelBaroMin = DecodeTenth16(r.U16(101));
    }
    if (flags & QF_WIND) Plain12Pair(r, 103, m.WindMax, m.GustMax);
    if (flags & QF_RAIN) {
        m.RainMax[RAIN_HOUR] = DecodeTenth16Raw(r.U16(106));
        m.RainMax[RAIN_DAY] = DecodeTenth16Raw(r.U16(108));
        m.RainMax[RAIN_WEEK] = DecodeTenth20(r.Low20(110));
        m.RainMax[RAIN_MONTH] = DecodeTenth20(r.High20(112));
    }
    if (!r.ok()) return false;
    out = m;
    return true;
}

// --- alarms ---

void BuildReadAlarms(Frame& f) {
    BuildSimple(f, CMD_READ_ALARMS);
}

bool DecodeAlarms(const Frame& f, AlarmRecord& out) {
    if (!ReplyIs(f, CMD_READ_ALARMS, kAlarmLength)) return false;
    ByteReader r = Fields(f);
    AlarmRecord a;
    DecodeAlarmFields(r, a);
    if (!r.ok()) return false;
    out = a;
    return true;
}

void BuildWriteAlarms(Frame& f, const AlarmRecord& a) {
    Start(f, kAlarmLength, CMD_WRITE_ALARMS);
    ByteWriter w(f.data(), kAlarmLength - 1);
    EncodeAlarmFields(a, w);
    SealRequest(f);
}

// --- clear ---

bool BuildClear(Frame& f, uint8_t what) {
    if (what != CLEAR_HISTORY && what != CLEAR_MAXMIN) return false;
    Start(f, 4, CMD_CLEAR);
    f[2] = what;
    return SealRequest(f);
}

// --- settings ---

void BuildReadSettings(Frame& f) {
    BuildSimple(f, CMD_READ_SETTINGS);
}

void DecodeSettingsBlock(const uint8_t* block, StationSettings& s) {
    ByteReader r(block, kSettingsBlockSize);
    for (int i = 0; i < 3; ++i) s.AlarmEnable[i] = static_cast<uint8_t>(r.U8(i));
    const uint32_t s3 = r.U8(3), s5 = r.U8(5), s6 = r.U8(6), s7 = r.U8(7), s9 = r.U8(9);
    s.TempUnit = BitOf(s3, 0);
    s.BaroUnit = ReadOneHot(s3, 1, 3);
    s.RainUnit = BitOf(s3, 4);
    s.WindUnit = ReadOneHot(r.U8(4), 0, 5);
    s.TimeDisplay = ReadOneHot(s5, 0, 3);
    s.TimeFormat = BitOf(s5, 4);
    s.DateFormat = BitOf(s5, 5);
    s.GraphQuantity = ReadOneHot(s6, 0, 7);
    s.GraphSpan = BitOf(s6, 7);
    s.ChannelCircle = BitOf(s7, 6);
    s.PressureDisplay = BitOf(s7, 7);
    s.RainDisplay = ReadOneHot(r.U8(8), 0, 5);
    s.ColorBy = ReadOneHot(s9, 0, 3);
    s.BacklightAuto = BitOf(s9, 3);
    s.TimeRadio = BitOf(s9, 4);
    s.DaylightSaving = BitOf(s9, 5);
    s.TimeAlarmEnable = BitOf(s9, 6);
    s.MaxMinMode = BitOf(s9, 7);
    s.Buzzer = BitOf(r.U8(10), 0);
    Temp12Pair(r, 11, s.ColorInLower, s.ColorInUpper);
    Temp12Pair(r, 14, s.ColorOutLower, s.ColorOutUpper);
    const uint32_t s17 = r.U8(17), s21 = r.U8(21);
    s.UserColor = s17 & 0x0F;
    s.Brightness = s17 >> 4;
    s.TimeZone = r.S8(18);
    s.RecordInterval = static_cast<int32_t>(r.U16(19));
    s.ForecastWeather = s21 & 0x0F;
    s.ForecastStorm = s21 >> 4;
}

void EncodeSettingsBlock(const StationSettings& s, uint8_t* block) {
    ByteWriter w(block, kSettingsBlockSize);
    for (int i = 0; i < 3; ++i) w.U8(i, s.AlarmEnable[i]);
    w.U8(3, BitIf(s.TempUnit != 0, 0) | OneHot(s.BaroUnit, 1, 3) | BitIf(s.RainUnit != 0, 4));
    w.U8(4, OneHot(s.WindUnit, 0, 5));
    // The date format is the one field with a bit for each of its two values.
    w.U8(5, OneHot(s.TimeDisplay, 0, 3) | BitIf(s.TimeFormat != 0, 4) |
                (s.DateFormat != 0 ? 1u << 5 : 1u << 6));
    w.U8(6, OneHot(s.GraphQuantity, 0, 7) | BitIf(s.GraphSpan != 0, 7));
    w.U8(7, BitIf(s.ChannelCircle != 0, 6) | BitIf(s.PressureDisplay != 0, 7));
    w.U8(8, OneHot(s.RainDisplay, 0, 5));
    w.U8(9, OneHot(s.ColorBy, 0, 3) | BitIf(s.BacklightAuto != 0, 3) | BitIf(s.TimeRadio != 0, 4) |
                BitIf(s.DaylightSaving != 0, 5) | BitIf(s.TimeAlarmEnable != 0, 6) |
                BitIf(s.MaxMinMode != 0, 7));
    w.U8(10, BitIf(s.Buzzer != 0, 0));
    w.Pair12(11, EncodeTemp12(s.ColorInLower), EncodeTemp12(s.ColorInUpper));
    w.Pair12(14, EncodeTemp12(s.ColorOutLower), EncodeTemp12(s.ColorOutUpper));
    w.U8(17, (s.UserColor & 0x0F) | ((s.Brightness & 0x0F) << 4));
    w.U8(18, static_cast<uint8_t>(s.TimeZone));
    w.U16(19, static_cast<uint16_t>(s.RecordInterval));
    w.U8(21, (s.ForecastWeather & 0x0F) | ((s.ForecastStorm & 0x0F) << 4));
}

bool DecodeSettings(const Frame& f, StationSettings& out) {
    if (!ReplyIs(f, CMD_READ_SETTINGS, kSettingsLength)) return false;
    StationSettings s = out;
    const uint8_t capability = f[2];
    s.Capability = capability;
    s.Region = capability & 0x0F;
    s.HasTimeOptions = BitOf(capability, 5);
    s.HasForecast = BitOf(capability, 6);
    s.GraphRefresh = BitOf(capability, 7);
    DecodeSettingsBlock(f.data() + 4, s);
    out = s;
    return true;
}

void BuildWriteSettings(Frame& f, const StationSettings& s) {
    Start(f, 2 + kSettingsBlockSize + 1, CMD_WRITE_SETTINGS);
    EncodeSettingsBlock(s, f.data() + 2);
    SealRequest(f);
}

void CopyUnits(const StationSettings& s, UnitSet& units) {
    units.TempUnit = s.TempUnit;
    units.BaroUnit = s.BaroUnit;
    units.WindUnit = s.WindUnit;
    units.RainUnit = s.RainUnit;
    units.LightUnit = 0;
}

// --- graph series ---

bool BuildReadGraph(Frame& f, uint8_t type, uint8_t index) {
    if (GraphDataSize(type, index) == 0) return false;
    Start(f, 5, CMD_READ_GRAPH);
    f[2] = type;
    f[3] = index;
    return SealRequest(f);
}

bool GraphEchoOk(const Frame& f, uint8_t type, uint8_t index) {
    return ReplyIs(f, CMD_READ_GRAPH, kGraphHeader + 1) && f[2] == type && f[3] == index;
}

bool DecodeGraph(const Frame& f, uint8_t type, uint8_t index, GraphSeries& out) {
    const size_t size = GraphDataSize(type, index);
    if (size == 0 || !GraphEchoOk(f, type, index) || f[0] < kGraphHeader + size + 1) return false;
    ByteReader r = Fields(f);

    double values[kGraphPoints];
    int32_t humi[kGraphPoints];
    if (type == GRAPH_IN_HUMI || type == GRAPH_CH_HUMI) {
        for (int i = 0; i < kGraphPoints; ++i) humi[i] = DecodeHumi8(r.U8(kGraphHeader + i));
    } else if (type == GRAPH_BARO || type == GRAPH_RAIN) {
        for (int i = 0; i < kGraphPoints; ++i)
            values[i] = DecodeTenth16(r.U16(kGraphHeader + 2 * i));
    } else {
        uint32_t codes[kGraphPoints];
        r.Run12(kGraphHeader, kGraphPoints, codes);
        for (int i = 0; i < kGraphPoints; ++i)
            values[i] = type == GRAPH_WIND ? DecodePlain12(codes[i]) : DecodeTemp12(codes[i]);
    }
    if (!r.ok()) return false;

    switch (type) {
        case GRAPH_IN_TEMP:
            std::copy(values, values + kGraphPoints, out.InTemp);
            break;
        case GRAPH_IN_HUMI:
            std::copy(humi, humi + kGraphPoints, out.InHumi);
            break;
        case GRAPH_CH_TEMP:
            std::copy(values, values + kGraphPoints, out.ChTemp[index]);
            break;
        case GRAPH_CH_HUMI:
            std::copy(humi, humi + kGraphPoints, out.ChHumi[index]);
            break;
        case GRAPH_BARO:
            std::copy(values, values + kGraphPoints, out.Baro);
            break;
        case GRAPH_WIND:
            std::copy(values, values + kGraphPoints, index == 0 ? out.Wind : out.Gust);
            break;
        case GRAPH_RAIN:
            std::copy(values, values + kGraphPoints, out.Rain);
            break;
    }
    return true;
}

std::vector<GraphRequest> GraphRefreshOrder(const PresenceBlock& presence) {
    std::vector<GraphRequest> order;
    const uint8_t flags = presence.Flags;
    if (flags & QF_IN_TEMP) order.push_back({GRAPH_IN_TEMP, 0});
    if (flags & QF_IN_HUMI) order.push_back({GRAPH_IN_HUMI, 0});
    for (uint8_t k = 0; k < kChannels; ++k)
        if (BitOf(presence.TempMask, k)) order.push_back({GRAPH_CH_TEMP, k});
    for (uint8_t k = 0; k < kChannels; ++k)
        if (BitOf(presence.HumiMask, k)) order.push_back({GRAPH_CH_HUMI, k});
    if (flags & QF_PRESSURE) order.push_back({GRAPH_BARO, 0});
    if (flags & QF_WIND) order.push_back({GRAPH_WIND, 0});
    if (flags & QF_GUST) order.push_back({GRAPH_WIND, 1});
    if (flags & QF_RAIN) order.push_back({GRAPH_RAIN, 0});
    return order;
}

}  // namespace nimbary

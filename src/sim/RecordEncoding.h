#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The history record and block rain header as the station writes them into
// its data area.
namespace nimbary::sim {

// Field flags of a block entry (byte 3).
enum RecordFlag : uint8_t {
    RF_IN_TEMP = 1 << 0,
    RF_IN_HUMI = 1 << 1,
    RF_WIND = 1 << 2,
    RF_GUST = 1 << 3,
    RF_WIND_DIR = 1 << 4,
    RF_PRESSURE = 1 << 5,
    RF_RAIN = 1 << 6,
    RF_RAIN_HEADER = 1 << 7,
};

constexpr size_t kRainHeaderSize = 12;

// What a block's records hold; a change of any of it opens a new block.
struct RecordFormat {
    uint8_t tempMask = 0;
    uint8_t humiMask = 0;
    uint8_t flags = 0;
    uint16_t interval = 300;
    bool operator==(const RecordFormat& o) const {
        return tempMask == o.tempMask && humiMask == o.humiMask && flags == o.flags &&
               interval == o.interval;
    }
    bool operator!=(const RecordFormat& o) const { return !(*this == o); }
};

// Bytes of one record (without the rain header).
size_t RecordSize(const RecordFormat& fmt);

// One record's values: tenths of °F, %, tenths of m/s, degrees, tenths of
// hPa, tenths of mm; sentinels go out as their codes.
struct RecordValues {
    int32_t inTemp = 0;
    int32_t inHumi = 0;
    int32_t chTemp[8] = {};
    int32_t chHumi[8] = {};
    int32_t wind = 0;
    int32_t gust = 0;
    int32_t windDir = 0;
    int32_t absBaro = 0;
    uint32_t rainTotal = 0;
};

std::vector<uint8_t> EncodeRecord(const RecordFormat& fmt, const RecordValues& v);

// Rain of the hour, day, week and month (tenths of mm) at the block's first
// record; hour and day keep 10 bits, week and month 17.
std::vector<uint8_t> EncodeRainHeader(uint32_t hour, uint32_t day, uint32_t week, uint32_t month);

}  // namespace nimbary::sim

#include "RecordEncoding.h"

#include <bitset>

#include "SimWire.h"
#include "Units.h"

namespace nimbary::sim {

namespace {

int Bits(uint8_t v) {
    return static_cast<int>(std::bitset<8>(v).count());
}

constexpr uint8_t kHighBitsFlags = RF_WIND | RF_GUST | RF_WIND_DIR | RF_RAIN;

// Nine-bit wind, gust and direction codes; 506 and up are sentinels.
uint16_t Code9(int32_t v) {
    if (v >= VAL_INVALID) return static_cast<uint16_t>(v & 0x1FF);
    if (v < 0) return 0;
    return v > 505 ? 0x1FD : static_cast<uint16_t>(v);
}

}  // namespace

size_t RecordSize(const RecordFormat& fmt) {
    const int t = Bits(fmt.tempMask) + ((fmt.flags & RF_IN_TEMP) ? 1 : 0);
    size_t size = static_cast<size_t>(t + (t + 1) / 2);
    size += static_cast<size_t>(Bits(fmt.humiMask));
    for (uint8_t f : {RF_IN_HUMI, RF_WIND, RF_GUST, RF_WIND_DIR})
        if (fmt.flags & f) size += 1;
    if (fmt.flags & RF_PRESSURE) size += 2;
    if (fmt.flags & RF_RAIN) size += 2;
    if (fmt.flags & kHighBitsFlags) size += 1;
    return size;
}

std::vector<uint8_t> EncodeRecord(const RecordFormat& fmt, const RecordValues& v) {
    std::vector<uint8_t> out(RecordSize(fmt) + 1, 0);  // one spare byte for the nibble writes
    size_t pos = 0;

    std::vector<uint16_t> temps;
    if (fmt.flags & RF_IN_TEMP) temps.push_back(Temp12(v.inTemp));
    for (int k = 0; k < 8; ++k)
        if (fmt.tempMask & (1 << k)) temps.push_back(Temp12(v.chTemp[k]));
    for (size_t i = 0; i < temps.size(); ++i) {
        if (i % 2 == 0) {
            // Low 12 bits of the word here; the next value starts one byte on.
            out[pos] = static_cast<uint8_t>(temps[i] & 0xFF);
            out[pos + 1] = static_cast<uint8_t>((temps[i] >> 8) & 0x0F);
            pos += 1;
        } else {
            // High 12 bits of the word here.
            out[pos] = static_cast<uint8_t>((out[pos] & 0x0F) | ((temps[i] & 0x0F) << 4));
            out[pos + 1] = static_cast<uint8_t>(temps[i] >> 4);
            pos += 2;
        }
    }
    if (temps.size() % 2 == 1) pos += 1;

    if (fmt.flags & RF_IN_HUMI) out[pos++] = Humi8(v.inHumi);
    for (int k = 0; k < 8; ++k)
        if (fmt.humiMask & (1 << k)) out[pos++] = Humi8(v.chHumi[k]);

    uint8_t high = 0;
    const uint16_t wind = Code9(v.wind), gust = Code9(v.gust);
    const uint16_t dir = v.windDir >= VAL_INVALID
                             ? Code9(v.windDir)
                             : static_cast<uint16_t>(((v.windDir % 360) + 360) % 360);
    if (fmt.flags & RF_WIND) out[pos++] = static_cast<uint8_t>(wind & 0xFF);
    if (fmt.flags & RF_GUST) out[pos++] = static_cast<uint8_t>(gust & 0xFF);
    if (fmt.flags & RF_WIND_DIR) out[pos++] = static_cast<uint8_t>(dir & 0xFF);
    high |= static_cast<uint8_t>((wind >> 8) & 1);
    high |= static_cast<uint8_t>(((gust >> 8) & 1) << 1);
    high |= static_cast<uint8_t>(((dir >> 8) & 1) << 2);

    if (fmt.flags & RF_PRESSURE) {
        PutLe16(&out[pos], Tenth16(v.absBaro));
        pos += 2;
    }
    const uint32_t rain = v.rainTotal & 0x1FFFF;
    if (fmt.flags & RF_RAIN) {
        PutLe16(&out[pos], static_cast<uint16_t>(rain & 0xFFFF));
        pos += 2;
    }
    high |= static_cast<uint8_t>(((rain >> 16) & 1) << 3);
    if (fmt.flags & kHighBitsFlags) out[pos++] = high;

    out.resize(pos);
    return out;
}

std::vector<uint8_t> EncodeRainHeader(uint32_t hour, uint32_t day, uint32_t week, uint32_t month) {
    std::vector<uint8_t> h(kRainHeaderSize, 0);
    hour = hour > 1023 ? 1023 : hour;
    day = day > 1023 ? 1023 : day;
    week = week > 0x1FFFF ? 0x1FFFF : week;
    month = month > 0x1FFFF ? 0x1FFFF : month;
    uint16_t w0 = static_cast<uint16_t>(hour);
    if (week & 0x10000) w0 |= 1 << 14;
    if (month & 0x10000) w0 |= 1 << 15;
    PutLe16(&h[0], w0);
    PutLe16(&h[2], static_cast<uint16_t>(day));
    PutLe16(&h[4], static_cast<uint16_t>(week & 0xFFFF));
    PutLe16(&h[6], static_cast<uint16_t>(month & 0xFFFF));
    return h;
}

}  // namespace nimbary::sim

#include "BlockEntry.h"

#include <initializer_list>

#include "Encoding.h"

namespace nimbary {

namespace {

uint32_t Le16(const uint8_t* p) {
    return p[0] | (static_cast<uint32_t>(p[1]) << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

int Bits(uint8_t v) {
    int n = 0;
    for (; v; v &= static_cast<uint8_t>(v - 1)) ++n;
    return n;
}

}  // namespace

bool BlockEntry::Parse(const uint8_t* p, size_t len, BlockEntry& out) {
    if (!p || len < kBlockEntrySize) return false;
    out.Count = p[0];
    out.TempMask = p[1];
    out.HumiMask = p[2];
    out.Flags = p[3];
    out.StartAddress = static_cast<uint16_t>(Le16(p + 6));
    out.StartTime = Le32(p + 8);
    out.Interval = static_cast<uint16_t>(Le16(p + 12));
    return true;
}

void BlockEntry::Serialize(uint8_t (&out)[kBlockEntrySize]) const {
    for (uint8_t& b : out) b = 0;
    out[0] = Count;
    out[1] = TempMask;
    out[2] = HumiMask;
    out[3] = Flags;
    out[6] = static_cast<uint8_t>(StartAddress);
    out[7] = static_cast<uint8_t>(StartAddress >> 8);
    for (int i = 0; i < 4; ++i) out[8 + i] = static_cast<uint8_t>(StartTime >> (8 * i));
    out[12] = static_cast<uint8_t>(Interval);
    out[13] = static_cast<uint8_t>(Interval >> 8);
}

int BlockEntry::RecordSize() const {
    const int temps = Bits(TempMask) + ((Flags & BF_IN_TEMP) ? 1 : 0);
    int size = temps + (temps + 1) / 2;
    size += Bits(HumiMask);
    for (uint8_t f : {BF_IN_HUMI, BF_WIND, BF_GUST, BF_WIND_DIR})
        if (Flags & f) size += 1;
    if (Flags & BF_PRESSURE) size += 2;
    if (Flags & BF_RAIN) size += 2;
    if (Flags & (BF_WIND | BF_GUST | BF_WIND_DIR | BF_RAIN)) size += 1;  // the high-bits byte
    return size;
}

bool DecodeRainHeader(const uint8_t* p, size_t len, RainHeader& out) {
    if (!p || len < kRainHeaderSize) return false;
    const uint32_t w0 = Le16(p);
    out.Hour = (w0 & 0x3FF) / 10.0;
    out.Day = (Le16(p + 2) & 0x3FF) / 10.0;
    out.Week = (Le16(p + 4) | (((w0 >> 14) & 1) << 16)) / 10.0;
    out.Month = (Le16(p + 6) | (((w0 >> 15) & 1) << 16)) / 10.0;
    return true;
}

double DecodeSpeed9(uint32_t raw) {
    raw &= 0x1FF;
    return raw < 506 ? raw / 10.0 : static_cast<double>(raw | 0x7FFE00);
}

int32_t DecodeDirection9(uint32_t raw) {
    raw &= 0x1FF;
    return static_cast<int32_t>(raw < 506 ? raw : raw | 0x7FFE00);
}

size_t DecodeRecord(const uint8_t* p, size_t len, const BlockEntry& e, HistoryRecord& rec) {
    const int size = e.RecordSize();
    if (!p || size <= 0 || len < static_cast<size_t>(size)) return 0;
    size_t q = 0;

    // Temperatures: indoor first, then the channels in mask order, 12 bits
    // each, packed in pairs over three bytes.
    int nth = 0;
    auto nextTemp = [&]() {
        double v;
        if (nth % 2 == 0) {
            v = DecodeTemp12(Le16(p + q));
            q += 1;
        } else {
            v = DecodeTemp12(Le16(p + q) >> 4);
            q += 2;
        }
        ++nth;
        return v;
    };
    if (e.Flags & BF_IN_TEMP) rec.InTemp = nextTemp();
    for (int k = 0; k < kChannels; ++k)
        if (e.TempMask & (1u << k)) rec.ChTemp[k] = nextTemp();
    if (nth % 2) q += 1;

    if (e.Flags & BF_IN_HUMI) rec.InHumi = DecodeHumi8(p[q++]);
    for (int k = 0; k < kChannels; ++k)
        if (e.HumiMask & (1u << k)) rec.ChHumi[k] = DecodeHumi8(p[q++]);

    uint32_t wind = 0, gust = 0, dir = 0, rain = 0;
    if (e.Flags & BF_WIND) wind = p[q++];
    if (e.Flags & BF_GUST) gust = p[q++];
    if (e.Flags & BF_WIND_DIR) dir = p[q++];
    if (e.Flags & BF_PRESSURE) {
        rec.AbsBaro = DecodeTenth16(Le16(p + q));
        q += 2;
    }
    if (e.Flags & BF_RAIN) {
        rain = Le16(p + q);
        q += 2;
    }
    if (e.Flags & (BF_WIND | BF_GUST | BF_WIND_DIR | BF_RAIN)) {
        const uint8_t high = p[q++];
        wind |= (high & 1u) << 8;
        gust |= ((high >> 1) & 1u) << 8;
        dir |= ((high >> 2) & 1u) << 8;
        rain |= ((high >> 3) & 1u) << 16;
    }
    if (e.Flags & BF_WIND) rec.Wind = DecodeSpeed9(wind);
    if (e.Flags & BF_GUST) rec.Gust = DecodeSpeed9(gust);
    if (e.Flags & BF_WIND_DIR) rec.WindDir = DecodeDirection9(dir);
    if (e.Flags & BF_RAIN) rec.Rain[RAIN_TOTAL] = rain / 10.0;
    return q;
}

}  // namespace nimbary

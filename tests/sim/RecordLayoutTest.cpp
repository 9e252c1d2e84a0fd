// The station's encoders and its history record layout, against layouts
// worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "RecordEncoding.h"
#include "SimWire.h"
#include "Units.h"

namespace nimbary::sim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(SimWire, FieldCodes) {
    struct Case {
        const char* what;
        uint32_t got, want;
    } cases[] = {
        {"20.0 F", Temp12(200), 600},
        {"-40.0 F", Temp12(-400), 0},
        {"below -40 F is low", Temp12(-405), 0x7FC},
        {"164.1 F", Temp12(1641), 2041},
        {"above the range is high", Temp12(1642), 0x7FD},
        {"invalid temperature", Temp12(VAL_INVALID), 0x7FA},
        {"absent temperature", Temp12(VAL_ABSENT), 0x7FB},
        {"wind 12.3", Plain12(123), 123},
        {"humidity 121", Humi8(121), 121},
        {"humidity invalid", Humi8(VAL_INVALID), 122},
        {"humidity absent", Humi8(VAL_ABSENT), 123},
        {"pressure 1013.2", Tenth16(10132), 10132},
        {"pressure invalid", Tenth16(VAL_INVALID), 0x7FFA},
        {"rain 20 bits", Tenth20(0x1FFFFF), 0xFFFFF},
        {"bcd 59", Bcd8(59), 0x59},
        {"direction 359", Dir12(359), 359},
        {"direction absent", Dir12(VAL_ABSENT), 0x7FB},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(SimWire, PackingHelpers) {
    uint8_t p[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    PutPair12(p, 0x123, 0x456);
    EXPECT_EQ(Bytes(p, p + 3), (Bytes{0x23, 0x61, 0x45}));

    // A Tenth20 "low" then "high" pair shares the middle nibble.
    uint8_t r[6] = {};
    PutTenth20Low(r, 0xABCDE);
    PutTenth20High(r + 2, 0x12345);
    EXPECT_EQ(Bytes(r, r + 5), (Bytes{0xDE, 0xBC, 0x5A, 0x34, 0x12}));

    uint8_t w[2] = {0xFF, 0xFF};
    PutLow12(w, 0xABC);
    EXPECT_EQ(Bytes(w, w + 2), (Bytes{0xBC, 0x0A}));
}

TEST(RecordLayout, SizeForFlagsAndMasks) {
    struct Case {
        uint8_t tempMask, humiMask, flags;
        size_t size;
    } cases[] = {
        // indoor T + ch1 T (3) + indoor H + ch1 H (2) + wind, gust, dir (3)
        // + pressure (2) + rain (2) + high-bits byte (1)
        {0x01, 0x01, 0x7F, 13},
        {0x01, 0x01, 0xFF, 13},  // the header flag does not change the record
        {0x00, 0x00, 0x01, 2},   // one temperature takes a word
        {0x00, 0x00, 0x21, 4},
        {0x07, 0x00, 0x01, 6},   // four temperatures: 6 bytes
        {0x03, 0x00, 0x01, 5},   // three temperatures: 5 bytes
        {0xFF, 0xFF, 0x7F, 31},  // 9 temps 14, 9 humidities, 3 wind, 4, high byte
        {0x00, 0x00, 0x40, 3},   // rain alone still needs the high-bits byte
        {0x00, 0x00, 0x10, 2},
        {0x05, 0x04, 0x02, 5},
        {0x00, 0x00, 0x20, 2},  // pressure has no high bits
        {0x00, 0x00, 0x00, 0},
    };
    for (const Case& c : cases) {
        RecordFormat f{c.tempMask, c.humiMask, c.flags, 300};
        EXPECT_EQ(RecordSize(f), c.size) << std::hex << "masks " << int(c.tempMask) << "/"
                                         << int(c.humiMask) << " flags " << int(c.flags);
        RecordValues v;
        EXPECT_EQ(EncodeRecord(f, v).size(), c.size);
    }
}

TEST(RecordLayout, FullRecordBytes) {
    RecordFormat f{0x01, 0x01, 0xFF, 300};
    RecordValues v;
    v.inTemp = 695;     // code 1095 = 0x447
    v.chTemp[0] = 412;  // code 812 = 0x32C
    v.inHumi = 45;
    v.chHumi[0] = 78;
    v.wind = 53;
    v.gust = 300;         // 0x12C: bit 8 in the high-bits byte
    v.windDir = 270;      // 0x10E: bit 8 too
    v.absBaro = 10123;    // 0x278B
    v.rainTotal = 70000;  // 0x11170: bit 16 in the high-bits byte
    EXPECT_EQ(EncodeRecord(f, v), (Bytes{0x47, 0xC4, 0x32, 0x2D, 0x4E, 0x35, 0x2C, 0x0E, 0x8B, 0x27,
                                         0x70, 0x11, 0x0E}));
}

TEST(RecordLayout, OddTemperatureCountAndSentinels) {
    RecordFormat f{0x03, 0x00, 0x03, 300};
    RecordValues v;
    v.inTemp = 0x123 - 400;
    v.chTemp[0] = 0x456 - 400;
    v.chTemp[1] = 0x789 - 400;
    v.inHumi = VAL_INVALID;
    // pair in three bytes, the third value in the low 12 bits of the next
    // word, one byte skipped after it, then the humidity byte
    EXPECT_EQ(EncodeRecord(f, v), (Bytes{0x23, 0x61, 0x45, 0x89, 0x07, 122}));

    RecordFormat w{0x00, 0x00, RF_WIND | RF_GUST, 300};
    RecordValues s;
    s.wind = VAL_INVALID;  // nine-bit code 0x1FA
    s.gust = 506;          // past the range: high
    EXPECT_EQ(EncodeRecord(w, s), (Bytes{0xFA, 0xFD, 0x03}));
}

TEST(RecordLayout, RainHeaderBits) {
    // week has bit 16 (bit 14 of word 0), month not
    EXPECT_EQ(EncodeRainHeader(57, 345, 0x1ABCD, 0x0F00F),
              (Bytes{0x39, 0x40, 0x59, 0x01, 0xCD, 0xAB, 0x0F, 0xF0, 0, 0, 0, 0}));
    // month has bit 16 (bit 15 of word 0), week not
    EXPECT_EQ(EncodeRainHeader(1, 2, 5, 0x10001),
              (Bytes{0x01, 0x80, 0x02, 0x00, 0x05, 0x00, 0x01, 0x00, 0, 0, 0, 0}));
    // hour and day keep 10 bits, week and month 17
    Bytes h = EncodeRainHeader(5000, 1024, 0x7FFFF, 0x20000);
    EXPECT_EQ(GetLe16(&h[0]), 0x3FF | 0x4000 | 0x8000);
    EXPECT_EQ(GetLe16(&h[2]), 0x3FF);
    EXPECT_EQ(GetLe16(&h[4]), 0xFFFF);
    EXPECT_EQ(GetLe16(&h[6]), 0xFFFF);
}

}  // namespace
}  // namespace nimbary::sim

#include "Encoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Units.h"

namespace nimbary {
namespace {

struct DecodeCase {
    const char* name;
    double (*decode)(uint32_t);
    uint32_t raw;
    double expected;
};

double Humi(uint32_t raw) {
    return DecodeHumi8(raw);
}
double Dir(uint32_t raw) {
    return DecodeDir12(raw);
}
double Bcd(uint32_t raw) {
    return DecodeBcd8(raw);
}

TEST(EncodingTest, DecodesRawCodesAndSentinels) {
    const DecodeCase cases[] = {
        {"Temp12 lowest", DecodeTemp12, 0, -40.0},
        {"Temp12 freezing", DecodeTemp12, 720, 32.0},
        {"Temp12 highest reading", DecodeTemp12, 0x7F9, 164.1},
        {"Temp12 invalid", DecodeTemp12, 0x7FA, 8388602},
        {"Temp12 absent", DecodeTemp12, 0x7FB, 8388603},
        {"Temp12 low", DecodeTemp12, 0x7FC, 8388604},
        {"Temp12 high", DecodeTemp12, 0x7FD, 8388605},
        {"Temp12 top", DecodeTemp12, 0xFFE, 8388606},
        {"Temp12 gap code is no reading", DecodeTemp12, 0x800, VAL_INVALID},
        {"Temp12 gap code 0xFF9", DecodeTemp12, 0xFF9, VAL_INVALID},
        {"Temp12 ignores bits above 12", DecodeTemp12, 0xF190, 0.0},
        {"Plain12", DecodePlain12, 123, 12.3},
        {"Plain12 invalid", DecodePlain12, 0x7FA, 8388602},
        {"Dir12", Dir, 359, 359},
        {"Dir12 out of range stays a number", Dir, 360, 360},
        {"Dir12 absent", Dir, 0x7FB, 8388603},
        {"Humi8 highest reading", Humi, 121, 121},
        {"Humi8 invalid", Humi, 122, 8388602},
        {"Humi8 absent", Humi, 123, 8388603},
        {"Humi8 gap code", Humi, 0x80, VAL_INVALID},
        {"Humi8 top", Humi, 0xFF, 8388607},
        {"Tenth16 highest reading", DecodeTenth16, 0x7FF9, 3276.1},
        {"Tenth16 invalid", DecodeTenth16, 0x7FFA, 8388602},
        {"Tenth16 gap code", DecodeTenth16, 0x8000, VAL_INVALID},
        {"Tenth16 without sentinel test", DecodeTenth16Raw, 0x7FFA, 3276.2},
        {"Tenth16 without sentinel test, top", DecodeTenth16Raw, 0xFFFF, 6553.5},
        {"Tenth20 top", DecodeTenth20, 0xFFFFF, 104857.5},
        {"Bcd8", Bcd, 0x59, 59},
        {"Bcd8 leading zero", Bcd, 0x07, 7},
    };
    for (const DecodeCase& c : cases) EXPECT_DOUBLE_EQ(c.decode(c.raw), c.expected) << c.name;
}

TEST(EncodingTest, EncodesWithTheWriteRules) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        uint32_t actual, expected;
    } cases[] = {
        {"Temp12 sentinel back to its code", EncodeTemp12(8388602.0), 0x7FA},
        {"Temp12 high sentinel", EncodeTemp12(8388605.0), 0x7FD},
        {"Temp12 below range is Low", EncodeTemp12(-40.5), 0x7FC},
        {"Temp12 lowest", EncodeTemp12(-40.0), 0},
        {"Temp12 20 F", EncodeTemp12(20.0), 600},
        {"Temp12 rounds", EncodeTemp12(20.04), 600},
        {"Temp12 rounds up", EncodeTemp12(20.06), 601},
        {"Temp12 highest reading", EncodeTemp12(164.1), 0x7F9},
        {"Temp12 above range is High, not a sentinel", EncodeTemp12(164.2), 0x7FD},
        {"Temp12 far above range", EncodeTemp12(1000.0), 0x7FD},
        {"Temp12 beyond every sentinel", EncodeTemp12(1e300), 0x7FF},
        {"Temp12 NaN", EncodeTemp12(nan), 0x7FA},
        {"Plain12", EncodePlain12(12.3), 123},
        {"Plain12 negative", EncodePlain12(-1.0), 0},
        {"Plain12 sentinel", EncodePlain12(8388603.0), 0x7FB},
        {"Humi8", EncodeHumi8(55), 55},
        {"Humi8 invalid", EncodeHumi8(VAL_INVALID), 122},
        {"Humi8 absent", EncodeHumi8(VAL_ABSENT), 123},
        {"Humi8 highest reading", EncodeHumi8(121), 121},
        {"Humi8 above range is High, not a sentinel", EncodeHumi8(122), 0x7D},
        {"Humi8 far above range is High, not its low byte", EncodeHumi8(300), 0x7D},
        {"Humi8 just below the sentinels", EncodeHumi8(VAL_INVALID - 1), 0x7D},
        {"Humi8 beyond every sentinel", EncodeHumi8(INT32_MAX), 0x7F},
        {"Humi8 negative", EncodeHumi8(-5), 0},
        {"Tenth16", EncodeTenth16(1013.2), 10132},
        {"Tenth16 sentinel", EncodeTenth16(8388602.0), 0x7FFA},
        {"Tenth16 above range", EncodeTenth16(5000.0), 0x7FFD},
        {"Bcd8", EncodeBcd8(59), 0x59},
        {"Bcd8 one digit", EncodeBcd8(7), 0x07},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

// Every code a field can carry survives decode then encode, so a value read
// from the station and written back unchanged is sent as it came.
TEST(EncodingTest, EveryCodeRoundTrips) {
    for (uint32_t raw = 0; raw <= 0x7FF; ++raw) {
        ASSERT_EQ(EncodeTemp12(DecodeTemp12(raw)), raw) << raw;
        ASSERT_EQ(EncodePlain12(DecodePlain12(raw)), raw) << raw;
    }
    for (uint32_t raw = 0; raw <= 0x7FFF; ++raw)
        ASSERT_EQ(EncodeTenth16(DecodeTenth16(raw)), raw) << raw;
    for (uint32_t raw = 0; raw <= 0x7F; ++raw) ASSERT_EQ(EncodeHumi8(DecodeHumi8(raw)), raw) << raw;
    for (int32_t v = 0; v <= 99; ++v) ASSERT_EQ(DecodeBcd8(EncodeBcd8(v)), v);
}

TEST(EncodingTest, PairsShareThreeBytes) {
    const uint8_t packed[] = {0x34, 0x72, 0x56};  // 0x234 and 0x567
    ByteReader r(packed, sizeof packed);
    uint32_t a = 0, b = 0;
    r.Pair12(0, a, b);
    EXPECT_EQ(a, 0x234u);
    EXPECT_EQ(b, 0x567u);

    uint8_t out[3] = {0xFF, 0xFF, 0xFF};
    ByteWriter w(out, sizeof out);
    w.Pair12(0, 0x234, 0x567);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 3), std::vector<uint8_t>(packed, packed + 3));
    EXPECT_TRUE(r.ok() && w.ok());
}

TEST(EncodingTest, PackedRunMatchesPairs) {
    const uint8_t bytes[] = {0x34, 0x72, 0x56, 0xBC, 0xFA, 0xDE};
    ByteReader r(bytes, sizeof bytes);
    uint32_t run[4];
    r.Run12(0, 4, run);
    EXPECT_EQ(run[0], 0x234u);
    EXPECT_EQ(run[1], 0x567u);
    EXPECT_EQ(run[2], 0xABCu);
    EXPECT_EQ(run[3], 0xDEFu);
    EXPECT_TRUE(r.ok());
}

TEST(EncodingTest, TwentyBitFieldsAtNibblePositions) {
    const uint8_t bytes[] = {0x21, 0x43, 0x65};
    ByteReader r(bytes, sizeof bytes);
    EXPECT_EQ(r.Low20(0), 0x54321u);
    EXPECT_EQ(r.High20(0), 0x65432u);
    EXPECT_TRUE(r.ok());
}

TEST(EncodingTest, ReadsPastTheEndFailWithoutTouchingMemory) {
    const uint8_t bytes[] = {0x01, 0x02};
    struct Case {
        const char* name;
        uint32_t (*read)(ByteReader&);
    } cases[] = {
        {"U16 at the last byte", [](ByteReader& r) { return r.U16(1); }},
        {"U32", [](ByteReader& r) { return r.U32(0); }},
        {"U8 far away", [](ByteReader& r) { return r.U8(SIZE_MAX); }},
        {"U16 offset wrapping", [](ByteReader& r) { return r.U16(SIZE_MAX - 1); }},
        {"pair",
         [](ByteReader& r) {
             uint32_t a, b;
             r.Pair12(0, a, b);
             return a | b;
         }},
        {"low 20", [](ByteReader& r) { return r.Low20(0); }},
        {"high 20", [](ByteReader& r) { return r.High20(1); }},
        {"run",
         [](ByteReader& r) {
             uint32_t run[2];
             r.Run12(0, 2, run);
             return run[1];
         }},
    };
    for (const Case& c : cases) {
        ByteReader r(bytes, sizeof bytes);
        EXPECT_EQ(c.read(r), 0u) << c.name;
        EXPECT_FALSE(r.ok()) << c.name;
    }

    uint8_t out[2] = {0, 0};
    ByteWriter w(out, sizeof out);
    w.U16(1, 0xFFFF);
    w.Pair12(0, 0xFFF, 0xFFF);
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(out[0] | out[1], 0);
}

TEST(EncodingTest, ChecksumIsTheSumModulo256) {
    const uint8_t frame[] = {0x0A, 0x83, 0x07, 0x38, 0x22, 0x0C, 0x05, 0x03, 0x18};
    EXPECT_EQ(Checksum(frame, sizeof frame), 0x1A);
    EXPECT_EQ(Checksum(frame, 0), 0);
}

}  // namespace
}  // namespace nimbary

// Block table, data ring and the ring of block numbers, byte by byte.
#include <gtest/gtest.h>

#include <vector>

#include "HistoryMemory.h"
#include "SimWire.h"

namespace nimbary::sim {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kT0 = 100000;

// Indoor temperature only: two-byte records.
const RecordFormat kSmall{0x00, 0x00, RF_IN_TEMP, 60};

Bytes Rec(uint8_t a, uint8_t b) {
    return {a, b};
}

Bytes EntryBytes(const HistoryMemory& m, uint8_t block) {
    const Bytes& t = m.Table();
    return Bytes(t.begin() + (block - 1) * 16, t.begin() + block * 16);
}

HistoryMemory Memory(uint8_t blocks, uint16_t size, uint8_t maxRecords,
                     BlockRing ring = BlockRing::UpToN) {
    MemoryLayout l{blocks, size, ring, maxRecords};
    EXPECT_EQ(HistoryMemory::CheckLayout(l), "");
    HistoryMemory m(l);
    m.Erase();
    return m;
}

TEST(HistoryMemory, ErasedMemoryIsEmpty) {
    HistoryMemory m = Memory(64, 64256, 255);
    EXPECT_EQ(m.FirstBlock(), 0);
    EXPECT_EQ(m.CurrentBlock(), 0);
    EXPECT_EQ(m.UsedSize(), 0);
    EXPECT_EQ(m.Table(), Bytes(1024, 0xFF));
    EXPECT_EQ(m.Data(), Bytes(64256, 0xFF));
}

TEST(HistoryMemory, EntriesAndBlockChangeWhenFull) {
    HistoryMemory m = Memory(4, 200, 3);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(m.Append(kSmall, kT0 + 60 * i, Rec(uint8_t(i), 0x10), {}));

    // count 3, masks 0, flags 1, unused, start 0, time, interval 60, unused
    EXPECT_EQ(EntryBytes(m, 1),
              (Bytes{3, 0, 0, 1, 0, 0, 0, 0, 0xA0, 0x86, 0x01, 0x00, 60, 0, 0, 0}));
    // The fourth record opened block 2 right after block 1's six bytes.
    EXPECT_EQ(EntryBytes(m, 2),
              (Bytes{1, 0, 0, 1, 0, 0, 6, 0, 0x54, 0x87, 0x01, 0x00, 60, 0, 0, 0}));
    EXPECT_EQ(Bytes(m.Data().begin(), m.Data().begin() + 8),
              (Bytes{0, 0x10, 1, 0x10, 2, 0x10, 3, 0x10}));
    EXPECT_EQ(m.FirstBlock(), 1);
    EXPECT_EQ(m.CurrentBlock(), 2);
    EXPECT_EQ(m.UsedSize(), 8);
}

TEST(HistoryMemory, NewBlockWhenFormatIntervalOrTimeChanges) {
    HistoryMemory m = Memory(64, 1000, 255);
    m.Append(kSmall, kT0, Rec(1, 1), {});
    m.Append(kSmall, kT0 + 60, Rec(2, 2), {});
    EXPECT_EQ(m.CurrentBlock(), 1);

    m.Append(kSmall, kT0 + 180, Rec(3, 3), {});  // a record time skipped
    EXPECT_EQ(m.CurrentBlock(), 2);
    EXPECT_EQ(m.Entry(2).time, kT0 + 180);

    RecordFormat other = kSmall;
    other.interval = 300;
    m.Append(other, kT0 + 240, Rec(4, 4), {});  // interval changed
    EXPECT_EQ(m.CurrentBlock(), 3);

    other.flags |= RF_PRESSURE;
    m.Append(other, kT0 + 540, Bytes{5, 5, 5, 5}, {});  // sensors changed
    EXPECT_EQ(m.CurrentBlock(), 4);
    EXPECT_EQ(m.Entry(4).flags, RF_IN_TEMP | RF_PRESSURE);
    EXPECT_EQ(m.Entry(4).start, 8);
    EXPECT_EQ(m.UsedSize(), 12);
}

TEST(HistoryMemory, RainHeaderPrecedesFirstRecordOnly) {
    HistoryMemory m = Memory(64, 1000, 255);
    RecordFormat f{0x00, 0x00, RF_RAIN | RF_RAIN_HEADER, 60};
    Bytes header = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0};
    m.Append(f, kT0, Bytes{0xA1, 0xA2, 0xA3}, header);
    m.Append(f, kT0 + 60, Bytes{0xB1, 0xB2, 0xB3}, header);
    Bytes d(m.Data().begin(), m.Data().begin() + 19);
    EXPECT_EQ(
        d, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0xA1, 0xA2, 0xA3, 0xB1, 0xB2, 0xB3, 0xFF}));
    EXPECT_EQ(m.UsedSize(), 18);
    EXPECT_EQ(m.Entry(1).flags, 0xC0);
}

TEST(HistoryMemory, BlockNumbersRingUpToN) {
    HistoryMemory m = Memory(4, 1000, 1);
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 6; ++i) {
        m.Append(kSmall, kT0 + 60 * i, Rec(uint8_t(i), 0), {});
        seen.push_back({m.FirstBlock(), m.CurrentBlock()});
    }
    // Block 4 is used; the fifth block reuses number 1 and drops the oldest.
    EXPECT_EQ(seen,
              (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 1}, {3, 2}}));
    EXPECT_EQ(m.LiveBlocks(), 4);
    EXPECT_EQ(m.UsedSize(), 8);
    EXPECT_EQ(m.Entry(1).time, kT0 + 240);
}

TEST(HistoryMemory, BlockNumbersRingUpToNMinusOne) {
    HistoryMemory m = Memory(4, 1000, 1, BlockRing::UpToNMinus1);
    for (int i = 0; i < 4; ++i) m.Append(kSmall, kT0 + 60 * i, Rec(uint8_t(i), 0), {});
    EXPECT_EQ(m.LastBlock(), 3);
    EXPECT_EQ(m.FirstBlock(), 2);
    EXPECT_EQ(m.CurrentBlock(), 1);
    EXPECT_EQ(m.LiveBlocks(), 3);
    EXPECT_EQ(m.Entry(4).count, 0xFF) << "block 4 is never written";
}

TEST(HistoryMemory, SixtyFourBlocksFillTheTable) {
    HistoryMemory m = Memory(64, 64256, 1);
    for (int i = 0; i < 65; ++i) m.Append(kSmall, kT0 + 60 * i, Rec(0, 0), {});
    EXPECT_EQ(m.CurrentBlock(), 1);
    EXPECT_EQ(m.FirstBlock(), 2);
    EXPECT_EQ(m.Entry(64).time, kT0 + 60 * 63);
    EXPECT_EQ(m.Entry(64).start, 126);
}

TEST(HistoryMemory, DataWrapsAtMAndDropsTheOldestBlock) {
    // Ten two-byte records per block; the 128-byte ring holds six blocks and a bit.
    HistoryMemory m = Memory(64, 128, 10);
    uint8_t n = 0;
    for (int i = 0; i < 64; ++i, ++n) m.Append(kSmall, kT0 + 60 * i, Rec(n, 0xEE), {});
    EXPECT_EQ(m.FirstBlock(), 1);
    EXPECT_EQ(m.CurrentBlock(), 7);
    EXPECT_EQ(m.UsedSize(), 128);

    // The next record wraps to address 0, over block 1's bytes.
    m.Append(kSmall, kT0 + 60 * 64, Rec(n, 0xEE), {});
    EXPECT_EQ(m.FirstBlock(), 2);
    EXPECT_EQ(m.UsedSize(), 128 - 20 + 2);
    EXPECT_EQ(m.Entry(7).start, 120);
    EXPECT_EQ(m.Entry(7).count, 5);
    Bytes ring(10);
    m.ReadData(120, 10, ring.data());
    EXPECT_EQ(ring, (Bytes{60, 0xEE, 61, 0xEE, 62, 0xEE, 63, 0xEE, 64, 0xEE}));
    EXPECT_EQ(m.Data()[0], 64);
}

TEST(HistoryMemory, BlockNeverOverrunsItself) {
    // 13-byte records after a 12-byte header: the ninth would reach the header.
    HistoryMemory m = Memory(64, 128, 255);
    RecordFormat f{0x01, 0x01, 0xFF, 60};
    Bytes header(12, 0x48);
    for (int i = 0; i < 9; ++i) m.Append(f, kT0 + 60 * i, Bytes(13, uint8_t(i)), header);
    EXPECT_EQ(m.FirstBlock(), 2);
    EXPECT_EQ(m.CurrentBlock(), 2);
    EXPECT_EQ(m.Entry(2).start, 116);
    EXPECT_EQ(m.Entry(2).count, 1);
    Bytes b(25);
    m.ReadData(116, 25, b.data());
    Bytes want(12, 0x48);
    want.insert(want.end(), 13, 8);
    EXPECT_EQ(b, want);
    EXPECT_EQ(m.UsedSize(), 25);
}

TEST(HistoryMemory, TableReadsWrapAt1024) {
    HistoryMemory m = Memory(64, 1000, 255);
    m.Append(kSmall, kT0, Rec(1, 1), {});
    Bytes b(20);
    m.ReadTable(1016, 20, b.data());
    EXPECT_EQ(b[8], 1);  // address 1024 is address 0: block 1's count
    EXPECT_EQ(b[0], 0xFF);
}

TEST(HistoryMemory, LayoutAndRestoreChecks) {
    EXPECT_NE(HistoryMemory::CheckLayout({65, 64256, BlockRing::UpToN, 255}), "");
    EXPECT_NE(HistoryMemory::CheckLayout({1, 64256, BlockRing::UpToNMinus1, 255}), "");
    EXPECT_NE(HistoryMemory::CheckLayout({64, 100, BlockRing::UpToN, 255}), "");
    EXPECT_NE(HistoryMemory::CheckLayout({64, 64256, BlockRing::UpToN, 0}), "");

    HistoryMemory m = Memory(8, 200, 255);
    EXPECT_NE(m.Restore(Bytes(1000), Bytes(200), 0, 0, 0), "");
    EXPECT_NE(m.Restore(Bytes(1024), Bytes(199), 0, 0, 0), "");
    EXPECT_NE(m.Restore(Bytes(1024), Bytes(200), 9, 1, 0), "");
    EXPECT_NE(m.Restore(Bytes(1024), Bytes(200), 0, 1, 0), "");
    EXPECT_NE(m.Restore(Bytes(1024), Bytes(200), 1, 1, 201), "");
    EXPECT_EQ(m.Table(), Bytes(1024, 0xFF)) << "a refused image changes nothing";

    // A garbled but accepted image keeps appends inside the ring.
    ASSERT_EQ(m.Restore(Bytes(1024, 0xEE), Bytes(200, 0), 3, 5, 200), "");
    for (int i = 0; i < 50; ++i) m.Append(kSmall, kT0 + 60 * i, Rec(1, 2), {});
    EXPECT_LE(m.UsedSize(), 200);
}

}  // namespace
}  // namespace nimbary::sim

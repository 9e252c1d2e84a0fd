#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <set>

#include "CUsb.h"
#include "CalendarTime.h"
#include "Derived.h"
#include "FakeStation.h"
#include "HistoryDownloader.h"
#include "RecordingMessages.h"
#include "SimBackend.h"
#include "StationImage.h"
#include "StationUnits.h"
#include "TempDir.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x12345678;
constexpr uint8_t kAllFlags =
    BF_IN_TEMP | BF_IN_HUMI | BF_WIND | BF_GUST | BF_WIND_DIR | BF_PRESSURE | BF_RAIN;

BlockEntry Block(uint16_t address, uint32_t start, uint8_t flags = kAllFlags,
                 uint8_t tempMask = 0x01, uint8_t humiMask = 0x01, uint16_t interval = 300) {
    BlockEntry e;
    e.StartAddress = address;
    e.StartTime = start;
    e.Interval = interval;
    e.Flags = flags;
    e.TempMask = tempMask;
    e.HumiMask = humiMask;
    return e;
}

// n records whose values follow from `base` + index, so each is recognisable.
std::vector<RawRecord> Records(int n, int base, uint32_t rainStart = 100) {
    std::vector<RawRecord> out(n);
    for (int i = 0; i < n; ++i) {
        RawRecord& r = out[i];
        r.inTemp = static_cast<uint16_t>(1000 + base + i);  // (600 + base + i) / 10 °F
        r.chTemp[0] = static_cast<uint16_t>(700 + base + i);
        r.inHumi = 40;
        r.chHumi[0] = 55;
        r.wind = 30;
        r.gust = 260;  // needs bit 8
        r.dir = 300;
        r.pressure = 10100 + i;
        r.rain = rainStart + i;  // 0.1 mm more each record
    }
    return out;
}

// 2024-03-05 10:00 on the station's clock.
uint32_t At2024() {
    CalendarTime c;
    c.Year = 2024;
    c.Month = 3;
    c.Day = 5;
    c.Hour = 10;
    uint32_t t = 0;
    c.ToStationTime(t);
    return t;
}

double InTempOf(int base, int i) {
    return (600 + base + i) / 10.0;
}

struct Row {
    double recTime, inTemp, ch1Temp, relBaro, rain3, rain8, absBaro, dew, feel;
};

// The simulated station loaded with a FakeStation's arrays, reached through
// the real transport and command operations.
struct SimRoute {
    std::shared_ptr<sim::SimStation> station;
    std::unique_ptr<sim::SimBackend> backend;
    std::unique_ptr<CUsb> usb;
    std::unique_ptr<StationData> data;
    std::unique_ptr<StationDataSource> source;
    ~SimRoute() {
        source.reset();
        data.reset();
        usb.reset();  // closes the device before its backend goes
        backend.reset();
    }
};

// Every scenario runs twice: against the arrays directly, and with the same
// memory loaded into the simulated station behind the transport.
class DownloaderTest : public ::testing::TestWithParam<bool> {
protected:
    TempDir dir;
    RecordingMessages messages;
    HistoryDb db{&messages};
    std::atomic<int> stop{0}, busy{0};
    std::vector<std::string> faults;
    std::vector<int> completions;
    std::unique_ptr<SimRoute> route;
    bool arraysOnlyAllowed = false;  // memory the simulator refuses to load

    void SetUp() override { ASSERT_EQ(db.Open(dir.File("Nimbary.db")), 0); }
    void TearDown() override {
        route.reset();
        SetUnits(UnitSet{});  // a settings read through the simulator sets them
    }

    void Route(FakeStation& st) {
        st.route = nullptr;
        st.onVanish = nullptr;
        route.reset();
        if (!GetParam()) return;
        sim::StationImage img = st.Image();
        sim::SimConfig config;
        config.devId = st.info.DevID;
        config.startTime = At2024() + 30 * 86400.0;
        config.frozen = true;
        auto r = std::make_unique<SimRoute>();
        r->station = std::make_shared<sim::SimStation>(config);
        SetStationUnits(*r->station, st.units);
        const std::string refused = r->station->LoadImage(img);
        if (!refused.empty()) {
            EXPECT_TRUE(arraysOnlyAllowed) << refused;
            return;
        }
        r->backend = std::make_unique<sim::SimBackend>(r->station);
        r->usb = std::make_unique<CUsb>(*r->backend);
        ASSERT_EQ(r->usb->OpenStation(), 1);
        r->data = std::make_unique<StationData>(r->usb.get());
        r->source = std::make_unique<StationDataSource>(*r->data);
        st.route = r->source.get();
        sim::SimBackend* backend = r->backend.get();
        st.onVanish = [backend]() { backend->Unplug(); };
        route = std::move(r);
    }

    bool Pass(FakeStation& st, PassOutcome expected) {
        HistoryDownloader dl(st, db, &stop, &busy);
        return Pass(dl, st, expected);
    }
    bool Pass(HistoryDownloader& dl, FakeStation& st, PassOutcome expected) {
        Route(st);
        dl.onFault = [this](const std::string& t) { faults.push_back(t); };
        dl.onComplete = [this](int n) { completions.push_back(n); };
        const bool r = dl.Download();
        EXPECT_EQ(dl.LastOutcome(), expected) << dl.LastMessage();
        return r;
    }

    std::vector<Row> Rows() {
        std::vector<Row> out;
        EXPECT_EQ(db.SelectRecords(kDev, 0, 1e6), 0);
        for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
            db.ReadRecord();
            const HistoryRecord& r = db.ReadImage();
            out.push_back({r.RecTime, r.InTemp, r.ChTemp[0], r.RelBaro, r.Rain[RAIN_HOUR],
                           r.Rain[RAIN_TOTAL], r.AbsBaro, r.ChDewPoint[0], r.ChFeelLike[0]});
        }
        db.CloseSelection();
        return out;
    }

    DeviceInfo Stored() {
        EXPECT_EQ(db.ReadDevice(kDev), 0);
        return db.Info();
    }
};

}  // namespace

TEST_P(DownloaderTest, NewStationReadsBlocksOneToThreeWhole) {
    FakeStation st(16, 4096);
    const uint32_t t0 = 700000000;
    st.PutBlock(1, Block(0, t0), Records(4, 0));
    const int size = Block(0, 0).RecordSize();
    st.PutBlock(2, Block(4 * size, t0 + 4 * 300), Records(3, 10, 104));
    st.PutBlock(3, Block(7 * size, t0 + 7 * 300), Records(2, 20, 107));
    st.SetStatus(1, 3);
    st.pressureOffset = 123;
    st.units = UnitSet{0, 2, 3, 0, 0};  // °C, mmHg, knots, mm

    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0].recTime, StationTimeToOleDate(t0));
    EXPECT_EQ(rows[8].recTime, StationTimeToOleDate(t0 + 8 * 300));
    EXPECT_DOUBLE_EQ(rows[0].inTemp, InTempOf(0, 0));
    EXPECT_DOUBLE_EQ(rows[5].inTemp, InTempOf(10, 1));
    EXPECT_DOUBLE_EQ(rows[8].inTemp, InTempOf(20, 1));
    // Relative pressure from the offset, divided in single precision.
    EXPECT_EQ(rows[0].relBaro, 1010.0 + static_cast<double>(123.0f / 10.0f));
    EXPECT_EQ(st.pressureReads, 1);  // read once per pass
    // Derived values from the record's own readings.
    HistoryRecord expect;
    expect.ChTemp[0] = (700 - 400) / 10.0;
    expect.ChHumi[0] = 55;
    expect.Wind = 3.0;
    FillDerived(expect, 1, 1, true);
    EXPECT_EQ(rows[0].dew, expect.ChDewPoint[0]);
    EXPECT_EQ(rows[0].feel, expect.ChFeelLike[0]);
    ASSERT_EQ(completions, std::vector<int>{9});

    // The station's own units, not a new station's defaults (1, 1, 1, 1, 2).
    DeviceInfo d = Stored();
    EXPECT_TRUE(db.DeviceFound());
    EXPECT_EQ(d.Units.TempUnit, 0);
    EXPECT_EQ(d.Units.BaroUnit, 2);
    EXPECT_EQ(d.Units.WindUnit, 3);
    EXPECT_EQ(d.Units.RainUnit, 0);
    EXPECT_EQ(d.Units.LightUnit, 0);
    EXPECT_EQ(d.FirstBlock, 1);
    EXPECT_EQ(d.CurrBlock, 3);
    EXPECT_EQ(d.CurrRecord, 2);
    EXPECT_EQ(d.TickTime, t0 + 7 * 300);
    EXPECT_EQ(d.RecTime, t0 + 8 * 300);
    // Rain: the first record starts the sums, later ones add 0.1 each.
    EXPECT_NEAR(d.Rain[RAIN_DAY], 0.1 * 8, 1e-9);
    EXPECT_EQ(d.Rain[RAIN_EVENT], static_cast<double>(VAL_ABSENT));
    EXPECT_TRUE(messages.texts.empty());
}

TEST_P(DownloaderTest, ResumesInTheSameBlockSkippingTheRainHeader) {
    FakeStation st(8, 2048);
    const uint32_t t0 = At2024();
    RawHeader h;
    h.hour = 25;
    h.day = 70;
    h.week = 400;
    h.month = 900;
    auto recs = Records(3, 0);
    st.PutBlock(1, Block(100, t0), recs, &h);
    st.SetStatus(1, 1);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    DeviceInfo d = Stored();
    EXPECT_DOUBLE_EQ(d.Rain[RAIN_MONTH], 90.0 + 0.2);  // header month + two increases
    EXPECT_EQ(d.CurrRecord, 3);

    // Two more records arrive; the header bytes change so decoding them again would show.
    auto more = Records(5, 0);
    h.month = 5000;
    st.PutBlock(1, Block(100, t0), more, &h);
    st.dataChunks.clear();
    completions.clear();
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    const int size = Block(0, 0).RecordSize();
    ASSERT_FALSE(st.dataChunks.empty());
    EXPECT_EQ(st.dataChunks.front().address, 100 + 12 + 3 * size);
    EXPECT_EQ(completions, std::vector<int>{2});
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_DOUBLE_EQ(rows[4].inTemp, InTempOf(0, 4));
    d = Stored();
    EXPECT_DOUBLE_EQ(d.Rain[RAIN_MONTH], 90.0 + 0.4);
    EXPECT_EQ(d.CurrRecord, 5);
    EXPECT_EQ(d.RecTime, t0 + 4 * 300);
}

TEST_P(DownloaderTest, NothingNewReadsNoDataAndStoresNothing) {
    FakeStation st(8, 2048);
    st.PutBlock(1, Block(0, At2024()), Records(3, 0));
    st.SetStatus(1, 1);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    st.dataChunks.clear();
    completions.clear();
    EXPECT_FALSE(Pass(st, PassOutcome::NothingNew));
    EXPECT_TRUE(st.dataChunks.empty());
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(Rows().size(), 3u);

    // An empty memory (first block 0) reads nothing either.
    FakeStation empty(8, 2048, 0x0BADF00D);
    empty.SetStatus(0, 0);
    EXPECT_FALSE(Pass(empty, PassOutcome::NothingNew));
    EXPECT_EQ(db.ReadDevice(0x0BADF00D), 0);
    EXPECT_FALSE(db.DeviceFound());
}

// A full record set in chunks of 124: records straddle the chunk borders,
// and a run that passes the end of the data area continues at address 0.
TEST_P(DownloaderTest, ChunksSplitRecordsAndWrapAtTheEndOfTheDataArea) {
    const uint8_t flags = 0x7F;
    const BlockEntry shape = Block(0, 0, flags, 0xFF, 0xFF);
    const int size = shape.RecordSize();
    ASSERT_EQ(size, 31);
    const uint16_t m = 1000;
    FakeStation st(8, m);
    std::vector<RawRecord> recs = Records(20, 0);
    for (int i = 0; i < 20; ++i)
        for (int k = 0; k < 8; ++k) {
            recs[i].chTemp[k] = static_cast<uint16_t>(500 + 10 * k + i);
            recs[i].chHumi[k] = static_cast<uint8_t>(10 + k + i);
        }
    const uint16_t start = m - 3 * size - 7;  // the fourth record straddles the end
    st.PutBlock(1, Block(start, At2024(), flags, 0xFF, 0xFF), recs);
    st.SetStatus(1, 1);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));

    uint32_t total = 0;
    for (const auto& c : st.dataChunks) {
        EXPECT_LE(c.count, 124);
        EXPECT_LE(c.address + c.count, m);  // never asks past the end
        total += c.count;
    }
    EXPECT_EQ(total, 20u * size);
    EXPECT_EQ(st.dataChunks[0].address, start);
    EXPECT_EQ(st.dataChunks[1].address, 0);

    ASSERT_EQ(db.SelectRecords(kDev, 0, 1e6), 0);
    int i = 0;
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext(), ++i) {
        db.ReadRecordAllChannels();
        const HistoryRecord& r = db.ReadImage();
        for (int k = 0; k < 8; ++k) {
            EXPECT_DOUBLE_EQ(r.ChTemp[k], (500 + 10 * k + i - 400) / 10.0) << i << " " << k;
            EXPECT_EQ(r.ChHumi[k], 10 + k + i);
        }
        EXPECT_DOUBLE_EQ(r.Gust, 26.0);
        EXPECT_EQ(r.WindDir, 300);
    }
    EXPECT_EQ(i, 20);
    db.CloseSelection();
}

TEST_P(DownloaderTest, RainThroughAPassTotalDownOlderRecordAndWrap) {
    FakeStation st(8, 4096);
    const uint32_t t0 = At2024();
    std::vector<RawRecord> a = Records(4, 0);
    a[0].rain = 100;  // 10.0 mm: starts the sums
    a[1].rain = 120;  // +2.0
    a[2].rain = 10;   // station reset: +0
    a[3].rain = 15;   // +0.5
    st.PutBlock(1, Block(0, t0), a);
    // The clock was set back: block 2 starts before block 1's last record.
    std::vector<RawRecord> b = Records(2, 0);
    b[0].rain = 500;    // older than the last record handled: sums unchanged
    b[1].rain = 10020;  // +1000.5 over the total of 1.5: 2.5 + 1000.5 wraps to 3.1
    const int size = Block(0, 0).RecordSize();
    st.PutBlock(2, Block(4 * size, t0 + 300), b);
    st.SetStatus(1, 2);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 6u);
    // Ordered by time: the set-back block's records sort between.
    std::vector<double> hours, totals;
    ASSERT_EQ(db.SelectRecords(kDev, 0, 1e6), 0);
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        db.ReadRecord();
        hours.push_back(db.ReadImage().Rain[RAIN_HOUR]);
        totals.push_back(db.ReadImage().Rain[RAIN_TOTAL]);
    }
    db.CloseSelection();
    // Rows by time: a0 (t0), a1 (t0+300), b0 (t0+300), a2, b1 (t0+600), a3.
    EXPECT_NEAR(hours[0], 0.0, 1e-9);
    EXPECT_NEAR(hours[5], 2.5, 1e-9);  // a3, the last by time
    DeviceInfo d = Stored();
    EXPECT_NEAR(d.Rain[RAIN_HOUR], 3.1, 1e-6);
    EXPECT_NEAR(d.Rain[RAIN_TOTAL], 1002.0, 1e-9);
    // The older record keeps its own total reading.
    EXPECT_NE(std::find(totals.begin(), totals.end(), 50.0), totals.end());
}

TEST_P(DownloaderTest, StopAfterTheFifthOfTenRecordsStoresNothing) {
    for (std::atomic<int>* flag : {&stop, &busy}) {
        SCOPED_TRACE(flag == &stop ? "stop" : "busy");
        FakeStation st(8, 2048, kDev);
        st.PutBlock(1, Block(0, At2024()), Records(10, 0));
        st.SetStatus(1, 1);
        // Every record asks for the offset while it fails; the fifth ask raises the flag.
        st.pressureFails = true;
        st.onPressureRead = [flag](long reads) {
            if (reads == 5) *flag = 1;
        };
        HistoryDownloader dl(st, db, &stop, &busy);
        EXPECT_FALSE(Pass(dl, st, PassOutcome::Stopped));
        EXPECT_EQ(dl.LastCount(), 5);
        EXPECT_TRUE(Rows().empty());
        EXPECT_EQ(db.ReadDevice(kDev), 0);
        EXPECT_FALSE(db.DeviceFound());

        // A raised flag ends the next pass before it starts.
        EXPECT_FALSE(Pass(dl, st, PassOutcome::Stopped));
        *flag = 0;
        st.pressureFails = false;
        st.onPressureRead = nullptr;
        EXPECT_TRUE(Pass(dl, st, PassOutcome::Saved));
        EXPECT_EQ(Rows().size(), 10u);
        ASSERT_EQ(db.DeleteDevice(kDev), 0);
    }
}

TEST_P(DownloaderTest, PressureSentinelAndFailedOffsetRead) {
    FakeStation st(8, 2048);
    auto recs = Records(3, 0);
    recs[1].pressure = 32762;
    st.PutBlock(1, Block(0, At2024()), recs);
    st.SetStatus(1, 1);
    st.pressureOffset = -55;
    st.onPressureRead = [&st](long reads) { st.pressureFails = reads == 1; };
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].relBaro, static_cast<double>(VAL_INVALID));  // no offset yet
    EXPECT_EQ(rows[1].absBaro, static_cast<double>(VAL_INVALID));
    EXPECT_EQ(rows[1].relBaro, static_cast<double>(VAL_INVALID));  // the sentinel itself
    EXPECT_EQ(rows[2].relBaro, 1010.2 + static_cast<double>(-55.0f / 10.0f));
    EXPECT_EQ(st.pressureReads, 2);
}

// Blocks numbered 1..N as a ring: after N comes 1.
TEST_P(DownloaderTest, RingWrapsInBlockNumbers) {
    FakeStation st(4, 4096);
    const uint32_t t0 = At2024();
    const int size = Block(0, 0).RecordSize();
    // Fresh start with first 3, current 1: blocks 3, 4, 1.
    st.PutBlock(3, Block(0, t0), Records(2, 0));
    st.PutBlock(4, Block(2 * size, t0 + 600), Records(2, 10));
    st.PutBlock(1, Block(4 * size, t0 + 1200), Records(2, 20));
    st.SetStatus(3, 1);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_DOUBLE_EQ(rows[5].inTemp, InTempOf(20, 1));
    EXPECT_EQ(Stored().CurrBlock, 1);

    // Block 1 grows, then blocks 2 and 3 (a new one on the old number) follow.
    st.PutBlock(1, Block(4 * size, t0 + 1200), Records(3, 20));
    st.PutBlock(2, Block(7 * size, t0 + 2100), Records(2, 30));
    st.PutBlock(3, Block(9 * size, t0 + 2700), Records(1, 40));
    st.SetStatus(4, 3);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    rows = Rows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_DOUBLE_EQ(rows[6].inTemp, InTempOf(20, 2));
    EXPECT_DOUBLE_EQ(rows[9].inTemp, InTempOf(40, 0));
    DeviceInfo d = Stored();
    EXPECT_EQ(d.FirstBlock, 4);
    EXPECT_EQ(d.CurrBlock, 3);
    EXPECT_EQ(d.TickTime, t0 + 2700);
}

// The stored block number now carries another block that began before the
// newest stored record: only records later than that are read.
TEST_P(DownloaderTest, ReusedBlockNumberResumesAfterTheNewestStoredTime) {
    FakeStation st(8, 4096);
    const uint32_t t0 = At2024();
    st.PutBlock(2, Block(0, t0), Records(5, 0));
    st.SetStatus(2, 2);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    EXPECT_EQ(Stored().RecTime, t0 + 4 * 300);

    st.PutBlock(2, Block(500, t0 + 2 * 300), Records(8, 50));
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 10u);  // 5 + records 4..8 of the new block
    EXPECT_EQ(rows[5].recTime, StationTimeToOleDate(t0 + 5 * 300));
    EXPECT_DOUBLE_EQ(rows[5].inTemp, InTempOf(50, 3));
}

TEST_P(DownloaderTest, StoredBlockOutsideTheLiveRunMeansFreshStart) {
    FakeStation st(8, 4096);
    const uint32_t t0 = At2024();
    st.PutBlock(6, Block(0, t0), Records(2, 0));
    st.SetStatus(6, 6);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    // The memory was cleared and refilled: blocks 1..2 are live, 6 is not.
    st.PutBlock(1, Block(100, t0 + 3600), Records(2, 10));
    st.PutBlock(2, Block(200, t0 + 7200), Records(1, 20));
    st.SetStatus(1, 2);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    EXPECT_EQ(Rows().size(), 5u);
    EXPECT_EQ(Stored().CurrBlock, 2);
}

// Memory contents that make no sense: a memory status or device information
// that gives no walk at all ends the pass before anything is stored; a block
// entry that cannot be read is skipped and every sound block is stored. Each
// is told once, not on every pass, and once the memory is sound again the
// pass goes on from the bookmark.
TEST_P(DownloaderTest, CorruptMemoryIsToldOnceAndStoresWhatIsSound) {
    struct Case {
        const char* name;
        std::function<void(FakeStation&)> spoil;
        const char* text;
        size_t rowsSpoilt, rowsMended;  // 0 rows spoilt: the pass ends
    };
    const int size = Block(0, 0).RecordSize();
    const int e1 = 0, e2 = kBlockEntrySize;  // entries of blocks 1 and 2
    const Case cases[] = {
        {"no blocks", [](FakeStation& s) { s.info.Blocks = 0; }, "0 history blocks", 0, 6},
        {"more blocks than the table holds", [](FakeStation& s) { s.info.Blocks = 65; }, "65", 0,
         6},
        {"empty data area", [](FakeStation& s) { s.info.DataSize = 0; }, "0 bytes", 0, 6},
        {"status beyond N", [](FakeStation& s) { s.SetStatus(1, 9); }, "blocks 1 to 9", 0, 6},
        {"current block 0", [](FakeStation& s) { s.SetStatus(1, 0); }, "blocks 1 to 0", 0, 6},
        {"start address beyond M",
         [](FakeStation& s) { s.table[e2 + 6] = 0xFF, s.table[e2 + 7] = 0xFF; },
         "block 2 starts at address 65535", 4, 6},
        {"interval 0", [](FakeStation& s) { s.table[e2 + 12] = 0, s.table[e2 + 13] = 0; },
         "block 2 has a record interval of 0", 4, 6},
        {"no fields",
         [](FakeStation& s) { s.table[e2 + 1] = s.table[e2 + 2] = s.table[e2 + 3] = 0; },
         "block 2 names no measurement", 4, 6},
        {"block larger than the data area",
         [size](FakeStation& s) {
             s.table[e2] = 255;
             s.info.DataSize = static_cast<uint16_t>(255 * size - 1);
             s.data.resize(s.info.DataSize);
         },
         "more than the", 4, 6},
        {"next block unwritten",
         [](FakeStation& s) { std::fill_n(s.table.begin() + e2, kBlockEntrySize, 0); },
         "block 2 is unwritten", 4, 6},
        // The bookmark's own block: its new record is lost, the next block is not.
        {"stored block unwritten",
         [](FakeStation& s) { std::fill_n(s.table.begin() + e1, kBlockEntrySize, 0xFF); },
         "block 1 is unwritten", 5, 5},
    };
    arraysOnlyAllowed = true;  // a few of these the simulator will not even load
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(db.DeleteDevice(kDev), 0);
        faults.clear();
        FakeStation st(8, 2048);
        const uint32_t t0 = At2024();
        st.PutBlock(1, Block(0, t0), Records(3, 0));
        st.SetStatus(1, 1);
        HistoryDownloader dl(st, db, &stop, &busy);
        EXPECT_TRUE(Pass(dl, st, PassOutcome::Saved));

        st.PutBlock(1, Block(0, t0), Records(4, 0));
        st.PutBlock(2, Block(4 * size, t0 + 1200), Records(2, 10));
        st.SetStatus(1, 2);
        const FakeStation sound = st;
        c.spoil(st);
        if (c.rowsSpoilt == 0) {
            EXPECT_FALSE(Pass(dl, st, PassOutcome::MemoryFault));
            EXPECT_FALSE(Pass(dl, st, PassOutcome::MemoryFault));
            EXPECT_EQ(Rows().size(), 3u);
            EXPECT_EQ(Stored().CurrRecord, 3);
        } else {
            EXPECT_TRUE(Pass(dl, st, PassOutcome::Saved));
            EXPECT_FALSE(Pass(dl, st, PassOutcome::NothingNew));
            EXPECT_EQ(Rows().size(), c.rowsSpoilt);
        }
        ASSERT_EQ(faults.size(), 1u);  // told once, not on every pass
        EXPECT_NE(faults[0].find(c.text), std::string::npos) << faults[0];

        st = sound;
        const bool more = c.rowsMended != c.rowsSpoilt;
        EXPECT_EQ(Pass(dl, st, more ? PassOutcome::Saved : PassOutcome::NothingNew), more);
        EXPECT_EQ(Rows().size(), c.rowsMended);
        EXPECT_EQ(Stored().CurrBlock, 2);
    }
}

// A station whose ring of block numbers ends at N-1 never writes entry N:
// the walk steps over it, says so once, and goes on round the ring.
TEST_P(DownloaderTest, RingEndingAtNMinusOneStepsOverTheUnwrittenEntry) {
    FakeStation st(4, 4096);
    std::fill(st.table.begin(), st.table.end(), 0xFF);
    const uint32_t t0 = At2024();
    const int size = Block(0, 0).RecordSize();
    st.PutBlock(1, Block(0, t0), Records(2, 0));
    st.PutBlock(2, Block(2 * size, t0 + 600), Records(2, 10));
    st.PutBlock(3, Block(4 * size, t0 + 1200), Records(2, 20));
    st.SetStatus(1, 3);
    HistoryDownloader dl(st, db, &stop, &busy);
    EXPECT_TRUE(Pass(dl, st, PassOutcome::Saved));
    EXPECT_TRUE(faults.empty());

    // After 3 comes 1 again: entry 4 lies in the walk and holds nothing.
    st.PutBlock(1, Block(6 * size, t0 + 1800), Records(3, 30));
    st.SetStatus(2, 1);
    EXPECT_TRUE(Pass(dl, st, PassOutcome::Saved));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_DOUBLE_EQ(rows[8].inTemp, InTempOf(30, 2));
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("block 4 is unwritten"), std::string::npos) << faults[0];
    EXPECT_EQ(Stored().CurrBlock, 1);

    // Round once more, and a fresh start across it: no new record lost, none
    // twice, nothing said again.
    st.PutBlock(2, Block(9 * size, t0 + 2700), Records(2, 40));
    st.PutBlock(3, Block(11 * size, t0 + 3300), Records(1, 50));
    st.SetStatus(2, 3);
    EXPECT_TRUE(Pass(dl, st, PassOutcome::Saved));
    EXPECT_EQ(Rows().size(), 12u);
    st.SetStatus(3, 2);
    st.PutBlock(1, Block(12 * size, t0 + 3600), Records(1, 60));
    st.PutBlock(2, Block(13 * size, t0 + 3900), Records(1, 70));
    ASSERT_EQ(db.DeleteDevice(kDev), 0);
    EXPECT_TRUE(Pass(dl, st, PassOutcome::Saved));
    EXPECT_EQ(Rows().size(), 3u);  // blocks 3, 1 and 2 of the new round
    EXPECT_EQ(faults.size(), 1u);
}

TEST_P(DownloaderTest, StationVanishingMidPassStoresNothing) {
    FakeStation st(8, 4096);
    const int size = Block(0, 0).RecordSize();
    st.PutBlock(1, Block(0, At2024()), Records(50, 0));
    st.PutBlock(2, Block(50 * size, At2024() + 50 * 300), Records(50, 100));
    st.SetStatus(1, 2);
    for (long answered : {0L, 1L, 2L, 3L, 4L, 6L, 9L}) {
        SCOPED_TRACE(answered);
        st.Revive();
        st.answerExchanges = answered;
        EXPECT_FALSE(Pass(st, PassOutcome::StationError));
        EXPECT_TRUE(Rows().empty());
    }
    st.Revive();
    st.unitsFail = true;  // no settings: the row would not know its units
    EXPECT_FALSE(Pass(st, PassOutcome::StationError));
    EXPECT_TRUE(Rows().empty());
    st.unitsFail = false;
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    EXPECT_EQ(Rows().size(), 100u);
    EXPECT_TRUE(faults.empty());  // a vanished station is not a memory fault
}

TEST_P(DownloaderTest, DatabaseFailureKeepsTheBookmarkAndReportsNoCompletion) {
    FakeStation st(8, 2048);
    st.PutBlock(1, Block(0, At2024()), Records(3, 0));
    st.SetStatus(1, 1);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    st.PutBlock(1, Block(0, At2024()), Records(6, 0));

    RecordingMessages msgs;
    HistoryDb full(&msgs);
    full.SetConnectionHook([](sqlite3* c) { sqlite3_exec(c, "PRAGMA query_only=1", 0, 0, 0); });
    ASSERT_EQ(full.Open(dir.File("Nimbary.db")), 0);
    HistoryDownloader dl(st, full, &stop, &busy);
    completions.clear();
    EXPECT_TRUE(Pass(dl, st, PassOutcome::DatabaseError));  // it reached the save
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(msgs.texts.size(), 1u);
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(Stored().CurrRecord, 3);
}

// The scratch file goes where the environment puts temporary files; with no
// such folder the pass ends without storing anything.
TEST_P(DownloaderTest, ScratchFileFollowsTmpdir) {
    const char* had = std::getenv("TMPDIR");
    const std::string saved = had ? had : "";
    FakeStation st(8, 2048);
    st.PutBlock(1, Block(0, At2024()), Records(3, 0));
    st.SetStatus(1, 1);
    setenv("TMPDIR", dir.File("no-such-folder").c_str(), 1);
    EXPECT_FALSE(Pass(st, PassOutcome::ScratchError));
    EXPECT_TRUE(Rows().empty());
    setenv("TMPDIR", dir.Path().c_str(), 1);
    EXPECT_TRUE(Pass(st, PassOutcome::Saved));
    EXPECT_EQ(Rows().size(), 3u);
    if (had)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

INSTANTIATE_TEST_SUITE_P(Memory, DownloaderTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "ThroughSimulator" : "Arrays";
                         });

// --- Generated histories ------------------------------------------------------

namespace {

// A station's history as it happens: blocks one after another, each filled
// record by record, numbered round a ring of block numbers and stored round
// a ring of data bytes. A moment of it is the station's memory while block
// `block` holds its first `count` records.
struct Timeline {
    struct Block {
        BlockEntry shape;
        int count = 0;
        int firstId = 0;  // records carry ids firstId.. in InTemp and their rain total
        bool header = false;
    };
    std::vector<Block> blocks;
    uint8_t n = 0;           // blocks the station reports
    bool shortRing = false;  // numbers run 1..N-1; entry N stays unwritten
    uint16_t m = 0;
    int firstNumber = 1;
    uint16_t firstAddress = 0;

    struct Moment {
        int block, count;
    };
    std::vector<Moment> Moments() const {
        std::vector<Moment> out;
        for (int k = 0; k < int(blocks.size()); ++k)
            for (int c = 0; c <= blocks[k].count; ++c) out.push_back({k, c});
        return out;
    }
    Moment Final() const { return {int(blocks.size()) - 1, blocks.back().count}; }

    // The memory at `at`, and the times of the records it holds.
    FakeStation StationAt(Moment at, uint32_t devId, std::set<uint32_t>& live) const {
        FakeStation st(n, m, devId);
        std::fill(st.table.begin(), st.table.end(), 0xFF);  // erased
        const int last = shortRing ? n - 1 : n;
        std::vector<int> numbers;
        std::vector<uint32_t> bytes;
        int number = firstNumber;
        uint32_t address = firstAddress;
        for (int j = 0; j <= at.block; ++j) {
            const Block& b = blocks[j];
            const int count = j < at.block ? b.count : at.count;
            BlockEntry e = b.shape;
            e.StartAddress = static_cast<uint16_t>(address);
            RawHeader h;
            h.hour = static_cast<uint16_t>(j * 3);
            h.month = static_cast<uint32_t>(100 + j);
            std::vector<RawRecord> recs = Records(count, b.firstId, 100 + b.firstId);
            st.PutBlock(number, e, recs, b.header ? &h : nullptr);
            const uint32_t size = count * e.RecordSize() + (b.header ? kRainHeaderSize : 0);
            address = (address + size) % m;
            numbers.push_back(number);
            bytes.push_back(size);
            number = number >= last ? 1 : number + 1;
        }
        // The oldest blocks give way to the newest: one number each, and the
        // data ring holds what fits.
        int first = at.block;
        uint32_t used = bytes[at.block];
        while (first > 0 && at.block - first + 1 < last && used + bytes[first - 1] <= m)
            used += bytes[--first];
        st.SetStatus(static_cast<uint8_t>(numbers[first]), static_cast<uint8_t>(numbers[at.block]));
        for (int j = first; j <= at.block; ++j) {
            const Block& b = blocks[j];
            const int count = j < at.block ? b.count : at.count;
            for (int i = 1; i <= count; ++i) live.insert(b.shape.RecordTime(i));
        }
        return st;
    }
};

Timeline Generate(unsigned seed, bool shortRing) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct Shape {
        uint8_t flags, temp, humi;
        bool header;
    };
    const Shape shapes[] = {
        {kAllFlags, 0x01, 0x01, false},
        {kAllFlags, 0x01, 0x01, true},
        {BF_IN_TEMP | BF_IN_HUMI, 0x03, 0x01, false},
        {BF_IN_TEMP | BF_PRESSURE | BF_RAIN, 0x00, 0x00, true},
        {BF_IN_TEMP | BF_WIND | BF_GUST, 0xFF, 0x00, false},
    };
    const uint16_t intervals[] = {60, 300, 600};
    Timeline tl;
    tl.shortRing = shortRing;
    tl.n = static_cast<uint8_t>(pick(4, 6));
    tl.m = static_cast<uint16_t>(pick(220, 400));
    tl.firstNumber = pick(1, shortRing ? tl.n - 1 : tl.n);
    tl.firstAddress = static_cast<uint16_t>(pick(0, tl.m - 1));
    const int blocks = pick(6, 10);
    uint32_t t = At2024();
    int id = 0;
    for (int k = 0; k < blocks; ++k) {
        const Shape& s = shapes[pick(0, 4)];
        Timeline::Block b;
        b.shape = Block(0, 0, s.flags, s.temp, s.humi, intervals[pick(0, 2)]);
        b.header = s.header;
        // Empty blocks first, last and in between: a block just begun, or one
        // given up at once for another interval.
        const bool empty =
            (k == 0 && seed % 3 == 0) || (k == blocks - 1 && seed % 3 == 1) || pick(0, 3) == 0;
        b.count = empty ? 0 : pick(1, 6);
        b.shape.StartTime = t + (empty && pick(0, 1) ? 0 : b.shape.Interval * pick(1, 3));
        b.firstId = id;
        id += b.count;
        t = b.count ? b.shape.RecordTime(b.count) : b.shape.StartTime;
        tl.blocks.push_back(b);
    }
    return tl;
}

// RecTime and InTemp of every stored record of one station, by time.
std::vector<std::pair<double, double>> Identities(HistoryDb& db, uint32_t devId) {
    std::vector<std::pair<double, double>> out;
    EXPECT_EQ(db.SelectRecords(devId, 0, 1e6), 0);
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        db.ReadRecord();
        out.push_back({db.ReadImage().RecTime, db.ReadImage().InTemp});
    }
    db.CloseSelection();
    return out;
}

// Every column but DevID of every stored record, by time.
std::vector<std::vector<double>> Contents(HistoryDb& db, uint32_t devId) {
    std::vector<std::vector<double>> out;
    EXPECT_EQ(db.SelectRecords(devId, 0, 1e6), 0);
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        db.ReadRecordAllChannels();
        std::vector<double> row{db.ReadImage().RecTime};
        ForEachMeasurement(db.ReadImage(), [&row](auto v) { row.push_back(double(v)); });
        out.push_back(row);
    }
    db.CloseSelection();
    return out;
}

// What a station with these record times must have stored: each once, with
// the InTemp its id gives.
std::vector<std::pair<double, double>> Expected(const Timeline& tl,
                                                const std::set<uint32_t>& times) {
    std::vector<std::pair<double, double>> out;
    for (const Timeline::Block& b : tl.blocks)
        for (int i = 1; i <= b.count; ++i)
            if (times.count(b.shape.RecordTime(i)))
                out.push_back(
                    {StationTimeToOleDate(b.shape.RecordTime(i)), InTempOf(b.firstId, i - 1)});
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

// Over many generated histories (empty blocks first, last and between,
// interval changes, block numbers and data addresses wrapping and reused,
// rings of 1..N and 1..N-1): a pass straight after another stores nothing,
// passes at any moments store each record the station held at one of them
// exactly once, and two passes split anywhere store what one pass stores.
TEST(DownloaderGenerated, PassesNeverRepeatOrLoseRecords) {
    TempDir dir;
    RecordingMessages messages;
    HistoryDb db(&messages);
    ASSERT_EQ(db.Open(dir.File("Nimbary.db")), 0);
    uint32_t devId = 0x100;
    for (unsigned seed = 0; seed < 12; ++seed) {
        for (bool shortRing : {false, true}) {
            const Timeline tl = Generate(seed, shortRing);
            SCOPED_TRACE("seed " + std::to_string(seed) + (shortRing ? ", ring 1..N-1" : ""));
            const auto moments = tl.Moments();

            // One pass at every moment, each followed straight by another.
            const uint32_t everyMoment = ++devId;
            std::set<uint32_t> seen;
            std::vector<std::string> faults;
            for (const auto& at : moments) {
                std::set<uint32_t> live;
                FakeStation st = tl.StationAt(at, everyMoment, live);
                seen.insert(live.begin(), live.end());
                HistoryDownloader dl(st, db, nullptr, nullptr);
                dl.onFault = [&faults](const std::string& t) { faults.push_back(t); };
                dl.Download();
                ASSERT_NE(dl.LastOutcome(), PassOutcome::MemoryFault) << dl.LastMessage();
                ASSERT_NE(dl.LastOutcome(), PassOutcome::StationError) << dl.LastMessage();
                const auto stored = Identities(db, everyMoment);
                ASSERT_EQ(stored, Expected(tl, seen))
                    << "after the pass at block " << at.block << " count " << at.count;
                dl.Download();
                EXPECT_EQ(dl.LastCount(), 0)
                    << "again at block " << at.block << " count " << at.count;
                ASSERT_EQ(Identities(db, everyMoment), stored);
            }
            // Only the entry a short ring never writes is ever skipped.
            for (const std::string& f : faults)
                EXPECT_NE(f.find("block " + std::to_string(tl.n) + " is unwritten"),
                          std::string::npos)
                    << f;
            if (!shortRing) {
                EXPECT_TRUE(faults.empty());
            }

            // One pass at the end against two: one at a moment before, one at the end.
            std::set<uint32_t> finalLive;
            const uint32_t once = ++devId;
            FakeStation whole = tl.StationAt(tl.Final(), once, finalLive);
            HistoryDownloader(whole, db, nullptr, nullptr).Download();
            const auto reference = Contents(db, once);
            ASSERT_EQ(Identities(db, once), Expected(tl, finalLive));
            for (size_t s = 0; s < moments.size(); s += 1 + moments.size() / 4) {
                const uint32_t split = ++devId;
                std::set<uint32_t> earlier, later;
                FakeStation a = tl.StationAt(moments[s], split, earlier);
                HistoryDownloader(a, db, nullptr, nullptr).Download();
                FakeStation b = tl.StationAt(tl.Final(), split, later);
                HistoryDownloader(b, db, nullptr, nullptr).Download();
                std::set<uint32_t> both = earlier;
                both.insert(later.begin(), later.end());
                EXPECT_EQ(Identities(db, split), Expected(tl, both)) << "split at " << s;
                if (std::includes(later.begin(), later.end(), earlier.begin(), earlier.end())) {
                    EXPECT_EQ(Contents(db, split), reference) << "split at " << s;
                }
            }
        }
    }
}

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "CUsb.h"
#include "CalendarTime.h"
#include "HistoryDownloader.h"
#include "RecordingMessages.h"
#include "SimBackend.h"
#include "TempDir.h"

// The download against the simulated station's own recording: its weather,
// its block management and its ring, through the real transport.
using namespace nimbary;
using nimbary::testing::RecordingMessages;
using nimbary::testing::TempDir;

namespace {

constexpr uint32_t kDev = 0x1A2B3C4D;

uint32_t Noon2024() {
    CalendarTime c;
    c.Year = 2024;
    c.Month = 3;
    c.Day = 5;
    c.Hour = 12;
    uint32_t t = 0;
    c.ToStationTime(t);
    return t;
}

struct Rig {
    std::shared_ptr<sim::SimStation> station;
    std::unique_ptr<sim::SimBackend> backend;
    std::unique_ptr<CUsb> usb;
    std::unique_ptr<StationData> data;
    std::unique_ptr<StationDataSource> source;

    explicit Rig(const sim::SimConfig& c)
        : station(std::make_shared<sim::SimStation>(c)),
          backend(std::make_unique<sim::SimBackend>(station)),
          usb(std::make_unique<CUsb>(*backend)),
          data(std::make_unique<StationData>(usb.get())),
          source(std::make_unique<StationDataSource>(*data)) {
        usb->OpenStation();
    }
    ~Rig() {
        source.reset();
        data.reset();
        usb.reset();
        backend.reset();
    }

    // Records the station holds now, by walking its live blocks.
    int RecordsInMemory() {
        sim::HistoryMemory mem = station->Memory();
        if (mem.Empty()) return 0;
        int n = 0;
        for (uint8_t b = mem.FirstBlock();; b = mem.NextBlock(b)) {
            n += mem.Entry(b).count;
            if (b == mem.CurrentBlock()) break;
        }
        return n;
    }
};

sim::SimConfig Config(uint32_t days) {
    sim::SimConfig c;
    c.seed = 11;
    c.devId = kDev;
    c.startTime = Noon2024();
    c.frozen = true;
    c.historyDays = days;
    return c;
}

int Count(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* s = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

}  // namespace

// Every stored value agrees with what the station recorded at that time.
TEST(DownloaderSim, GeneratedHistoryArrivesWholeAndExact) {
    TempDir dir;
    RecordingMessages messages;
    HistoryDb db(&messages);
    ASSERT_EQ(db.Open(dir.File("Nimbary.db")), 0);
    Rig rig(Config(2));
    HistoryDownloader dl(*rig.source, db, nullptr, nullptr);

    ASSERT_TRUE(dl.Download()) << dl.LastMessage();
    ASSERT_EQ(dl.LastOutcome(), PassOutcome::Saved);
    const int inMemory = rig.RecordsInMemory();
    EXPECT_GT(inMemory, 500);  // two days at five minutes, over several blocks
    EXPECT_EQ(dl.LastCount(), inMemory);

    const double offset = static_cast<float>(rig.station->PressureOffset()) / 10.0f;
    ASSERT_EQ(db.SelectRecords(kDev, 0, 1e6), 0);
    EXPECT_EQ(db.SelectionCount(), inMemory);
    int checked = 0;
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext(), ++checked) {
        db.ReadRecord();
        const HistoryRecord& r = db.ReadImage();
        uint32_t t = 0;
        ASSERT_TRUE(OleDateToStationTime(r.RecTime, t));
        const sim::StationReading s = rig.station->ReadingAt(t);
        SCOPED_TRACE(t);
        EXPECT_NEAR(r.InTemp * 10, s.inTemp, 1e-6);
        EXPECT_EQ(r.InHumi, s.inHumi);
        EXPECT_NEAR(r.ChTemp[0] * 10, s.chTemp[0], 1e-6);
        EXPECT_EQ(r.ChHumi[0], s.chHumi[0]);
        EXPECT_NEAR(r.AbsBaro * 10, s.absBaro, 1e-6);
        EXPECT_EQ(r.RelBaro, r.AbsBaro + offset);
        EXPECT_NEAR(r.Wind * 10, s.wind, 1e-6);
        EXPECT_NEAR(r.Gust * 10, s.gust, 1e-6);
        EXPECT_EQ(r.WindDir, s.windDir);
        EXPECT_NEAR(r.Rain[RAIN_TOTAL] * 10, s.rainTotal, 1e-6);
        EXPECT_NE(r.ChDewPoint[0], static_cast<double>(VAL_ABSENT));
    }
    EXPECT_EQ(checked, inMemory);
    db.CloseSelection();

    // Six more hours: exactly the new records, some into the block that was
    // being written (its rain header already read), some into new blocks.
    rig.station->AdvanceClock(6 * 3600);
    ASSERT_TRUE(dl.Download()) << dl.LastMessage();
    EXPECT_EQ(dl.LastCount(), 72);
    const std::string path = dir.File("Nimbary.db");
    EXPECT_EQ(Count(path, "SELECT count(*) FROM Record"), inMemory + 72);
    EXPECT_EQ(Count(path, "SELECT count(DISTINCT RecTime) FROM Record"), inMemory + 72);

    EXPECT_FALSE(dl.Download());
    EXPECT_EQ(dl.LastOutcome(), PassOutcome::NothingNew);
    EXPECT_TRUE(messages.texts.empty());
}

// A small memory whose block numbers and data addresses wrap again and
// again between passes, in a ring of block numbers 1..N and in one of
// 1..N-1: nothing lost, nothing stored twice.
TEST(DownloaderSim, SmallRingWrapsManyTimesWithoutLossOrRepeats) {
    for (sim::BlockRing ring : {sim::BlockRing::UpToN, sim::BlockRing::UpToNMinus1}) {
        SCOPED_TRACE(ring == sim::BlockRing::UpToN ? "1..N" : "1..N-1");
        TempDir dir;
        HistoryDb db;
        const std::string path = dir.File("Nimbary.db");
        ASSERT_EQ(db.Open(path), 0);
        sim::SimConfig c = Config(0);
        c.memory.blocks = 4;
        c.memory.dataSize = 1000;
        c.memory.maxRecords = 20;
        c.memory.ring = ring;
        Rig rig(c);
        HistoryDownloader dl(*rig.source, db, nullptr, nullptr);
        int faults = 0;
        dl.onFault = [&faults](const std::string&) { ++faults; };
        for (int pass = 0; pass < 40; ++pass) {
            rig.station->AdvanceClock(pass % 3 == 0 ? 3 * 3600 : 1800);  // 36 or 6 records
            dl.Download();
            ASSERT_NE(dl.LastOutcome(), PassOutcome::MemoryFault) << dl.LastMessage();
            ASSERT_NE(dl.LastOutcome(), PassOutcome::StationError) << dl.LastMessage();
        }
        // The entry a short ring never writes is said once, not every pass.
        EXPECT_EQ(faults, ring == sim::BlockRing::UpToN ? 0 : 1);
        const int rows = Count(path, "SELECT count(*) FROM Record");
        EXPECT_EQ(Count(path, "SELECT count(DISTINCT RecTime) FROM Record"), rows);
        // Contiguous: one record every interval from the first to the last.
        const int span = Count(path,
                               "SELECT CAST(round((max(RecTime) - min(RecTime)) * 86400 / 300) AS "
                               "INTEGER) FROM Record");
        EXPECT_EQ(rows, span + 1);
        EXPECT_GT(rows, 400);
    }
}

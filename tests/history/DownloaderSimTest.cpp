#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "CUsb.h"
#include "CalendarTime.h"
#include "HistoryDownloader.h"
#include "HistoryNotices.h"
#include "RecordingMessages.h"
#include "SimBackend.h"
#include "StringTable.h"
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
            ASSERT_TRUE(dl.LastGaps().empty()) << GapsText(dl.LastGaps());
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

namespace {

// A download that counts the gap and clock notices it tells, on a computer
// clock of the test's choosing (0: the station's own).
struct Watched {
    TempDir dir;
    HistoryDb db;
    Rig rig;
    HistoryDownloader dl;
    int gapsTold = 0, clocksTold = 0;
    uint32_t computer = 0;

    explicit Watched(const sim::SimConfig& c) : rig(c), dl(*rig.source, db, nullptr, nullptr) {
        EXPECT_EQ(db.Open(dir.File("Nimbary.db")), 0);
        dl.onGaps = [this](const std::vector<HistoryGap>&) { ++gapsTold; };
        dl.onClock = [this](const ClockCheck&) { ++clocksTold; };
        dl.clockNow = [this] { return computer ? computer : rig.station->Now(); };
    }
    void Pass() {
        dl.Download();
        EXPECT_TRUE(dl.LastOutcome() == PassOutcome::Saved ||
                    dl.LastOutcome() == PassOutcome::NothingNew)
            << dl.LastMessage();
    }
    std::vector<HistoryGap> Stored() {
        std::vector<HistoryGap> gaps;
        EXPECT_EQ(db.ReadGaps(kDev, gaps), 0);
        return gaps;
    }
};

}  // namespace

// Records the station overwrote before they were read, and those a reset
// erased, leave a gap from the newest stored record to the first one read
// after it: told once, stored with the batch, deleted with the station.
TEST(DownloaderSim, GapsTheStationLeftAreToldOnceAndStored) {
    const std::pair<const char*, void (*)(Rig&)> cases[] = {
        {"memory wrapped while unplugged", [](Rig& rig) { rig.station->AdvanceClock(24 * 3600); }},
        {"station reset",
         [](Rig& rig) {
             rig.station->AdvanceClock(1800);
             ASSERT_EQ(rig.data->ClearRecords(0), 1);
             rig.station->AdvanceClock(3600);
         }},
    };
    for (const auto& [what, lose] : cases) {
        SCOPED_TRACE(what);
        sim::SimConfig config = Config(0);
        config.memory.blocks = 4;
        config.memory.dataSize = 1000;  // about 70 records
        config.memory.maxRecords = 20;
        Watched w(config);
        w.rig.station->AdvanceClock(1800);
        w.Pass();
        const uint32_t before = w.db.Info().RecTime;

        lose(w.rig);
        const sim::HistoryMemory m = w.rig.station->Memory();
        const std::vector<HistoryGap> expected = {{before, m.Entry(m.FirstBlock()).time}};
        ASSERT_GT(expected[0].Seconds(), 2 * 300u);
        w.Pass();
        EXPECT_EQ(w.dl.LastGaps(), expected);
        EXPECT_EQ(w.Stored(), expected);
        w.rig.station->AdvanceClock(1800);
        w.Pass();
        EXPECT_EQ(w.gapsTold, 1);
        EXPECT_EQ(w.Stored(), expected);
        ASSERT_EQ(w.db.DeleteDevice(kDev), 0);  // History Manage's delete
        EXPECT_TRUE(w.Stored().empty());
    }
}

// A new record interval starts later than two old intervals after the last
// record, or earlier than two new ones before the next: neither is a gap.
TEST(DownloaderSim, ChangesOfTheRecordIntervalAreNoGaps) {
    Watched w(Config(1));
    w.Pass();
    auto setInterval = [&w](int seconds) {
        ASSERT_EQ(w.rig.data->ReadSettings(), 1);
        StationSettings s = w.rig.data->Settings;
        s.RecordInterval = seconds;
        ASSERT_EQ(w.rig.data->WriteSettings(s), 1);
    };
    w.rig.station->AdvanceClock(600);
    setInterval(1800);  // at 12:10, the next record at 12:30
    w.rig.station->AdvanceClock(5400);
    w.Pass();
    w.rig.station->AdvanceClock(900);
    setInterval(300);  // at 13:55, 25 minutes after the last record
    w.rig.station->AdvanceClock(3600);
    w.Pass();
    EXPECT_EQ(w.gapsTold, 0);
    EXPECT_TRUE(w.Stored().empty());
    EXPECT_EQ(CalendarTime::FromStationTime(w.db.Info().RecTime).Hour, 14);  // both passes stored
}

// The newest record against the computer's clock: off by more than two
// record intervals either way is told once, and again after being right.
TEST(DownloaderSim, StationClockOffIsToldOnce) {
    sim::SimConfig config = Config(1);
    config.startTime = Noon2024() + 90;  // between two records: the newest is 90 s old
    const std::pair<int64_t, const char*> cases[] = {
        {0, ""},  // seconds the computer is ahead of the station, the text told
        {600,
         "The station's newest record (2024-03-05 12:00) is 11 min behind the computer's "
         "clock: check the station's clock"},
        {-900,
         "The station's newest record (2024-03-05 12:00) is 13 min ahead of the computer's "
         "clock: check the station's clock"},
    };
    for (const auto& [ahead, text] : cases) {
        SCOPED_TRACE(ahead);
        Watched w(config);
        const auto off = static_cast<uint32_t>(Noon2024() + 90 + ahead);
        w.computer = off;
        w.Pass();
        EXPECT_EQ(w.dl.LastClock().Newest, Noon2024());
        EXPECT_EQ(w.dl.LastClock().Off() ? ClockText(w.dl.LastClock()) : "", text);
        w.Pass();
        w.computer = Noon2024() + 90;
        w.Pass();
        w.computer = off;
        w.Pass();
        EXPECT_EQ(w.clocksTold, ahead ? 2 : 0);
    }
    // Spans of days in the other language.
    text::SetLanguage(text::Language::Chinese);
    EXPECT_EQ(
        GapsText({{Noon2024(), Noon2024() + 2 * 86400 + 3600}, {Noon2024(), Noon2024() + 45}}),
        "历史记录缺失 2 处，最长的一处：2024-03-05 12:00 至 2024-03-07 13:00 之间没有记录（2 天 1 "
        "小时）");
    text::SetLanguage(text::Language::English);
}

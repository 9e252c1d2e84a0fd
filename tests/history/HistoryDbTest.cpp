#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "CalendarTime.h"
#include "HistoryDb.h"
#include "RecordingMessages.h"
#include "ScratchFile.h"
#include "TempDir.h"

using namespace nimbary;
using nimbary::testing::AsUnprivileged;
using nimbary::testing::RecordingMessages;
using nimbary::testing::TempDir;

namespace {

HistoryRecord MakeRecord(uint32_t devId, uint32_t t, double inTemp) {
    HistoryRecord r;
    r.DevID = devId;
    r.RecTime = StationTimeToOleDate(t);
    r.InTemp = inTemp;
    r.InHumi = 40;
    r.ChTemp[0] = 50.5;
    r.ChHumi[0] = 60;
    return r;
}

void FillScratch(ScratchFile& f, const std::vector<HistoryRecord>& recs) {
    ASSERT_TRUE(f.Create());
    for (const auto& r : recs) ASSERT_TRUE(f.Append(r));
}

// Reads one value straight from the file, bypassing HistoryDb.
struct RawDb {
    sqlite3* db = nullptr;
    explicit RawDb(const std::string& path) { sqlite3_open(path.c_str(), &db); }
    ~RawDb() { sqlite3_close(db); }
    // The text of the first column of the first row, "NULL" for NULL.
    std::string Query(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        std::string out = "<error>";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
            if (sqlite3_step(s) == SQLITE_ROW)
                out = sqlite3_column_type(s, 0) == SQLITE_NULL
                          ? "NULL"
                          : reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            else
                out = "<none>";
        }
        sqlite3_finalize(s);
        return out;
    }
    int Count(const std::string& sql) { return std::stoi(Query(sql)); }
};

class HistoryDbTest : public ::testing::Test {
protected:
    TempDir dir;
    RecordingMessages messages;
    HistoryDb db{&messages};
    std::string path = dir.File("Nimbary.db");

    void SetUp() override { ASSERT_EQ(db.Open(path), 0) << db.LastError(); }

    int Save(uint32_t devId, const std::vector<HistoryRecord>& recs) {
        ScratchFile f;
        FillScratch(f, recs);
        db.Info().DevID = devId;
        return db.SaveRecords(static_cast<uint32_t>(recs.size()), f);
    }

    std::vector<HistoryRecord> ReadAll(uint32_t devId, bool allChannels = false) {
        std::vector<HistoryRecord> out;
        EXPECT_EQ(db.SelectRecords(devId, 0.0, 1e6), 0);
        for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
            allChannels ? db.ReadRecordAllChannels() : db.ReadRecord();
            out.push_back(db.ReadImage());
        }
        EXPECT_EQ(db.CloseSelection(), 0);
        return out;
    }
};

}  // namespace

TEST_F(HistoryDbTest, CreatesTheTablesWithTheirColumnsInOrder) {
    RawDb raw(path);
    std::string cols;
    for (int i = 0; i < 49; ++i)
        cols += raw.Query("SELECT name FROM pragma_table_info('Record') WHERE cid=" +
                          std::to_string(i)) +
                " ";
    std::string expected;
    for (const auto& n : RecordColumnNames()) expected += n + " ";
    EXPECT_EQ(cols, expected);
    EXPECT_EQ(raw.Query("SELECT count(*) FROM pragma_table_info('Record')"), "49");
    EXPECT_EQ(raw.Query("SELECT type FROM pragma_table_info('Record') WHERE name='RecTime'"),
              "REAL");
    EXPECT_EQ(raw.Query("SELECT type FROM pragma_table_info('Record') WHERE name='Ch3Humi'"),
              "INTEGER");
    EXPECT_EQ(raw.Query("SELECT count(*) FROM pragma_table_info('Device')"), "28");
    EXPECT_EQ(raw.Query("SELECT name FROM pragma_table_info('Device') WHERE cid=27"),
              "Description");
    EXPECT_EQ(raw.Query("PRAGMA journal_mode"), "wal");
    // The browser's range in time order, and the summaries' days.
    EXPECT_EQ(raw.Query("SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master "
                        "WHERE type='index' AND tbl_name='Record' ORDER BY name)"),
              "RecordByDevDay RecordByDevTime");
}

// Only exactly VAL_ABSENT becomes NULL; every other sentinel is a number.
TEST_F(HistoryDbTest, NullRuleForExactlyValAbsent) {
    struct Case {
        double value;
        const char* stored;
    };
    const Case cases[] = {{8388603.0, "NULL"},      {8388602.0, "8388602.0"},
                          {8388604.0, "8388604.0"}, {8388605.0, "8388605.0"},
                          {8388607.0, "8388607.0"}, {-40.0, "-40.0"},
                          {8388603.5, "8388603.5"}};
    uint32_t t = 1000;
    for (const Case& c : cases) {
        HistoryRecord r = MakeRecord(7, t, c.value);
        r.InHumi = static_cast<int32_t>(c.value);
        r.Rain[7] = c.value;
        ASSERT_EQ(Save(7, {r}), 0);
        RawDb raw(path);
        const std::string where =
            " FROM Record WHERE RecTime=" + std::to_string(t) + "/86400.0+36526";
        EXPECT_EQ(raw.Query("SELECT InTemp" + where), c.stored) << c.value;
        EXPECT_EQ(raw.Query("SELECT Rain8" + where), c.stored) << c.value;
        const bool humiNull = static_cast<int32_t>(c.value) == VAL_ABSENT;
        EXPECT_EQ(raw.Query("SELECT InHumi IS NULL" + where), humiNull ? "1" : "0") << c.value;
        t += 60;
    }
    auto back = ReadAll(7);
    ASSERT_EQ(back.size(), std::size(cases));
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].InTemp, cases[i].value);
        EXPECT_EQ(back[i].Rain[7], cases[i].value);
        EXPECT_EQ(back[i].InHumi, static_cast<int32_t>(cases[i].value));
        EXPECT_EQ(back[i].Wind, static_cast<double>(VAL_ABSENT));  // never set: NULL
    }
}

TEST_F(HistoryDbTest, ChannelsTwoToEightReadBackAbsent) {
    HistoryRecord r = MakeRecord(9, 5000, 70.0);
    for (int k = 0; k < kChannels; ++k) {
        r.ChTemp[k] = 10.0 + k;
        r.ChHumi[k] = 20 + k;
        r.ChDewPoint[k] = 30.0 + k;
        r.ChFeelLike[k] = 40.0 + k;
    }
    ASSERT_EQ(Save(9, {r}), 0);
    auto shown = ReadAll(9);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].ChTemp[0], 10.0);
    EXPECT_EQ(shown[0].ChHumi[0], 20);
    EXPECT_EQ(shown[0].ChDewPoint[0], 30.0);
    EXPECT_EQ(shown[0].ChFeelLike[0], 40.0);
    for (int k = 1; k < kChannels; ++k) {
        EXPECT_EQ(shown[0].ChTemp[k], static_cast<double>(VAL_ABSENT));
        EXPECT_EQ(shown[0].ChHumi[k], VAL_ABSENT);
        EXPECT_EQ(shown[0].ChDewPoint[k], static_cast<double>(VAL_ABSENT));
        EXPECT_EQ(shown[0].ChFeelLike[k], static_cast<double>(VAL_ABSENT));
    }
    auto all = ReadAll(9, true);
    for (int k = 0; k < kChannels; ++k) {
        EXPECT_EQ(all[0].ChTemp[k], 10.0 + k);
        EXPECT_EQ(all[0].ChHumi[k], 20 + k);
    }
}

TEST_F(HistoryDbTest, DevIdWithTopBitIsStoredSignedAndMatchedEverywhere) {
    const uint32_t id = 0x80000001u;
    db.Info().CurrBlock = 3;
    ASSERT_EQ(Save(id, {MakeRecord(id, 100, 1.0), MakeRecord(id, 200, 2.0)}), 0);
    ASSERT_EQ(Save(0x00000001u, {MakeRecord(1, 100, 3.0)}), 0);

    RawDb raw(path);
    EXPECT_EQ(raw.Count("SELECT count(*) FROM Record WHERE DevID=-2147483647"), 2);
    EXPECT_EQ(raw.Query("SELECT CurrBlock FROM Device WHERE DevID=-2147483647"), "3");

    std::vector<uint32_t> ids;
    int selected = -5;
    ASSERT_EQ(db.FillDeviceList(ids, id, selected), 0);
    ASSERT_EQ(ids.size(), 2u);
    ASSERT_GE(selected, 0);
    EXPECT_EQ(ids[selected], id);

    ASSERT_EQ(db.ReadDevice(id), 0);
    EXPECT_TRUE(db.DeviceFound());
    EXPECT_EQ(db.Info().DevID, id);
    auto recs = ReadAll(id);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].DevID, id);

    // A second save updates the row rather than adding one.
    db.Info().CurrBlock = 4;
    ASSERT_EQ(Save(id, {}), 0);
    EXPECT_EQ(raw.Count("SELECT count(*) FROM Device WHERE DevID=-2147483647"), 1);

    ASSERT_EQ(db.DeleteDevice(id), 0);
    EXPECT_EQ(raw.Count("SELECT count(*) FROM Record"), 1);
    EXPECT_EQ(raw.Count("SELECT count(*) FROM Device"), 1);
    ASSERT_EQ(db.ReadDevice(id), 0);
    EXPECT_FALSE(db.DeviceFound());
}

TEST_F(HistoryDbTest, DeviceListEmptyAndUnknownSelection) {
    std::vector<uint32_t> ids{1, 2};
    int selected = 9;
    ASSERT_EQ(db.FillDeviceList(ids, 5, selected), 0);
    EXPECT_TRUE(ids.empty());
    EXPECT_EQ(selected, -1);

    ASSERT_EQ(Save(0xAA, {}), 0);
    ASSERT_EQ(Save(0xBB, {}), 0);
    ASSERT_EQ(db.FillDeviceList(ids, 0xCC, selected), 0);
    EXPECT_EQ(ids.size(), 2u);
    EXPECT_EQ(selected, 0);
}

TEST_F(HistoryDbTest, SelectionBoundsAreInclusiveAndStartAfterEndIsEmpty) {
    ASSERT_EQ(Save(3, {MakeRecord(3, 86400, 1), MakeRecord(3, 86400 + 3600, 2),
                       MakeRecord(3, 2 * 86400, 3)}),
              0);
    const double lo = StationTimeToOleDate(86400), hi = StationTimeToOleDate(2 * 86400);
    ASSERT_EQ(db.SelectRecords(3, lo, hi), 0);
    EXPECT_EQ(db.SelectionCount(), 3);
    ASSERT_EQ(db.SelectRecords(3, lo + 1e-6, hi - 1e-6), 0);  // the next selection closes the last
    EXPECT_EQ(db.SelectionCount(), 1);
    db.ReadRecord();
    EXPECT_EQ(db.ReadImage().InTemp, 2.0);
    db.MoveNext();
    EXPECT_TRUE(db.IsEof());
    db.MoveFirst();
    EXPECT_FALSE(db.IsEof());

    // A record exactly on both bounds, at a time whose sixth decimal rounds down.
    ASSERT_EQ(Save(3, {MakeRecord(3, 86402, 4)}), 0);
    const double exact = StationTimeToOleDate(86402);
    ASSERT_EQ(db.SelectRecords(3, exact, exact), 0);
    EXPECT_EQ(db.SelectionCount(), 1);
    EXPECT_FALSE(db.IsEof());

    ASSERT_EQ(db.SelectRecords(3, hi, lo), 0);
    EXPECT_EQ(db.SelectionCount(), 0);
    EXPECT_TRUE(db.IsEof());
    db.MoveFirst();
    EXPECT_TRUE(db.IsEof());
    EXPECT_EQ(db.CloseSelection(), 0);
    EXPECT_EQ(db.CloseSelection(), 0);  // closing twice is harmless
}

TEST_F(HistoryDbTest, DeviceRowRoundTripWithNullDefaults) {
    DeviceInfo& d = db.Info();
    d.FirstBlock = 2;
    d.CurrBlock = 9;
    d.CurrRecord = 17;
    d.TickTime = 0xF0000000u;  // times are unsigned
    d.RecTime = 0xF0000100u;
    d.Units = UnitSet{0, 2, 4, 1, 0};
    for (int k = 0; k < kRainKinds; ++k) {
        d.RainTime[k] = 1000u + k;
        d.Rain[k] = k == 0 ? VAL_ABSENT : 1.5 * k;
    }
    d.Description = std::string(85, 'x');
    ASSERT_EQ(Save(0x42, {}), 0);

    ASSERT_EQ(db.ReadDevice(0x43), 0);  // no row: every field zero, units included
    EXPECT_FALSE(db.DeviceFound());
    EXPECT_EQ(d.Units.TempUnit, 0);
    EXPECT_EQ(d.Units.LightUnit, 0);
    EXPECT_EQ(d.CurrBlock, 0);
    EXPECT_EQ(d.Rain[7], 0.0);

    ASSERT_EQ(db.ReadDevice(0x42), 0);
    EXPECT_TRUE(db.DeviceFound());
    EXPECT_EQ(d.CurrRecord, 17);
    EXPECT_EQ(d.TickTime, 0xF0000000u);
    EXPECT_EQ(d.RecTime, 0xF0000100u);
    EXPECT_EQ(d.Units.BaroUnit, 2);
    EXPECT_EQ(d.Units.WindUnit, 4);
    EXPECT_EQ(d.Rain[0], static_cast<double>(VAL_ABSENT));
    EXPECT_EQ(d.Rain[3], 4.5);
    EXPECT_EQ(d.RainTime[7], 1007u);
    EXPECT_EQ(d.Description, std::string(80, 'x'));

    RawDb raw(path);
    ASSERT_EQ(sqlite3_exec(raw.db,
                           "UPDATE Device SET TempUnit=NULL, BaroUnit=NULL, WindUnit=NULL, "
                           "RainUnit=NULL, LightUnit=NULL, RainTime2=NULL, Description=NULL",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_EQ(db.ReadDevice(0x42), 0);
    EXPECT_EQ(d.Units.TempUnit, 1);
    EXPECT_EQ(d.Units.BaroUnit, 1);
    EXPECT_EQ(d.Units.WindUnit, 1);
    EXPECT_EQ(d.Units.RainUnit, 1);
    EXPECT_EQ(d.Units.LightUnit, 2);
    EXPECT_EQ(d.RainTime[1], static_cast<uint32_t>(VAL_ABSENT));
    EXPECT_EQ(d.Description, "");
}

// A failure anywhere in the batch stores none of it and keeps the old row.
TEST_F(HistoryDbTest, FailedSaveRollsBackAndKeepsTheOldDeviceRow) {
    db.Info().CurrBlock = 5;
    db.Info().RecTime = 111;
    ASSERT_EQ(Save(1, {MakeRecord(1, 100, 1.0)}), 0);

    struct Fault {
        const char* name;
        std::function<void(sqlite3*)> hook;
        const char* text;
    };
    const Fault faults[] = {
        {"constraint",
         [](sqlite3* c) {
             sqlite3_exec(c,
                          "CREATE TEMP TRIGGER Boom BEFORE INSERT ON main.Record WHEN "
                          "NEW.InTemp = 99 BEGIN SELECT RAISE(ABORT, 'boom'); END",
                          nullptr, nullptr, nullptr);
         },
         "boom"},
        {"read-only", [](sqlite3* c) { sqlite3_exec(c, "PRAGMA query_only=1", 0, 0, 0); },
         "attempt to write a readonly database"},
        {"disk full", [](sqlite3* c) { sqlite3_exec(c, "PRAGMA max_page_count=1", 0, 0, 0); },
         "The disk is full: history records cannot be stored in the database:\n"},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.name);
        RecordingMessages msgs;
        HistoryDb other(&msgs);
        other.SetConnectionHook(f.hook);
        ASSERT_EQ(other.Open(path), 0);
        std::vector<HistoryRecord> batch;
        for (int i = 0; i < 300; ++i) batch.push_back(MakeRecord(1, 1000 + i, i == 250 ? 99 : 1));
        ScratchFile scratch;
        FillScratch(scratch, batch);
        other.Info().DevID = 1;
        other.Info().CurrBlock = 6;
        other.Info().RecTime = 222;
        EXPECT_EQ(other.SaveRecords(300, scratch), 2);
        ASSERT_EQ(msgs.texts.size(), 1u);
        EXPECT_NE(msgs.texts[0].find(f.text), std::string::npos) << msgs.texts[0];

        RawDb raw(path);
        EXPECT_EQ(raw.Count("SELECT count(*) FROM Record"), 1);
        EXPECT_EQ(raw.Query("SELECT CurrBlock || ',' || RecTime FROM Device"), "5,111");
    }

    // A scratch file holding fewer records than announced is refused the same way.
    ScratchFile shortFile;
    FillScratch(shortFile, {MakeRecord(1, 5000, 1.0)});
    db.Info().DevID = 1;
    db.Info().CurrBlock = 7;
    EXPECT_EQ(db.SaveRecords(2, shortFile), 2);
    RawDb raw(path);
    EXPECT_EQ(raw.Count("SELECT count(*) FROM Record"), 1);
    EXPECT_EQ(raw.Query("SELECT CurrBlock FROM Device"), "5");
}

// The browser's open selection reads one snapshot while the worker stores.
TEST_F(HistoryDbTest, BrowserSelectionIsNotDisturbedByAConcurrentSave) {
    ASSERT_EQ(Save(2, {MakeRecord(2, 100, 1.0), MakeRecord(2, 200, 2.0)}), 0);
    ASSERT_EQ(db.SelectRecords(2, 0, 1e6), 0);
    EXPECT_EQ(db.SelectionCount(), 2);
    ASSERT_EQ(Save(2, {MakeRecord(2, 300, 3.0)}),
              0);  // worker connection, while the selection is open
    int rows = 0;
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) ++rows;
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(db.CloseSelection(), 0);
    ASSERT_EQ(db.SelectRecords(2, 0, 1e6), 0);
    EXPECT_EQ(db.SelectionCount(), 3);
    EXPECT_TRUE(messages.texts.empty());
}

TEST(HistoryDbOpen, RefusesFilesThatAreNotDatabases) {
    TempDir dir;
    {
        std::ofstream junk(dir.File("junk.db"));
        junk << std::string(4096, 'j');
    }
    RecordingMessages msgs;
    HistoryDb db(&msgs);
    EXPECT_LT(db.Open(dir.File("junk.db")), 0);
    EXPECT_NE(db.LastError().find("not a database"), std::string::npos) << db.LastError();
    EXPECT_LT(db.Open(dir.File("missing/dir/Nimbary.db")), 0);
    EXPECT_FALSE(db.IsOpen());

    // Operations on a database that is not open fail with a message, not a crash.
    EXPECT_EQ(db.ReadDevice(1), 1);
    std::vector<uint32_t> ids;
    int sel;
    EXPECT_EQ(db.FillDeviceList(ids, 0, sel), 1);
    EXPECT_EQ(db.SelectRecords(1, 0, 1), 1);
    EXPECT_TRUE(db.IsEof());
    EXPECT_FALSE(msgs.texts.empty());

    // A file with the tables but missing columns is refused at once.
    {
        sqlite3* raw;
        sqlite3_open(dir.File("old.db").c_str(), &raw);
        sqlite3_exec(raw, "CREATE TABLE Record (DevID INTEGER, RecTime REAL)", 0, 0, 0);
        sqlite3_close(raw);
    }
    EXPECT_LT(db.Open(dir.File("old.db")), 0);
    EXPECT_NE(db.LastError().find("InTemp"), std::string::npos) << db.LastError();
}

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A database with one station and two records, closed again.
void MakeDatabase(const std::string& path) {
    HistoryDb db;
    ASSERT_EQ(db.Open(path), 0) << db.LastError();
    ScratchFile f;
    FillScratch(f, {MakeRecord(7, 100, 1.0), MakeRecord(7, 200, 2.0)});
    db.Info().DevID = 7;
    ASSERT_EQ(db.SaveRecords(2, f), 0);
}

}  // namespace

// Opened for reading, a file that is not ours keeps its journal mode and
// every byte, and gets no tables.
TEST(HistoryDbOpen, ReadingChangesNothingOfTheFile) {
    TempDir dir;
    const std::string path = dir.File("foreign.db");
    MakeDatabase(path);
    {
        RawDb raw(path);
        ASSERT_EQ(raw.Query("PRAGMA journal_mode = DELETE"), "delete");
    }
    const std::string before = Bytes(path);
    RecordingMessages msgs;
    HistoryDb db(&msgs);
    ASSERT_EQ(db.Open(path, HistoryDb::OpenMode::ReadOnly), 0) << db.LastError();
    EXPECT_TRUE(db.ReadOnly());
    std::vector<uint32_t> ids;
    int selected = -1;
    EXPECT_EQ(db.FillDeviceList(ids, 7, selected), 0);
    EXPECT_EQ(ids, std::vector<uint32_t>{7});
    EXPECT_EQ(db.SelectRecords(7, 0, 1e6), 0);
    EXPECT_EQ(db.SelectionCount(), 2);
    EXPECT_EQ(db.CloseSelection(), 0);
    EXPECT_EQ(db.ReadDevice(7), 0);
    EXPECT_TRUE(db.DeviceFound());
    db.Close();
    EXPECT_TRUE(Bytes(path) == before);  // not a byte changed
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    EXPECT_EQ(RawDb(path).Query("PRAGMA journal_mode"), "delete");

    // An SQLite file without our tables is refused and stays without them.
    const std::string empty = dir.File("empty.db");
    RawDb(empty).Query("PRAGMA user_version = 3");
    EXPECT_LT(db.Open(empty, HistoryDb::OpenMode::ReadOnly), 0);
    EXPECT_NE(db.LastError().find("no such table"), std::string::npos) << db.LastError();
    EXPECT_EQ(RawDb(empty).Query("SELECT count(*) FROM sqlite_master"), "0");
    EXPECT_TRUE(msgs.texts.empty());
}

// A file that may only be read (write-protected, in a folder or on a mount
// that may only be read) opens for browsing; storing then fails with a word.
TEST(HistoryDbOpen, FileThatMayOnlyBeReadOpensForBrowsing) {
    if (const std::string why = AsUnprivileged::CannotReachTemp(); !why.empty()) GTEST_SKIP() << why;
    for (bool folderToo : {false, true}) {
        SCOPED_TRACE(folderToo ? "read-only folder" : "read-only file");
        TempDir dir;
        const std::string path = dir.File("Nimbary.db");
        MakeDatabase(path);
        const std::string before = Bytes(path);
        chmod(path.c_str(), 0444);
        chmod(dir.Path().c_str(), folderToo ? 0555 : 0777);
        {
            AsUnprivileged nobody;
            ASSERT_TRUE(nobody.Active());
            RecordingMessages msgs;
            HistoryDb db(&msgs);
            ASSERT_EQ(db.Open(path), 0) << db.LastError();
            EXPECT_TRUE(db.ReadOnly());
            EXPECT_EQ(db.SelectRecords(7, 0, 1e6), 0);
            EXPECT_EQ(db.SelectionCount(), 2);
            EXPECT_EQ(db.CloseSelection(), 0);
            EXPECT_EQ(db.ReadDevice(7), 0);
            EXPECT_TRUE(db.DeviceFound());
            ScratchFile f;
            FillScratch(f, {MakeRecord(7, 300, 3.0)});
            EXPECT_EQ(db.SaveRecords(1, f), 2);
            EXPECT_EQ(msgs.texts.size(), 1u);
        }
        chmod(dir.Path().c_str(), 0755);
        chmod(path.c_str(), 0644);
        EXPECT_TRUE(Bytes(path) == before);
    }
}

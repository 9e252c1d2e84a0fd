#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <QStringList>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "CalendarTime.h"
#include "CliProcess.h"
#include "Command.h"
#include "FakeStation.h"
#include "HistoryDb.h"
#include "HistoryDownloader.h"
#include "HistoryFill.h"
#include "RecordingMessages.h"
#include "StationImage.h"
#include "StationLock.h"
#include "StationSession.h"
#include "TempDir.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x80000005;  // top bit set on purpose
constexpr uint8_t kFlags =
    BF_IN_TEMP | BF_IN_HUMI | BF_WIND | BF_GUST | BF_WIND_DIR | BF_PRESSURE | BF_RAIN;

BlockEntry Block(uint16_t address, uint32_t start, uint8_t tempMask = 0x01,
                 uint8_t humiMask = 0x01) {
    BlockEntry e;
    e.StartAddress = address;
    e.StartTime = start;
    e.Interval = 300;
    e.Flags = kFlags;
    e.TempMask = tempMask;
    e.HumiMask = humiMask;
    return e;
}

std::vector<RawRecord> Records(int n, int base) {
    std::vector<RawRecord> out(n);
    for (int i = 0; i < n; ++i) {
        RawRecord& r = out[i];
        r.inTemp = static_cast<uint16_t>(1000 + (base + i) % 600);
        for (int k = 0; k < 8; ++k) {
            r.chTemp[k] = static_cast<uint16_t>(300 + 10 * k + i % 50);
            r.chHumi[k] = static_cast<uint8_t>(20 + k);
        }
        r.inHumi = 45;
        r.wind = static_cast<uint16_t>(i % 300);
        r.gust = static_cast<uint16_t>(i % 500);
        r.dir = static_cast<uint16_t>(i % 360);
        r.pressure = static_cast<uint16_t>(10000 + i);
        r.rain = static_cast<uint32_t>(1000 + base + i);
    }
    return out;
}

std::string SaveImage(const FakeStation& st, const std::string& folder) {
    sim::StationImage img = st.Image();
    img.data.resize(sim::StationImage::DataFileSize(st.info.DataSize), 0xFF);
    return img.Save(folder);
}

std::string Num(double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::vector<std::vector<std::string>> Table(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        size_t from = 0;
        for (;;) {
            const size_t tab = line.find('\t', from);
            cells.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        rows.push_back(cells);
    }
    return rows;
}

std::string Query(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* s = nullptr;
    std::string out = "<error>";
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

std::string FileText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// nimbary-cli's download (the same station session, database and download)
// in a child process whose save stops inside its transaction until the
// child is killed.
class PausedDownload {
public:
    PausedDownload(const std::string& image, const std::string& db) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            BackendOptions options;
            options.sim.simulate = true;
            options.sim.image = image;
            RecordingMessages messages;
            HistoryDb history(&messages);
            cli::StationSession station;
            if (history.Open(db) != 0 || station.Open(options, db) != cli::kExitOk) _exit(1);
            const int inside = fds[1];
            history.SetSaveHook([inside]() {
                if (write(inside, "!", 1) != 1) _exit(1);
                for (;;) pause();
            });
            HistoryDownloader(station.Source(), history, nullptr, nullptr).Download();
            _exit(1);
        }
        close(fds[1]);
        inside_ = fds[0];
    }
    ~PausedDownload() {
        if (pid_ > 0 && !reaped_) Kill();
        if (inside_ >= 0) close(inside_);
    }
    PausedDownload(const PausedDownload&) = delete;
    PausedDownload& operator=(const PausedDownload&) = delete;

    pid_t Pid() const { return pid_; }
    bool WaitUntilInsideTheSave(int ms) {
        pollfd f{inside_, POLLIN, 0};
        char c = 0;
        return poll(&f, 1, ms) == 1 && read(inside_, &c, 1) == 1;
    }
    // The signal that ended the child.
    int Kill() {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }

private:
    pid_t pid_ = -1;
    int inside_ = -1;
    bool reaped_ = false;
};

class CliTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string db = dir.File("Nimbary.db");
    std::vector<std::string> env = {"NIMBARY_DATA_DIR=" + dir.File("data")};

    int Run(const std::vector<std::string>& args, std::string* out = nullptr,
            std::string* err = nullptr, std::vector<std::string> extraEnv = {}) {
        std::vector<std::string> e = env;
        e.insert(e.end(), extraEnv.begin(), extraEnv.end());
        CliProcess p(args, e);
        const int rc = p.Wait();
        EXPECT_FALSE(p.TimedOut());
        if (out) *out = p.Out();
        if (err) *err = p.Err();
        return rc;
    }
};

}  // namespace

// An image goes into the simulated station, through the transport and the
// download into the database, and comes out as text with every value.
TEST_F(CliTest, ImageRoundTripsThroughDownloadAndRecords) {
    FakeStation st(64, 64256, kDev);
    st.pressureOffset = 42;
    const uint32_t day1 = At(2024, 3, 5, 22, 0);
    const int size1 = Block(0, 0).RecordSize();
    st.PutBlock(1, Block(0, day1), Records(20, 0));  // 22:00 .. 23:35
    st.PutBlock(2, Block(20 * size1, day1 + 20 * 300, 0xFF, 0xFF), Records(30, 100));  // to 02:05
    st.SetStatus(1, 2);
    const std::string image = dir.File("image");
    ASSERT_EQ(SaveImage(st, image), "");

    std::string out, err;
    ASSERT_EQ(Run({"download", "--simulate", "--sim-image", image, "--db", db}, &out, &err), 0)
        << err;
    EXPECT_NE(out.find("total read records: 50"), std::string::npos) << out;
    ASSERT_EQ(Run({"stations", "--db", db}, &out), 0);
    EXPECT_EQ(out, "80000005\n");

    ASSERT_EQ(Run({"records", "--db", db, "--station", "80000005"}, &out, &err), 0) << err;
    auto rows = Table(out);
    ASSERT_EQ(rows.size(), 51u);
    ASSERT_EQ(rows[0], RecordColumnNames());
    for (size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        ASSERT_EQ(row.size(), 49u);
        const int n = static_cast<int>(i) - 1;
        const bool second = n >= 20;
        const RawRecord raw = second ? Records(30, 100)[n - 20] : Records(20, 0)[n];
        SCOPED_TRACE(n);
        EXPECT_EQ(row[0], "80000005");
        CalendarTime c = CalendarTime::FromStationTime(day1 + n * 300);
        char iso[32];
        std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:00", c.Year, c.Month, c.Day,
                      c.Hour, c.Minute);
        EXPECT_EQ(row[1], iso);
        EXPECT_EQ(row[2], Num((raw.inTemp - 400) / 10.0));
        EXPECT_EQ(row[3], "45");
        for (int k = 0; k < 8; ++k) {
            const bool present = k == 0 || second;
            EXPECT_EQ(row[4 + k], present ? Num((raw.chTemp[k] - 400) / 10.0) : "");
            EXPECT_EQ(row[12 + k], present ? std::to_string(raw.chHumi[k]) : "");
        }
        EXPECT_EQ(row[36], Num(raw.pressure / 10.0));
        EXPECT_EQ(row[37], Num(raw.pressure / 10.0 + static_cast<double>(4.2f)));
        EXPECT_EQ(row[38], Num(raw.wind / 10.0));
        EXPECT_EQ(row[39], Num(raw.gust / 10.0));
        EXPECT_EQ(row[40], std::to_string(raw.dir));
        EXPECT_EQ(row[41], "");  // rain event is not computed
        EXPECT_EQ(row[48], Num(raw.rain / 10.0));
    }

    // Whole days as bounds: the 23:55 record is on the 5th, 00:00 on the 6th.
    ASSERT_EQ(Run({"records", "--db", db, "--station", "0x80000005", "--to", "2024-03-05"}, &out),
              0);
    EXPECT_EQ(Table(out).size(), 1u + 24);
    ASSERT_EQ(Run({"records", "--db", db, "--station", "80000005", "--from", "2024-03-06T00:00",
                   "--to", "2024-03-06T01:00"},
                  &out),
              0);
    rows = Table(out);
    ASSERT_EQ(rows.size(), 1u + 13);
    EXPECT_EQ(rows[1][1], "2024-03-06T00:00:00");
    EXPECT_EQ(rows[13][1], "2024-03-06T01:00:00");

    // The dump of that station is the image it came from.
    const std::string again = dir.File("again");
    ASSERT_EQ(Run({"dump", again, "--simulate", "--sim-image", image}, &out, &err), 0) << err;
    for (const char* f : {"block.bin", "data.bin", "station.ini"})
        EXPECT_EQ(FileText(again + "/" + f), FileText(image + "/" + f)) << f;
    EXPECT_NE(FileText(again + "/station.ini").find("DevID=0x80000005"), std::string::npos);
}

// Killed inside its save transaction, the download leaves the database
// whole, with the earlier batch and bookmark and none of the new one; the
// next run stores all of it.
TEST_F(CliTest, KilledInsideTheSaveLeavesTheDatabaseWhole) {
    FakeStation st(64, 64256, kDev);
    const uint32_t t0 = At(2024, 3, 5);
    st.PutBlock(1, Block(0, t0), Records(200, 0));
    st.SetStatus(1, 1);
    const std::string image = dir.File("image");
    ASSERT_EQ(SaveImage(st, image), "");
    ASSERT_EQ(Run({"download", "--simulate", "--sim-image", image, "--db", db}), 0);
    ASSERT_EQ(Query(db, "SELECT count(*) FROM Record"), "200");

    const int size = Block(0, 0).RecordSize();
    st.PutBlock(1, Block(0, t0), Records(255, 0));
    st.PutBlock(2, Block(255 * size, t0 + 255 * 300), Records(200, 300));
    st.SetStatus(1, 2);
    ASSERT_EQ(SaveImage(st, image), "");
    {
        PausedDownload p(image, db);
        ASSERT_TRUE(p.WaitUntilInsideTheSave(30000));

        // Meanwhile another download into the same database is refused.
        std::string err;
        EXPECT_EQ(Run({"download", "--simulate", "--sim-image", image, "--db", db}, nullptr, &err),
                  3);
        EXPECT_NE(err.find("PID " + std::to_string(p.Pid()) + ")"), std::string::npos) << err;

        EXPECT_EQ(p.Kill(), SIGKILL);
    }
    EXPECT_EQ(Query(db, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Query(db, "SELECT count(*) FROM Record"), "200");
    EXPECT_EQ(Query(db, "SELECT CurrRecord FROM Device"), "200");

    ASSERT_EQ(Run({"download", "--simulate", "--sim-image", image, "--db", db}), 0);
    EXPECT_EQ(Query(db, "SELECT count(*) FROM Record"), "455");
    EXPECT_EQ(Query(db, "SELECT count(DISTINCT RecTime) FROM Record"), "455");
    EXPECT_EQ(Query(db, "SELECT CurrBlock || '/' || CurrRecord FROM Device"), "2/200");
}

TEST_F(CliTest, BadInputGivesAClearErrorAndExitStatus) {
    const std::string junk = dir.File("junk.db");
    std::ofstream(junk) << std::string(2000, 'x');
    FakeStation corrupt(64, 64256, kDev);
    corrupt.PutBlock(1, Block(0, At(2024, 3, 5)), Records(5, 0));
    corrupt.PutBlock(2, Block(60000, At(2024, 3, 6)), Records(5, 0));
    corrupt.table[16 + 6] = 0xFF;  // block 2 starts beyond the data area
    corrupt.table[16 + 7] = 0xFF;
    corrupt.SetStatus(1, 2);
    const std::string bad = dir.File("bad-image");
    ASSERT_EQ(SaveImage(corrupt, bad), "");

    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{}, 2, "usage"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"download", "--frob"}, 2, "unknown option --frob"},
        {{"download", "--db"}, 2, "--db needs a value"},
        {{"download", "--sim-days", "3"}, 2, "needs --simulate"},
        {{"download", "extra"}, 2, "unexpected argument extra"},
        {{"records"}, 2, "--station ID is required"},
        {{"records", "--station", "123456789"}, 2, "not a station id"},
        {{"records", "--station", "1", "--to", "2024-03-05T25:00"}, 2, "is not a time"},
        {{"records", "--station", "1", "--from", "1999-12-31"}, 2, "is not a time"},
        {{"dump"}, 2, "DIR is missing"},
        {{"records", "--station", "1", "--db", dir.File("none.db")}, 1, "no history database"},
        {{"stations", "--db", junk}, 1, "file is not a database"},
        {{"download", "--simulate", "--db", junk}, 1, "Cannot open the database!"},
        {{"download", "--simulate", "--db", dir.File("no/such/dir/x.db")}, 1, "Cannot open"},
        {{"download", "--db", db}, 1, "no weather station found"},
        {{"dump", dir.File("d")}, 1, "no weather station found"},
        {{"download", "--simulate", "--sim-image", dir.File("nothing")}, 1, "cannot load"},
        // A corrupt entry is skipped with a word; the sound block before it is stored.
        {{"download", "--simulate", "--sim-image", bad, "--db", db}, 0, "outside the"},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const auto& a : c.args) what += a + " ";
        SCOPED_TRACE(what);
        std::string out, err;
        EXPECT_EQ(Run(c.args, &out, &err), c.status);
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
    EXPECT_EQ(Query(db, "SELECT count(*) FROM Record"), "5");

    std::string out;
    EXPECT_EQ(Run({"records", "--help"}, &out), 0);
    EXPECT_NE(out.find("--station ID"), std::string::npos);
    EXPECT_EQ(Run({"download", "--help"}, &out), 0);
    EXPECT_NE(out.find("--sim-image"), std::string::npos);
}

// The reading commands change nothing of the database, and work on one that
// may only be read; the download says it cannot store anything there.
TEST_F(CliTest, ReadingCommandsWorkOnADatabaseThatMayOnlyBeRead) {
    ASSERT_EQ(Run({"download", "--simulate", "--sim-days", "1", "--db", db}), 0);
    // A journal mode of its own, as another program's file might have.
    ASSERT_EQ(Query(db, "PRAGMA journal_mode = DELETE"), "delete");
    const std::string before = FileText(db);
    std::string stations, out, err;
    ASSERT_EQ(Run({"stations", "--db", db}, &stations, &err), 0) << err;
    ASSERT_EQ(stations.size(), 9u);
    const std::vector<std::string> records = {"records", "--db", db, "--station",
                                              stations.substr(0, 8)};
    ASSERT_EQ(Run(records, &out, &err), 0) << err;
    const size_t rows = Table(out).size();
    EXPECT_TRUE(IsASimulatedDay(static_cast<long>(rows) - 1)) << rows;
    EXPECT_TRUE(FileText(db) == before);  // not a byte changed
    EXPECT_EQ(Query(db, "PRAGMA journal_mode"), "delete");

    // The program's own file, write-protected in a folder that may only be
    // read. File modes do not bind root, wherever the checkout lives: root
    // meets the folder as a read-only mount in a mount namespace of its own.
    const bool asRoot = geteuid() == 0;
    if (asRoot && CliProcess({"--mount", "true"}, env, nullptr, "/usr/bin/unshare").Wait() != 0)
        GTEST_SKIP() << "no mount namespace can be made here: the read-only folder is not tried";
    const auto readOnly = [&](const std::vector<std::string>& args, std::string* out,
                              std::string* err) {
        if (!asRoot) return Run(args, out, err);
        std::vector<std::string> all = {"--mount",  "--propagation",
                                        "private",  "/bin/sh",
                                        "-c",       "mount -o bind,ro \"$0\" \"$0\" && exec \"$@\"",
                                        dir.Path(), NIMBARY_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        CliProcess p(all, env, nullptr, "/usr/bin/unshare");
        const int rc = p.Wait();
        *out = p.Out();
        *err = p.Err();
        return rc;
    };
    ASSERT_EQ(Query(db, "PRAGMA journal_mode = WAL"), "wal");
    chmod(db.c_str(), 0444);
    chmod(dir.Path().c_str(), 0555);
    EXPECT_EQ(readOnly({"stations", "--db", db}, &out, &err), 0) << err;
    EXPECT_EQ(out, stations);
    EXPECT_EQ(readOnly(records, &out, &err), 0) << err;
    EXPECT_EQ(Table(out).size(), rows);
    EXPECT_EQ(readOnly({"download", "--simulate", "--sim-days", "1", "--db", db}, &out, &err), 1);
    EXPECT_NE(err.find("read-only"), std::string::npos) << err;
    chmod(dir.Path().c_str(), 0755);
    chmod(db.c_str(), 0644);
}

// Output that cannot be written (a full disk) is a failure, whatever the command.
TEST_F(CliTest, OutputThatCannotBeWrittenFailsTheCommand) {
    ASSERT_EQ(Run({"download", "--simulate", "--sim-days", "1", "--db", db}), 0);
    std::string records;
    ASSERT_EQ(Run({"stations", "--db", db}, &records), 0);
    const std::string station = records.substr(0, 8);
    const std::vector<std::vector<std::string>> commands = {
        {"stations", "--db", db},
        {"records", "--db", db, "--station", station},
        {"download", "--simulate", "--sim-days", "1", "--db", db},
        {"info", "--simulate", "--sim-days", "0"},
        {"dump", dir.File("dump"), "--simulate", "--sim-days", "0"},
        {"--help"},
        {"records", "--help"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + " " + args.back());
        CliProcess p(args, env, "/dev/full");
        EXPECT_EQ(p.Wait(), 1);
        EXPECT_NE(p.Err().find("cannot write"), std::string::npos) << p.Err();
    }
}

TEST_F(CliTest, FollowStopsCleanlyOnSigterm) {
    std::vector<std::string> e = env;
    CliProcess p({"download", "--follow", "--simulate", "--sim-days", "1", "--db", db}, e);
    // Wait for the first pass to be stored, then ask it to stop.
    for (int i = 0; i < 300 && Query(db, "SELECT count(*) FROM Device") != "1"; ++i) usleep(20000);
    ASSERT_EQ(Query(db, "SELECT count(*) FROM Device"), "1");
    kill(p.Pid(), SIGTERM);
    EXPECT_EQ(p.Wait(5000), 0) << p.Err();
    EXPECT_FALSE(p.TimedOut());
    const std::string stored = Query(db, "SELECT count(*) FROM Record");
    EXPECT_TRUE(IsASimulatedDay(std::stol(stored))) << stored;
    EXPECT_NE(p.Out().find("total read records: " + stored), std::string::npos) << p.Out();
    // The default data folder is made on first use.
    EXPECT_EQ(Run({"download", "--simulate", "--sim-days", "0"}), 0);
    EXPECT_EQ(Query(dir.File("data/Nimbary.db"), "PRAGMA integrity_check"), "ok");
}

// What went over the wire with the simulated station, played back, decodes
// to exactly the same fields.
TEST_F(CliTest, CaptureReplaysToTheSameInfo) {
    const std::string capture = dir.File("capture.txt");
    std::string live, replayed, err;
    ASSERT_EQ(Run({"info", "--simulate", "--sim-seed", "5", "--capture", capture}, &live, &err), 0)
        << err;
    EXPECT_NE(live.find("\nInTemp="), std::string::npos);
    EXPECT_NE(live.find("\nMax.InTemp="), std::string::npos);
    EXPECT_NE(live.find("\nAlarm.InTempHigh="), std::string::npos);
    EXPECT_NE(live.find("\nUnits.TempUnit="), std::string::npos);
    const std::string text = FileText(capture);
    EXPECT_EQ(text.rfind("# nimbary-cli ", 0), 0u);
    EXPECT_NE(text.find("\n> 03 04 07\n< "), std::string::npos);

    ASSERT_EQ(Run({"info", "--replay", capture}, &replayed, &err), 0) << err;
    EXPECT_EQ(live, replayed);

    // A capture with nothing in it is a silent station: every read fails.
    const std::string empty = dir.File("empty.txt");
    std::ofstream(empty) << "# nothing recorded\n";
    ASSERT_EQ(Run({"info", "--replay", empty}, &replayed, &err), 1);
    EXPECT_EQ(replayed.find("InTemp="), std::string::npos);
    EXPECT_NE(replayed.find("# ReadCurrent failed"), std::string::npos);
    EXPECT_NE(err.find("ReadCurrent"), std::string::npos);

    EXPECT_EQ(Run({"info", "--replay", dir.File("missing.txt")}, nullptr, &err), 1);
    EXPECT_NE(err.find("missing.txt"), std::string::npos);
    EXPECT_EQ(Run({"info", "--replay", empty, "--simulate"}), 2);
}

TEST_F(CliTest, RenderDisplayWritesTheWholeViewAsPng) {
    const std::string png = dir.File("display.png");
    std::string err;
    ASSERT_EQ(Run({"render-display", "--simulate", "--sim-days", "0", png, "--lang", "zh"}, nullptr,
                  &err),
              0)
        << err;
    const std::string bytes = FileText(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto be32 = [&](size_t at) {
        return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
               (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
    };
    EXPECT_EQ(be32(16), 1170u);  // IHDR width
    EXPECT_EQ(be32(20), 690u);   // and height
    EXPECT_EQ(Run({"render-display", "--simulate", png, "--lang", "fr"}), 2);
    EXPECT_EQ(Run({"render-display", "--simulate"}), 2);
}

// The browser's table in the units stored for the station, headless.
TEST_F(CliTest, ExportWritesTheTableInTheStationsUnits) {
    {
        StderrMessages quiet;
        HistoryDb h(&quiet);
        ASSERT_EQ(h.Open(db), 0);
        h.Info().Units.TempUnit = 1;  // °F
        h.Info().Units.BaroUnit = 1;  // inHg
        ASSERT_EQ(SaveWeather(h, kDev, At(2024, 3, 5), 288), 0);
    }
    auto args = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"export", "--db", db, "--station", "80000005"});
        return more;
    };
    const std::string csv = dir.File("day 气象.csv"), pdf = dir.File("day.pdf");
    std::string out, err;
    ASSERT_EQ(Run(args({"--format", "csv", "--lang", "zh", "--to", "2024-03-05T00:05", csv}), &out,
                  &err, {"LC_ALL=C"}),
              0)
        << err;
    const std::string bytes = FileText(csv);
    const QStringList lines =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                           static_cast<qsizetype>(bytes.size() - 2) / 2)
            .split("\r\n");
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("序号\t时间\t室内温度(°F)\t")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("\t绝对气压(inHg)\t"));
    EXPECT_TRUE(lines[2].startsWith("2\t2024-03-05 00:05:00\t70.")) << lines[2].toStdString();
    ASSERT_EQ(Run(args({"--format=pdf", pdf}), &out, &err), 0) << err;
    EXPECT_EQ(FileText(pdf).rfind("%PDF-", 0), 0u);

    struct Case {
        std::vector<std::string> more;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{csv}, 2, "--format csv|pdf is required"},
        {{"--format", "xls", csv}, 2, "--format takes csv or pdf"},
        {{"--format", "csv", "--from", "2030-01-01", csv}, 1, "no records"},
        {{"--format", "pdf", dir.File("none/x.pdf")}, 1, "Can not create the file:\n/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_EQ(Run(args(c.more), &out, &err), c.status);
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
    EXPECT_EQ(FileText(csv), bytes);  // the failed runs left the file alone
}

// A gap the station left is printed by the download that meets it and
// listed by info --history; a download --follow waits for the station while
// another program holds it, and says so once.
// A download stores the units the station is set to (the simulated one's
// °C, m/s, hPa and mm, not a new station's defaults), and the export writes
// in them; times given the wrong way round are exchanged.
TEST_F(CliTest, ExportWritesTheDownloadedStationsUnitsAndTakesTimesEitherWay) {
    ASSERT_EQ(Run({"download", "--simulate", "--sim-days", "1", "--db", db}), 0);
    std::string stations, out, err;
    ASSERT_EQ(Run({"stations", "--db", db}, &stations), 0);
    const std::string csv = dir.File("units.csv");
    ASSERT_EQ(
        Run({"export", "--db", db, "--station", stations.substr(0, 8), "--format", "csv", csv},
            &out, &err),
        0)
        << err;
    const std::string bytes = FileText(csv);
    const QString header = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                                              static_cast<qsizetype>(bytes.size() - 2) / 2)
                               .section("\r\n", 0, 0);
    for (const char* h :
         {"\tIn Temp.(°C)\t", "\tWind(m/s)\t", "\tABS Pressure(hpa)\t", "\tRain Total(mm)"})
        EXPECT_TRUE(header.contains(QString::fromUtf8(h))) << h << " in " << header.toStdString();

    {
        StderrMessages quiet;
        HistoryDb h(&quiet);
        ASSERT_EQ(h.Open(db), 0);
        ASSERT_EQ(SaveWeather(h, kDev, At(2024, 3, 5), 288), 0);
    }
    for (auto [from, to] : {std::pair{"2024-03-05T00:30", "2024-03-05T01:00"},
                            std::pair{"2024-03-05T01:00", "2024-03-05T00:30"}}) {
        SCOPED_TRACE(std::string(from) + " to " + to);
        ASSERT_EQ(Run({"records", "--db", db, "--station", "80000005", "--from", from, "--to", to},
                      &out, &err),
                  0)
            << err;
        const auto rows = Table(out);
        ASSERT_EQ(rows.size(), 1u + 7);  // 00:30 to 01:00, every five minutes
        EXPECT_EQ(rows[1][1], "2024-03-05T00:30:00");
        EXPECT_EQ(rows[7][1], "2024-03-05T01:00:00");
        EXPECT_EQ(Run({"export", "--db", db, "--station", "80000005", "--from", from, "--to", to,
                       "--format", "csv", csv}),
                  0);
    }
}

TEST_F(CliTest, GapsAreReportedAndFollowWaitsForAHeldStation) {
    FakeStation st(64, 64256, kDev);
    const uint32_t t0 = At(2024, 3, 5, 22, 0);
    st.PutBlock(1, Block(0, t0), Records(12, 0));  // 22:00 .. 22:55
    st.PutBlock(2, Block(12 * Block(0, 0).RecordSize(), t0 + 3 * 3600), Records(6, 12));
    st.SetStatus(1, 2);
    const std::string image = dir.File("image");
    ASSERT_EQ(SaveImage(st, image), "");

    StationLock other(StationLock::SimulatedStationPath(db));
    ASSERT_TRUE(other.TryLock());
    const std::vector<std::string> follow = {
        "download", "--follow", "--simulate", "--sim-image", image, "--db", db};
    CliProcess p(follow, env);
    ASSERT_TRUE(p.WaitForError("is talking to the weather station; waiting until it lets go", 5000))
        << p.Err();
    EXPECT_EQ(Query(db, "SELECT count(*) FROM Record"), "0");
    other.Unlock();
    for (int i = 0; i < 600 && Query(db, "SELECT count(*) FROM Record") != "18"; ++i) usleep(20000);
    kill(p.Pid(), SIGTERM);
    EXPECT_EQ(p.Wait(5000), 0) << p.Err();
    EXPECT_NE(p.Err().find("the weather station is free again"), std::string::npos) << p.Err();
    EXPECT_NE(p.Out().find("\nHistory gap: no records from 2024-03-05 22:55 to 2024-03-06 01:00 "
                           "(2 h 5 min)\n"),
              std::string::npos)
        << p.Out();

    std::string out, err;
    ASSERT_EQ(
        Run({"info", "--history", "--db", db, "--simulate", "--sim-image", image}, &out, &err), 0)
        << err;
    EXPECT_NE(out.find("\nClock.NewestRecord=2024-03-06T01:25:00\nClock.RecordInterval=300\n# "
                       "The station's newest record (2024-03-06 01:25) is "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nDevice.Records=18\n# Gaps\nGaps=1\nGap1.From=2024-03-05T22:55:00\n"
                       "Gap1.To=2024-03-06T01:00:00\nGap1.Seconds=7500\n"),
              std::string::npos)
        << out;
}

namespace {

// nimbary-cli run with its files limited to `bytes` each, as `ulimit -f` does.
int RunLimited(const std::vector<std::string>& env, size_t bytes,
               const std::vector<std::string>& args, std::string& err) {
    std::vector<std::string> all = {"--fsize=" + std::to_string(bytes), NIMBARY_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    CliProcess p(all, env, nullptr, "/usr/bin/prlimit");
    const int rc = p.Wait();
    EXPECT_FALSE(p.TimedOut());
    err = p.Err();
    return rc;
}

}  // namespace

// A full disk in the middle of a save: the command says so with the file's
// name and fails, and what was stored before is all there.
TEST_F(CliTest, AFullDiskFailsTheSaveAndKeepsWhatWasThere) {
    FakeStation st(64, 64256, kDev);
    const uint32_t t0 = At(2024, 3, 5);
    const int size = Block(0, 0).RecordSize();
    st.PutBlock(1, Block(0, t0), Records(255, 0));
    st.PutBlock(2, Block(255 * size, t0 + 255 * 300), Records(200, 300));
    st.SetStatus(1, 2);
    const std::string image = dir.File("image");
    ASSERT_EQ(SaveImage(st, image), "");
    ASSERT_EQ(Run({"download", "--simulate", "--sim-image", image, "--db", db}), 0);
    const std::string earlier = dir.File("earlier");
    ASSERT_EQ(Run({"dump", earlier, "--simulate", "--sim-image", image}), 0);
    const std::string csv = dir.File("t.csv"), pdf = dir.File("t.pdf");
    std::ofstream(csv) << "earlier csv";
    std::ofstream(pdf) << "earlier pdf";

    // 55 more records: their batch is small, the pages it changes are not.
    st.PutBlock(2, Block(255 * size, t0 + 255 * 300), Records(255, 300));
    ASSERT_EQ(SaveImage(st, image), "");
    std::map<std::string, std::string> before;
    for (const char* f : {"block.bin", "data.bin", "station.ini"})
        before[f] = FileText(earlier + "/" + f);

    // An export is cut at half of what it writes with room (its size depends
    // on the fonts installed), of a week: enough that half of it is still
    // more than the database's index file the export makes first.
    const std::string week = dir.File("week.db");
    ASSERT_EQ(Run({"download", "--simulate", "--sim-days", "7", "--db", week}), 0);
    std::string weekStation;
    ASSERT_EQ(Run({"stations", "--db", week}, &weekStation), 0);
    const auto exportOf = [&](const char* format, const std::string& to) {
        return std::vector<std::string>{
            "export", "--db", week, "--station", weekStation.substr(0, 8), "--format", format, to};
    };
    const auto halfOf = [&](const char* format) {
        const std::string whole = dir.File(std::string("whole.") + format);
        EXPECT_EQ(Run(exportOf(format, whole)), 0);
        const size_t size = FileText(whole).size();
        EXPECT_GT(size / 2, 32768u + 8192);
        std::filesystem::remove(whole);
        return size / 2;
    };
    const size_t csvLimit = halfOf("csv"), pdfLimit = halfOf("pdf");

    struct Case {
        std::vector<std::string> args;
        size_t limit;
        std::string says;
    };
    const Case cases[] = {
        // Room for the database's index file and the download's scratch
        // file, none for the records' pages.
        {{"download", "--simulate", "--sim-image", image, "--db", db},
         40000,
         "The database file could not be written (is the disk full?):\n" + db},
        // A batch bigger than the room: the download's own scratch file fills up.
        {{"download", "--simulate", "--sim-days", "3", "--db", db},
         40000,
         "The download's temporary file cannot be written in " +
             std::filesystem::temp_directory_path().string() + ": the disk is full."},
        // No room even for that index file: the database is not opened.
        {{"download", "--simulate", "--sim-image", image, "--db", db},
         8192,
         "Cannot open the database! " + db + ": The disk is full"},
        {{"dump", earlier, "--simulate", "--sim-image", image},
         32768,
         "the disk is full: cannot write " + earlier + "/data.bin"},
        {exportOf("csv", csv), csvLimit,
         "The disk is full: the file could not be written:\n" + csv},
        {exportOf("pdf", pdf), pdfLimit,
         "The disk is full: the file could not be written:\n" + pdf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::string err;
        EXPECT_EQ(RunLimited(env, c.limit, c.args, err), 1);  // not ended by SIGXFSZ
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
    EXPECT_EQ(Query(db, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Query(db, "SELECT count(*) FROM Record"), "455");
    EXPECT_EQ(Query(db, "SELECT CurrRecord FROM Device"), "200");
    for (const auto& [f, bytes] : before) EXPECT_TRUE(FileText(earlier + "/" + f) == bytes) << f;
    EXPECT_EQ(FileText(csv), "earlier csv");
    EXPECT_EQ(FileText(pdf), "earlier pdf");
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(earlier))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left.size(), 3u);  // no temporary file stays behind

    // With room again, the same download stores everything.
    ASSERT_EQ(Run({"download", "--simulate", "--sim-image", image, "--db", db}), 0);
    EXPECT_EQ(Query(db, "SELECT count(*) FROM Record"), "510");
}

// Another process holding the database's write lock: the download waits,
// then says the database is locked and stores nothing; the records already
// there stay, and the next run stores the new ones.
TEST_F(CliTest, ADatabaseLockedByAnotherProcessIsReportedAndLosesNothing) {
    ASSERT_EQ(Run({"download", "--simulate", "--sim-days", "1", "--db", db}), 0);
    const std::string count = Query(db, "SELECT count(*) FROM Record");
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::string out, err;
    EXPECT_EQ(Run({"download", "--simulate", "--sim-days", "2", "--db", db}, &out, &err), 1);
    EXPECT_NE(err.find("database is locked"), std::string::npos) << err;
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(Query(db, "SELECT count(*) FROM Record"), count);
    ASSERT_EQ(Run({"download", "--simulate", "--sim-days", "2", "--db", db}, &out, &err), 0) << err;
    EXPECT_GT(std::stoi(Query(db, "SELECT count(*) FROM Record")), std::stoi(count));
}

// A database cut short (a copy that stopped half-way): every command says
// what is wrong and none of them writes into it.
TEST_F(CliTest, ATruncatedDatabaseIsReportedAndLeftAsItIs) {
    ASSERT_EQ(Run({"download", "--simulate", "--sim-days", "3", "--db", db}), 0);
    ASSERT_EQ(Query(db, "PRAGMA wal_checkpoint(TRUNCATE)"), "0");
    const std::string whole = FileText(db);
    std::ofstream(db, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
    const std::string cut = FileText(db);
    std::string stations;
    const std::vector<std::vector<std::string>> commands = {
        {"download", "--simulate", "--sim-days", "3", "--db", db},
        {"stations", "--db", db},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        std::string out, err;
        EXPECT_EQ(Run(args, &out, &err), 1);
        EXPECT_NE(err.find("malformed"), std::string::npos) << err;
    }
    EXPECT_TRUE(FileText(db) == cut);
}

// A capture file that is not one: the message names the file and the line,
// and the command ends at once.
TEST_F(CliTest, ABrokenReplayFileIsReportedWithItsLine) {
    const std::string path = dir.File("capture.txt");
    struct Case {
        std::string text;
        std::string says;
    };
    const Case cases[] = {
        {"# header\n> 03 08 0B\n< 1A 0\n", path + ": line 3: '0' is not a two-digit"},
        {"> 03 08 0B\n< 1A 0G\n", path + ": line 2: '0G' is not a two-digit"},
        {"> 03 08 0B\n< " + std::string(1 << 20, '1') + "\n",
         path + ": line 2: '1111111111111111...' is not a two-digit"},
        {"> 03" + std::string(2000, ' ') +
             [] {
                 std::string s;
                 for (int i = 0; i < 100000; ++i) s += " 00";
                 return s;
             }() +
             "\n",
         path + ": line 1: a report holds 1 to 64 bytes, not 65 or more"},
        // Nothing recorded is a silent station: every read fails at once.
        {"", "ReadCurrent"},
        {std::string(4096, '\n'), "ReadCurrent"},
        {std::string("\x7F"
                     "ELF\x02\x01\x01\0\0\xFF\n",
                     11),
         path + ": line 1: expected '>', '<' or '#', not '\\x7FELF\\x02\\x01\\x01\\x00\\x00\\xFF'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
        std::string out, err;
        EXPECT_EQ(Run({"info", "--replay", path}, &out, &err), 1);
        EXPECT_NE(err.find(c.says), std::string::npos) << err.substr(0, 300);
        EXPECT_LT(err.size(), 600u);
    }
}

#include <charconv>
#include <cstdio>

#include "ArgList.h"
#include "CalendarTime.h"
#include "Command.h"
#include "DataPaths.h"
#include "HistoryFile.h"
#include "RecordRange.h"
#include "TimeArg.h"

namespace nimbary::cli {

const char* const kRecordsHelp =
    "Writes one station's stored records as tab-separated text: a header line of\n"
    "the Record column names, then one line per record, oldest first. Values are\n"
    "in the internal units (°F, %, hPa, m/s, degrees, mm); a value the station\n"
    "did not report is empty; RecTime is the station's time as 2024-03-05T12:00:00.\n"
    "\n"
    "  --station ID        the station's id, 8 hex digits as `stations` lists them\n"
    "  --from TIME         records at or after TIME\n"
    "  --to TIME           records up to and including TIME\n"
    "  --db PATH           the database (default: the program's Nimbary.db)\n"
    "\n"
    "TIME is on the station's clock: 2024-03-05, 2024-03-05T12:00 or\n"
    "2024-03-05T12:00:30. A date or minute as --to includes the whole of it.\n"
    "A --from later than --to is taken the other way round.\n";

namespace {

class Line {
public:
    void Text(const std::string& s) {
        Sep();
        out_ += s;
    }
    void Value(double v) {
        Sep();
        if (v == static_cast<double>(VAL_ABSENT)) return;  // stored as NULL
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);  // shortest exact form
        out_.append(buf, r.ptr);
    }
    void Value(int32_t v) {
        Sep();
        if (v != VAL_ABSENT) out_ += std::to_string(v);
    }
    void Print() {
        out_ += '\n';
        std::fwrite(out_.data(), 1, out_.size(), stdout);
        out_.clear();
        first_ = true;
    }

private:
    void Sep() {
        if (!first_) out_ += '\t';
        first_ = false;
    }
    std::string out_;
    bool first_ = true;
};

}  // namespace

int RunRecords(std::vector<std::string> args) {
    ArgList a(std::move(args));
    std::string dbPath = DataPaths::DefaultDatabase(), error;
    bool dbGiven = false;
    RecordRange range;
    if (!a.TakeValue("--db", dbPath, dbGiven)) return UsageError("records", a.Error());
    if (!range.Take(a, error)) return UsageError("records", error);
    std::vector<std::string> positional;
    if (!a.Finish(positional, 0, 0)) return UsageError("records", a.Error());

    StderrMessages messages;
    HistoryDb db(&messages);
    if (const int rc = HistoryFile::OpenExisting(dbPath, db); rc != kExitOk) return rc;
    if (db.SelectRecords(range.devId, range.start, range.end) != 0) return kExitFailure;

    Line line;
    for (const std::string& name : RecordColumnNames()) line.Text(name);
    line.Print();
    char hex[16];
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        db.ReadRecordAllChannels();
        const HistoryRecord& r = db.ReadImage();
        std::snprintf(hex, sizeof hex, "%08X", r.DevID);
        line.Text(hex);
        uint32_t when = 0;
        line.Text(OleDateToStationTime(r.RecTime, when) ? TimeArg::Format(when) : "");
        ForEachMeasurement(r, [&line](auto v) { line.Value(v); });
        line.Print();
    }
    return db.CloseSelection() == 0 ? kExitOk : kExitFailure;
}

}  // namespace nimbary::cli

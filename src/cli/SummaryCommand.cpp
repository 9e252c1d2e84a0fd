// nimbary-cli summary: daily, monthly or yearly summaries of a station's records.
#include <cstdio>

#include "ArgList.h"
#include "Command.h"
#include "DataPaths.h"
#include "HistoryFile.h"
#include "HistoryTable.h"
#include "RecordRange.h"
#include "StringTable.h"
#include "SummaryTable.h"

namespace nimbary::cli {

const char* const kSummaryHelp =
    "Summarises one station's records by day, month or year on the station's\n"
    "clock: per quantity the station has its minimum and maximum with their\n"
    "times and its mean; the wind's mean, highest speed and gust with their\n"
    "times and directions and its dominant direction; the rain total and the\n"
    "wettest clock hour; heating and cooling degree days (base 65 °F, 18.3 °C);\n"
    "and the records present against those the record interval expects.\n"
    "Values are in the units stored for the station.\n"
    "\n"
    "  --station ID        the station's id, 8 hex digits as `stations` lists them\n"
    "  --by day|month|year the periods\n"
    "  --from TIME         records at or after TIME (default: the first)\n"
    "  --to TIME           records up to and including TIME (default: the last)\n"
    "  --format text|csv   a block of lines per period (default), or comma-separated\n"
    "                      values with a header line, as the browser's Summary table\n"
    "  --lang en|zh        texts in English (default) or Chinese\n"
    "  --db PATH           the database (default: the program's Nimbary.db)\n"
    "\n"
    "TIME is on the station's clock, as for `records`.\n";

namespace {

// One field of comma-separated values, quoted when it must be.
std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

void PrintCsv(const SummaryTable& t) {
    auto line = [&](auto text) {
        std::string out;
        for (int c = 0; c < t.ColumnCount(); ++c) out += (c ? "," : "") + CsvField(text(c));
        out += '\n';
        std::fwrite(out.data(), 1, out.size(), stdout);
    };
    line([&](int c) { return t.HeaderText(c); });
    for (int r = 0; r < t.RowCount(); ++r) line([&](int c) { return t.CellText(r, c); });
}

// A block a period: its name and coverage, then a line a quantity, the
// times and directions of an extreme in brackets after it.
void PrintText(const SummaryTable& t) {
    for (int r = 0; r < t.RowCount(); ++r) {
        std::string out = t.CellText(r, 0);
        int c = 1;
        for (; c < t.ColumnCount() && t.ColumnAt(c).group == 0; ++c)
            out += "  " + t.ColumnAt(c).groupText + " " + t.CellText(r, c) + t.ColumnAt(c).unit;
        out += '\n';
        while (c < t.ColumnCount()) {
            const int first = c, group = t.ColumnAt(c).group;
            while (c < t.ColumnCount() && t.ColumnAt(c).group == group) ++c;
            std::string label = t.ColumnAt(first).groupText, items;
            bool open = false;  // an item's bracket is open
            for (int k = first; k < c; ++k) {
                const SummaryTable::Column& col = t.ColumnAt(k);
                if (label == col.groupText && !col.unit.empty())
                    label = HeaderRule(col.groupText, col.unit, col.perHour);
                const std::string cell = t.CellText(r, k);
                const bool after =
                    col.kind == SummaryTable::Kind::Time ||
                    (col.kind == SummaryTable::Kind::Direction && !col.statText.empty());
                if (after && !items.empty()) {
                    if (cell.empty()) continue;
                    items += (open ? ", " : " (") + cell;
                    open = true;
                    continue;
                }
                if (open) items += ")";
                open = false;
                if (cell.empty()) continue;
                if (!items.empty()) items += "  ";
                items += col.statText.empty() ? cell : col.statText + " " + cell;
            }
            if (open) items += ")";
            if (!items.empty()) out += "  " + label + ": " + items + "\n";
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
}

}  // namespace

int RunSummary(std::vector<std::string> args) {
    ArgList a(std::move(args));
    std::string dbPath = DataPaths::DefaultDatabase(), by, format = "text", lang, error;
    bool dbGiven = false, byGiven = false, formatGiven = false, langGiven = false;
    RecordRange range;
    if (!a.TakeValue("--db", dbPath, dbGiven) || !a.TakeValue("--by", by, byGiven) ||
        !a.TakeValue("--format", format, formatGiven) || !a.TakeValue("--lang", lang, langGiven))
        return UsageError("summary", a.Error());
    if (!range.Take(a, error)) return UsageError("summary", error);
    std::vector<std::string> positional;
    if (!a.Finish(positional, 0, 0)) return UsageError("summary", a.Error());
    if (!byGiven) return UsageError("summary", "--by day|month|year is required");
    SummaryRequest request;
    if (by == "day")
        request.period = SummaryPeriod::Day;
    else if (by == "month")
        request.period = SummaryPeriod::Month;
    else if (by == "year")
        request.period = SummaryPeriod::Year;
    else
        return UsageError("summary", "--by takes day, month or year, not '" + by + "'");
    if (format != "text" && format != "csv")
        return UsageError("summary", "--format takes text or csv, not '" + format + "'");
    text::Language language;
    if (const std::string e = LanguageArg(lang, langGiven, language); !e.empty())
        return UsageError("summary", e);
    text::SetLanguage(language);

    StderrMessages messages;
    HistoryDb db(&messages);
    if (const int rc = HistoryFile::OpenStation(dbPath, range.devId, db); rc != kExitOk) return rc;
    request.devId = range.devId;
    request.start = range.start;
    request.end = range.end;
    request.openStart = !range.fromGiven;
    request.openEnd = !range.toGiven;
    std::vector<PeriodSummary> periods;
    if (Summarize(db, request, periods) != 0) return kExitFailure;
    if (periods.empty()) {
        PrintError("the station has no records in that time range");
        return kExitFailure;
    }
    const SummaryTable table(request.period, std::move(periods), db.Info().Units, range.devId);
    if (format == "csv")
        PrintCsv(table);
    else
        PrintText(table);
    return kExitOk;
}

}  // namespace nimbary::cli

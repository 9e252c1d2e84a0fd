// nimbary-cli report: the monthly or yearly climatological summary.
#include <cctype>
#include <cstdio>
#include <string>

#include "ArgList.h"
#include "ClimateReport.h"
#include "Command.h"
#include "DataPaths.h"
#include "HistoryFile.h"
#include "RecordRange.h"

namespace nimbary::cli {

const char* const kReportHelp =
    "Writes the climatological summary of a month or a year as the fixed-width\n"
    "text weather services publish and hobbyists exchange, in English and in the\n"
    "units stored for the station: a line a day (or a month) with the outdoor\n"
    "temperature's mean, high and low with their times, heating and cooling\n"
    "degree days (base 65 °F, 18.3 °C), the rain, the mean wind, the highest gust\n"
    "with its time and the dominant direction; totals and extremes at the foot.\n"
    "\n"
    "  --station ID        the station's id, 8 hex digits as `stations` lists them\n"
    "  --month YYYY-MM     the month, on the station's clock\n"
    "  --year YYYY         or the whole year\n"
    "  --db PATH           the database (default: the program's Nimbary.db)\n";

namespace {

// "2024" or "2024-03"; false when the text is neither.
bool ParseYearMonth(const std::string& text, bool withMonth, int& year, int& month) {
    const size_t size = withMonth ? 7 : 4;
    if (text.size() != size || (withMonth && text[4] != '-')) return false;
    for (size_t i = 0; i < size; ++i)
        if (i != 4 && !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    year = std::stoi(text.substr(0, 4));
    month = withMonth ? std::stoi(text.substr(5, 2)) : 0;
    // The station's clock runs from 2000 to early 2136.
    return year >= 2000 && year <= 2135 && (!withMonth || (month >= 1 && month <= 12));
}

}  // namespace

int RunReport(std::vector<std::string> args) {
    ArgList a(std::move(args));
    std::string dbPath = DataPaths::DefaultDatabase(), monthText, yearText, error;
    bool dbGiven = false, monthGiven = false, yearGiven = false;
    if (!a.TakeValue("--db", dbPath, dbGiven) || !a.TakeValue("--month", monthText, monthGiven) ||
        !a.TakeValue("--year", yearText, yearGiven))
        return UsageError("report", a.Error());
    RecordRange range;
    if (!range.Take(a, error)) return UsageError("report", error);
    if (range.fromGiven || range.toGiven)
        return UsageError("report", "the report takes --month or --year, not --from or --to");
    std::vector<std::string> positional;
    if (!a.Finish(positional, 0, 0)) return UsageError("report", a.Error());
    if (monthGiven == yearGiven)
        return UsageError("report", "give one of --month YYYY-MM or --year YYYY");
    int year = 0, month = 0;
    if (!ParseYearMonth(monthGiven ? monthText : yearText, monthGiven, year, month))
        return UsageError(
            "report", monthGiven ? "--month takes YYYY-MM, from 2000-01 on, not '" + monthText + "'"
                                 : "--year takes YYYY, from 2000 on, not '" + yearText + "'");

    StderrMessages messages;
    HistoryDb db(&messages);
    if (const int rc = HistoryFile::OpenStation(dbPath, range.devId, db); rc != kExitOk) return rc;
    std::string report;
    bool any = false;
    if (ClimateReport::Make(db, range.devId, year, month, db.Info().Units, report, &any) != 0)
        return kExitFailure;
    if (!any) {
        PrintError(std::string("the station has no records in that ") + (month ? "month" : "year"));
        return kExitFailure;
    }
    std::fwrite(report.data(), 1, report.size(), stdout);
    return kExitOk;
}

}  // namespace nimbary::cli

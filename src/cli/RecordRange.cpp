#include "RecordRange.h"

#include <charconv>

#include "CalendarTime.h"
#include "TimeArg.h"

namespace nimbary::cli {

namespace {

bool ParseStationId(const std::string& text, uint32_t& id) {
    std::string s = text;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
    if (s.empty() || s.size() > 8) return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), id, 16);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

bool RecordRange::Take(ArgList& args, std::string& error) {
    std::string station, from, to;
    bool stationGiven = false;
    if (!args.TakeValue("--station", station, stationGiven) ||
        !args.TakeValue("--from", from, fromGiven) || !args.TakeValue("--to", to, toGiven)) {
        error = args.Error();
        return false;
    }
    if (!stationGiven) {
        error = "--station ID is required";
        return false;
    }
    if (!ParseStationId(station, devId)) {
        error = "\"" + station + "\" is not a station id (8 hex digits)";
        return false;
    }
    uint32_t t = 0;
    if (fromGiven) {
        if (!TimeArg::Parse(from, false, t, error)) {
            error = "--from: " + error;
            return false;
        }
        start = StationTimeToOleDate(t);
    }
    if (toGiven) {
        if (!TimeArg::Parse(to, true, t, error)) {
            error = "--to: " + error;
            return false;
        }
        end = StationTimeToOleDate(t);
    }
    // The two the wrong way round are taken as the browser takes them, as
    // meant: from the earlier to the later, each end whole ("--from
    // 2024-03-06 --to 2024-03-05" is both days).
    if (fromGiven && toGiven && start > end) {
        uint32_t earlier = 0, later = 0;
        TimeArg::Parse(to, false, earlier, error);
        TimeArg::Parse(from, true, later, error);
        start = StationTimeToOleDate(earlier);
        end = StationTimeToOleDate(later);
    }
    return true;
}

}  // namespace nimbary::cli

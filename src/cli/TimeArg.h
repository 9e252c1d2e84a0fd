#pragma once

#include <cstdint>
#include <string>

namespace nimbary::cli {

// Times on the command line, on the station's clock (as stored, no time
// zone): "2024-03-05", "2024-03-05T12:00" or "2024-03-05T12:00:30" (a space
// may stand for the T). A bound names a period: the day, the minute or the
// second; --from takes its first second and --to its last, so
// "--from 2024-03-05 --to 2024-03-05" is that whole day.
class TimeArg {
public:
    // False with `error` set when the text is not such a time.
    static bool Parse(const std::string& text, bool endOfPeriod, uint32_t& stationSeconds,
                      std::string& error);
    // "2024-03-05T12:00:30".
    static std::string Format(uint32_t stationSeconds);
};

}  // namespace nimbary::cli

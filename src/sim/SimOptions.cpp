#include "SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "SimBackend.h"
#include "SimChaos.h"
#include "StationImage.h"

namespace nimbary::sim {

namespace {

constexpr uint32_t kMaxDays = 365;
constexpr double kMaxSpeed = 1000000.0;

bool ParseUnsigned(const std::string& s, uint64_t max, uint64_t& out) {
    if (s.empty() || s[0] < '0' || s[0] > '9') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v > max) return false;
    out = v;
    return true;
}

bool ParseFactor(const std::string& s, double& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || !(v > 0.0) || v > kMaxSpeed)
        return false;
    out = v;
    return true;
}

}  // namespace

const char* SimOptions::Usage() {
    return "  --simulate          use the simulated weather station\n"
           "  --sim-image DIR     load a station image folder (block.bin, data.bin, station.ini)\n"
           "  --sim-seed N        weather seed, a whole number\n"
           "  --sim-speed FACTOR  run the station clock FACTOR times real time\n"
           "  --sim-days N        days of history in the station at start, 0 to 365\n"
           "  --sim-no-rain       the station has no rain gauge\n"
           "  --sim-channels LIST remote channels 1 to 8, such as 1,3 (default 1), or all\n"
           "  --sim-interval S    record every S seconds (16, 32, 48, or whole minutes to 240)\n"
           "  --sim-log FILE      log every record stored, overwritten or erased, and chaos\n"
           "  --sim-chaos MIN,DAYS random unplugs, faults and clears MIN station minutes\n"
           "                      apart on average for DAYS days, then recording stops\n"
           "  --sim-extend MIN    a loaded image records on for MIN minutes first\n";
}

bool SimOptions::ParseChannels(const std::string& list, uint8_t& mask) {
    if (list == "all") {
        mask = 0xFF;
        return true;
    }
    uint8_t m = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma - start);
        if (item.size() != 1 || item[0] < '1' || item[0] > '8') return false;
        m |= static_cast<uint8_t>(1u << (item[0] - '1'));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    mask = m;
    return true;
}

std::string SimOptions::Parse(std::vector<std::string>& args, SimOptions& out) {
    SimOptions o = out;
    std::vector<std::string> rest;
    bool seedGiven = false, speedGiven = false, daysGiven = false, noRainGiven = false,
         channelsGiven = false, intervalGiven = false, extendGiven = false;
    std::string firstSimOnly;  // an option that needs the simulation

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--sim", 0) != 0) {
            rest.push_back(a);
            continue;
        }
        std::string name = a, value;
        bool hasValue = false;
        const size_t eq = a.find('=');
        if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };

        if (name == "--simulate" || name == "--sim-no-rain") {
            if (hasValue) return name + " takes no value";
            if (name == "--simulate") {
                o.simulate = true;
            } else {
                o.rain = false;
                noRainGiven = true;
                if (firstSimOnly.empty()) firstSimOnly = name;
            }
        } else if (name == "--sim-image") {
            if (!takeValue() || value.empty()) return "--sim-image needs a folder";
            o.image = value;
            o.simulate = true;
        } else if (name == "--sim-seed") {
            uint64_t v = 0;
            if (!takeValue()) return "--sim-seed needs a whole number";
            if (!ParseUnsigned(value, UINT64_MAX, v))
                return "--sim-seed needs a whole number of 0 or more, not \"" + value + "\"";
            o.seed = v;
            seedGiven = true;
        } else if (name == "--sim-speed") {
            if (!takeValue()) return "--sim-speed needs a factor";
            if (!ParseFactor(value, o.speed))
                return "--sim-speed needs a number above 0 and at most 1000000, not \"" + value +
                       "\"";
            speedGiven = true;
        } else if (name == "--sim-days") {
            uint64_t v = 0;
            if (!takeValue()) return "--sim-days needs a number of days";
            if (!ParseUnsigned(value, kMaxDays, v))
                return "--sim-days needs a whole number from 0 to 365, not \"" + value + "\"";
            o.days = static_cast<uint32_t>(v);
            daysGiven = true;
        } else if (name == "--sim-channels") {
            if (!takeValue() || !ParseChannels(value, o.channels))
                return "--sim-channels needs channel numbers 1 to 8 separated by commas, or "
                       "\"all\", not \"" +
                       value + "\"";
            channelsGiven = true;
            if (firstSimOnly.empty()) firstSimOnly = name;
        } else if (name == "--sim-interval") {
            uint64_t v = 0;
            if (!takeValue() || !ParseUnsigned(value, 14400, v) ||
                !SimStation::ValidInterval(static_cast<uint32_t>(v)))
                return "--sim-interval needs 16, 32 or 48 seconds or whole minutes up to 14400 "
                       "seconds, not \"" +
                       value + "\"";
            o.interval = static_cast<uint16_t>(v);
            intervalGiven = true;
            if (firstSimOnly.empty()) firstSimOnly = name;
        } else if (name == "--sim-log") {
            if (!takeValue() || value.empty()) return "--sim-log needs a file";
            o.log = value;
            if (firstSimOnly.empty()) firstSimOnly = name;
        } else if (name == "--sim-chaos") {
            const std::string bad = "--sim-chaos needs MINUTES,DAYS such as 360,30, not \"";
            if (!takeValue()) return bad + "\"";
            const size_t comma = value.find(',');
            uint64_t days = 0;
            double minutes = 0;
            if (comma == std::string::npos || !ParseFactor(value.substr(0, comma), minutes) ||
                !ParseUnsigned(value.substr(comma + 1), 3660, days) || days == 0)
                return bad + value + "\"";
            o.chaosMinutes = minutes;
            o.chaosDays = static_cast<uint32_t>(days);
            if (firstSimOnly.empty()) firstSimOnly = name;
        } else if (name == "--sim-extend") {
            uint64_t v = 0;
            if (!takeValue() || !ParseUnsigned(value, 3660u * 1440u, v))
                return "--sim-extend needs a whole number of minutes, not \"" + value + "\"";
            o.extendMinutes = static_cast<uint32_t>(v);
            extendGiven = true;
        } else {
            return "unknown simulation option " + name;
        }
        if ((seedGiven || speedGiven || daysGiven) && firstSimOnly.empty())
            firstSimOnly = seedGiven ? "--sim-seed" : speedGiven ? "--sim-speed" : "--sim-days";
    }
    if (!o.simulate && !firstSimOnly.empty()) return firstSimOnly + " needs --simulate";
    if (!o.image.empty() && daysGiven)
        return "--sim-days cannot be used with --sim-image: the image brings its own history";
    if (!o.image.empty() && noRainGiven)
        return "--sim-no-rain cannot be used with --sim-image: the image's newest block says "
               "which sensors are present";
    if (extendGiven && o.image.empty()) return "--sim-extend needs --sim-image";
    if (!o.image.empty() && intervalGiven)
        return "--sim-interval cannot be used with --sim-image: the image's newest block says "
               "the interval";
    if (!o.image.empty() && channelsGiven)
        return "--sim-channels cannot be used with --sim-image: the image's newest block says "
               "which channels are present";
    out = o;
    args = std::move(rest);
    return {};
}

std::string SimOptions::Parse(int argc, const char* const* argv, SimOptions& out,
                              std::vector<std::string>* rest) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    std::string err = Parse(args, out);
    if (err.empty() && rest) *rest = std::move(args);
    return err;
}

SimConfig SimOptions::Config() const {
    SimConfig c;
    c.seed = seed;
    c.speed = speed;
    c.historyDays = image.empty() ? days : 0;
    if (!rain) c.presence.flags &= static_cast<uint8_t>(~SQ_RAIN);
    c.presence.tempMask = c.presence.humiMask = channels;
    c.interval = interval;
    // The program sets the clock once an hour from the real time; a station
    // running fast would be pulled back each time.
    c.ignoreClockSet = speed != 1.0;
    return c;
}

std::unique_ptr<SimBackend> MakeSimBackend(const SimOptions& options, std::string& error) {
    const SimConfig config = options.Config();
    error = SimStation::CheckConfig(config);
    if (!error.empty()) return nullptr;
    auto station = std::make_shared<SimStation>(config);
    if (!options.image.empty()) {
        StationImage image;
        error = StationImage::Load(options.image, image);
        if (error.empty()) error = station->LoadImage(image);
        if (!error.empty()) {
            error = "cannot load the station image " + options.image + ": " + error;
            return nullptr;
        }
    }
    std::shared_ptr<SimLog> log;
    if (!options.log.empty()) {
        log = SimLog::Create(options.log, error);
        if (!log) return nullptr;
        station->SetLog(log);
    }
    if (options.extendMinutes > 0) station->RecordFor(options.extendMinutes * 60u);
    error.clear();
    auto backend = std::make_unique<SimBackend>(station);
    if (options.chaosDays > 0) {
        auto chaos = std::make_unique<SimChaos>(
            *backend, ChaosPlan{options.chaosMinutes, options.chaosDays, options.seed}, log);
        chaos->Start();
        backend->SetChaos(std::move(chaos));
    }
    return backend;
}

}  // namespace nimbary::sim

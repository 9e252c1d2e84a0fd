#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SimStation.h"

// The simulation options every program takes, and the factory that builds
// the simulated station they describe.
//
//   --simulate          use the simulated station (indoor, outdoor channel 1,
//                       wind, gust, direction, pressure and rain; 3 days of
//                       history at 5 minutes; real-time clock)
//   --sim-image DIR     load a station image (block.bin, data.bin, station.ini);
//                       implies --simulate; the image is not recorded into
//   --sim-seed N        weather seed (whole number)
//   --sim-speed FACTOR  the station clock runs FACTOR times real time
//   --sim-days N        days of history generated at start (0 to 365)
//   --sim-no-rain       no rain gauge
//   --sim-channels LIST remote channels with temperature and humidity: numbers
//                       1 to 8 separated by commas ("1,3"), or "all"
//   --sim-interval S    record interval in seconds (16, 32, 48, or whole minutes
//                       up to 240)
//   --sim-log FILE      write every record stored, overwritten or erased, and
//                       every chaos event, to FILE (see SimLog)
//   --sim-chaos MIN,DAYS random unplugs, transport faults and memory clears,
//                       MIN station minutes apart on average, for DAYS station
//                       days; then the station stays plugged in and stops recording
//   --sim-extend MIN    a loaded image records on for MIN station minutes after
//                       its newest record before anything is asked
namespace nimbary::sim {

class SimBackend;

struct SimOptions {
    bool simulate = false;
    std::string image;
    uint64_t seed = 1;
    double speed = 1.0;
    uint32_t days = 3;
    bool rain = true;
    uint8_t channels = 0x01;  // bit k: channel k+1
    uint16_t interval = 300;
    std::string log;
    double chaosMinutes = 0;
    uint32_t chaosDays = 0;  // 0: no chaos
    uint32_t extendMinutes = 0;

    // Takes the simulation options (also written --opt=value) out of `args`
    // and leaves the others in order. Returns an empty text on success,
    // else a message for the user; `out` is then unchanged.
    static std::string Parse(std::vector<std::string>& args, SimOptions& out);
    static std::string Parse(int argc, const char* const* argv, SimOptions& out,
                             std::vector<std::string>* rest = nullptr);
    static const char* Usage();
    // "1,3" or "all" as a channel mask; false for anything else.
    static bool ParseChannels(const std::string& list, uint8_t& mask);

    // The station configuration these options describe.
    SimConfig Config() const;
};

// The configured simulated station behind its HID backend; nullptr with
// `error` set when the image cannot be loaded.
std::unique_ptr<SimBackend> MakeSimBackend(const SimOptions& options, std::string& error);

}  // namespace nimbary::sim

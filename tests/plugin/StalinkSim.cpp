// The tests' libstalink.so: the shipped library's code and, beyond the
// maker's eight functions, control of the simulated station behind it. The
// plug-in tests load it before the plug-in, which then takes it for its own
// libstalink.so. Each control returns 0, STALINK_UNUSABLE when the link is
// not the simulated station, or STALINK_BAD_ARGUMENT.
#include <string>

#include "SimBackend.h"
#include "StationLink.h"
#include "stalink.h"

#define STALINK_EXPORT __attribute__((visibility("default")))

using namespace nimbary;

namespace {

int FaultByName(const std::string& name, sim::Fault& out) {
    for (int i = 0; i < sim::kFaultKinds; ++i) {
        const auto f = static_cast<sim::Fault>(i);
        if (name == sim::FaultName(f)) {
            out = f;
            return 1;
        }
    }
    return 0;
}

}  // namespace

extern "C" {

// 1 while a station is open (it answered or was found at the last call), else
// 0. Does not look for one.
STALINK_EXPORT int StalinkStationOpen(void) {
    return StationLink::Instance().StationOpen();
}

// Plugs the simulated station in (nonzero) or pulls it out (0).
STALINK_EXPORT int StalinkSimPlug(int plugged) {
    return StationLink::Instance().Simulated([&](sim::SimBackend& s) {
        if (plugged)
            s.Plug();
        else
            s.Unplug();
        return STALINK_OK;
    });
}

// What the station reports from now on: channel temperature and humidity
// masks (bit n = channel n + 1) and the quantity flags.
STALINK_EXPORT int StalinkSimPresence(int tempMask, int humiMask, int flags) {
    if ((tempMask | humiMask | flags) & ~0xFF) return STALINK_BAD_ARGUMENT;
    return StationLink::Instance().Simulated([&](sim::SimBackend& s) {
        sim::SimPresence p = s.Station().Presence();
        p.tempMask = static_cast<uint8_t>(tempMask);
        p.humiMask = static_cast<uint8_t>(humiMask);
        p.flags = static_cast<uint8_t>(flags);
        s.Station().SetPresence(p);
        return STALINK_OK;
    });
}

// With `always` nonzero every settings reply asks for the graph series.
STALINK_EXPORT int StalinkSimGraphRefresh(int always) {
    return StationLink::Instance().Simulated([&](sim::SimBackend& s) {
        s.Station().SetGraphRefreshAlways(always != 0);
        return STALINK_OK;
    });
}

// Puts `fault` (by its name, sim::FaultName) into the next `exchanges`
// exchanges (-1: all) with requests of `command` (-1: any) whose byte 2 is
// `selector` (-1: any).
STALINK_EXPORT int StalinkSimFault(const char* fault, int exchanges, int command, int selector) {
    sim::Fault f{};
    if (!fault || !FaultByName(fault, f) || exchanges == 0 || exchanges < -1 || command < -1 ||
        command > 0xFF || selector < -1 || selector > 0xFF)
        return STALINK_BAD_ARGUMENT;
    return StationLink::Instance().Simulated([&](sim::SimBackend& s) {
        s.Faults().Add(f, exchanges, command, selector);
        return STALINK_OK;
    });
}

}  // extern "C"

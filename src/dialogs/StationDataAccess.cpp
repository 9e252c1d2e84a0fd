#include "StationDataAccess.h"

#include "Protocol.h"

namespace nimbary {

StationDataAccess::StationDataAccess(StationData& station, DataLock dataLock)
    : station_(station), dataLock_(std::move(dataLock)) {}

StationSettings StationDataAccess::Settings() {
    return station_.SettingsCopy();
}

AlarmRecord& StationDataAccess::Alarms() {
    return station_.Alarms;
}

const MaxMinRecord& StationDataAccess::MaxMin() {
    return station_.MaxMin;
}

PresenceBlock StationDataAccess::Presence() {
    return station_.PresenceCopy();
}

UnitSet StationDataAccess::DisplayUnits() {
    return station_.units ? *station_.units : Units();
}

int StationDataAccess::ReadSettings() {
    // Under the data lock: the poll compares and draws the settings under it.
    int ok = 0;
    Locked([&] { ok = station_.ReadSettings(); });
    return ok;
}

void StationDataAccess::Locked(const std::function<void()>& work) {
    if (dataLock_)
        dataLock_(work);
    else
        work();
}

void StationDataAccess::KeepSettings(const StationSettings& s) {
    Locked([&] { station_.KeepSettings(s); });
}

int StationDataAccess::WriteSettings(const StationSettings& s) {
    int ok = 0;
    Locked([&] {
        station_.KeepSettings(s);
        ok = station_.WriteSettings(s);
    });
    return ok;
}

int StationDataAccess::ReadAlarms() {
    return station_.ReadAlarms();
}

int StationDataAccess::WriteAlarms() {
    return station_.WriteAlarms();
}

int StationDataAccess::ReadMaxMin() {
    return station_.ReadMaxMin();
}

int StationDataAccess::ClearMaxMin() {
    return station_.ClearRecords(CLEAR_MAXMIN);
}

}  // namespace nimbary

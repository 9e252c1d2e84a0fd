#pragma once

#include <functional>

#include "StationAccess.h"

namespace nimbary {

// The program's station access: StationData's operations over the transport.
class StationDataAccess : public StationAccess {
public:
    // Runs `work` while holding the main view's data lock, so the poll never
    // compares or draws half-updated settings.
    using DataLock = std::function<void(const std::function<void()>& work)>;

    explicit StationDataAccess(StationData& station, DataLock dataLock = {});

    StationSettings Settings() override;
    AlarmRecord& Alarms() override;
    const MaxMinRecord& MaxMin() override;
    PresenceBlock Presence() override;
    UnitSet DisplayUnits() override;

    int ReadSettings() override;
    void KeepSettings(const StationSettings& s) override;
    int WriteSettings(const StationSettings& s) override;
    int ReadAlarms() override;
    int WriteAlarms() override;
    int ReadMaxMin() override;
    int ClearMaxMin() override;

private:
    void Locked(const std::function<void()>& work);

    StationData& station_;
    DataLock dataLock_;
};

}  // namespace nimbary

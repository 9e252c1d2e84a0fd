#pragma once

#include "StationAccess.h"
#include "ZQ0093.h"

namespace nimbary {

// The plug-in's station: its image and every operation on it through
// libstalink.so, decoded as the program decodes the station's frames but
// keeping all eight channels, and the alarm time's BCD through
// libairlink.so. The dialogs run over it as they run over the program's.
class StalinkAccess : public StationAccess {
public:
    // What was decoded last; the station's units go to Units() as well.
    StationData& Image() { return image_; }
    const StationData& Image() const { return image_; }
    // The plug-in's unit set: every text, graph value and limit uses it.
    PluginUnitSet& Units() { return units_; }
    const PluginUnitSet& Units() const { return units_; }

    StationSettings Settings() override;
    AlarmRecord& Alarms() override;
    const MaxMinRecord& MaxMin() override;
    PresenceBlock Presence() override;
    UnitSet DisplayUnits() override;

    // Also sets Units() from the settings read.
    int ReadSettings() override;
    void KeepSettings(const StationSettings& s) override;
    int WriteSettings(const StationSettings& s) override;
    int ReadAlarms() override;
    int WriteAlarms() override;
    int ReadMaxMin() override;
    int ClearMaxMin() override;

    int ReadCurrent();
    int ReadGraph(uint8_t type, uint8_t index);

private:
    StationData image_;
    PluginUnitSet units_{};
};

// The plug-in's set as the formatters take it.
UnitSet ToUnitSet(const PluginUnitSet& p);

}  // namespace nimbary

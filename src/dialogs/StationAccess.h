#pragma once

#include "StationData.h"

namespace nimbary {

// What the settings, alarm and max/min dialogs need of a station. The
// program implements it over StationData's command operations; the plug-in
// implements it over its station-driver library, with the same shapes, so the
// dialogs do not change between the two.
class StationAccess {
public:
    virtual ~StationAccess() = default;

    // The station image as last read.
    virtual StationSettings Settings() = 0;  // with the capability fields
    virtual AlarmRecord& Alarms() = 0;       // the alarm dialog edits it in place
    virtual const MaxMinRecord& MaxMin() = 0;
    virtual PresenceBlock Presence() = 0;
    // The display units in force; dialogs show and read every value in them.
    virtual UnitSet DisplayUnits() = 0;

    // Station commands, 1 for success and 0 for failure.
    virtual int ReadSettings() = 0;
    // `s` becomes the image's settings, without being sent.
    virtual void KeepSettings(const StationSettings& s) = 0;
    // `s` becomes the image's settings and is sent to the station.
    virtual int WriteSettings(const StationSettings& s) = 0;
    virtual int ReadAlarms() = 0;
    virtual int WriteAlarms() = 0;  // sends Alarms()
    virtual int ReadMaxMin() = 0;   // fields the station does not report become VAL_ABSENT
    virtual int ClearMaxMin() = 0;
};

}  // namespace nimbary

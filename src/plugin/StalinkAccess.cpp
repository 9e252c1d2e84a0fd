#include "StalinkAccess.h"

#include "Protocol.h"
#include "airlink.h"
#include "stalink.h"

namespace nimbary {

namespace {

// Reads into a frame; 1 when stalink handed back a reply.
template <class F>
int Into(Frame& f, F read) {
    f.fill(0);
    return read(f.data()) == STALINK_OK ? 1 : 0;
}

}  // namespace

UnitSet ToUnitSet(const PluginUnitSet& p) {
    UnitSet u;
    u.TempUnit = p.Temperature == 1 ? TEMP_C : TEMP_F;
    u.BaroUnit = p.Pressure;
    u.WindUnit = p.Wind;
    u.RainUnit = p.Rain;
    return u;
}

StationSettings StalinkAccess::Settings() {
    return image_.Settings;
}

AlarmRecord& StalinkAccess::Alarms() {
    return image_.Alarms;
}

const MaxMinRecord& StalinkAccess::MaxMin() {
    return image_.MaxMin;
}

PresenceBlock StalinkAccess::Presence() {
    return image_.Presence;
}

UnitSet StalinkAccess::DisplayUnits() {
    return ToUnitSet(units_);
}

int StalinkAccess::ReadSettings() {
    Frame f;
    if (!Into(f, [](unsigned char* b) { return UsbReadParam(b, 3); }) ||
        !DecodeSettings(f, image_.Settings))
        return 0;
    const StationSettings& s = image_.Settings;
    // The plug-in's temperature code runs the other way: 1 is °C.
    units_.Temperature = s.TempUnit == TEMP_C ? 1 : 0;
    units_.Pressure = s.BaroUnit;
    units_.Wind = s.WindUnit;
    units_.Rain = s.RainUnit;
    return 1;
}

void StalinkAccess::KeepSettings(const StationSettings& s) {
    image_.Settings = s;
}

int StalinkAccess::WriteSettings(const StationSettings& s) {
    image_.Settings = s;
    Frame f{};
    EncodeSettingsBlock(s, f.data() + 2);
    return UsbWriteParam(f.data(), 2 + kSettingsBlockSize + 1) == STALINK_OK ? 1 : 0;
}

int StalinkAccess::ReadAlarms() {
    Frame f;
    AlarmRecord a;
    if (!Into(f, [](unsigned char* b) { return UsbReadAlarm(b, 3); }) || !DecodeAlarms(f, a))
        return 0;
    a.TimeMinute = Bcd2Hex(f[2]);
    a.TimeHour = Bcd2Hex(f[3]);
    image_.Alarms = a;
    return 1;
}

int StalinkAccess::WriteAlarms() {
    const AlarmRecord& a = image_.Alarms;
    Frame f;
    BuildWriteAlarms(f, a);
    f[2] = Hex2Bcd(static_cast<unsigned char>(a.TimeMinute));
    f[3] = Hex2Bcd(static_cast<unsigned char>(a.TimeHour));
    return UsbWriteAlarm(f.data(), static_cast<unsigned char>(kAlarmLength)) == STALINK_OK ? 1 : 0;
}

int StalinkAccess::ReadMaxMin() {
    image_.MaxMin.Clear();  // what the station does not report stays blank
    Frame f;
    return Into(f, UsbReadMaxMin) && DecodeMaxMin(f, image_.Presence, image_.MaxMin) ? 1 : 0;
}

int StalinkAccess::ClearMaxMin() {
    return UsbClearMaxMin() == STALINK_OK ? 1 : 0;
}

int StalinkAccess::ReadCurrent() {
    Frame f;
    return Into(f, UsbReadRecord) && DecodeCurrent(f, true, image_.Current, image_.Presence) ? 1
                                                                                             : 0;
}

int StalinkAccess::ReadGraph(uint8_t type, uint8_t index) {
    Frame f;
    return Into(f, [&](unsigned char* b) { return UsbReadGraph(b, type, index); }) &&
                   DecodeGraph(f, type, index, image_.Graph)
               ? 1
               : 0;
}

}  // namespace nimbary

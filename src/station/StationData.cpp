#include "StationData.h"

#include "CUsb.h"
#include "Protocol.h"

namespace nimbary {

void MaxMinRecord::Clear() {
    InTempMax = InTempMin = VAL_ABSENT;
    InHumiMax = InHumiMin = VAL_ABSENT;
    for (int k = 0; k < kChannels; ++k) {
        ChTempMax[k] = ChTempMin[k] = VAL_ABSENT;
        ChHumiMax[k] = ChHumiMin[k] = VAL_ABSENT;
        ChDewPointMax[k] = ChDewPointMin[k] = VAL_ABSENT;
        ChFeelLikeMax[k] = ChFeelLikeMin[k] = VAL_ABSENT;
    }
    AbsBaroMax = AbsBaroMin = RelBaroMax = RelBaroMin = VAL_ABSENT;
    WindMax = GustMax = VAL_ABSENT;
    for (double& r : RainMax) r = VAL_ABSENT;
}

void GraphSeries::Clear() {
    for (int i = 0; i < kGraphPoints; ++i) {
        InTemp[i] = Baro[i] = Wind[i] = Gust[i] = Rain[i] = VAL_ABSENT;
        InHumi[i] = VAL_ABSENT;
        for (int k = 0; k < kChannels; ++k) {
            ChTemp[k][i] = VAL_ABSENT;
            ChHumi[k][i] = VAL_ABSENT;
        }
    }
}

StationData::StationData(CUsb* usb, UnitSet* units) : usb(usb), units(units) {}

StationSettings StationData::SettingsCopy() const {
    std::lock_guard<std::mutex> lock(image_.m);
    return Settings;
}

PresenceBlock StationData::PresenceCopy() const {
    std::lock_guard<std::mutex> lock(image_.m);
    return Presence;
}

void StationData::KeepSettings(const StationSettings& s) {
    std::lock_guard<std::mutex> lock(image_.m);
    Settings = s;
}

namespace {

int Run(CUsb* usb, Frame& f, uint8_t code) {
    return usb && usb->Transact(f, code) ? 1 : 0;
}

// An accepted reply that answers some other request: the transport must
// start the next exchange clean.
int OutOfStep(CUsb* usb) {
    usb->RequestResync();
    return 0;
}

}  // namespace

int StationData::ReadDeviceInfo(StationInfo& out) {
    Frame f;
    BuildReadInfo(f);
    return Run(usb, f, CMD_READ_INFO) && DecodeDeviceInfo(f, out) ? 1 : 0;
}

int StationData::ReadMemory(uint8_t area, uint16_t address, uint8_t count,
                            std::vector<uint8_t>& data) {
    Frame f;
    if (!BuildReadMemory(f, area, address, count) || !Run(usb, f, CMD_READ_MEMORY)) return 0;
    if (!MemoryEchoOk(f, area)) return OutOfStep(usb);
    return DecodeMemory(f, area, count, data) ? 1 : 0;
}

int StationData::ReadMemoryStatus(MemoryStatus& out) {
    Frame f;
    BuildReadMemory(f, AREA_STATUS, 0, 0);
    if (!Run(usb, f, CMD_READ_MEMORY)) return 0;
    if (!MemoryEchoOk(f, AREA_STATUS)) return OutOfStep(usb);
    return DecodeMemoryStatus(f, out) ? 1 : 0;
}

int StationData::ReadPressureOffset(int16_t& tenthsHpa) {
    Frame f;
    BuildReadMemory(f, AREA_PRESSURE_OFFSET, 0, 0);
    if (!Run(usb, f, CMD_READ_MEMORY)) return 0;
    if (!MemoryEchoOk(f, AREA_PRESSURE_OFFSET)) return OutOfStep(usb);
    return DecodePressureOffset(f, tenthsHpa) ? 1 : 0;
}

int StationData::SetClock(int year, int month, int day, int hour, int minute, int second,
                          int millis) {
    Frame f;
    BuildSetClock(f, ClockTime{year, month, day, hour, minute, second, millis});
    return Run(usb, f, CMD_SET_CLOCK) && StatusOk(f, CMD_SET_CLOCK) ? 1 : 0;
}

int StationData::SetClockNow() {
    const ClockTime t = LocalClockNow();
    return SetClock(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millis);
}

int StationData::ReadCurrent() {
    Frame f;
    BuildReadCurrent(f);
    if (!Run(usb, f, CMD_READ_CURRENT)) return 0;
    HistoryRecord current;
    PresenceBlock presence;
    {
        std::lock_guard<std::mutex> lock(image_.m);
        current = Current;
        presence = Presence;
    }
    if (!DecodeCurrent(f, KeepAllChannels, current, presence)) return 0;
    std::lock_guard<std::mutex> lock(image_.m);
    Current = current;
    Presence = presence;
    return 1;
}

int StationData::ReadMaxMin() {
    MaxMin.Clear();  // what the station does not report stays blank
    Frame f;
    BuildReadMaxMin(f);
    return Run(usb, f, CMD_READ_MAXMIN) && DecodeMaxMin(f, PresenceCopy(), MaxMin) ? 1 : 0;
}

int StationData::ReadAlarms() {
    Frame f;
    BuildReadAlarms(f);
    return Run(usb, f, CMD_READ_ALARMS) && DecodeAlarms(f, Alarms) ? 1 : 0;
}

int StationData::WriteAlarms() {
    Frame f;
    BuildWriteAlarms(f, Alarms);
    return Run(usb, f, CMD_WRITE_ALARMS);
}

int StationData::ClearRecords(uint8_t what) {
    Frame f;
    if (!BuildClear(f, what)) return 0;
    return Run(usb, f, CMD_CLEAR) && StatusOk(f, CMD_CLEAR) ? 1 : 0;
}

int StationData::ReadSettings() {
    Frame f;
    BuildReadSettings(f);
    if (!Run(usb, f, CMD_READ_SETTINGS)) return 0;
    StationSettings s = SettingsCopy();
    if (!DecodeSettings(f, s)) return 0;
    KeepSettings(s);
    UnitSet u;
    CopyUnits(s, u);
    // Whole, as the other threads read them.
    if (units)
        StoreUnits(*units, u);
    else
        SetUnits(u);
    return 1;
}

int StationData::WriteSettings() {
    return WriteSettings(SettingsCopy());
}

int StationData::WriteSettings(const StationSettings& s) {
    Frame f;
    BuildWriteSettings(f, s);
    return Run(usb, f, CMD_WRITE_SETTINGS) && StatusOk(f, CMD_WRITE_SETTINGS) ? 1 : 0;
}

int StationData::ReadGraph(uint8_t type, uint8_t index) {
    Frame f;
    if (!BuildReadGraph(f, type, index) || !Run(usb, f, CMD_READ_GRAPH)) return 0;
    if (!GraphEchoOk(f, type, index)) return OutOfStep(usb);
    return DecodeGraph(f, type, index, Graph) ? 1 : 0;
}

int StationData::ReadAllGraphs() {
    for (const GraphRequest& r : GraphRefreshOrder(PresenceCopy()))
        if (!ReadGraph(r.type, r.index)) return 0;
    return 1;
}

}  // namespace nimbary

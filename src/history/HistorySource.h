#pragma once

#include <cstdint>
#include <vector>

#include "Protocol.h"
#include "StationData.h"

namespace nimbary {

// What the download needs of a station: its device information and its
// memory. Every call is one exchange and returns 1 on success, 0 on failure.
// The program answers through StationData; tests and benchmarks answer from
// byte arrays.
class HistorySource {
public:
    virtual ~HistorySource() = default;
    virtual int ReadDeviceInfo(StationInfo& out) = 0;
    virtual int ReadMemoryStatus(MemoryStatus& out) = 0;
    // Area 1 (block table) or 2 (data area): `count` (at most 124) bytes from
    // `address`, into `data`.
    virtual int ReadMemory(uint8_t area, uint16_t address, uint8_t count,
                           std::vector<uint8_t>& data) = 0;
    virtual int ReadPressureOffset(int16_t& tenthsHpa) = 0;
    // The display units the station is set to (its settings read).
    virtual int ReadUnits(UnitSet& out) = 0;
};

// The real thing: the station's command operations.
class StationDataSource : public HistorySource {
public:
    explicit StationDataSource(StationData& station) : station_(station) {}
    int ReadDeviceInfo(StationInfo& out) override { return station_.ReadDeviceInfo(out); }
    int ReadMemoryStatus(MemoryStatus& out) override { return station_.ReadMemoryStatus(out); }
    int ReadMemory(uint8_t area, uint16_t address, uint8_t count,
                   std::vector<uint8_t>& data) override {
        return station_.ReadMemory(area, address, count, data);
    }
    int ReadPressureOffset(int16_t& tenthsHpa) override {
        return station_.ReadPressureOffset(tenthsHpa);
    }
    // The settings read also gives the program its display units.
    int ReadUnits(UnitSet& out) override {
        if (!station_.ReadSettings()) return 0;
        CopyUnits(station_.SettingsCopy(), out);
        return 1;
    }

private:
    StationData& station_;
};

}  // namespace nimbary

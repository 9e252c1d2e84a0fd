#pragma once

#include <functional>
#include <memory>

#include "BlockEntry.h"
#include "CUsb.h"
#include "HistorySource.h"
#include "SimBackend.h"
#include "StationData.h"

namespace nimbary::test {

// The simulated station behind the real transport, as the dialogs reach it.
struct SimRig {
    std::shared_ptr<sim::SimStation> station;
    std::unique_ptr<sim::SimBackend> backend;
    std::unique_ptr<CUsb> usb;
    std::unique_ptr<StationData> data;
    std::unique_ptr<StationDataSource> source;

    explicit SimRig(const sim::SimConfig& config)
        : station(std::make_shared<sim::SimStation>(config)),
          backend(std::make_unique<sim::SimBackend>(station)),
          usb(std::make_unique<CUsb>(*backend)),
          data(std::make_unique<StationData>(usb.get())),
          source(std::make_unique<StationDataSource>(*data)) {
        usb->OpenStation();
    }
};

// Passes every read through, after `before` has seen it; a read that
// `before` refuses fails without reaching the station.
class WatchedSource : public HistorySource {
public:
    using Hook = std::function<bool(uint8_t area, uint16_t address)>;
    WatchedSource(HistorySource& inner, Hook before) : inner_(inner), before_(std::move(before)) {}

    int ReadDeviceInfo(StationInfo& out) override { return inner_.ReadDeviceInfo(out); }
    int ReadMemoryStatus(MemoryStatus& out) override {
        return before_(0, 0) ? inner_.ReadMemoryStatus(out) : 0;
    }
    int ReadMemory(uint8_t area, uint16_t address, uint8_t count,
                   std::vector<uint8_t>& data) override {
        return before_(area, address) ? inner_.ReadMemory(area, address, count, data) : 0;
    }
    int ReadPressureOffset(int16_t& tenths) override { return inner_.ReadPressureOffset(tenths); }
    int ReadUnits(UnitSet& out) override { return inner_.ReadUnits(out); }

private:
    HistorySource& inner_;
    Hook before_;
};

// A hand-made station memory: block 1 starts with a rain header and one
// record of indoor and channel-1 temperature and humidity, wind, gust,
// direction, pressure and rain; block 2 follows it.
struct HandImage {
    sim::StationImage image;
    BlockEntry first, second;

    HandImage() {
        image.table.assign(1024, 0xFF);
        image.data.assign(64256, 0xFF);
        image.devId = 0x0BADF00D;
        image.blocks = 64;
        image.dataSize = 64256;
        image.firstBlock = 1;
        image.currentBlock = 2;
        image.usedSize = 1000;
        first.Count = 3;
        first.TempMask = first.HumiMask = 1;
        first.Flags = 0xFF;
        first.StartAddress = 0;
        first.StartTime = 800000000;
        first.Interval = 300;
        second = first;
        second.Count = 0x1C;
        second.Flags = 0x7F;
        second.StartAddress = static_cast<uint16_t>(kRainHeaderSize + 3 * first.RecordSize());
        second.StartTime = first.StartTime + 3 * 300;
        PutEntry(1, first);
        PutEntry(2, second);
    }
    void PutEntry(int block, const BlockEntry& e) {
        uint8_t bytes[kBlockEntrySize];
        e.Serialize(bytes);
        std::copy(bytes, bytes + kBlockEntrySize, image.table.begin() + (block - 1) * 16);
    }
    // Rain header of block 1 in tenths of mm, and its first indoor temperature code.
    void SetHeader(uint32_t hour, uint32_t day, uint32_t week, uint32_t month, uint16_t inTemp) {
        uint8_t* p = image.data.data() + first.StartAddress;
        const uint32_t w0 = (hour & 0x3FF) | ((week >> 16) & 1) << 14 | ((month >> 16) & 1) << 15;
        const uint32_t words[] = {w0, day & 0x3FF, week & 0xFFFF, month & 0xFFFF};
        for (int i = 0; i < 4; ++i) {
            p[2 * i] = static_cast<uint8_t>(words[i]);
            p[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
        }
        p[12] = static_cast<uint8_t>(inTemp);
        p[13] = static_cast<uint8_t>((p[13] & 0xF0) | ((inTemp >> 8) & 0x0F));
    }
};

}  // namespace nimbary::test

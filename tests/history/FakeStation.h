#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "BlockEntry.h"
#include "HistorySource.h"
#include "StationImage.h"

// A station made of byte arrays: device information, memory status, the
// 1024-byte block table and the data ring. Records are written with an
// encoder of its own (raw codes in, bytes out), so decoding is checked
// against an independent writer.
namespace nimbary::testing {

struct RawRecord {
    uint16_t inTemp = 0;  // 12-bit codes
    uint16_t chTemp[8] = {};
    uint8_t inHumi = 0;
    uint8_t chHumi[8] = {};
    uint16_t wind = 0, gust = 0, dir = 0;  // 9 bits
    uint16_t pressure = 0;                 // 16 bits
    uint32_t rain = 0;                     // 17 bits
};

struct RawHeader {
    uint16_t hour = 0, day = 0;    // 10 bits, tenths of mm
    uint32_t week = 0, month = 0;  // 17 bits
};

inline std::vector<uint8_t> EncodeHeader(const RawHeader& h) {
    std::vector<uint8_t> out(12, 0);
    uint16_t w0 = static_cast<uint16_t>((h.hour & 0x3FF) | ((h.week >> 16) & 1) << 14 |
                                        ((h.month >> 16) & 1) << 15);
    uint16_t words[4] = {w0, static_cast<uint16_t>(h.day & 0x3FF),
                         static_cast<uint16_t>(h.week & 0xFFFF),
                         static_cast<uint16_t>(h.month & 0xFFFF)};
    for (int i = 0; i < 4; ++i) {
        out[2 * i] = static_cast<uint8_t>(words[i]);
        out[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    out[8] = 0xA5;  // unused bytes carry junk
    return out;
}

inline std::vector<uint8_t> EncodeRecord(const BlockEntry& e, const RawRecord& r) {
    std::vector<uint16_t> temps;
    if (e.Flags & BF_IN_TEMP) temps.push_back(r.inTemp);
    for (int k = 0; k < 8; ++k)
        if (e.TempMask & (1 << k)) temps.push_back(r.chTemp[k]);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < temps.size(); i += 2) {
        uint16_t a = temps[i] & 0xFFF;
        uint16_t b = i + 1 < temps.size() ? temps[i + 1] & 0xFFF : 0;
        out.push_back(static_cast<uint8_t>(a));
        out.push_back(static_cast<uint8_t>((a >> 8) | (b & 0xF) << 4));
        if (i + 1 < temps.size()) out.push_back(static_cast<uint8_t>(b >> 4));
    }
    if (e.Flags & BF_IN_HUMI) out.push_back(r.inHumi);
    for (int k = 0; k < 8; ++k)
        if (e.HumiMask & (1 << k)) out.push_back(r.chHumi[k]);
    if (e.Flags & BF_WIND) out.push_back(static_cast<uint8_t>(r.wind));
    if (e.Flags & BF_GUST) out.push_back(static_cast<uint8_t>(r.gust));
    if (e.Flags & BF_WIND_DIR) out.push_back(static_cast<uint8_t>(r.dir));
    if (e.Flags & BF_PRESSURE) {
        out.push_back(static_cast<uint8_t>(r.pressure));
        out.push_back(static_cast<uint8_t>(r.pressure >> 8));
    }
    if (e.Flags & BF_RAIN) {
        out.push_back(static_cast<uint8_t>(r.rain));
        out.push_back(static_cast<uint8_t>(r.rain >> 8));
    }
    if (e.Flags & (BF_WIND | BF_GUST | BF_WIND_DIR | BF_RAIN))
        out.push_back(static_cast<uint8_t>(((r.wind >> 8) & 1) | ((r.gust >> 8) & 1) << 1 |
                                           ((r.dir >> 8) & 1) << 2 | ((r.rain >> 16) & 1) << 3));
    return out;
}

class FakeStation : public HistorySource {
public:
    StationInfo info;
    MemoryStatus status;
    std::vector<uint8_t> table = std::vector<uint8_t>(kBlockTableSize, 0);
    std::vector<uint8_t> data;
    int16_t pressureOffset = 0;
    // The units the station's settings give; a settings read fails when set.
    UnitSet units;
    bool unitsFail = false;

    // The same memory as a station image the simulator can load.
    sim::StationImage Image() const {
        sim::StationImage img;
        img.table = table;
        img.data = data;
        img.devId = info.DevID;
        img.type = info.Type;
        img.blocks = info.Blocks;
        img.dataSize = info.DataSize;
        img.firstBlock = status.FirstBlock;
        img.currentBlock = status.CurrentBlock;
        img.pressureOffset = pressureOffset;
        return img;
    }

    // Faults: every exchange after the first `answerExchanges` fails (the
    // station vanished); the pressure offset read fails.
    long answerExchanges = -1;
    bool pressureFails = false;

    std::function<void(long reads)> onPressureRead;

    long exchanges = 0;
    long pressureReads = 0;
    struct Chunk {
        uint16_t address;
        uint8_t count;
    };
    std::vector<Chunk> dataChunks;

    FakeStation(uint8_t blocks, uint16_t dataSize, uint32_t devId = 0x12345678) {
        info.Type = 1;
        info.Blocks = blocks;
        info.DataSize = dataSize;
        info.DevID = devId;
        data.assign(dataSize, 0xEE);
    }

    // Writes block `b` (entry plus header and records, from e.StartAddress,
    // wrapping at the end of the data area). Count is taken from `records`.
    void PutBlock(int b, BlockEntry e, const std::vector<RawRecord>& records,
                  const RawHeader* header = nullptr) {
        e.Count = static_cast<uint8_t>(records.size());
        if (header) e.Flags |= BF_RAIN_HEADER;
        uint8_t bytes[kBlockEntrySize];
        e.Serialize(bytes);
        std::memcpy(table.data() + (b - 1) * kBlockEntrySize, bytes, kBlockEntrySize);
        size_t at = e.StartAddress;
        auto put = [&](const std::vector<uint8_t>& v) {
            for (uint8_t x : v) {
                data[at] = x;
                at = (at + 1) % data.size();
            }
        };
        if (header) put(EncodeHeader(*header));
        for (const RawRecord& r : records) put(EncodeRecord(e, r));
    }

    void SetStatus(uint8_t first, uint8_t current) {
        status.FirstBlock = first;
        status.CurrentBlock = current;
        status.DataSize = static_cast<uint16_t>(data.size());
    }

    // When set, answers come from this source (the simulated station loaded
    // with these arrays) instead of the arrays themselves; the faults and
    // the logging above still apply.
    HistorySource* route = nullptr;
    // Called once when the station vanishes (answerExchanges runs out).
    std::function<void()> onVanish;

    int ReadDeviceInfo(StationInfo& out) override {
        const bool ok = Answer();
        if (route) return route->ReadDeviceInfo(out) && ok;
        if (!ok) return 0;
        out = info;
        return 1;
    }
    int ReadMemoryStatus(MemoryStatus& out) override {
        const bool ok = Answer();
        if (route) return route->ReadMemoryStatus(out) && ok;
        if (!ok) return 0;
        out = status;
        return 1;
    }
    int ReadMemory(uint8_t area, uint16_t address, uint8_t count,
                   std::vector<uint8_t>& out) override {
        const bool ok = Answer();
        if (area == 2) dataChunks.push_back({address, count});
        if (route) return route->ReadMemory(area, address, count, out) && ok;
        if (!ok || count > 124) return 0;
        out.clear();
        if (area == 1) {
            for (int i = 0; i < count; ++i)
                out.push_back(address + i < kBlockTableSize ? table[address + i] : 0xFF);
            return 1;
        }
        if (area == 2) {
            for (int i = 0; i < count; ++i) out.push_back(data[(address + i) % data.size()]);
            return 1;
        }
        return 0;
    }
    int ReadPressureOffset(int16_t& tenths) override {
        ++pressureReads;
        if (onPressureRead) onPressureRead(pressureReads);
        const bool ok = Answer();
        if (route) return route->ReadPressureOffset(tenths) && ok && !pressureFails;
        if (!ok || pressureFails) return 0;
        tenths = pressureOffset;
        return 1;
    }

    // Not counted among the exchanges: the memory reads are what the
    // faults above stand for.
    int ReadUnits(UnitSet& out) override {
        if (route) return route->ReadUnits(out) && !unitsFail;
        if (unitsFail) return 0;
        out = units;
        return 1;
    }

    // Starts answering again from the first exchange.
    void Revive() {
        exchanges = 0;
        answerExchanges = -1;
        vanished_ = false;
    }

private:
    bool Answer() {
        ++exchanges;
        const bool ok = answerExchanges < 0 || exchanges <= answerExchanges;
        if (!ok && !vanished_) {
            vanished_ = true;
            if (onVanish) onVanish();
        }
        return ok;
    }
    bool vanished_ = false;
};

// Raw codes of readable values.
inline uint16_t TempCode(double f) {
    return static_cast<uint16_t>(f * 10 + 400 + 0.5);
}

}  // namespace nimbary::testing

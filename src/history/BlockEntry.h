#pragma once

#include <cstddef>
#include <cstdint>

#include "HistoryRecord.h"

// The station's history memory as the download reads it: the block table
// entries, the optional rain header and the packed records.
namespace nimbary {

// Field flags of a block (BlockEntry::Flags).
enum BlockFlag : uint8_t {
    BF_IN_TEMP = 1 << 0,
    BF_IN_HUMI = 1 << 1,
    BF_WIND = 1 << 2,
    BF_GUST = 1 << 3,
    BF_WIND_DIR = 1 << 4,
    BF_PRESSURE = 1 << 5,
    BF_RAIN = 1 << 6,
    BF_RAIN_HEADER = 1 << 7,  // a 12-byte rain header precedes the first record
};

constexpr int kBlockEntrySize = 16;
constexpr int kBlockTableSize = 1024;
constexpr int kMaxBlocks = kBlockTableSize / kBlockEntrySize;  // entries the table can hold
constexpr int kRainHeaderSize = 12;

struct BlockEntry {
    uint8_t Count = 0;     // records in the block, 0..255
    uint8_t TempMask = 0;  // bit k: channel k+1 temperature present
    uint8_t HumiMask = 0;  // bit k: channel k+1 humidity present
    uint8_t Flags = 0;     // BlockFlag bits
    uint16_t StartAddress = 0;
    uint32_t StartTime = 0;  // station seconds of record 1
    uint16_t Interval = 0;   // seconds between records

    // Reads the 16 little-endian bytes of an entry; false when fewer are given.
    static bool Parse(const uint8_t* p, size_t len, BlockEntry& out);
    void Serialize(uint8_t (&out)[kBlockEntrySize]) const;

    // Bytes of one record (the rain header not counted); 0 when the flags
    // and masks name no field at all.
    int RecordSize() const;
    bool HasRainHeader() const { return Flags & BF_RAIN_HEADER; }
    bool HasWind() const { return Flags & BF_WIND; }
    // Time of record i (1-based), in 32-bit station seconds.
    uint32_t RecordTime(uint32_t i) const { return StartTime + (i - 1) * Interval; }
};

// The rain accumulators a block's header carries, in mm.
struct RainHeader {
    double Hour = 0, Day = 0, Week = 0, Month = 0;
};

bool DecodeRainHeader(const uint8_t* p, size_t len, RainHeader& out);

// Decodes the fields the entry names into `rec` (the rain total into
// Rain[RAIN_TOTAL]); fields not present keep their value. Returns the bytes
// used, or 0 when `len` is shorter than one record.
size_t DecodeRecord(const uint8_t* p, size_t len, const BlockEntry& entry, HistoryRecord& rec);

// The 9-bit wind, gust and direction fields of a history record (the other
// fields use the station's Encoding.h decoders): codes from 506 are the
// sentinels 8388602 and up.
double DecodeSpeed9(uint32_t raw);
int32_t DecodeDirection9(uint32_t raw);

}  // namespace nimbary

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RecordEncoding.h"

// The station's history memory: a 1024-byte table of 16-byte block entries
// and a data area of M bytes used as a ring. Blocks are numbered 1..L as a
// ring too; the oldest block gives way when the data ring or the table is
// full.
namespace nimbary::sim {

// Which number ends the block ring. The station reports N blocks; the ring
// runs 1..N (UpToN) or 1..N-1 (UpToNMinus1). Readers must walk the same ring.
enum class BlockRing { UpToN, UpToNMinus1 };

struct MemoryLayout {
    uint8_t blocks = 64;        // N, reported by the device information
    uint16_t dataSize = 64256;  // M; data addresses wrap here
    BlockRing ring = BlockRing::UpToN;
    uint8_t maxRecords = 255;  // records per block before a new one starts
};

struct BlockEntry {
    uint8_t count = 0;
    uint8_t tempMask = 0;
    uint8_t humiMask = 0;
    uint8_t flags = 0;
    uint16_t start = 0;
    uint32_t time = 0;
    uint16_t interval = 0;
};

class HistoryMemory {
public:
    static constexpr size_t kTableSize = 1024;
    static constexpr size_t kEntrySize = 16;
    static constexpr size_t kMaxBlocks = kTableSize / kEntrySize;
    static constexpr size_t kDumpDataSize = 64256;  // what a memory dump reads
    static constexpr size_t kMinDataSize = 128;

    // Empty when the layout is usable, else why not.
    static std::string CheckLayout(const MemoryLayout& layout);

    // The layout must pass CheckLayout.
    explicit HistoryMemory(const MemoryLayout& layout);

    const MemoryLayout& Layout() const { return layout_; }
    uint8_t LastBlock() const;
    uint8_t NextBlock(uint8_t block) const;

    uint8_t FirstBlock() const { return first_; }  // 0: no history
    uint8_t CurrentBlock() const { return current_; }
    uint16_t UsedSize() const { return static_cast<uint16_t>(used_); }
    bool Empty() const { return first_ == 0; }
    int LiveBlocks() const;

    BlockEntry Entry(uint8_t block) const;
    const std::vector<uint8_t>& Table() const { return table_; }
    const std::vector<uint8_t>& Data() const { return data_; }
    // Bytes in ring order; the table wraps at 1024, the data area at M.
    void ReadTable(uint32_t address, size_t count, uint8_t* out) const;
    void ReadData(uint32_t address, size_t count, uint8_t* out) const;
    // The data area as a dump of max(M, 64256) bytes reads it.
    std::vector<uint8_t> DumpData() const;

    // Erased memory: every byte 0xFF, no blocks.
    void Erase();

    // Stores one record taken at t. A new block starts when the format
    // differs from the current block's, the time does not follow on, the
    // block holds maxRecords, or the block would overrun its own start. The
    // header (12 bytes) is written before a new block's first record when
    // the format's flag bit 7 is set. False when the record cannot fit at all.
    // The entries of blocks given up to make room go to `dropped`.
    bool Append(const RecordFormat& fmt, uint32_t t, const std::vector<uint8_t>& record,
                const std::vector<uint8_t>& header, std::vector<BlockEntry>* dropped = nullptr);

    // Bytes a block occupies in the data area (header included).
    static size_t BlockBytes(const BlockEntry& e);

    // Time of the newest record; false when the memory is empty.
    bool LastRecordTime(uint32_t& t) const;

    // Replaces the memory with an image. Empty when accepted, else why not.
    std::string Restore(const std::vector<uint8_t>& table, const std::vector<uint8_t>& data,
                        uint8_t first, uint8_t current, uint16_t used);

private:
    void WriteEntry(uint8_t block, const BlockEntry& e);
    void WriteData(size_t address, const std::vector<uint8_t>& bytes);
    void DropOldest(std::vector<BlockEntry>* dropped);

    MemoryLayout layout_;
    std::vector<uint8_t> table_;
    std::vector<uint8_t> data_;
    uint8_t first_ = 0;
    uint8_t current_ = 0;
    size_t used_ = 0;
    size_t write_ = 0;  // where the next byte goes
};

}  // namespace nimbary::sim

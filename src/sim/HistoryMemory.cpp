#include "HistoryMemory.h"

#include <algorithm>

#include "SimWire.h"

namespace nimbary::sim {

std::string HistoryMemory::CheckLayout(const MemoryLayout& l) {
    const int minBlocks = l.ring == BlockRing::UpToN ? 1 : 2;
    if (l.blocks < minBlocks || l.blocks > kMaxBlocks)
        return "the block count must be " + std::to_string(minBlocks) + " to " +
               std::to_string(kMaxBlocks) + " (the block table holds 64 entries), not " +
               std::to_string(l.blocks);
    if (l.dataSize < kMinDataSize)
        return "the data area must be at least " + std::to_string(kMinDataSize) + " bytes, not " +
               std::to_string(l.dataSize);
    if (l.maxRecords < 1) return "a block must hold at least one record";
    return {};
}

HistoryMemory::HistoryMemory(const MemoryLayout& layout)
    : layout_(layout), table_(kTableSize, 0xFF), data_(layout.dataSize, 0xFF) {}

uint8_t HistoryMemory::LastBlock() const {
    return layout_.ring == BlockRing::UpToN ? layout_.blocks
                                            : static_cast<uint8_t>(layout_.blocks - 1);
}

uint8_t HistoryMemory::NextBlock(uint8_t block) const {
    return block >= LastBlock() ? 1 : static_cast<uint8_t>(block + 1);
}

int HistoryMemory::LiveBlocks() const {
    if (Empty()) return 0;
    const int last = LastBlock();
    return (current_ - first_ + last) % last + 1;
}

BlockEntry HistoryMemory::Entry(uint8_t block) const {
    BlockEntry e;
    if (block < 1 || block > kMaxBlocks) return e;
    const uint8_t* p = &table_[(block - 1) * kEntrySize];
    e.count = p[0];
    e.tempMask = p[1];
    e.humiMask = p[2];
    e.flags = p[3];
    e.start = GetLe16(p + 6);
    e.time = GetLe32(p + 8);
    e.interval = GetLe16(p + 12);
    return e;
}

void HistoryMemory::WriteEntry(uint8_t block, const BlockEntry& e) {
    uint8_t* p = &table_[(block - 1) * kEntrySize];
    std::fill(p, p + kEntrySize, 0);
    p[0] = e.count;
    p[1] = e.tempMask;
    p[2] = e.humiMask;
    p[3] = e.flags;
    PutLe16(p + 6, e.start);
    PutLe32(p + 8, e.time);
    PutLe16(p + 12, e.interval);
}

void HistoryMemory::ReadTable(uint32_t address, size_t count, uint8_t* out) const {
    for (size_t i = 0; i < count; ++i) out[i] = table_[(address + i) % kTableSize];
}

void HistoryMemory::ReadData(uint32_t address, size_t count, uint8_t* out) const {
    for (size_t i = 0; i < count; ++i) out[i] = data_[(address + i) % data_.size()];
}

std::vector<uint8_t> HistoryMemory::DumpData() const {
    std::vector<uint8_t> out(std::max(data_.size(), kDumpDataSize));
    ReadData(0, out.size(), out.data());
    return out;
}

void HistoryMemory::WriteData(size_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) data_[(address + i) % data_.size()] = bytes[i];
}

void HistoryMemory::Erase() {
    std::fill(table_.begin(), table_.end(), 0xFF);
    std::fill(data_.begin(), data_.end(), 0xFF);
    first_ = current_ = 0;
    used_ = 0;
    write_ = 0;
}

size_t HistoryMemory::BlockBytes(const BlockEntry& e) {
    RecordFormat fmt{e.tempMask, e.humiMask, e.flags, e.interval};
    return e.count * RecordSize(fmt) + ((e.flags & RF_RAIN_HEADER) ? kRainHeaderSize : 0);
}

void HistoryMemory::DropOldest(std::vector<BlockEntry>* dropped) {
    if (Empty()) return;
    const BlockEntry oldest = Entry(first_);
    if (dropped) dropped->push_back(oldest);
    const size_t bytes = BlockBytes(oldest);
    used_ = used_ > bytes ? used_ - bytes : 0;
    if (first_ == current_) {
        first_ = current_ = 0;
        used_ = 0;
    } else {
        first_ = NextBlock(first_);
    }
}

bool HistoryMemory::Append(const RecordFormat& fmt, uint32_t t, const std::vector<uint8_t>& record,
                           const std::vector<uint8_t>& header,
                           std::vector<BlockEntry>* dropped) {
    const size_t m = data_.size();
    const size_t size = record.size();
    const bool withHeader = (fmt.flags & RF_RAIN_HEADER) != 0;
    const size_t headerSize = withHeader ? kRainHeaderSize : 0;
    if (size + headerSize > m || (withHeader && header.size() != kRainHeaderSize)) return false;

    BlockEntry cur;
    bool newBlock = Empty();
    if (!newBlock) {
        cur = Entry(current_);
        const RecordFormat curFmt{cur.tempMask, cur.humiMask, cur.flags, cur.interval};
        const uint64_t expected =
            static_cast<uint64_t>(cur.time) + static_cast<uint64_t>(cur.count) * cur.interval;
        newBlock = curFmt != fmt || cur.count >= layout_.maxRecords || expected != t ||
                   BlockBytes(cur) + size > m;
    }

    if (newBlock) {
        const uint8_t number = Empty() ? 1 : NextBlock(current_);
        // The table is a ring as well: reusing the oldest number drops that block.
        if (!Empty() && number == first_) DropOldest(dropped);
        while (!Empty() && used_ + size + headerSize > m) DropOldest(dropped);
        if (Empty()) first_ = number;
        current_ = number;
        cur = BlockEntry{};
        cur.tempMask = fmt.tempMask;
        cur.humiMask = fmt.humiMask;
        cur.flags = fmt.flags;
        cur.start = static_cast<uint16_t>(write_);
        cur.time = t;
        cur.interval = fmt.interval;
        if (withHeader) {
            WriteData(write_, header);
            write_ = (write_ + headerSize) % m;
            used_ += headerSize;
        }
    } else {
        // The current block fits beside itself, so dropping older ones is enough.
        while (used_ + size > m && first_ != current_) DropOldest(dropped);
    }

    WriteData(write_, record);
    write_ = (write_ + size) % m;
    used_ += size;
    cur.count = static_cast<uint8_t>(cur.count + 1);
    WriteEntry(current_, cur);
    return true;
}

bool HistoryMemory::LastRecordTime(uint32_t& t) const {
    if (Empty()) return false;
    const BlockEntry e = Entry(current_);
    if (e.count == 0) return false;
    t = e.time + static_cast<uint32_t>(e.count - 1) * e.interval;
    return true;
}

std::string HistoryMemory::Restore(const std::vector<uint8_t>& table,
                                   const std::vector<uint8_t>& data, uint8_t first, uint8_t current,
                                   uint16_t used) {
    if (table.size() != kTableSize)
        return "the block table must be " + std::to_string(kTableSize) + " bytes, not " +
               std::to_string(table.size());
    if (data.size() < data_.size())
        return "the data area needs " + std::to_string(data_.size()) + " bytes, only " +
               std::to_string(data.size()) + " given";
    if (first > LastBlock() || current > LastBlock())
        return "first and current block must be 0 to " + std::to_string(LastBlock());
    if ((first == 0) != (current == 0))
        return "first and current block must both be 0 (empty memory) or both be set";
    if (used > data_.size()) return "the used size exceeds the data area";

    table_ = table;
    std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(data_.size()),
              data_.begin());
    first_ = first;
    current_ = current;
    used_ = used;
    write_ = 0;
    if (!Empty()) {
        const BlockEntry e = Entry(current_);
        write_ = (e.start + BlockBytes(e)) % data_.size();
    }
    return {};
}

}  // namespace nimbary::sim

#include "HistoryDownloader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "CalendarTime.h"
#include "Derived.h"
#include "RainAccumulator.h"

namespace nimbary {

namespace {

constexpr uint8_t kAreaBlockTable = 1;
constexpr uint8_t kAreaData = 2;
constexpr uint32_t kMaxChunk = 124;  // the most one two-report reply carries
constexpr auto kProgressEvery = std::chrono::milliseconds(250);

// The station reports N blocks and walks them as a ring. Every rule below
// takes the ring as 1..N: a station whose ring ends at N-1 leaves entry N
// unwritten, and the walk steps over it like over any entry it cannot read.
struct BlockRing {
    int N;
    int Next(int b) const { return b + 1 <= N ? b + 1 : 1; }
    // Blocks after `from` up to and including `to`.
    int CountAfter(int from, int to) const { return to - from < 0 ? to - from + N : to - from; }
    // Blocks from `first` to `cur`, both included.
    int CountFrom(int first, int cur) const { return CountAfter(first, cur) + 1; }
    bool Valid(int b) const { return b >= 1 && b <= N; }
    // True when b lies in the live run first..cur.
    bool Within(int first, int cur, int b) const {
        return CountAfter(first, b) <= CountAfter(first, cur);
    }
};

std::string Text(const char* format, long a, long b = 0, long c = 0) {
    char buf[200];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

// Bytes a block's records and rain header take in the data area.
long BlockBytes(const BlockEntry& e) {
    return long(e.Count) * e.RecordSize() + (e.HasRainHeader() ? kRainHeaderSize : 0);
}

}  // namespace

HistoryDownloader::HistoryDownloader(HistorySource& source, HistoryDb& db,
                                     const std::atomic<int>* stop, const std::atomic<int>* busy)
    : source_(source), db_(db), stop_(stop), busy_(busy) {}

bool HistoryDownloader::Stopped() const {
    return (stop_ && stop_->load(std::memory_order_relaxed)) ||
           (busy_ && busy_->load(std::memory_order_relaxed));
}

bool HistoryDownloader::End(PassOutcome outcome, const std::string& message) {
    outcome_ = outcome;
    message_ = message;
    return false;
}

bool HistoryDownloader::Fault(const std::string& message) {
    // The pass repeats every few seconds; say it once until it changes.
    if (message != lastFault_) {
        lastFault_ = message;
        if (onFault) onFault(message);
    }
    return End(PassOutcome::MemoryFault, message);
}

bool HistoryDownloader::Download() {
    count_ = 0;
    message_.clear();
    gaps_.Start();
    newestInterval_ = 0;
    const bool saved = RunPass();
    scratch_ = ScratchFile();  // the staged records go whatever the outcome
    if (outcome_ == PassOutcome::Saved || outcome_ == PassOutcome::NothingNew) {
        lastFault_.clear();
        CheckClock();
    }
    if (outcome_ != PassOutcome::Saved) gaps_.Start();  // nothing of them was stored
    if (!gaps_.Gaps().empty() && onGaps) onGaps(gaps_.Gaps());
    return saved;
}

void HistoryDownloader::CheckClock() {
    const DeviceInfo& dev = db_.Info();
    clock_ = newestInterval_ > 0 && clockNow
                 ? ClockCheck::Of(dev.RecTime, newestInterval_, clockNow())
                 : ClockCheck();
    const bool off = clock_.Off();
    if (off && !(clockTold_ && clockOf_ == info_.DevID) && onClock) onClock(clock_);
    clockTold_ = off;
    clockOf_ = info_.DevID;
}

bool HistoryDownloader::ReadEntry(int block, BlockEntry& entry, bool& blank) {
    std::vector<uint8_t> data;
    const auto address = static_cast<uint16_t>((block - 1) * kBlockEntrySize);
    if (!source_.ReadMemory(kAreaBlockTable, address, kBlockEntrySize, data) ||
        !BlockEntry::Parse(data.data(), data.size(), entry))
        return End(PassOutcome::StationError,
                   Text("The station did not send the entry of block %ld.", block));
    blank = std::all_of(data.begin(), data.begin() + kBlockEntrySize,
                        [&data](uint8_t b) { return b == data[0]; }) &&
            (data[0] == 0x00 || data[0] == 0xFF);
    return true;
}

// A block whose entry would send the walk outside the data area, or round it
// for ever, is not read at all: the reason, or empty for a sound entry.
std::string HistoryDownloader::EntryProblem(int block, const BlockEntry& e, bool blank) const {
    const uint32_t m = info_.DataSize;
    if (blank) return Text("History block %ld is unwritten", block);
    if (e.StartAddress >= m)
        return Text("History block %ld starts at address %ld, outside the %ld-byte data area",
                    block, e.StartAddress, m);
    if (e.Interval == 0) return Text("History block %ld has a record interval of 0 seconds", block);
    const int size = e.RecordSize();
    if (size == 0) return Text("History block %ld names no measurement at all", block);
    if (BlockBytes(e) > m)
        return Text("History block %ld holds %ld bytes, more than the %ld-byte data area", block,
                    BlockBytes(e), m);
    return {};
}

// Reads one entry of the walk; false only when the exchange failed. A blank or
// corrupt entry is said once (not on every pass that meets it again) and
// leaves `sound` false, so the walk goes on past it.
bool HistoryDownloader::ReadWalkEntry(int block, BlockEntry& entry, bool& sound) {
    bool blank = false;
    if (!ReadEntry(block, entry, blank)) return false;
    const std::string problem = EntryProblem(block, entry, blank);
    sound = problem.empty();
    if (sound) {
        skipped_.erase(block);
    } else if (skipped_[block] != problem) {
        skipped_[block] = problem;
        if (onFault) onFault(problem + "; it is skipped.");
    }
    return true;
}

bool HistoryDownloader::RunPass() {
    // 1. Device information.
    if (Stopped()) return End(PassOutcome::Stopped, "The download was stopped.");
    if (!source_.ReadDeviceInfo(info_))
        return End(PassOutcome::StationError, "The station did not send its device information.");
    if (info_.Blocks == 0 || info_.Blocks > kMaxBlocks)
        return Fault(Text("The station reports %ld history blocks; its block table holds 1 to %ld.",
                          info_.Blocks, kMaxBlocks));
    if (info_.DataSize == 0) return Fault("The station reports a history data area of 0 bytes.");
    const BlockRing ring{info_.Blocks};
    if (info_.DevID != skippedOf_) {
        skipped_.clear();  // another station's entries
        skippedOf_ = info_.DevID;
    }

    // 2. The bookmark, and the units the station is set to now, which its
    // row stores (a new station's too, rather than defaults it never had).
    if (db_.ReadDevice(info_.DevID) != 0)
        return End(PassOutcome::DatabaseError, "The station's bookmark cannot be read.");
    DeviceInfo& dev = db_.Info();
    const bool known = db_.DeviceFound();
    UnitSet units;
    if (!source_.ReadUnits(units))
        return End(PassOutcome::StationError, "The station did not send its settings.");
    dev.Units = units;
    if (!known) {
        dev.DevID = info_.DevID;
        dev.FirstBlock = dev.CurrBlock = dev.CurrRecord = 0;
        dev.TickTime = dev.RecTime = 0;
        for (int k = 0; k < kRainKinds; ++k) {
            dev.RainTime[k] = 0;
            dev.Rain[k] = VAL_ABSENT;
        }
        dev.Description.clear();
    }

    // 3. Memory status.
    if (!source_.ReadMemoryStatus(status_))
        return End(PassOutcome::StationError, "The station did not send its memory status.");
    const int first = status_.FirstBlock, cur = status_.CurrentBlock;
    if (first == 0) return End(PassOutcome::NothingNew);  // the memory holds no history
    if (!ring.Valid(first) || !ring.Valid(cur))
        return Fault(Text("The station's memory status names blocks %ld to %ld, but it has %ld.",
                          first, cur, ring.N));

    // 4. What to read: the rest of a partly read block, then n whole blocks from b.
    BlockEntry partial;
    int partialBlock = 0;       // the block of `partial` when it is sound and read
    uint32_t partialIndex = 0;  // its first record to read; 0 when none is new
    int b = first,
        n = ring.CountFrom(first, cur);  // a fresh start unless the bookmark says otherwise
    const int stored = dev.CurrBlock & 0xFF;
    // A stored block outside the live run first..cur has been freed (or the
    // memory cleared): everything live is new, so that is a fresh start too.
    if (known && ring.Valid(stored) && ring.Within(first, cur, stored)) {
        bool sound = false;
        if (!ReadWalkEntry(stored, partial, sound)) return false;
        // The entry that started at TickTime is the block read last, even when
        // it had no record yet and so starts after the newest stored record.
        const bool same = sound && dev.TickTime == partial.StartTime;
        if (!sound) {
            // Nothing of it can be read: go on with the blocks after it.
            b = ring.Next(stored);
            n = ring.CountAfter(stored, cur);
        } else if (same || dev.RecTime >= partial.StartTime) {
            newestInterval_ = partial.Interval;  // it holds the newest stored record
            uint32_t done;                       // records of this block already stored
            if (same) {
                done = static_cast<uint32_t>(std::max<int32_t>(dev.CurrRecord, 0));
            } else {
                // The number now carries another block that starts at or before
                // the newest stored record: skip its records up to that time, so
                // a pass never stores again what an earlier one stored.
                const uint64_t upTo = (dev.RecTime - partial.StartTime) / partial.Interval + 1;
                done = static_cast<uint32_t>(std::min<uint64_t>(upTo, partial.Count));
            }
            partialBlock = stored;
            if (partial.Count > done) partialIndex = done + 1;
            b = ring.Next(stored);
            n = ring.CountAfter(stored, cur);
        }
        // else: the number now carries a newer block; fresh start with this bookmark.
    }
    if (known && dev.RecTime != 0) gaps_.Start(dev.RecTime, newestInterval_);
    if (partialIndex == 0 && n == 0) return End(PassOutcome::NothingNew);

    // 5. Stage the records.
    if (!scratch_.Create())
        return End(PassOutcome::ScratchError, "No temporary file for the download can be made.");
    rec_ = HistoryRecord();
    rec_.DevID = info_.DevID;
    pressureOffset_ = VAL_ABSENT;
    count_ = 0;
    lastProgress_ = std::chrono::steady_clock::now();

    BlockEntry last = partial;
    int lastBlock = partialBlock;
    if (partialIndex > 0 && !ReadBlock(partial, partialIndex)) return false;
    for (; n > 0; --n, b = ring.Next(b)) {
        BlockEntry entry;
        bool sound = false;
        if (!ReadWalkEntry(b, entry, sound)) return false;
        if (!sound) continue;
        rec_.ResetMeasurements();
        if (!ReadBlock(entry, 1)) return false;
        last = entry;
        lastBlock = b;
    }
    // Nothing sound to go on from: the bookmark stays as it is.
    if (lastBlock == 0) return End(PassOutcome::NothingNew);

    // 6. Store the batch with the new bookmark: the last block read, which is
    // the current block unless that one had to be skipped.
    if (Stopped()) return End(PassOutcome::Stopped, "The download was stopped.");
    // The bookmark alone, not a copy of the row: the row's units are the
    // published display units, which the poll thread stores meanwhile.
    auto bookmark = [&dev] {
        return std::make_tuple(dev.TickTime, dev.RecTime, dev.CurrRecord, dev.FirstBlock,
                               dev.CurrBlock);
    };
    const auto before = bookmark();
    dev.DevID = info_.DevID;
    dev.TickTime = last.StartTime;
    // An empty block leaves the newest record's time as it is; its
    // "last record" would lie before the block's start.
    if (last.Count > 0) dev.RecTime = last.RecordTime(last.Count);
    dev.CurrRecord = last.Count;
    dev.FirstBlock = first;
    dev.CurrBlock = lastBlock;
    // Only skipped entries were met: no need to store the same bookmark again.
    if (known && count_ == 0 && bookmark() == before) return End(PassOutcome::NothingNew);
    if (db_.SaveRecords(static_cast<uint32_t>(count_), scratch_, gaps_.Gaps()) != 0) {
        End(PassOutcome::DatabaseError, "The downloaded records could not be stored.");
        return true;
    }
    outcome_ = PassOutcome::Saved;
    if (count_ > 0 && onComplete) onComplete(count_);
    return true;
}

// The records of `entry` from record `index` on (the rain header with record 1).
bool HistoryDownloader::ReadBlock(const BlockEntry& entry, uint32_t index) {
    if (index > entry.Count) return true;  // an empty block: nothing to read yet
    const uint32_t size = static_cast<uint32_t>(entry.RecordSize());
    uint32_t address = entry.StartAddress + (index - 1) * size;
    uint32_t bytes = (entry.Count - index + 1) * size;
    if (entry.HasRainHeader()) {
        if (index > 1)
            address += kRainHeaderSize;  // the header was read with record 1
        else
            bytes += kRainHeaderSize;
    }
    return ReadRun(entry, address % info_.DataSize, bytes, index);
}

bool HistoryDownloader::ReadRun(const BlockEntry& entry, uint32_t address, uint32_t bytes,
                                uint32_t index) {
    const uint32_t m = info_.DataSize;
    const size_t size = static_cast<size_t>(entry.RecordSize());
    assembled_ = 0;
    std::vector<uint8_t> data;
    while (bytes > 0) {
        // Chunks stop at the end of the data area, so the station is never
        // asked for bytes past it; the next chunk starts again at 0.
        const uint32_t len = std::min({bytes, kMaxChunk, m - address});
        if (!source_.ReadMemory(kAreaData, static_cast<uint16_t>(address),
                                static_cast<uint8_t>(len), data) ||
            data.size() < len)
            return End(PassOutcome::StationError,
                       Text("The station did not send history data at address %ld.", address));
        if (assembled_ + len > assembly_.size())
            return Fault("History records do not fit the assembly buffer.");
        std::memcpy(assembly_.data() + assembled_, data.data(), len);
        assembled_ += len;
        address += len;
        if (address >= m) address -= m;
        bytes -= len;

        size_t used = 0;
        for (;;) {
            const bool header = index == 1 && entry.HasRainHeader();
            const size_t need = size + (header ? kRainHeaderSize : 0);
            if (assembled_ - used < need) break;
            const uint8_t* p = assembly_.data() + used;
            RainHeader rain;
            if (header) {
                DecodeRainHeader(p, kRainHeaderSize, rain);
                p += kRainHeaderSize;
            }
            DecodeRecord(p, size, entry, rec_);
            // The header restarts the sums from the station's own; a block
            // without a rain sensor has nothing to start them with.
            if (header && (entry.Flags & BF_RAIN)) {
                RainAccumulator::StartFromHeader(db_.Info(), entry.StartTime, rain.Hour, rain.Day,
                                                 rain.Week, rain.Month, rec_.Rain[RAIN_TOTAL]);
                std::copy(std::begin(db_.Info().Rain), std::end(db_.Info().Rain), rec_.Rain);
            }
            if (!HandleRecord(entry, index, header)) return false;
            used += need;
            ++index;
        }
        // An incomplete record waits at the front for the next chunk.
        std::memmove(assembly_.data(), assembly_.data() + used, assembled_ - used);
        assembled_ -= used;
    }
    return true;
}

bool HistoryDownloader::HandleRecord(const BlockEntry& entry, uint32_t index, bool headerRecord) {
    DeviceInfo& dev = db_.Info();
    const uint32_t t = entry.RecordTime(index);
    rec_.RecTime = StationTimeToOleDate(t);

    if ((entry.Flags & BF_RAIN) && !headerRecord) {
        const double ownTotal = rec_.Rain[RAIN_TOTAL];
        const bool older = dev.Rain[RAIN_TOTAL] != VAL_ABSENT && t < dev.RecTime;
        RainAccumulator::Accumulate(dev, t, ownTotal);
        std::copy(std::begin(dev.Rain), std::end(dev.Rain), rec_.Rain);
        // An older record adds nothing to the sums but keeps its own reading.
        if (older) rec_.Rain[RAIN_TOTAL] = ownTotal;
    }

    if (entry.Flags & BF_PRESSURE) {
        if (pressureOffset_ == VAL_ABSENT) {
            int16_t offset;
            if (source_.ReadPressureOffset(offset)) pressureOffset_ = offset;
        }
        if (rec_.AbsBaro >= 32762)
            rec_.RelBaro = rec_.AbsBaro;
        else if (pressureOffset_ == VAL_ABSENT)
            rec_.RelBaro = VAL_INVALID;  // no offset now; the next record asks again
        else
            rec_.RelBaro = rec_.AbsBaro + static_cast<float>(pressureOffset_) / 10.0f;
    }

    FillDerived(rec_, entry.TempMask, entry.HumiMask, entry.HasWind());

    if (!scratch_.Append(rec_)) {
        // The file lives in the temporary folder, not beside the database:
        // the folder is named so that the right disk gets cleared.
        const int error = errno;
        std::error_code ec;
        const std::string folder = std::filesystem::temp_directory_path(ec).string();
        return End(PassOutcome::ScratchError,
                   "The download's temporary file cannot be written in " + folder + ": " +
                       (IsDiskFull(error) ? "the disk is full." : std::strerror(error)));
    }
    ++count_;
    gaps_.Add(t, entry.Interval);
    dev.RecTime = t;
    newestInterval_ = entry.Interval;

    if (Stopped()) return End(PassOutcome::Stopped, "The download was stopped.");
    const auto now = std::chrono::steady_clock::now();
    if (onProgress && now - lastProgress_ >= kProgressEvery) {
        lastProgress_ = now;
        onProgress(count_);
    }
    return true;
}

}  // namespace nimbary

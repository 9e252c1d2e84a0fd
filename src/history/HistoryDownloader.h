#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "BlockEntry.h"
#include "HistoryDb.h"
#include "HistorySource.h"
#include "ScratchFile.h"

namespace nimbary {

// How the last pass ended.
enum class PassOutcome {
    Saved,          // records and bookmark stored
    NothingNew,     // nothing to read; nothing stored
    Stopped,        // a stop flag was raised; nothing stored
    StationError,   // an exchange failed (no reply, station gone); nothing stored
    MemoryFault,    // the station's memory contents make no sense; nothing stored
    ScratchError,   // no scratch file; nothing stored
    DatabaseError,  // the bookmark could not be read or the batch not stored
};

// Reads the station's new history records into the database, one pass at a
// time. Everything a pass learns is kept only when the pass completes: the
// records and the new bookmark are stored together in one transaction, so a
// pass that ends early (stop, station gone, bad memory, database error)
// leaves the database as it was and the next pass starts from the same place.
class HistoryDownloader {
public:
    // `stop` is the program's stop flag, `busy` the history command's busy
    // flag; either may be null. Neither is owned.
    HistoryDownloader(HistorySource& source, HistoryDb& db, const std::atomic<int>* stop,
                      const std::atomic<int>* busy);

    // Records decoded so far in this pass, at most once every 250 ms.
    std::function<void(int records)> onProgress;
    // The number of records stored by a pass, when it is not 0.
    std::function<void(int records)> onComplete;
    // Memory contents that make no sense: a fault that ends the pass, or a
    // block entry the walk skips. Reported once per distinct fault, not on
    // every pass that meets it again.
    std::function<void(const std::string& text)> onFault;

    // One pass. True when it reached the save step (whatever the save's result).
    bool Download();

    PassOutcome LastOutcome() const { return outcome_; }
    // Why the last pass ended early; empty after a pass that saved or found nothing new.
    const std::string& LastMessage() const { return message_; }
    // Records decoded by the last pass.
    int LastCount() const { return count_; }

private:
    bool RunPass();
    bool End(PassOutcome outcome, const std::string& message = std::string());
    bool Fault(const std::string& message);
    bool Stopped() const;
    bool ReadEntry(int block, BlockEntry& entry, bool& blank);
    std::string EntryProblem(int block, const BlockEntry& entry, bool blank) const;
    bool ReadWalkEntry(int block, BlockEntry& entry, bool& sound);
    bool ReadBlock(const BlockEntry& entry, uint32_t firstIndex);
    bool ReadRun(const BlockEntry& entry, uint32_t address, uint32_t bytes, uint32_t firstIndex);
    bool HandleRecord(const BlockEntry& entry, uint32_t index, bool headerRecord);

    HistorySource& source_;
    HistoryDb& db_;
    const std::atomic<int>* stop_;
    const std::atomic<int>* busy_;

    StationInfo info_;
    MemoryStatus status_;
    HistoryRecord rec_;
    int32_t pressureOffset_ = VAL_ABSENT;  // tenths of hPa; read once per pass
    std::array<uint8_t, 256> assembly_{};  // record bytes gathered across chunks
    size_t assembled_ = 0;
    ScratchFile scratch_;
    std::chrono::steady_clock::time_point lastProgress_;

    PassOutcome outcome_ = PassOutcome::NothingNew;
    std::string message_;
    std::string lastFault_;
    std::map<int, std::string> skipped_;  // block -> why its entry was skipped, once said
    uint32_t skippedOf_ = 0;              // the station whose entries those are
    int count_ = 0;
};

}  // namespace nimbary

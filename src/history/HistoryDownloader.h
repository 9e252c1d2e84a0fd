#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "BlockEntry.h"
#include "ClockCheck.h"
#include "GapFinder.h"
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

    // After a pass that stored records: the gaps among them (and before the
    // first of them) that the pass could not fill, each told once.
    std::function<void(const std::vector<HistoryGap>& gaps)> onGaps;
    // The station's clock is off by more than two record intervals (see
    // ClockCheck). Told once, and again only after it was right in between
    // or for another station.
    std::function<void(const ClockCheck& check)> onClock;
    // The computer's local time in station seconds; tests set their own.
    std::function<uint32_t()> clockNow = LocalNowStationTime;

    // One pass. True when it reached the save step (whatever the save's result).
    bool Download();

    PassOutcome LastOutcome() const { return outcome_; }
    // Why the last pass ended early; empty after a pass that saved or found nothing new.
    const std::string& LastMessage() const { return message_; }
    // Records decoded by the last pass.
    int LastCount() const { return count_; }
    // The gaps the last pass stored.
    const std::vector<HistoryGap>& LastGaps() const { return gaps_.Gaps(); }
    // The clock check of the last pass that saved or found nothing new;
    // not Known when the station holds no record.
    const ClockCheck& LastClock() const { return clock_; }

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
    void CheckClock();

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
    GapFinder gaps_;
    uint32_t newestInterval_ = 0;  // interval of the newest record's block; 0 when none
    ClockCheck clock_;
    bool clockTold_ = false;  // the clock of station clockOf_ was said to be off
    uint32_t clockOf_ = 0;
};

}  // namespace nimbary

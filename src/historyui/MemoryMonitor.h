#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "BlockEntry.h"
#include "HistorySource.h"

namespace nimbary {

// The debug dialog's once-a-second look at the station's memory: the memory
// status, the entries of the first and current blocks, and the rain header
// and indoor temperature of the oldest block's first record, compared with
// what the previous look found.
class MemoryMonitor {
public:
    // The eight rain kinds in their usual order, then the indoor temperature.
    static constexpr int kTempPlace = kRainKinds;
    using Row = std::array<double, kRainKinds + 1>;

    // Lines to write: y in the dialog's client area (x is always 10) and text.
    using Lines = std::vector<std::pair<int, std::string>>;

    struct Look {
        bool warning = false;  // the first record looks wrong
        Lines lines;           // empty when nothing is to be written
    };

    explicit MemoryMonitor(HistorySource& station);

    // One look. Nothing is written when the status read fails or the memory
    // holds no data.
    Look Tick();

    const Row& Previous() const { return previous_; }
    const Row& Current() const { return current_; }

    // True when a rain value moved by more than 100 from a previous reading,
    // or the indoor temperature by more than 10 between two readings.
    static bool Jumped(const Row& previous, const Row& current);

private:
    void ReadEntry(int block, BlockEntry& entry);
    // Copies the current row to the previous one and reads the first record
    // anew; false when it cannot be read or has jumped.
    bool CheckFirstRecord();

    HistorySource& station_;
    int lastDataSize_ = -1;
    BlockEntry first_;
    BlockEntry currentEntry_;
    Row previous_;
    Row current_;
};

}  // namespace nimbary

#pragma once

#include <cstdint>
#include <vector>

namespace nimbary {

// A stretch without stored records, given by the records either side of it
// (station seconds).
struct HistoryGap {
    uint32_t From = 0;  // the last record before it
    uint32_t To = 0;    // the first record after it
    uint32_t Seconds() const { return To - From; }
    bool operator==(const HistoryGap& o) const { return From == o.From && To == o.To; }
};

// Finds the gaps a download pass leaves in a station's record times: two
// neighbouring records further apart than twice the record interval. The
// interval taken is the larger of the two records' own, so a change of the
// record interval is not a gap. Records at or before the newest one seen (a
// clock set back, a block read again) neither make nor close a gap.
class GapFinder {
public:
    // Starts a pass after the newest stored record, taken at `interval`
    // seconds (0 when not known); Start() without a record starts afresh.
    void Start();
    void Start(uint32_t newest, uint32_t interval);
    // One record of the pass at station time t, of a block recording every
    // `interval` seconds, in the order read.
    void Add(uint32_t t, uint32_t interval);
    const std::vector<HistoryGap>& Gaps() const { return gaps_; }

private:
    bool known_ = false;
    uint32_t newest_ = 0;
    uint32_t interval_ = 0;
    std::vector<HistoryGap> gaps_;
};

}  // namespace nimbary

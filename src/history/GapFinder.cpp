#include "GapFinder.h"

#include <algorithm>

namespace nimbary {

void GapFinder::Start() {
    known_ = false;
    newest_ = interval_ = 0;
    gaps_.clear();
}

void GapFinder::Start(uint32_t newest, uint32_t interval) {
    Start();
    known_ = true;
    newest_ = newest;
    interval_ = interval;
}

void GapFinder::Add(uint32_t t, uint32_t interval) {
    if (known_ && t <= newest_) return;
    if (known_ && uint64_t(t - newest_) > 2 * uint64_t(std::max(interval, interval_)))
        gaps_.push_back({newest_, t});
    known_ = true;
    newest_ = t;
    interval_ = interval;
}

}  // namespace nimbary

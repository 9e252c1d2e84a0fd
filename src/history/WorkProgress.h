#pragma once

#include <atomic>

namespace nimbary {

// Shared between a long piece of work (a table load, an export) and whoever
// watches it from another thread: how far it is, and a request to stop.
struct WorkProgress {
    std::atomic<int> done{0};   // rows, or pages of a PDF
    std::atomic<int> total{0};  // set when the work knows it
    std::atomic<bool> cancel{false};
    // Set by the work when it reaches the point its watcher waits for (the
    // browser lets go of the table it shows once the query is open).
    std::atomic<bool> checkpoint{false};
};

}  // namespace nimbary

#pragma once
// The databases the browser's and the summaries' benchmarks read: one per
// size, indoor, channel 1, wind, pressure and rain in every record, filled
// through SaveRecords once per run by a child process, so that filling costs
// the measured process no memory.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "HistoryFill.h"
#include "RecordTime.h"
#include "TempDir.h"

namespace nimbary::bench {

constexpr uint32_t kDev = 0x5A17C0DE;
constexpr int kYear = 105120;  // 365 days of 5-minute records

struct Store {
    testing::TempDir dir;
    StderrMessages messages;
    HistoryDb db{&messages};
    double from = 0, to = 0;  // the first and the last record's times
};

// `rows` records every 5 minutes from `start`.
inline Store& StoreOf(int rows, uint32_t start) {
    static std::map<int, std::unique_ptr<Store>> stores;
    auto& s = stores[rows];
    if (!s) {
        s = std::make_unique<Store>();
        const std::string path = s->dir.File("Nimbary.db");
        const pid_t child = fork();
        if (child == 0) {
            StderrMessages messages;
            HistoryDb db(&messages);
            _exit(db.Open(path) == 0 && testing::SaveWeather(db, kDev, start, rows) == 0 ? 0 : 1);
        }
        int status = 1;
        waitpid(child, &status, 0);
        if (status != 0 || s->db.Open(path) != 0) std::abort();
        s->from = StationTimeToOleDate(start);
        s->to = StationTimeToOleDate(start + 300u * static_cast<uint32_t>(rows - 1));
    }
    return *s;
}

}  // namespace nimbary::bench

#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

// Long unattended runs against the simulated station: a log of what the
// station recorded and lost, and a schedule of random unplugs, transport
// faults and memory clears, so a soak can check afterwards that every record
// the station held reached the database.
namespace nimbary::sim {

class SimBackend;

// Lines of text, written through at once so that a process stopped hard
// leaves a readable file.
//   R t inTemp inHumi ch1Temp ch1Humi wind gust windDir absBaro rainTotal first
//                  a record stored at station time t (raw tenths as recorded);
//                  first is 1 when it opened a block
//   D t at         the record of time t overwritten at station time `at`
//   C t at         the record of time t erased by a memory clear at `at`
//   U t / P t      unplugged / plugged in at station time t
//   F t fault n    a transport fault armed for n exchanges
//   X t            the memory cleared
//   END t          the schedule ended: plugged in, no faults, recording stopped
class SimLog {
public:
    // nullptr with `error` set when the file cannot be created.
    static std::shared_ptr<SimLog> Create(const std::string& path, std::string& error);
    ~SimLog();
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;
    void Line(const std::string& text);

private:
    explicit SimLog(std::FILE* file) : file_(file) {}
    std::mutex mutex_;
    std::FILE* file_;
};

struct ChaosPlan {
    double meanMinutes = 360;  // station minutes between events, on average
    uint32_t days = 30;        // station days the schedule runs from its start
    uint64_t seed = 1;
};

class SimChaos {
public:
    SimChaos(SimBackend& backend, const ChaosPlan& plan, std::shared_ptr<SimLog> log);
    ~SimChaos();
    SimChaos(const SimChaos&) = delete;
    SimChaos& operator=(const SimChaos&) = delete;

    // Follows the station clock on a thread of its own until the end or
    // destruction.
    void Start();
    // Does what is due at station time `now`; false once the schedule ended.
    bool Step(uint32_t now);

private:
    void Event(uint32_t now);
    double Minutes(double mean);
    void Log(const std::string& what, uint32_t now);

    SimBackend& backend_;
    ChaosPlan plan_;
    std::shared_ptr<SimLog> log_;
    std::mt19937_64 random_;
    bool begun_ = false;
    bool done_ = false;
    uint32_t end_ = 0;
    uint32_t next_ = 0;
    bool unplugged_ = false;
    uint32_t replugAt_ = 0;

    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace nimbary::sim

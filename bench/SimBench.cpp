// The simulated station's start-up (history generated before the first
// answer) and its exchange path.
#include <benchmark/benchmark.h>

#include <memory>

#include "SimBackend.h"
#include "SimStation.h"

namespace {

using namespace nimbary;
using namespace nimbary::sim;

SimConfig Config(uint32_t days) {
    SimConfig c;
    c.startTime = 763041600;  // 2024-03-05 12:00
    c.frozen = true;
    c.historyDays = days;
    return c;
}

// What --simulate does before the program's first exchange (days: range).
void BM_StartWithHistory(benchmark::State& state) {
    const uint32_t days = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        SimStation s(Config(days));
        benchmark::DoNotOptimize(s.DevId());
    }
    state.counters["records"] = days * 288.0 + 1;
}
BENCHMARK(BM_StartWithHistory)->Arg(3)->Arg(30)->Arg(365)->Unit(benchmark::kMillisecond);

// One request report in, the reply reports out.
void BM_Exchange(benchmark::State& state) {
    auto station = std::make_shared<SimStation>(Config(3));
    SimBackend backend(station);
    auto dev = backend.Open(SimBackend::kStationPath);
    const uint8_t code = static_cast<uint8_t>(state.range(0));
    uint8_t report[kOutputReportSize] = {0, 3, code, static_cast<uint8_t>(3 + code)};
    uint8_t in[kReportSize];
    for (auto _ : state) {
        dev->Write(report, 50);
        while (dev->Read(in, 0) == HidStatus::Ok) {
        }
    }
}
BENCHMARK(BM_Exchange)->Arg(0x04)->Arg(0x05)->Arg(0x08)->Unit(benchmark::kMicrosecond);

// A whole data-area dump in 124-byte reads, as the debug dialog takes it.
void BM_DataDump(benchmark::State& state) {
    auto station = std::make_shared<SimStation>(Config(3));
    SimBackend backend(station);
    auto dev = backend.Open(SimBackend::kStationPath);
    uint8_t in[kReportSize];
    for (auto _ : state) {
        for (uint32_t a = 0; a < 64256; a += 124) {
            uint8_t report[kOutputReportSize] = {0,  7, 0x02, 0x02, uint8_t(a), uint8_t(a >> 8),
                                                 124};
            report[7] = uint8_t(7 + 2 + 2 + uint8_t(a) + uint8_t(a >> 8) + 124);
            dev->Write(report, 50);
            while (dev->Read(in, 0) == HidStatus::Ok) {
            }
        }
    }
}
BENCHMARK(BM_DataDump)->Unit(benchmark::kMillisecond);

}  // namespace

#include <benchmark/benchmark.h>

#include "Derived.h"
#include "Format.h"

using namespace nimbary;

// The display formats a few dozen values every second; this keeps an eye on
// what one costs.
static void BM_FormatTempWithUnit(benchmark::State& state) {
    UnitSet u;
    double v = 68.3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatTemp(v, FMT_VALUE | FMT_UNIT, u));
        v += 0.1;
    }
}
BENCHMARK(BM_FormatTempWithUnit);

static void BM_FillDerivedEightChannels(benchmark::State& state) {
    HistoryRecord r;
    for (int k = 0; k < kChannels; ++k) {
        r.ChTemp[k] = 40.0 + k * 7;
        r.ChHumi[k] = 40 + k * 5;
    }
    r.Wind = 4.0;
    for (auto _ : state) {
        FillDerived(r, 0xFF, 0xFF, true);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_FillDerivedEightChannels);

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "DisplayColors.h"
#include "LiveDisplay.h"
#include "SampleStation.h"
#include "TextSource.h"

using namespace nimbary;

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "bench_display";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

struct Bench {
    Bench() : display(texts) {
        FillSampleStation(station, true);
        display.SetPresence(station.Presence);
        display.RelayoutForRain(true);
        display.LayoutPanels();
        display.UpdateTexts(station);
        display.LoadSeries(station);
        image.fill(colors::kBackground);
        QPainter p(&image);
        display.DrawAll(p, true);
    }
    bool app = (EnsureApp(), true);  // before any font is made
    StringTableSource texts;
    StationData station;
    LiveDisplay display;
    QImage image{kDisplayWidth, kDisplayHeight, QImage::Format_RGB32};
};

}  // namespace

// What a paint event, a language change or a series refresh costs.
static void BM_DrawAllFull(benchmark::State& state) {
    Bench b;
    QPainter p(&b.image);
    for (auto _ : state) benchmark::DoNotOptimize(b.display.DrawAll(p, true));
}
BENCHMARK(BM_DrawAllFull)->Unit(benchmark::kMillisecond);

// The common poll tick: the outdoor temperature moves, so its panel and
// graph are redrawn; everything else is compared and skipped.
static void BM_ValueOnlyTick(benchmark::State& state) {
    Bench b;
    QPainter p(&b.image);
    int n = 0;
    for (auto _ : state) {
        b.station.Current.ChTemp[0] = 57.2 + 0.1 * (n++ % 10);
        b.display.UpdateTexts(b.station);
        b.display.UpdateCurrentPoints(b.station);
        benchmark::DoNotOptimize(b.display.DrawAll(p, false));
    }
}
BENCHMARK(BM_ValueOnlyTick)->Unit(benchmark::kMillisecond);

// A tick in which nothing changed: texts formatted and compared, nothing drawn.
static void BM_UnchangedTick(benchmark::State& state) {
    Bench b;
    QPainter p(&b.image);
    for (auto _ : state) {
        b.display.UpdateTexts(b.station);
        b.display.UpdateCurrentPoints(b.station);
        benchmark::DoNotOptimize(b.display.DrawAll(p, false));
    }
}
BENCHMARK(BM_UnchangedTick)->Unit(benchmark::kMillisecond);

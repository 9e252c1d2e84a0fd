#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "DisplayColors.h"
#include "LiveDisplay.h"
#include "TextSource.h"

using namespace nimbary;

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "bench_display";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// A station with indoor, channel 1, wind, pressure and rain, and full series.
void Fill(StationData& s) {
    HistoryRecord& c = s.Current;
    c.InTemp = 71.6;
    c.InHumi = 45;
    c.ChTemp[0] = 57.2;
    c.ChHumi[0] = 68;
    c.AbsBaro = 1008.3;
    c.RelBaro = 1013.2;
    c.Wind = 3.4;
    c.Gust = 5.8;
    c.WindDir = 225;
    for (int r = 0; r < kRainKinds; ++r) c.Rain[r] = 1.2 * (r + 1);
    s.Presence.TempMask = s.Presence.HumiMask = 0x01;
    s.Presence.Flags = 0x7F;
    for (int i = 0; i < kGraphPoints; ++i) {
        const double d = std::sin(i * 0.5);
        s.Graph.InTemp[i] = 71 + d;
        s.Graph.InHumi[i] = 45 + int(3 * d);
        s.Graph.ChTemp[0][i] = 55 + 9 * d;
        s.Graph.ChHumi[0][i] = 70 - int(15 * d);
        s.Graph.Baro[i] = 1013 + 2 * d;
        s.Graph.Wind[i] = 3 + d;
        s.Graph.Gust[i] = 5 + d;
        s.Graph.Rain[i] = i % 5 ? 0.0 : 1.5;
    }
}

struct Bench {
    Bench() : display(texts) {
        Fill(station);
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

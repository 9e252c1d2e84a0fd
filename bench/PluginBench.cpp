#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "ZQ0093.h"

namespace {

// The plug-in loaded once, against a simulated station with eight channels,
// its first poll (series and layout) done.
struct Plugin {
    Plugin() {
        static int argc = 1;
        static char name[] = "bench_plugin";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
        setenv("NIMBARY_STALINK", "--simulate --sim-days 0 --sim-channels all", 1);
        handle = dlopen(ZQ0093_PATH, RTLD_NOW | RTLD_LOCAL);
        Bind(initVariant, "InitVariant");
        Bind(readMainRecord, "ReadMainRecord");
        Bind(drawData, "DrawData");
        Bind(readParam, "UsbReadParam");
        Bind(readRecord, "UsbReadRecord");
        initVariant(nullptr);
        QPainter p(&image);
        readMainRecord(&p, nullptr);
        readMainRecord(&p, nullptr);
    }
    template <class F>
    void Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(handle ? dlsym(handle, name) : nullptr);
        if (!f) std::abort();
    }

    void* handle = nullptr;
    ZQ0093Size (*initVariant)(QWidget*) = nullptr;
    int (*readMainRecord)(QPainter*, PluginUnitSet*) = nullptr;
    void (*drawData)(QPainter*, int) = nullptr;
    int (*readParam)(unsigned char*, unsigned char) = nullptr;
    int (*readRecord)(unsigned char*) = nullptr;
    QImage image{1170, 690, QImage::Format_RGB32};
};

Plugin& Loaded() {
    static Plugin plugin;
    return plugin;
}

}  // namespace

// A normal poll step: settings, current reading, compare, full redraw.
static void BM_PollStep(benchmark::State& state) {
    Plugin& b = Loaded();
    QPainter p(&b.image);
    PluginUnitSet units;
    for (auto _ : state) benchmark::DoNotOptimize(b.readMainRecord(&p, &units));
}
BENCHMARK(BM_PollStep)->Unit(benchmark::kMillisecond);

// Its floor: the same two exchanges and one full redraw, nothing else.
static void BM_PollFloor(benchmark::State& state) {
    Plugin& b = Loaded();
    QPainter p(&b.image);
    unsigned char buffer[128];
    for (auto _ : state) {
        benchmark::DoNotOptimize(b.readParam(buffer, 3));
        benchmark::DoNotOptimize(b.readRecord(buffer));
        b.drawData(&p, 1);
    }
}
BENCHMARK(BM_PollFloor)->Unit(benchmark::kMillisecond);

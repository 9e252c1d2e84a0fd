// main() of the benchmarks that draw widgets: the application lives in
// main's frame, so it goes while everything it owns can still go. A static
// one was destroyed at exit after statics its input devices still used, and
// the process crashed once every benchmark had run.
#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

# Live display drawing: a full redraw and a value-only poll tick.
find_package(Qt6 REQUIRED COMPONENTS Gui)
nimbary_add_bench(bench_display SOURCES DisplayBench.cpp LIBS nimbary_display)

# Live display drawing: a full redraw and a value-only poll tick, on the
# display tests' sample station.
find_package(Qt6 REQUIRED COMPONENTS Gui)
nimbary_add_bench(bench_display
    SOURCES DisplayBench.cpp ${PROJECT_SOURCE_DIR}/tests/display/SampleStation.cpp
    LIBS nimbary_display)
target_include_directories(bench_display PRIVATE ${PROJECT_SOURCE_DIR}/tests/display)

# MQTT: a year's backlog against libmosquitto's own floor, and what a state
# publish adds to a poll; against a mosquitto the benchmark starts itself.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)
nimbary_add_bench(bench_publish SOURCES PublishBench.cpp
    LIBS nimbary_publish nimbary_sim PkgConfig::MOSQUITTO)
target_include_directories(bench_publish PRIVATE
    ${PROJECT_SOURCE_DIR}/tests/history ${PROJECT_SOURCE_DIR}/tests/publish)

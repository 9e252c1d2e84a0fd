# Summaries: a year by day and ten years by month, each beside SQLite's own
# aggregates over the same rows; the browser's Summary view of a year.
find_package(SQLite3 REQUIRED)
nimbary_add_bench(bench_summary WIDGETS SOURCES SummaryBench.cpp LIBS nimbary_historyui SQLite::SQLite3)
# The history tests' temporary folder and the browser tests' record filler.
target_include_directories(bench_summary PRIVATE
    ${PROJECT_SOURCE_DIR}/tests/history ${PROJECT_SOURCE_DIR}/tests/historyui)

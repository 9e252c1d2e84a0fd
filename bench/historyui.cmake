# History browser: Update of a year and of ten years of records, switching
# the chart, scrolling the table, each beside a bare SQLite walk of the rows.
find_package(SQLite3 REQUIRED)
nimbary_add_bench(bench_historyui WIDGETS SOURCES HistoryUiBench.cpp LIBS nimbary_historyui SQLite::SQLite3)
# The history tests' temporary folder and the browser tests' record filler.
target_include_directories(bench_historyui PRIVATE
    ${PROJECT_SOURCE_DIR}/tests/history ${PROJECT_SOURCE_DIR}/tests/historyui)

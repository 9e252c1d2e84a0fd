# Export of a year: the text table and the PDF, each beside its floor.
nimbary_add_bench(bench_export SOURCES ExportBench.cpp LIBS nimbary_export)
# The history tests' temporary folder and the browser tests' record filler.
target_include_directories(bench_export PRIVATE
    ${PROJECT_SOURCE_DIR}/tests/history ${PROJECT_SOURCE_DIR}/tests/historyui)

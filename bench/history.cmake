# History: storing a batch, and a whole download pass over a full memory.
nimbary_add_bench(bench_history SOURCES HistoryBench.cpp LIBS nimbary_history nimbary_sim)
# The history tests' fake station serves the memory without a transport.
target_include_directories(bench_history PRIVATE ${PROJECT_SOURCE_DIR}/tests/history)

nimbary_add_bench(bench_sim SOURCES SimBench.cpp LIBS nimbary_sim)

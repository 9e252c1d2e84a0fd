# The plug-in's poll step against the simulated station, beside its floor:
# the two station exchanges and one full redraw it is made of.
if(TARGET ZQ0093)
    find_package(Qt6 REQUIRED COMPONENTS Gui)
    nimbary_add_bench(bench_plugin SOURCES PluginBench.cpp LIBS Qt6::Gui ${CMAKE_DL_LIBS})
    target_include_directories(bench_plugin PRIVATE ${PROJECT_SOURCE_DIR}/src/plugin)
    target_compile_definitions(bench_plugin PRIVATE ZQ0093_PATH="$<TARGET_FILE:ZQ0093>")
    add_dependencies(bench_plugin ZQ0093)
endif()

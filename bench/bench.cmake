# The benchmark's tree maker (built on request: bench/run builds it).
add_executable(twinex-gen-tree EXCLUDE_FROM_ALL bench/gen_tree.cpp)
target_link_libraries(twinex-gen-tree PRIVATE twinex_core)
target_compile_options(twinex-gen-tree PRIVATE ${TWINEX_WARNINGS})

# The matcher benchmark: remembering matcher against the plain recursion
# (built on request: bench/match builds and runs it).
add_executable(match_bench EXCLUDE_FROM_ALL bench/match_bench.cpp)
target_link_libraries(match_bench PRIVATE twinex_core)
target_compile_options(match_bench PRIVATE ${TWINEX_WARNINGS})

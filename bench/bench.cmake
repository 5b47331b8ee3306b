# The benchmark's tree maker (built on request: bench/run builds it).
add_executable(twinex-gen-tree EXCLUDE_FROM_ALL bench/gen_tree.cpp)
target_link_libraries(twinex-gen-tree PRIVATE twinex_core)
target_compile_options(twinex-gen-tree PRIVATE ${TWINEX_WARNINGS})

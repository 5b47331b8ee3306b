# The window operated as a user would, by a driver program (Windows builds
# only; under Wine the tests need a display, e.g. from xvfb-run).
add_executable(twinex_window_driver tests/wine/window_driver.cpp tests/wine/window_tests.cpp)
target_include_directories(twinex_window_driver PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(twinex_window_driver PRIVATE ${TWINEX_WARNINGS})
add_dependencies(twinex_window_driver twinex)

# The soak: rounds of SCAN and ABORT at random moments on one process, then
# QUIT. A longer run by hand: twinex_window_driver twinex.exe DIR soak --rounds 30 --seed 7
foreach(scenario scan delete soak)
  add_test(NAME window_${scenario}
           COMMAND twinex_window_driver $<TARGET_FILE:twinex> ${CMAKE_BINARY_DIR}/window_tests ${scenario})
  set_tests_properties(window_${scenario} PROPERTIES TIMEOUT 240 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endforeach()

# The window operated as a user would, by a driver program (Windows builds
# only; under Wine the tests need a display, e.g. from xvfb-run).
add_executable(twinex_window_driver
  ${CMAKE_SOURCE_DIR}/tests/wine/window_driver.cpp
  ${CMAKE_SOURCE_DIR}/tests/wine/window_tests.cpp
  ${CMAKE_SOURCE_DIR}/tests/wine/steps.cpp
  ${CMAKE_SOURCE_DIR}/tests/wine/soak.cpp
)
target_include_directories(twinex_window_driver PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(twinex_window_driver PRIVATE comctl32 gdi32)
target_compile_options(twinex_window_driver PRIVATE ${TWINEX_WARNINGS})
add_dependencies(twinex_window_driver twinex)

# Screenshots are left in window_tests/screens.
set(TWINEX_WINDOW_WORK ${CMAKE_BINARY_DIR}/window_tests)
foreach(scenario first live scan abort quit stalled fatal)
  add_test(NAME window_${scenario}
           COMMAND twinex_window_driver $<TARGET_FILE:twinex> ${TWINEX_WINDOW_WORK} ${scenario})
  set_tests_properties(window_${scenario} PROPERTIES TIMEOUT 240 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endforeach()

# The soak: rounds of SCAN and ABORT at random moments on one process, then
# QUIT. A longer run by hand: twinex_window_driver twinex.exe DIR soak --rounds 30 --seed 7
add_test(NAME window_soak
         COMMAND twinex_window_driver $<TARGET_FILE:twinex> ${TWINEX_WINDOW_WORK} soak --rounds 5)
set_tests_properties(window_soak PROPERTIES TIMEOUT 240 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)

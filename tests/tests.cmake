# GoogleTest from the system's sources, built for each target (native and mingw).
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB TWINEX_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
add_executable(twinex_tests ${TWINEX_TEST_SOURCES})
target_link_libraries(twinex_tests PRIVATE twinex_core gtest gtest_main)
target_compile_options(twinex_tests PRIVATE ${TWINEX_WARNINGS})
add_test(NAME twinex_tests COMMAND twinex_tests --gtest_brief=1 --gtest_output=xml:twinex_tests.xml)
# (a relative name: the Windows build reads a leading slash as no absolute path)
set_tests_properties(twinex_tests PROPERTIES TIMEOUT 1200)

# The real twinex-cli program, run from a shell (under Wine for the Windows build).
add_test(NAME twinex_cli_exit_codes
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/exit_codes.sh ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:twinex-cli>)
set_tests_properties(twinex_cli_exit_codes PROPERTIES TIMEOUT 300)

# Ctrl-C as a real signal, sent to the native program (Linux build only).
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME twinex_cli_interrupt
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/interrupt.sh $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_interrupt PROPERTIES TIMEOUT 120)
  # --json read back by a JSON parser, odd names included.
  add_test(NAME twinex_cli_json COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/json.sh $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_json PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()

# The window, operated through its controls (Windows builds only).
if(WIN32)
  include(${CMAKE_SOURCE_DIR}/tests/wine/wine.cmake)
endif()

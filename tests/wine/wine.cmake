# The window operated as a user would, by a driver program (Windows builds
# only; under Wine the tests need a display, e.g. from xvfb-run).
add_executable(twinex_window_driver tests/wine/window_driver.cpp tests/wine/window_tests.cpp)
target_include_directories(twinex_window_driver PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(twinex_window_driver PRIVATE ${TWINEX_WARNINGS})
add_dependencies(twinex_window_driver twinex)

# The soak: rounds of SCAN and ABORT at random moments on one process, then
# QUIT. A longer run by hand: twinex_window_driver twinex.exe DIR soak --rounds 30 --seed 7
foreach(scenario scan delete options soak)
  add_test(NAME window_${scenario}
           COMMAND twinex_window_driver $<TARGET_FILE:twinex> ${CMAKE_BINARY_DIR}/window_tests ${scenario})
  set_tests_properties(window_${scenario} PROPERTIES TIMEOUT 240 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endforeach()

# The Recycle Bin run needs a directory on another file system than the
# trash's (which lies in the work directory), reached through the chooser.
# Wine lists no /dev, so a link in the work directory leads to one in
# /dev/shm (a memory file system), named after this build directory.
if(CMAKE_HOST_UNIX)
  string(MD5 build_hash ${CMAKE_BINARY_DIR})
  string(SUBSTRING /dev/shm/twinex-window-${build_hash} 0 35 other_fs)
  add_test(NAME window_other_fs COMMAND sh -c
           "mkdir -p ${other_fs} ${CMAKE_BINARY_DIR}/window_tests && ln -sfn ${other_fs} ${CMAKE_BINARY_DIR}/window_tests/other_fs")
  set_tests_properties(window_other_fs PROPERTIES FIXTURES_SETUP other_fs)
  set_tests_properties(window_options PROPERTIES FIXTURES_REQUIRED other_fs)
endif()

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
# Golden files are read from the source tree; Wine reaches it through drive Z:.
if(CMAKE_CROSSCOMPILING)
  target_compile_definitions(twinex_tests PRIVATE TWINEX_GOLDEN_DIR="Z:${CMAKE_SOURCE_DIR}/tests/golden")
else()
  target_compile_definitions(twinex_tests PRIVATE TWINEX_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/golden")
endif()
add_test(NAME twinex_tests COMMAND twinex_tests --gtest_brief=1 --gtest_output=xml:twinex_tests.xml)
# (a relative name: the Windows build reads a leading slash as no absolute path)
set_tests_properties(twinex_tests PROPERTIES TIMEOUT 1200)

# The real twinex-cli program, run from a shell (under Wine for the Windows build).
add_test(NAME twinex_cli_exit_codes
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/exit_codes.sh ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:twinex-cli>)
set_tests_properties(twinex_cli_exit_codes PROPERTIES TIMEOUT 300)

# Ctrl-C as a real signal, and a real terminal, for the native program (Linux build only).
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME twinex_cli_interrupt
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/interrupt.sh $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_interrupt PROPERTIES TIMEOUT 120)
  # Directories an unprivileged user cannot read (as nobody when run as root).
  add_test(NAME twinex_cli_unreadable
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/unreadable.sh $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_unreadable PROPERTIES TIMEOUT 120)
  # Standard input on a pseudo-terminal: the one question of a move or delete run.
  add_test(NAME twinex_cli_terminal
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/terminal.sh $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_terminal PROPERTIES TIMEOUT 120)
  # --json read back by a JSON parser, odd names included.
  add_test(NAME twinex_cli_json COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/json.sh $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_json PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()

# twinex-cli under address-space limits (Linux build only). A sanitized
# program reserves far more address space than such a limit allows, so the
# sanitized build makes a second twinex-cli without sanitizers for it.
if(NOT CMAKE_CROSSCOMPILING)
  set(plain_cli twinex-cli)
  if(TWINEX_SANITIZE)
    get_target_property(core_sources twinex_core SOURCES)
    add_library(twinex_core_plain STATIC ${core_sources})
    target_include_directories(twinex_core_plain PUBLIC ${CMAKE_SOURCE_DIR})
    add_library(utf8proc_plain STATIC ${CMAKE_SOURCE_DIR}/third_party/utf8proc/utf8proc.c)
    target_compile_definitions(utf8proc_plain PUBLIC UTF8PROC_STATIC)
    target_compile_options(utf8proc_plain PRIVATE -fno-sanitize=all)
    target_link_libraries(twinex_core_plain PUBLIC Threads::Threads utf8proc_plain)
    target_compile_options(twinex_core_plain PRIVATE ${TWINEX_WARNINGS} -fno-sanitize=all)
    add_executable(twinex-cli-plain ui/console/cli_main.cpp)
    target_link_libraries(twinex-cli-plain PRIVATE twinex_core_plain)
    target_compile_options(twinex-cli-plain PRIVATE ${TWINEX_WARNINGS} -fno-sanitize=all)
    target_link_options(twinex-cli-plain PRIVATE -fno-sanitize=all)
    set(plain_cli twinex-cli-plain)
  endif()
  add_test(NAME twinex_cli_memory_limit
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/memory_limit.sh $<TARGET_FILE:${plain_cli}>)
  set_tests_properties(twinex_cli_memory_limit PROPERTIES TIMEOUT 300)
  # A directory swapped for a link at the moment of the act, by a library
  # preloaded into the program (which a sanitized program refuses).
  add_library(twinex_swap_preload MODULE tests/cli/swap_preload.c)
  target_compile_options(twinex_swap_preload PRIVATE ${TWINEX_WARNINGS} -fno-sanitize=all)
  target_link_options(twinex_swap_preload PRIVATE -fno-sanitize=all)
  target_link_libraries(twinex_swap_preload PRIVATE ${CMAKE_DL_LIBS} Threads::Threads)
  add_test(NAME twinex_cli_swap
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/swap.sh $<TARGET_FILE:${plain_cli}> $<TARGET_FILE:twinex_swap_preload>)
  set_tests_properties(twinex_cli_swap PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
  # Power cuts and the rename path on loop-mounted ext4 images (root only).
  add_test(NAME twinex_cli_power_cut
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/cli/power_cut.sh $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_power_cut PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
endif()

# The window, operated through its controls (Windows builds only).
if(WIN32)
  include(${CMAKE_SOURCE_DIR}/tests/wine/wine.cmake)
endif()

# cmake --install into a temporary prefix (Linux build only).
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME install_layout
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/release/install.sh ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  set_tests_properties(install_layout PROPERTIES TIMEOUT 120)
endif()

# Names outside the old code page keep their real bytes on Windows (under Wine).
if(WIN32)
  add_test(NAME twinex_cli_utf8_names
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/release/utf8_names.sh ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:twinex-cli>)
  set_tests_properties(twinex_cli_utf8_names PROPERTIES TIMEOUT 120)
endif()

# The Win32 program twinex.exe, built only for Windows. Its commands and
# chooser are toolkit-free and live in twinex_core (ui/common), where the
# native tests reach them.
if(WIN32)
  add_executable(twinex WIN32
    ${CMAKE_SOURCE_DIR}/ui/win32/win_main.cpp
    ${CMAKE_SOURCE_DIR}/ui/win32/win_controls.cpp
    ${CMAKE_SOURCE_DIR}/ui/win32/win_feedback.cpp
    ${CMAKE_SOURCE_DIR}/resources/twinex.rc
  )
  target_include_directories(twinex PRIVATE ${CMAKE_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/resources)
  target_link_libraries(twinex PRIVATE twinex_core comctl32)
  target_link_options(twinex PRIVATE -mwindows)
  target_compile_options(twinex PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TWINEX_WARNINGS}>)
  install(TARGETS twinex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

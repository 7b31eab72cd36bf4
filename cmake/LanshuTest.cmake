find_package(Qt6 REQUIRED COMPONENTS Test)

# lanshu_add_test(NAME name SOURCES tst_what.cpp ... LIBS lib ... [XVFB])
# One Qt Test executable per area, run by ctest without a display (XVFB: on a virtual one, for focus and keys).
# Sources are relative to the calling CMakeLists.txt; one of them is the main file, tst_<what>.cpp.
function(lanshu_add_test)
  cmake_parse_arguments(T "XVFB" "NAME" "SOURCES;LIBS" ${ARGN})
  set(sources "")
  set(main "")
  foreach(source ${T_SOURCES})
    get_filename_component(source ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND sources ${source})
    get_filename_component(name ${source} NAME)
    if(name MATCHES "^tst_.*\\.cpp$")
      set(main ${source})
    endif()
  endforeach()
  if(NOT main)
    message(FATAL_ERROR "test ${T_NAME}: its main file must be named tst_<what>.cpp")
  endif()
  set_property(GLOBAL APPEND PROPERTY LANSHU_TEST_SOURCES ${sources})
  set_property(GLOBAL APPEND PROPERTY LANSHU_TEST_TARGETS ${T_NAME})

  add_executable(${T_NAME} ${sources})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE
    LANSHU_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    LANSHU_BUILD_DIR="${CMAKE_BINARY_DIR}")
  find_program(XVFB_RUN xvfb-run)
  if(T_XVFB AND XVFB_RUN)
    add_test(NAME ${T_NAME} COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${T_NAME}>)
    set(platform xcb)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set(platform offscreen)
  endif()
  # No test reaches the user's desktop session: a test that needs a bus starts one of its own.
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT 600
    ENVIRONMENT "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/lanshu-tests-start-their-own-bus;QT_QPA_PLATFORM=${platform};QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;LANG=C.UTF-8;LC_ALL=C.UTF-8")
endfunction()

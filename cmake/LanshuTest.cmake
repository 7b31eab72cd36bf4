find_package(Qt6 REQUIRED COMPONENTS Test)

# lanshu_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [XVFB])
# One Qt Test executable per area, run by ctest without a display.
function(lanshu_add_test)
  cmake_parse_arguments(T "XVFB" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
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
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT 600
    ENVIRONMENT "QT_QPA_PLATFORM=${platform};QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;LANG=C.UTF-8;LC_ALL=C.UTF-8")
endfunction()

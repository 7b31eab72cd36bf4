lanshu_add_test(NAME test_report
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_report.cpp
  LIBS lanshu_report lanshu_testlib)

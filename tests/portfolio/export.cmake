lanshu_add_test(NAME test_export
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_export.cpp
  LIBS lanshu_portfolio lanshu_sheet lanshu_testlib)

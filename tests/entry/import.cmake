lanshu_add_test(NAME test_import
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_import.cpp
  LIBS lanshu_entry lanshu_sheet lanshu_testlib)

lanshu_add_test(NAME test_portfolio_print
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_print.cpp
  LIBS lanshu_portfolio lanshu_testlib)

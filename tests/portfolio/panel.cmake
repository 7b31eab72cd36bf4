lanshu_add_test(NAME test_portfolio_panel
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_panel.cpp
  LIBS lanshu_portfolio lanshu_testlib)
lanshu_add_test(NAME test_portfolio_model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_listmodel.cpp
  LIBS lanshu_portfolio lanshu_testlib)
lanshu_add_test(NAME test_portfolio_overview
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_overview.cpp
  LIBS lanshu_portfolio lanshu_testlib)

# The add-domain and edit-domain dialogs; focus order needs a real window, hence XVFB.
lanshu_add_test(NAME test_entry_dialogs SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_entry_dialogs.cpp
  LIBS lanshu_entry lanshu_testlib XVFB)

presmon_add_test(tst_TFrmMain SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_TFrmMain.cpp LIBS presmon_ui)
